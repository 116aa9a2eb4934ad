#include "ui/editors/DlgEditProfile.h"

#include "core/App.h"
#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "ui/common/Controls.h"
#include "ui/common/Text.h"
#include "ui/editors/FileTypeTree.h"
#include "ui/editors/FilterList.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStringListModel>
#include <QVBoxLayout>

namespace arvelo {
TdlgEditProfile::TdlgEditProfile(QWidget *parent)
    : QDialog(parent), edit_(TAVApp::Instance()->ProfilesFolder()), names_(new QStringListModel(this))
{
    setObjectName(QStringLiteral("dlgEditProfile"));
    setWindowTitle(QStringLiteral("Profiles Editor"));

    lvProfiles = Named(new QListView, "lvProfiles");
    lvProfiles->setModel(names_);
    lvProfiles->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::SelectedClicked);
    btnNew = Named(new QPushButton(QStringLiteral("New")), "btnNew");
    btnDelete = Named(new QPushButton(QStringLiteral("Delete")), "btnDelete");
    auto *left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral(" Profiles ( Download Methods)")));
    left->addWidget(lvProfiles, 1);
    auto *leftButtons = new QHBoxLayout;
    leftButtons->addWidget(btnNew);
    leftButtons->addWidget(btnDelete);
    left->addLayout(leftButtons);

    edProfileName = Named(new QLineEdit, "edProfileName");
    edProfileName->setReadOnly(true);
    fileTypes = new TFileTypeTree;
    const TDepthControls depth = TDepthControls::Make();
    rbLevelsPage = depth.page;
    rbLevelsN = depth.levels;
    rbLevelsAll = depth.all;
    seLevels = depth.count;
    QWidget *levels = depth.LevelsRow();
    rbPageDirectory = Radio("rbPageDirectory", "Current directory");
    rbPageSite = Radio("rbPageSite", "Current site");
    rbPageAnywhere = Radio("rbPageAnywhere", "Anywhere");
    rbResourceDirectory = Radio("rbResourceDirectory", "Current directory");
    rbResourceSite = Radio("rbResourceSite", "Current site");
    rbResourceAnywhere = Radio("rbResourceAnywhere", "Anywhere");
    flInclude = new TFilterList(true, QStringLiteral("Include"));
    flExclude = new TFilterList(false, QStringLiteral("Exclude"));
    cbUseStartPageTitle =
        Named(new QCheckBox(QStringLiteral("Automatically rename Zip files to Start Page Title")), "cbUseStartPageTitle");
    cbObeyRobots = Named(new QCheckBox(QStringLiteral("Obey robots.txt")), "cbObeyRobots");
    btnClose = Named(new QPushButton(QStringLiteral("&Close")), "btnClose");

    auto filters = [](const char *title, const char *text, TFilterList *list) {
        auto *box = new QGroupBox(QString::fromUtf8(title));
        auto *layout = new QVBoxLayout(box);
        auto *label = new QLabel(QString::fromUtf8(text));
        label->setWordWrap(true);
        layout->addWidget(label);
        layout->addWidget(list);
        return box;
    };
    auto *rules = new QGridLayout;
    auto *name = new QFormLayout;
    name->addRow(QStringLiteral("Profile Name:"), edProfileName);
    rules->addLayout(name, 0, 0, 1, 2);
    auto *types = new QGroupBox(QStringLiteral("File Types:"));
    (new QVBoxLayout(types))->addWidget(fileTypes);
    rules->addWidget(types, 1, 0, 2, 1);
    rules->addWidget(ChoiceBox("Depth of retreival:", "How many levels of this site would you like to retrieve?",
                             {rbLevelsPage, levels, rbLevelsAll}),
                     1, 1);
    auto *locations = new QHBoxLayout;
    locations->addWidget(ChoiceBox("Page Location:", "Pages must be within:", {rbPageDirectory, rbPageSite, rbPageAnywhere}));
    locations->addWidget(ChoiceBox("Resource Location:", "Resources (images, sounds etc..) must be within:",
                                 {rbResourceDirectory, rbResourceSite, rbResourceAnywhere}));
    rules->addLayout(locations, 2, 1);
    rules->addWidget(filters("URL Filter - Include:",
                             "URL's MUST contain characters, words or phrases from at least one of the following groups.",
                             flInclude),
                     3, 0);
    rules->addWidget(filters("URL Filter - Exclude:",
                             "URL's MUST NOT contain characters, words or phrases from at least one of the following groups.",
                             flExclude),
                     3, 1);
    auto *rename = new QGroupBox(QStringLiteral("Auto-Rename:"));
    (new QVBoxLayout(rename))->addWidget(cbUseStartPageTitle);
    rules->addWidget(rename, 4, 0);
    auto *close = new QHBoxLayout;
    close->addWidget(cbObeyRobots);
    close->addStretch();
    close->addWidget(btnClose);
    rules->addLayout(close, 4, 1, Qt::AlignBottom);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(rules, 1);

    connect(btnNew, &QPushButton::clicked, this, &TdlgEditProfile::NewProfile);
    connect(btnDelete, &QPushButton::clicked, this, &TdlgEditProfile::DeleteProfile);
    connect(btnClose, &QPushButton::clicked, this, &TdlgEditProfile::reject);
    connect(lvProfiles->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current) {
        if (!refilling_ && current.isValid())
            Show(S(current.data().toString()));
    });
    connect(names_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &index) { CaptionEdited(index); });
    for (QRadioButton *rule : {rbLevelsPage, rbLevelsN, rbLevelsAll, rbPageDirectory, rbPageSite, rbPageAnywhere,
                               rbResourceDirectory, rbResourceSite, rbResourceAnywhere})
        connect(rule, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                MarkChanged();
        });
    connect(seLevels, &QSpinBox::valueChanged, this, &TdlgEditProfile::MarkChanged);
    connect(cbUseStartPageTitle, &QCheckBox::toggled, this, &TdlgEditProfile::MarkChanged);
    connect(cbObeyRobots, &QCheckBox::toggled, this, &TdlgEditProfile::MarkChanged);
    connect(fileTypes, &TFileTypeTree::RulesChanged, this, &TdlgEditProfile::MarkChanged);
    connect(flInclude, &TFilterList::LineAdded, this, &TdlgEditProfile::MarkChanged);
    connect(flExclude, &TFilterList::LineAdded, this, &TdlgEditProfile::MarkChanged);

    const StringList names = edit_.Names();
    FillList(names.empty() ? std::string() : names.front());
    resize(860, 600);
}

void TdlgEditProfile::FillList(const std::string &select)
{
    refilling_ = true;
    listed_ = edit_.Names();
    QStringList captions;
    for (const std::string &name : listed_)
        captions << Q(name);
    names_->setStringList(captions);
    refilling_ = false;
    auto found = std::find(listed_.begin(), listed_.end(), select);
    if (found != listed_.end())
        lvProfiles->setCurrentIndex(names_->index(static_cast<int>(found - listed_.begin())));
    else
        btnDelete->setEnabled(false);
}

void TdlgEditProfile::Show(const std::string &name)
{
    if (edit_.HasProfile() && BaseFileName(edit_.Shown().file) == name) {
        // Created or renamed: the controls already show it.
        edProfileName->setText(Q(name));
        btnDelete->setEnabled(true);
        return;
    }
    OfferToSave();
    edit_.Select(name);
    loading_ = true;
    edProfileName->setText(Q(name));
    ShowControls(edit_.Shown());
    loading_ = false;
    btnDelete->setEnabled(true);
}

void TdlgEditProfile::ShowControls(const TAVProfile &profile)
{
    cbUseStartPageTitle->setChecked(profile.useStartPageTitle);
    cbObeyRobots->setChecked(profile.obeyRobots);
    fileTypes->SetFileTypes(profile.fileTypes);
    flInclude->SetLines(profile.urlFiltersInclude);
    flExclude->SetLines(profile.urlFiltersExclude);
    Depth().Show(profile.depth);
    CheckByCode(profile.pageLocation, {rbPageDirectory, rbPageSite, rbPageAnywhere});
    CheckByCode(profile.resourceLocation, {rbResourceDirectory, rbResourceSite, rbResourceAnywhere});
}

TAVProfile TdlgEditProfile::Controls() const
{
    TAVProfile profile = edit_.Shown();
    profile.depth = Depth().Depth();
    profile.fileTypes = fileTypes->FileTypes();
    profile.pageLocation = CodeOfChecked({rbPageDirectory, rbPageSite, rbPageAnywhere});
    profile.resourceLocation = CodeOfChecked({rbResourceDirectory, rbResourceSite, rbResourceAnywhere});
    profile.useStartPageTitle = cbUseStartPageTitle->isChecked();
    profile.obeyRobots = cbObeyRobots->isChecked();
    profile.urlFiltersInclude = flInclude->Lines();
    profile.urlFiltersExclude = flExclude->Lines();
    return profile;
}

void TdlgEditProfile::OfferToSave()
{
    if (!edit_.Changed())
        return;
    if (Notifier().Confirm(edit_.SaveQuestion())) {
        if (std::string error = edit_.Save(Controls()); !error.empty())
            Notifier().Error(error);
    }
    edit_.Discard();
}

void TdlgEditProfile::MarkChanged() { edit_.NoteChange(loading_); }

void TdlgEditProfile::CaptionEdited(const QModelIndex &index)
{
    if (refilling_ || !index.isValid() || index.row() >= static_cast<int>(listed_.size()))
        return;
    const std::string caption = S(index.data().toString());
    const std::string old = listed_[index.row()];
    if (caption == old)
        return;
    if (BaseFileName(edit_.Shown().file) != old)
        Show(old);
    if (std::string refusal = edit_.Rename(caption, Controls()); !refusal.empty()) {
        Notifier().Error(refusal);
        FillList(old); // the caption goes back
        return;
    }
    FillList(caption);
}

void TdlgEditProfile::NewProfile()
{
    OfferToSave();
    const std::string name = edit_.NewProfileName();
    if (std::string error = edit_.Create(name, Controls()); !error.empty()) {
        Notifier().Error(error);
        return;
    }
    FillList(name);
    lvProfiles->edit(lvProfiles->currentIndex());
}

void TdlgEditProfile::DeleteProfile()
{
    const QModelIndex current = lvProfiles->currentIndex();
    if (!current.isValid())
        return;
    const std::string name = S(current.data().toString());
    std::string error = edit_.Delete(name, [](const std::string &question) { return Notifier().Confirm(question); });
    if (!error.empty())
        Notifier().Error(error);
    const StringList names = edit_.Names();
    FillList(names.empty() ? std::string() : names.front());
    if (names.empty())
        edProfileName->clear();
}

void TdlgEditProfile::reject()
{
    OfferToSave();
    QDialog::reject();
}

} // namespace arvelo
