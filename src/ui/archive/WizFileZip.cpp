#include "ui/archive/WizFileZip.h"

#include "ui/archive/ZipIcons.h"
#include "ui/common/Dialogs.h"
#include "ui/common/Text.h"

#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "core/Settings.h"
#include "core/Trash.h"
#include "shell/TaskEdit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTreeView>
#include <QVBoxLayout>

namespace arvelo {
namespace {

const char *const kZipFilter = "Zip file (*.ZIP)|*.ZIP|All files (*.*)|*.*";

QLabel *Heading(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.2);
    label->setFont(font);
    return label;
}

QLabel *Wrapped(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

} // namespace

TwizFileZip::TwizFileZip(const std::string &archive, const StringList &files, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("wizFileZip"));
    const size_t dropped = files.size();
    setWindowTitle(dropped == 0   ? QStringLiteral("File Zip Wizard")
                   : dropped == 1 ? QStringLiteral("File Zip Wizard - 1 file dropped.")
                                  : QStringLiteral("File Zip Wizard - %1 files dropped.").arg(dropped));
    pages_ = new QStackedWidget(this);

    // Page 1: the archive, and how files join it.
    auto *page1 = new QWidget(pages_);
    page1->setObjectName(QStringLiteral("tsZipFilename"));
    edZipFile = new QLineEdit(page1);
    edZipFile->setObjectName(QStringLiteral("edZipFile"));
    btnNewZip = new QPushButton(QStringLiteral("Create a new Zip file"), page1);
    btnNewZip->setObjectName(QStringLiteral("btnNewZip"));
    btnOpenZip = new QPushButton(QStringLiteral("Open an existing Zip file"), page1);
    btnOpenZip->setObjectName(QStringLiteral("btnOpenZip"));
    auto *actionBox = new QGroupBox(QStringLiteral("Action:"), page1);
    rbAddReplace = new QRadioButton(QStringLiteral("Add && replace files"), actionBox);
    rbAddReplace->setObjectName(QStringLiteral("rbAddReplace"));
    rbFreshen = new QRadioButton(QStringLiteral("Freshen existing files"), actionBox);
    rbFreshen->setObjectName(QStringLiteral("rbFreshen"));
    rbUpdate = new QRadioButton(QStringLiteral("Update and add files"), actionBox);
    rbUpdate->setObjectName(QStringLiteral("rbUpdate"));
    actions_ = new QButtonGroup(this);
    actions_->addButton(rbAddReplace, 0);
    actions_->addButton(rbFreshen, 1);
    actions_->addButton(rbUpdate, 2);
    auto *actionLayout = new QVBoxLayout(actionBox);
    actionLayout->addWidget(new QLabel(QStringLiteral("How should files be added to the zip file?"), actionBox));
    for (QRadioButton *button : {rbAddReplace, rbFreshen, rbUpdate})
        actionLayout->addWidget(button);
    auto *zipButtons = new QHBoxLayout;
    zipButtons->addWidget(btnNewZip);
    zipButtons->addWidget(btnOpenZip);
    zipButtons->addStretch(1);
    auto *layout1 = new QVBoxLayout(page1);
    layout1->addWidget(Heading(QStringLiteral("Zip Filename: "), page1));
    layout1->addWidget(Wrapped(
        QStringLiteral("This wizard will help you create a zip file containing one or more compressed files."), page1));
    layout1->addWidget(edZipFile);
    layout1->addLayout(zipButtons);
    layout1->addWidget(actionBox);
    layout1->addStretch(1);

    // Page 2: the files.
    auto *page2 = new QWidget(pages_);
    page2->setObjectName(QStringLiteral("tsAddFiles"));
    lvFiles = new QTreeView(page2);
    lvFiles->setObjectName(QStringLiteral("lvFiles"));
    auto *icons = new TZipIconProxy(this);
    icons->setSourceModel(&files_);
    lvFiles->setModel(icons);
    lvFiles->setRootIsDecorated(false);
    lvFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvFiles->setColumnWidth(0, 180);
    btnAdd = new QPushButton(QStringLiteral("&Add"), page2);
    btnAdd->setObjectName(QStringLiteral("btnAdd"));
    btnRemove = new QPushButton(QStringLiteral("&Remove"), page2);
    btnRemove->setObjectName(QStringLiteral("btnRemove"));
    cbUsePaths = new QCheckBox(QStringLiteral("Save path names in zip file"), page2);
    cbUsePaths->setObjectName(QStringLiteral("cbUsePaths"));
    cbRecurse = new QCheckBox(QStringLiteral("Recurse Folders"), page2);
    cbRecurse->setObjectName(QStringLiteral("cbRecurse"));
    auto *listButtons = new QVBoxLayout;
    listButtons->addWidget(btnAdd);
    listButtons->addWidget(btnRemove);
    listButtons->addStretch(1);
    auto *listRow = new QHBoxLayout;
    listRow->addWidget(lvFiles, 1);
    listRow->addLayout(listButtons);
    auto *layout2 = new QVBoxLayout(page2);
    layout2->addWidget(Heading(QStringLiteral("Add Files:"), page2));
    layout2->addWidget(Wrapped(QStringLiteral("Create a list of files that you want to add in your zip file."), page2));
    layout2->addLayout(listRow, 1);
    layout2->addWidget(cbUsePaths);
    layout2->addWidget(cbRecurse);

    // Page 3: the compression.
    auto *page3 = new QWidget(pages_);
    page3->setObjectName(QStringLiteral("tsCompression"));
    tbCompression = new QSlider(Qt::Horizontal, page3);
    tbCompression->setObjectName(QStringLiteral("tbCompression"));
    tbCompression->setRange(0, 9);
    tbCompression->setTickPosition(QSlider::TicksBelow);
    tbCompression->setPageStep(1);
    auto *scale = new QHBoxLayout;
    scale->addWidget(new QLabel(QStringLiteral("None"), page3));
    scale->addWidget(tbCompression, 1);
    scale->addWidget(new QLabel(QStringLiteral("Max"), page3));
    auto *layout3 = new QVBoxLayout(page3);
    layout3->addWidget(Heading(QStringLiteral("Zip Compression: "), page3));
    layout3->addWidget(Wrapped(QStringLiteral("Select the amount of compression you would like."), page3));
    layout3->addLayout(scale);
    layout3->addStretch(1);

    for (QWidget *page : {page1, page2, page3})
        pages_->addWidget(page);

    btnBack = new QPushButton(QStringLiteral("<  &Back"), this);
    btnBack->setObjectName(QStringLiteral("btnBack"));
    btnNext = new QPushButton(QStringLiteral("&Next  >"), this);
    btnNext->setObjectName(QStringLiteral("btnNext"));
    btnNext->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnBack);
    buttons->addWidget(btnNext);
    buttons->addSpacing(8);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);
    resize(480, 360);

    connect(btnNewZip, &QPushButton::clicked, this, &TwizFileZip::CreateNew);
    connect(btnOpenZip, &QPushButton::clicked, this, &TwizFileZip::OpenExisting);
    connect(btnAdd, &QPushButton::clicked, this, &TwizFileZip::AddFiles);
    connect(btnRemove, &QPushButton::clicked, this, [this] {
        std::vector<int> rows;
        for (const QModelIndex &index : lvFiles->selectionModel()->selectedRows())
            rows.push_back(index.row());
        files_.Remove(rows);
        UpdateRecurse();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnBack, &QPushButton::clicked, this, [this] { ShowPage(pages_->currentIndex() - 1); });
    connect(btnNext, &QPushButton::clicked, this, [this] {
        const int page = pages_->currentIndex();
        if (page == 0 && !CheckFileName())
            return;
        if (page == 2)
            Finish();
        else
            ShowPage(page + 1);
    });

    // The last choices, and the archive to start from.
    const int action = ReadSetting(kSettingsKey, "Action", 0);
    cbUsePaths->setChecked(ReadSetting(kSettingsKey, "Use Paths", true));
    tbCompression->setValue(std::clamp(ReadSetting(kSettingsKey, "Compression", 6), 0, 9));
    const std::string zipFolder = ReadSetting(kSettingsKey, "Zip Folder", "");
    edZipFile->setText(Q(!archive.empty()     ? archive
                         : !zipFolder.empty() ? IncludeTrailingSlash(zipFolder)
                                              : IncludeTrailingSlash(S(QDir::currentPath()))));
    EnableActions(!archive.empty() && FileExists(archive));
    if (QAbstractButton *chosen = actions_->button(action); chosen && chosen->isEnabled())
        chosen->setChecked(true);
    else
        rbAddReplace->setChecked(true);
    files_.Add(files);
    UpdateRecurse();
    ShowPage(0);
}

std::string TwizFileZip::StartFolder() const
{
    const std::string zipFolder = ReadSetting(kSettingsKey, "Zip Folder", "");
    return !zipFolder.empty() ? zipFolder : ExtractFilePath(S(edZipFile->text()));
}

void TwizFileZip::ShowPage(int page)
{
    pages_->setCurrentIndex(std::clamp(page, 0, 2));
    btnBack->setEnabled(pages_->currentIndex() > 0);
    btnNext->setText(pages_->currentIndex() == 2 ? QStringLiteral("&Finish") : QStringLiteral("&Next  >"));
}

void TwizFileZip::EnableActions(bool existing)
{
    rbFreshen->setEnabled(existing);
    rbUpdate->setEnabled(existing);
    if (!existing)
        rbAddReplace->setChecked(true);
}

void TwizFileZip::CreateNew()
{
    const std::string file = Dialogs().SaveFileName(this, "New Zip File", StartFolder(), kZipFilter, "zip");
    if (file.empty())
        return;
    // An archive chosen to be made anew is replaced at Finish, not before:
    // a Cancel keeps it.
    edZipFile->setText(Q(file));
    createdNew_ = true;
    EnableActions(false);
}

void TwizFileZip::OpenExisting()
{
    const std::string file = Dialogs().OpenFileName(this, "Open Zip File", StartFolder(), kZipFilter);
    if (file.empty())
        return;
    edZipFile->setText(Q(file));
    createdNew_ = false;
    EnableActions(true);
}

bool TwizFileZip::CheckFileName()
{
    std::string path = S(edZipFile->text());
    if (!CompleteZipFileName(path)) {
        Notifier().Error(kZipFileNameWarning);
        return false;
    }
    if (Q(path) != edZipFile->text()) {
        edZipFile->setText(Q(path));
        createdNew_ = createdNew_ && !FileExists(path);
    }
    if (!createdNew_ && !FileExists(path))
        EnableActions(false);
    return true;
}

void TwizFileZip::AddFiles()
{
    StringList chosen = Dialogs().OpenFileNames(this, "Add Files", StartFolder(), "All files (*.*)|*.*");
    if (chosen.empty())
        return;
    files_.Add(chosen);
    UpdateRecurse();
}

void TwizFileZip::UpdateRecurse()
{
    // Shown, and checked, once a folder is in the list.
    const bool folder = files_.HasFolder();
    if (folder && !recurseShown_)
        cbRecurse->setChecked(true);
    recurseShown_ = folder;
    cbRecurse->setVisible(folder);
}

void TwizFileZip::Finish()
{
    const std::string path = S(edZipFile->text());
    if (createdNew_ && FileExists(path)) {
        // The new archive starts empty: the old file goes to the trash.
        if (!MoveToTrashOrTell(path))
            return;
    }
    WriteSetting(kSettingsKey, "Compression", static_cast<int32_t>(tbCompression->value()));
    WriteSetting(kSettingsKey, "Use Paths", cbUsePaths->isChecked());
    WriteSetting(kSettingsKey, "Action", static_cast<int32_t>(actions_->checkedId()));
    accept();
}

TZipAddJob TwizFileZip::Job() const
{
    TZipAddJob job;
    job.archive = S(edZipFile->text());
    job.files = files_.Paths();
    job.mode = std::max(0, actions_->checkedId());
    job.usePaths = cbUsePaths->isChecked();
    job.recurse = recurseShown_ && cbRecurse->isChecked();
    job.compression = tbCompression->value();
    return job;
}

bool TwizFileZip::OpenedExisting() const { return !createdNew_ && FileExists(S(edZipFile->text())); }

} // namespace arvelo
