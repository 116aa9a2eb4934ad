#include "ui/editors/DlgUserNamePassword.h"

#include "ui/common/Text.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace arvelo {

TdlgUserNamePassword::TdlgUserNamePassword(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgUserNamePassword"));
    setWindowTitle(QStringLiteral("Account/Password"));
    edAccount = new QLineEdit(this);
    edAccount->setObjectName(QStringLiteral("edAccount"));
    edPassword = new QLineEdit(this);
    edPassword->setObjectName(QStringLiteral("edPassword"));
    edPassword->setEchoMode(QLineEdit::Password);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Account:"), edAccount);
    form->addRow(QStringLiteral("Password:"), edPassword);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    btnOK = buttons->button(QDialogButtonBox::Ok);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    for (QLineEdit *edit : {edAccount, edPassword})
        connect(edit, &QLineEdit::textChanged, this, &TdlgUserNamePassword::UpdateOK);
    UpdateOK();
    setMinimumWidth(320);
}

std::string TdlgUserNamePassword::Account() const { return S(edAccount->text()); }
std::string TdlgUserNamePassword::Password() const { return S(edPassword->text()); }

void TdlgUserNamePassword::SetCredentials(const std::string &account, const std::string &password)
{
    edAccount->setText(Q(account));
    edPassword->setText(Q(password));
}

bool TdlgUserNamePassword::Empty() const { return edAccount->text().isEmpty() && edPassword->text().isEmpty(); }

void TdlgUserNamePassword::UpdateOK() { btnOK->setEnabled(!edAccount->text().isEmpty() && !edPassword->text().isEmpty()); }

} // namespace arvelo
