#pragma once

#include <QDialog>

#include <string>

class QLineEdit;
class QPushButton;

namespace arvelo {

// "Account/Password": the site's credentials of a task. OK only with both.
class TdlgUserNamePassword : public QDialog {
    Q_OBJECT
public:
    explicit TdlgUserNamePassword(QWidget *parent = nullptr);

    std::string Account() const;
    std::string Password() const;
    void SetCredentials(const std::string &account, const std::string &password);
    bool Empty() const;

    QLineEdit *edAccount;
    QLineEdit *edPassword;
    QPushButton *btnOK;

private:
    void UpdateOK();
};

} // namespace arvelo
