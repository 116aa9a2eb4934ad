#pragma once

#include <QDialog>

#include <string>

class QLineEdit;
class QPushButton;

namespace arvelo {

// "Add URL Filter": the text of one filter line, explained for its scope.
// Adding gives the typed text; editing shows and gives the whole line,
// prefix included. OK only with text.
class TdlgURLFilter : public QDialog {
    Q_OBJECT
public:
    TdlgURLFilter(const std::string &scope, bool include, const std::string &text, QWidget *parent = nullptr);

    std::string Text() const;

    QLineEdit *edFilter;
    QPushButton *btnOK;
};

} // namespace arvelo
