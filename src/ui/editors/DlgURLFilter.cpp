#include "ui/editors/DlgURLFilter.h"

#include "shell/UrlFilters.h"
#include "ui/common/Text.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace arvelo {

TdlgURLFilter::TdlgURLFilter(const std::string &scope, bool include, const std::string &text, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgURLFilter"));
    setWindowTitle(QStringLiteral("Add URL Filter"));
    auto *explanation = new QLabel(Q(FilterExplanation(scope, include)), this);
    explanation->setObjectName(QStringLiteral("lblExplanation"));
    explanation->setWordWrap(true);
    edFilter = new QLineEdit(Q(text), this);
    edFilter->setObjectName(QStringLiteral("edFilter"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    btnOK = buttons->button(QDialogButtonBox::Ok);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(edFilter);
    layout->addWidget(buttons);
    auto update = [this] { btnOK->setEnabled(!edFilter->text().isEmpty()); };
    connect(edFilter, &QLineEdit::textChanged, this, update);
    update();
    setMinimumWidth(420);
}

std::string TdlgURLFilter::Text() const { return S(edFilter->text()); }

} // namespace arvelo
