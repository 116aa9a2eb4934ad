#include "ui/editors/DlgFileType.h"

#include "core/Notifier.h"
#include "model/FileTypes.h"
#include "ui/common/Text.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace arvelo {

TdlgFileType::TdlgFileType(const std::string &group, const std::string &extensions, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgFileType"));
    setWindowTitle(group.empty() ? QStringLiteral("New File Type") : QStringLiteral("Edit File Type"));
    edFileType = new QLineEdit(Q(group), this);
    edFileType->setObjectName(QStringLiteral("edFileType"));
    edExtensions = new QLineEdit(Q(extensions), this);
    edExtensions->setObjectName(QStringLiteral("edExtensions"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("File Type:"), this));
    layout->addWidget(edFileType);
    layout->addWidget(new QLabel(QStringLiteral("File Extensions:"), this));
    layout->addWidget(new QLabel(QStringLiteral("Enter one or more file extensions separated by semicolons):"), this));
    layout->addWidget(edExtensions);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

void TdlgFileType::accept()
{
    const std::string group = Trim(S(edFileType->text()));
    const std::string typed = S(edExtensions->text());
    if (std::string refusal = FileTypeRefusal(group, typed); !refusal.empty()) {
        Notifier().Error(refusal);
        return;
    }
    WriteFileTypeGroup(group, FileTypeExtensions(typed));
    QDialog::accept();
}

} // namespace arvelo
