#pragma once

#include <QDialog>

#include <string>

class QLineEdit;

namespace arvelo {

// "New File Type" or "Edit File Type": a group of the file-type store and
// its extensions. OK writes the group; a group without a name or without
// extensions is refused with a message and the dialog stays.
class TdlgFileType : public QDialog {
    Q_OBJECT
public:
    // An empty group: a new one.
    TdlgFileType(const std::string &group, const std::string &extensions, QWidget *parent = nullptr);

    void accept() override;

    QLineEdit *edFileType;
    QLineEdit *edExtensions;
};

} // namespace arvelo
