#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QListWidget;
class QPushButton;
class QWidget;

namespace arvelo {

// Picks the skin. A click on a name stores it and applies it at once, so
// the window shows it; OK keeps it, Cancel stores and applies again the
// skin the dialog opened with.
class TdlgSelectSkin : public QDialog {
    Q_OBJECT
public:
    TdlgSelectSkin(std::function<void()> apply, QWidget *parent = nullptr);

    void reject() override;

    QListWidget *lbSkins;
    QPushButton *btnOK, *btnCancel, *btnDownload;

private:
    void Choose(const std::string &name);
    void ShowPreview();

    std::function<void()> apply_;
    std::string opened_;
    QWidget *imgPreview;
    QLabel *lblGlyphs;
};

} // namespace arvelo
