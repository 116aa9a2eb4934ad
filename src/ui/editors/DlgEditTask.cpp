#include "ui/editors/DlgEditTask.h"

#include "core/App.h"
#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "core/Trash.h"
#include "model/Task.h"
#include "ui/common/Controls.h"
#include "ui/common/Dialogs.h"
#include "ui/common/Text.h"
#include "ui/editors/DlgUserNamePassword.h"
#include "ui/editors/FileTypeTree.h"
#include "ui/editors/FilterList.h"
#include "ui/schedule/DlgSchedule.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace arvelo {
namespace {

constexpr const char *kZipFilter = "Zip file (*.zip)|*.zip|All files (*.*)|*.*";

QWidget *Screen(QWidget *parent, std::initializer_list<QWidget *> parts)
{
    auto *screen = new QWidget(parent);
    auto *layout = new QVBoxLayout(screen);
    for (QWidget *part : parts) {
        part->setParent(screen);
        layout->addWidget(part);
    }
    layout->addStretch();
    return screen;
}

} // namespace

TdlgEditTask::TdlgEditTask(TAVTask &task, TTaskEditTitle title, const StringList &addressHistory, QWidget *parent)
    : QDialog(parent), task_(task), edit_(task, title)
{
    setObjectName(QStringLiteral("dlgEditTask"));
    setWindowTitle(QString::fromLatin1(TaskEditCaption(title)));
    account = new TdlgUserNamePassword(this);

    edTaskName = Named(new QLineEdit(this), "edTaskName");
    cmbTaskCategory = Named(new QComboBox(this), "cmbTaskCategory");
    cmbTaskCategory->setEditable(true);
    cmbProfile = Named(new QComboBox(this), "cmbProfile");
    for (const std::string &name : ProfileNames(TAVApp::Instance()->ProfilesFolder()))
        cmbProfile->addItem(Q(name));
    cmbURL = Named(new QComboBox(this), "cmbURL");
    cmbURL->setEditable(true);
    cmbURL->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string &address : addressHistory)
        cmbURL->addItem(Q(address));

    ListView1 = Named(new QListWidget(this), "ListView1");
    screens = Named(new QStackedWidget(this), "screens");
    const std::pair<const char *, QWidget *> pages[] = {
        {"Starting address", AddressScreen()},   {"Save to", SaveToScreen()},
        {"Filetypes", nullptr},                   {"Followed Links", FollowedLinksScreen()},
        {"Followed Links (Adv)", AdvancedScreen()}, {"URL Filters", FiltersScreen()},
        {"Link Conversion", ConversionScreen()},   {"Schedule", ScheduleScreen()},
    };
    fileTypes = new TFileTypeTree(this);
    for (const auto &[caption, page] : pages) {
        ListView1->addItem(QString::fromLatin1(caption));
        screens->addWidget(page ? page : fileTypes);
    }
    ListView1->setFixedWidth(ListView1->sizeHintForColumn(0) + 24);
    connect(ListView1, &QListWidget::currentRowChanged, screens, &QStackedWidget::setCurrentIndex);

    btnOK = Named(new QPushButton(QStringLiteral("&OK"), this), "btnOK");
    btnOK->setDefault(true);
    btnCancel = Named(new QPushButton(QStringLiteral("&Cancel"), this), "btnCancel");
    btnReset = Named(new QPushButton(QStringLiteral("&Reset"), this), "btnReset");
    connect(btnOK, &QPushButton::clicked, this, &TdlgEditTask::accept);
    connect(btnCancel, &QPushButton::clicked, this, &TdlgEditTask::reject);
    connect(btnReset, &QPushButton::clicked, this, &TdlgEditTask::Load);

    auto *top = new QFormLayout;
    top->addRow(QStringLiteral("Task Name:"), edTaskName);
    top->addRow(QStringLiteral("Category:"), cmbTaskCategory);
    top->addRow(QStringLiteral("Profile:"), cmbProfile);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    buttons->addWidget(btnReset);
    buttons->addStretch();
    auto *header = new QHBoxLayout;
    header->addLayout(top, 1);
    header->addLayout(buttons);
    auto *body = new QHBoxLayout;
    body->addWidget(ListView1);
    body->addWidget(screens, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addLayout(body, 1);

    ConnectRuleControls();
    connect(cmbProfile, &QComboBox::activated, this, &TdlgEditTask::ProfileChosen);
    connect(cmbURL, &QComboBox::editTextChanged, this, &TdlgEditTask::FollowAddress);
    connect(cmbTaskCategory, &QComboBox::editTextChanged, this, &TdlgEditTask::FollowAddress);
    resize(720, 480);
    Load();
}

TdlgEditTask::~TdlgEditTask() = default;

QWidget *TdlgEditTask::AddressScreen()
{
    cbUserNamePassword = Named(new QCheckBox(QStringLiteral("Site requires a password")), "cbUserNamePassword");
    btnUserNamePassword = Named(new QPushButton(QStringLiteral("User Name/Password...")), "btnUserNamePassword");
    connect(cbUserNamePassword, &QCheckBox::clicked, this, &TdlgEditTask::PasswordBoxClicked);
    connect(btnUserNamePassword, &QPushButton::clicked, this, &TdlgEditTask::EditAccount);
    auto *password = new QWidget;
    auto *row = new QHBoxLayout(password);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(cbUserNamePassword);
    row->addWidget(btnUserNamePassword);
    row->addStretch();
    return Screen(this, {new QLabel(QStringLiteral("Starting URL:")), cmbURL, password});
}

QWidget *TdlgEditTask::SaveToScreen()
{
    rbIntranet = Radio("rbIntranet", "Download this Website to your Personal Intranet");
    edIntranetFolder = Named(new QLineEdit, "edIntranetFolder");
    btnBrowseFolder = Named(new QPushButton(QStringLiteral("Browse for Folder")), "btnBrowseFolder");
    rbZip = Radio("rbZip", "Download and Zip this Website");
    edFileName = Named(new QLineEdit, "edFileName");
    btnNewZip = Named(new QPushButton(QStringLiteral("New Zip File")), "btnNewZip");
    btnOpenZip = Named(new QPushButton(QStringLiteral("Open Zip File")), "btnOpenZip");
    cbUseStartPageTitle = Named(new QCheckBox(QStringLiteral("Rename zip file to start page title")), "cbUseStartPageTitle");
    connect(btnBrowseFolder, &QPushButton::clicked, this, &TdlgEditTask::BrowseFolder);
    connect(btnNewZip, &QPushButton::clicked, this, &TdlgEditTask::NewZip);
    connect(btnOpenZip, &QPushButton::clicked, this, &TdlgEditTask::OpenZip);
    connect(rbIntranet, &QRadioButton::toggled, this, &TdlgEditTask::UpdateStates);

    auto *intranet = new QWidget;
    auto *folderRow = new QHBoxLayout(intranet);
    folderRow->setContentsMargins(24, 0, 0, 0);
    folderRow->addWidget(edIntranetFolder, 1);
    folderRow->addWidget(btnBrowseFolder);
    auto *zip = new QWidget;
    auto *zipLayout = new QVBoxLayout(zip);
    zipLayout->setContentsMargins(24, 0, 0, 0);
    zipLayout->addWidget(new QLabel(QStringLiteral("Download and compress files to this Zip file:")));
    zipLayout->addWidget(edFileName);
    auto *zipButtons = new QHBoxLayout;
    zipButtons->addWidget(btnNewZip);
    zipButtons->addWidget(btnOpenZip);
    zipButtons->addStretch();
    zipLayout->addLayout(zipButtons);
    zipLayout->addWidget(cbUseStartPageTitle);
    auto *choice = new QButtonGroup(this);
    choice->addButton(rbIntranet);
    choice->addButton(rbZip);
    return Screen(this, {rbIntranet, intranet, rbZip, zip});
}

QWidget *TdlgEditTask::FollowedLinksScreen()
{
    rbPageDirectory = Radio("rbPageDirectory", "Within current directory");
    rbPageSite = Radio("rbPageSite", "Within current site");
    rbPageAnywhere = Radio("rbPageAnywhere", "Anywhere");
    const TDepthControls depth = TDepthControls::Make();
    rbLevelsPage = depth.page;
    rbLevelsN = depth.levels;
    rbLevelsAll = depth.all;
    seLevels = depth.count;
    rbMediaDirectory = Radio("rbMediaDirectory", "Current directory");
    rbMediaSite = Radio("rbMediaSite", "Current site");
    rbMediaAnywhere = Radio("rbMediaAnywhere", "Anywhere");
    QWidget *levels = depth.LevelsRow();
    return Screen(this, {ChoiceBox("Pages", "", {rbPageDirectory, rbPageSite, rbPageAnywhere}),
                         ChoiceBox("Levels", "", {rbLevelsPage, levels, rbLevelsAll}),
                         ChoiceBox("Media (images, sounds etc..)", "", {rbMediaDirectory, rbMediaSite, rbMediaAnywhere})});
}

QWidget *TdlgEditTask::AdvancedScreen()
{
    cbAggressiveParser = Named(new QCheckBox(QStringLiteral("Aggressive Parser")), "cbAggressiveParser");
    rbAggressiveScript = Radio("rbAggressiveScript", "Aggressively extract and follow links from within <SCRIPT> tags only");
    rbAggressivePage = Radio("rbAggressivePage", "Aggressively extract and follow all possible links from the entire page");
    connect(cbAggressiveParser, &QCheckBox::toggled, this, &TdlgEditTask::UpdateStates);
    auto *choices = ChoiceBox("", "", {rbAggressiveScript, rbAggressivePage});
    choices->setFlat(true);
    cbObeyRobots = Named(new QCheckBox(QStringLiteral("Obey robots.txt")), "cbObeyRobots");
    return Screen(this, {cbAggressiveParser, choices, cbObeyRobots});
}

QWidget *TdlgEditTask::FiltersScreen()
{
    flInclude = new TFilterList(true, QStringLiteral("Include"));
    flExclude = new TFilterList(false, QStringLiteral("Exclude"));
    auto *include = new QGroupBox(QStringLiteral("Include"));
    (new QVBoxLayout(include))->addWidget(flInclude);
    auto *exclude = new QGroupBox(QStringLiteral("Exclude"));
    (new QVBoxLayout(exclude))->addWidget(flExclude);
    return Screen(this, {include, exclude});
}

QWidget *TdlgEditTask::ConversionScreen()
{
    rbFollowedNone = Radio("rbFollowedNone", "Do NOT convert ANY followed links");
    rbFollowedAll = Radio("rbFollowedAll", "Convert ALL followed links to relative links");
    rbUnfollowedNone = Radio("rbUnfollowedNone", "Do NOT convert ANY unfollowed links");
    rbUnfollowedSite = Radio("rbUnfollowedSite", "Convert unfollowed links within the current website to relative links");
    rbUnfollowedAll = Radio("rbUnfollowedAll", "Convert ALL unfollowed links to relative links");
    return Screen(this, {ChoiceBox("Followed links", "", {rbFollowedNone, rbFollowedAll}),
                         ChoiceBox("Unfollowed links", "", {rbUnfollowedNone, rbUnfollowedSite, rbUnfollowedAll})});
}

QWidget *TdlgEditTask::ScheduleScreen()
{
    rbNow = Radio("rbNow", "Now");
    rbAt = Radio("rbAt", "At:");
    edSchedule = Named(new QLineEdit, "edSchedule");
    edSchedule->setReadOnly(true);
    btnSchedule = Named(new QPushButton(QStringLiteral("...")), "btnSchedule");
    btnSchedule->setToolTip(QStringLiteral("Schedule Task"));
    rbDontSchedule = Radio("rbDontSchedule", "Don't schedule this task");
    connect(btnSchedule, &QPushButton::clicked, this, &TdlgEditTask::ChooseSchedule);
    connect(rbNow, &QRadioButton::clicked, this, [this] {
        edSchedule->clear();
        at_ = {};
    });
    auto *at = new QWidget;
    auto *row = new QHBoxLayout(at);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(rbAt);
    row->addWidget(edSchedule, 1);
    row->addWidget(btnSchedule);
    return Screen(this, {ChoiceBox("Schedule", "", {rbNow, at, rbDontSchedule})});
}

void TdlgEditTask::ConnectRuleControls()
{
    for (QRadioButton *rule : {rbPageDirectory, rbPageSite, rbPageAnywhere, rbLevelsPage, rbLevelsN, rbLevelsAll,
                               rbMediaDirectory, rbMediaSite, rbMediaAnywhere, rbAggressiveScript, rbAggressivePage,
                               rbFollowedNone, rbFollowedAll, rbUnfollowedNone, rbUnfollowedSite, rbUnfollowedAll})
        connect(rule, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                RuleChanged();
        });
    for (QCheckBox *rule : {cbAggressiveParser, cbUseStartPageTitle, cbObeyRobots})
        connect(rule, &QCheckBox::toggled, this, &TdlgEditTask::RuleChanged);
    connect(seLevels, &QSpinBox::valueChanged, this, &TdlgEditTask::RuleChanged);
    connect(fileTypes, &TFileTypeTree::RulesChanged, this, &TdlgEditTask::RuleChanged);
    connect(flInclude, &TFilterList::LineAdded, this, &TdlgEditTask::RuleChanged);
    connect(flExclude, &TFilterList::LineAdded, this, &TdlgEditTask::RuleChanged);
}

void TdlgEditTask::showEvent(QShowEvent *event)
{
    ListView1->setCurrentRow(0);
    QDialog::showEvent(event);
}

void TdlgEditTask::Load()
{
    loading_ = true;
    const TTaskForm form = edit_.Load();
    cmbTaskCategory->clear();
    for (const std::string &category : TTaskEdit::Categories())
        cmbTaskCategory->addItem(Q(category));
    cmbTaskCategory->setEditText(Q(form.category));
    edTaskName->setText(Q(form.name));
    cmbURL->setEditText(Q(form.url));
    account->SetCredentials(form.userName, form.password);
    cbUserNamePassword->setChecked(form.needsPassword);
    edIntranetFolder->setText(Q(form.intranetFolder));
    edFileName->setText(Q(form.zipFile));
    (form.intranet ? rbIntranet : rbZip)->setChecked(true);
    cmbProfile->setCurrentIndex(cmbProfile->findText(Q(form.rules.profileName)));
    ShowRules(form.rules);
    at_ = form.at;
    edSchedule->setText(form.schedule == TScheduleChoice::kAt ? Q(form.at.text) : QString());
    (form.schedule == TScheduleChoice::kNow  ? rbNow
     : form.schedule == TScheduleChoice::kAt ? rbAt
                                              : rbDontSchedule)
        ->setChecked(true);
    replacedZip_.clear();
    UpdateStates();
    loading_ = false;
}

void TdlgEditTask::ShowRules(const TAVProfile &rules)
{
    cbUseStartPageTitle->setChecked(rules.useStartPageTitle);
    fileTypes->SetFileTypes(rules.fileTypes);
    CheckByCode(rules.pageLocation, {rbPageDirectory, rbPageSite, rbPageAnywhere});
    CheckByCode(rules.resourceLocation, {rbMediaDirectory, rbMediaSite, rbMediaAnywhere});
    Depth().Show(rules.depth);
    cbAggressiveParser->setChecked(rules.aggressiveParser != 0);
    cbObeyRobots->setChecked(rules.obeyRobots);
    (rules.aggressiveParser == 2 ? rbAggressivePage : rbAggressiveScript)->setChecked(true);
    flInclude->SetLines(rules.urlFiltersInclude);
    flExclude->SetLines(rules.urlFiltersExclude);
    CheckByCode(rules.convertFollowedLinks, {rbFollowedNone, rbFollowedAll});
    CheckByCode(rules.convertUnfollowedLinks, {rbUnfollowedNone, rbUnfollowedSite, rbUnfollowedAll});
}

TAVProfile TdlgEditTask::Rules() const
{
    TAVProfile rules = task_.profile;
    // A profile that is no longer listed keeps its name.
    if (cmbProfile->currentIndex() >= 0)
        rules.profileName = S(cmbProfile->currentText());
    rules.depth = Depth().Depth();
    rules.fileTypes = fileTypes->FileTypes();
    rules.pageLocation = CodeOfChecked({rbPageDirectory, rbPageSite, rbPageAnywhere});
    rules.resourceLocation = CodeOfChecked({rbMediaDirectory, rbMediaSite, rbMediaAnywhere});
    rules.useStartPageTitle = cbUseStartPageTitle->isChecked();
    rules.urlFiltersExclude = flExclude->Lines();
    rules.urlFiltersInclude = flInclude->Lines();
    rules.aggressiveParser = !cbAggressiveParser->isChecked() ? 0 : rbAggressivePage->isChecked() ? 2 : 1;
    rules.obeyRobots = cbObeyRobots->isChecked();
    rules.convertFollowedLinks = CodeOfChecked({rbFollowedNone, rbFollowedAll});
    rules.convertUnfollowedLinks = CodeOfChecked({rbUnfollowedNone, rbUnfollowedSite, rbUnfollowedAll});
    return rules;
}

TTaskForm TdlgEditTask::Form() const
{
    TTaskForm form;
    form.name = S(edTaskName->text());
    form.category = S(cmbTaskCategory->currentText());
    form.url = Trim(S(cmbURL->currentText()));
    form.needsPassword = cbUserNamePassword->isChecked();
    form.userName = account->Account();
    form.password = account->Password();
    form.intranet = rbIntranet->isChecked();
    form.intranetFolder = S(edIntranetFolder->text());
    form.zipFile = S(edFileName->text());
    form.schedule = rbNow->isChecked() ? TScheduleChoice::kNow
                    : rbAt->isChecked() && !edSchedule->text().isEmpty() ? TScheduleChoice::kAt
                                                                          : TScheduleChoice::kNone;
    form.at = at_;
    form.rules = Rules();
    return form;
}

void TdlgEditTask::FollowAddress()
{
    if (loading_ || !edit_.FollowsAddress())
        return;
    TTaskForm form = Form();
    edit_.FollowAddress(form);
    edTaskName->setText(Q(form.name));
    edFileName->setText(Q(form.zipFile));
}

void TdlgEditTask::RuleChanged()
{
    if (loading_)
        return;
    int custom = cmbProfile->findText(QString::fromLatin1(kCustomProfile));
    cmbProfile->setCurrentIndex(custom);
}

void TdlgEditTask::ProfileChosen()
{
    loading_ = true;
    ShowRules(ProfileByName(TAVApp::Instance()->ProfilesFolder(), S(cmbProfile->currentText())));
    UpdateStates();
    loading_ = false;
}

void TdlgEditTask::PasswordBoxClicked(bool checked)
{
    if (!checked || !account->Empty())
        return;
    if (account->exec() != QDialog::Accepted)
        cbUserNamePassword->setChecked(false);
}

void TdlgEditTask::EditAccount()
{
    if (account->exec() == QDialog::Accepted)
        cbUserNamePassword->setChecked(true);
}

void TdlgEditTask::NewZip()
{
    const std::string chosen = Dialogs().SaveFileName(this, "New Zip File", ExtractFilePath(S(edFileName->text())),
                                                      kZipFilter, "zip");
    if (chosen.empty())
        return;
    // An archive there goes to the trash on OK, not now: Cancel keeps it.
    replacedZip_ = FileExists(chosen) ? chosen : std::string();
    edFileName->setText(Q(chosen));
}

void TdlgEditTask::OpenZip()
{
    const std::string chosen =
        Dialogs().OpenFileName(this, "Open Zip File", ExtractFilePath(S(edFileName->text())), kZipFilter);
    if (!chosen.empty())
        edFileName->setText(Q(chosen));
}

void TdlgEditTask::BrowseFolder()
{
    const std::string chosen = Dialogs().FolderName(this, "Browse for Folder", S(edIntranetFolder->text()));
    if (!chosen.empty())
        edIntranetFolder->setText(Q(IncludeTrailingSlash(chosen)));
}

void TdlgEditTask::ChooseSchedule()
{
    TdlgSchedule dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    at_ = {EditorScheduleText(dialog.OnceAt()), dialog.OnceAt()};
    edSchedule->setText(Q(at_.text));
    rbAt->setChecked(true);
}

void TdlgEditTask::UpdateStates()
{
    const bool intranet = rbIntranet->isChecked();
    for (QWidget *control : {static_cast<QWidget *>(edIntranetFolder), static_cast<QWidget *>(btnBrowseFolder)})
        control->setEnabled(intranet);
    for (QWidget *control : {static_cast<QWidget *>(edFileName), static_cast<QWidget *>(btnNewZip),
                             static_cast<QWidget *>(btnOpenZip), static_cast<QWidget *>(cbUseStartPageTitle)})
        control->setEnabled(!intranet);
    rbAggressiveScript->setEnabled(cbAggressiveParser->isChecked());
    rbAggressivePage->setEnabled(cbAggressiveParser->isChecked());
}

void TdlgEditTask::accept()
{
    TTaskForm form = Form();
    TTaskFormProblem problem = edit_.Validate(form, isBusy_);
    if (problem.kind == TTaskFormProblem::kReplaceQuestion) {
        if (!Notifier().Confirm(problem.text))
            return;
        edit_.AcceptReplacement();
        problem = edit_.Validate(form, isBusy_);
    }
    // The address and the zip file are corrected in place; the name stays.
    loading_ = true;
    cmbURL->setEditText(Q(form.url));
    edFileName->setText(Q(form.zipFile));
    // A user name and password typed into the address moved to their boxes.
    account->SetCredentials(form.userName, form.password);
    cbUserNamePassword->setChecked(form.needsPassword);
    loading_ = false;
    if (problem) {
        Notifier().Error(problem.text);
        if (QWidget *control = findChild<QWidget *>(Q(problem.control)))
            control->setFocus();
        return;
    }
    std::string error;
    if (!edit_.Apply(form, error)) {
        Notifier().Error(error);
        return;
    }
    if (!replacedZip_.empty() && replacedZip_ == form.zipFile)
        MoveToTrash(replacedZip_, [](const std::string &question) { return Notifier().Confirm(question); });
    QDialog::accept();
}

} // namespace arvelo
