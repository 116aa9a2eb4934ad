#include "ui/archive/FormExtract.h"

#include "ui/common/Text.h"

#include "core/Settings.h"

#include <QCheckBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace arvelo {

TFormExtract::TFormExtract(bool rootSelected, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormExtract"));
    setWindowTitle(QStringLiteral("Unzip"));

    edUnzipTo = new QLineEdit(this);
    edUnzipTo->setObjectName(QStringLiteral("edUnzipTo"));
    tvFolders = new QTreeView(this);
    tvFolders->setObjectName(QStringLiteral("tvFolders"));
    folders_ = new QFileSystemModel(this);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    folders_->setRootPath(QStringLiteral("/"));
    tvFolders->setModel(folders_);
    tvFolders->setHeaderHidden(true);
    for (int column = 1; column < folders_->columnCount(); ++column)
        tvFolders->hideColumn(column);

    auto *filesBox = new QGroupBox(QStringLiteral("Files:"), this);
    rbAllFiles = new QRadioButton(QStringLiteral("All Files"), filesBox);
    rbAllFiles->setObjectName(QStringLiteral("rbAllFiles"));
    rbSelectedFiles = new QRadioButton(QStringLiteral("Selected Files"), filesBox);
    rbSelectedFiles->setObjectName(QStringLiteral("rbSelectedFiles"));
    auto *filesLayout = new QVBoxLayout(filesBox);
    filesLayout->addWidget(rbAllFiles);
    filesLayout->addWidget(rbSelectedFiles);
    auto *optionsBox = new QGroupBox(QStringLiteral("Options:"), this);
    cbUsePathNames = new QCheckBox(QStringLiteral("Use path names"), optionsBox);
    cbUsePathNames->setObjectName(QStringLiteral("cbUsePathNames"));
    cbOverwrite = new QCheckBox(QStringLiteral("Overwrite existing files"), optionsBox);
    cbOverwrite->setObjectName(QStringLiteral("cbOverwrite"));
    auto *optionsLayout = new QVBoxLayout(optionsBox);
    optionsLayout->addWidget(cbUsePathNames);
    optionsLayout->addWidget(cbOverwrite);

    btnUnzip = new QPushButton(QStringLiteral("&Unzip"), this);
    btnUnzip->setObjectName(QStringLiteral("btnUnzip"));
    btnUnzip->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto *left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Unzip To:"), this));
    left->addWidget(edUnzipTo);
    left->addWidget(tvFolders, 1);
    auto *right = new QVBoxLayout;
    right->addWidget(btnUnzip);
    right->addWidget(btnCancel);
    right->addSpacing(8);
    right->addWidget(filesBox);
    right->addWidget(optionsBox);
    right->addStretch(1);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right);
    resize(520, 360);

    connect(tvFolders, &QTreeView::clicked, this,
            [this](const QModelIndex &index) { edUnzipTo->setText(folders_->filePath(index)); });
    connect(edUnzipTo, &QLineEdit::textChanged, this,
            [this](const QString &text) { btnUnzip->setEnabled(!text.trimmed().isEmpty()); });
    connect(btnUnzip, &QPushButton::clicked, this, &TFormExtract::Unzip);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    cbUsePathNames->setChecked(ReadSetting(kSettingsKey, "Extract Use Paths", true));
    cbOverwrite->setChecked(ReadSetting(kSettingsKey, "Extract Overwrite", false));
    const QString folder = Q(ReadSetting(kSettingsKey, "Unzip Folder", ""));
    edUnzipTo->setText(folder);
    btnUnzip->setEnabled(!folder.trimmed().isEmpty());
    ShowFolder(folder.isEmpty() ? QDir::homePath() : folder);
    connect(edUnzipTo, &QLineEdit::editingFinished, this, [this] { ShowFolder(edUnzipTo->text()); });
    (rootSelected ? rbAllFiles : rbSelectedFiles)->setChecked(true);
}

void TFormExtract::ShowFolder(const QString &folder)
{
    // The folder, or the nearest one above it that exists, opened in the tree.
    QDir dir(folder);
    while (!dir.exists() && dir.cdUp()) {
    }
    const QModelIndex at = folders_->index(dir.absolutePath());
    if (!at.isValid())
        return;
    for (QModelIndex up = at; up.isValid(); up = up.parent())
        tvFolders->expand(up);
    tvFolders->setCurrentIndex(at);
    tvFolders->scrollTo(at, QAbstractItemView::PositionAtCenter);
}

void TFormExtract::Unzip()
{
    WriteSetting(kSettingsKey, "Extract Use Paths", cbUsePathNames->isChecked());
    WriteSetting(kSettingsKey, "Extract Overwrite", cbOverwrite->isChecked());
    if (ReadSetting(kSettingsKey, "Last Unzip Folder", false))
        WriteSetting(kSettingsKey, "Unzip Folder", Folder());
    accept();
}

bool TFormExtract::AllFiles() const { return rbAllFiles->isChecked(); }
std::string TFormExtract::Folder() const { return S(edUnzipTo->text().trimmed()); }
bool TFormExtract::UsePaths() const { return cbUsePathNames->isChecked(); }
bool TFormExtract::Overwrite() const { return cbOverwrite->isChecked(); }

} // namespace arvelo
