#include "ui/editors/FileTypeTree.h"

#include "core/Notifier.h"
#include "model/FileTypes.h"
#include "shell/FileTypeModel.h"
#include "ui/common/Text.h"
#include "ui/editors/DlgFileType.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace arvelo {

TFileTypeTree::TFileTypeTree(QWidget *parent) : QWidget(parent), model_(new TFileTypeModel(this))
{
    setObjectName(QStringLiteral("FileTypeTree"));
    cbAll = new QCheckBox(QStringLiteral("All"), this);
    cbAll->setObjectName(QStringLiteral("cbAll"));
    tvFileTypes = new QTreeView(this);
    tvFileTypes->setObjectName(QStringLiteral("tvFileTypes"));
    tvFileTypes->setModel(model_);
    tvFileTypes->header()->hide();
    tvFileTypes->setUniformRowHeights(true);
    btnNewType = new QPushButton(QStringLiteral("&New..."), this);
    btnNewType->setObjectName(QStringLiteral("btnNewType"));
    btnEditType = new QPushButton(QStringLiteral("&Edit..."), this);
    btnEditType->setObjectName(QStringLiteral("btnEditType"));
    btnDeleteType = new QPushButton(QStringLiteral("&Delete"), this);
    btnDeleteType->setObjectName(QStringLiteral("btnDeleteType"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cbAll);
    buttons->addStretch();
    buttons->addWidget(btnNewType);
    buttons->addWidget(btnEditType);
    buttons->addWidget(btnDeleteType);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tvFileTypes, 1);
    layout->addLayout(buttons);

    connect(model_, &TFileTypeModel::ChecksChanged, this, [this] {
        // Checking a type ends "All"; unchecking the last one brings it back.
        cbAll->setChecked(model_->Checked().empty());
        Q_EMIT RulesChanged();
    });
    connect(cbAll, &QCheckBox::clicked, this, [this](bool all) {
        if (all)
            model_->SetChecked({});
        Q_EMIT RulesChanged();
    });
    connect(btnNewType, &QPushButton::clicked, this, &TFileTypeTree::NewType);
    connect(btnEditType, &QPushButton::clicked, this, &TFileTypeTree::EditType);
    connect(btnDeleteType, &QPushButton::clicked, this, &TFileTypeTree::DeleteType);
    connect(tvFileTypes->selectionModel(), &QItemSelectionModel::currentChanged, this, &TFileTypeTree::UpdateButtons);
    connect(model_, &QAbstractItemModel::modelReset, this, &TFileTypeTree::UpdateButtons);
    UpdateButtons();
}

StringList TFileTypeTree::FileTypes() const { return cbAll->isChecked() ? StringList() : model_->Checked(); }

void TFileTypeTree::SetFileTypes(const StringList &fileTypes)
{
    model_->SetChecked(fileTypes);
    cbAll->setChecked(fileTypes.empty());
}

void TFileTypeTree::NewType()
{
    TdlgFileType dialog({}, {}, this);
    if (dialog.exec() == QDialog::Accepted)
        model_->Reload();
}

void TFileTypeTree::EditType()
{
    const std::string group = model_->GroupAt(tvFileTypes->currentIndex());
    if (group.empty())
        return;
    std::string extensions;
    for (const TFileTypeGroup &g : FileTypeGroups())
        if (g.name == group)
            extensions = g.extensions;
    TdlgFileType dialog(group, extensions, this);
    if (dialog.exec() == QDialog::Accepted)
        model_->Reload();
}

void TFileTypeTree::DeleteType()
{
    const QModelIndex current = tvFileTypes->currentIndex();
    if (!model_->Deletable(current))
        return;
    const std::string group = model_->GroupAt(current), extension = model_->ExtensionAt(current);
    if (extension.empty()) {
        if (Notifier().Confirm(DeleteGroupQuestion(group)))
            DeleteFileTypeGroup(group);
    } else if (Notifier().Confirm(DeleteExtensionQuestion(extension))) {
        DeleteFileTypeExtension(group, extension);
    }
    model_->Reload();
}

void TFileTypeTree::UpdateButtons()
{
    const QModelIndex current = tvFileTypes->currentIndex();
    btnEditType->setEnabled(current.isValid());
    btnDeleteType->setEnabled(model_->Deletable(current));
}

} // namespace arvelo
