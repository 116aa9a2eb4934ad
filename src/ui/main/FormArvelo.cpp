#include "ui/main/FormArvelo.h"

#include "ui/archive/FormExtract.h"
#include "ui/archive/FormZip.h"
#include "ui/archive/WizFileZip.h"
#include "ui/archive/ZipPane.h"
#include "ui/browse/DlgAutoArvelo.h"
#include "ui/browse/FormBrowser.h"
#include "ui/common/Dialogs.h"
#include "ui/common/Text.h"
#include "ui/editors/DlgEditProfile.h"
#include "ui/editors/DlgEditTask.h"
#include "ui/editors/DlgOptions.h"
#include "ui/schedule/DlgRunTask.h"
#include "ui/schedule/FormScheduler.h"

#include "archive/ZipBrowser.h"
#include "core/App.h"
#include "core/AppPaths.h"
#include "core/Desktop.h"
#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "core/Settings.h"
#include "core/TempFolder.h"
#include "core/Version.h"
#include "crawl/Engine.h"
#include "crawl/RunEvents.h"
#include "crawl/LocalNames.h"
#include "crawl/URL.h"
#include "model/DownloadItem.h"
#include "model/Profile.h"
#include "model/Task.h"
#include "monitor/ExploreModel.h"
#include "monitor/SlotTableModel.h"
#include "schedule/RunChoice.h"
#include "schedule/Schedule.h"
#include "schedule/ThreadSchedule.h"
#include "shell/AddressBar.h"
#include "shell/Skin.h"
#include "shell/WindowPlacement.h"
#include "ui/common/Colours.h"
#include "ui/common/SkinPictures.h"
#include "ui/main/DlgSelectSkin.h"
#include "ui/monitor/FormDownloader.h"
#include "ui/monitor/FormExplore.h"
#include "ui/monitor/FormStatus.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QMovie>
#include <QMimeData>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QToolButton>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace arvelo {
namespace {

const char *const kStillRunning = "A Arvelo Task is still running.  \nDo you want to abort this task and exit?";

std::string PlacementKey() { return std::string(kSettingsKey) + "\\FormArvelo"; }


bool IsEnter(const QKeyEvent *event) { return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter; }

// A combo box that tells before its list drops down, so that the list can
// be filled from what is current, and when Enter is pressed in its edit box
// (once, whether the key comes to the combo box or to its edit box).
class TDropDownCombo : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> beforeDropDown, onEnter;

    void showPopup() override
    {
        if (beforeDropDown)
            beforeDropDown();
        QComboBox::showPopup();
    }

    void SetEditable()
    {
        setEditable(true);
        lineEdit()->installEventFilter(this);
    }

protected:
    // Keys typed into the box reach the combo box, which hands them to its
    // edit box directly, past any filter.
    void keyPressEvent(QKeyEvent *event) override
    {
        if (IsEnter(event) && onEnter) {
            onEnter();
            event->accept();
            return;
        }
        QComboBox::keyPressEvent(event);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == lineEdit() && event->type() == QEvent::KeyPress && onEnter &&
            IsEnter(static_cast<QKeyEvent *>(event))) {
            onEnter();
            return true;
        }
        return QComboBox::eventFilter(watched, event);
    }
};

// A button of the address bar: its picture, or its text when it has none.
QToolButton *Button(const char *name, const QString &text, const QString &hint, QWidget *parent,
                    QStyle::StandardPixmap picture = QStyle::SP_CustomBase)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(text);
    button->setToolTip(hint);
    if (picture != QStyle::SP_CustomBase) {
        button->setIcon(parent->style()->standardIcon(picture));
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    } else {
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    button->setAutoRaise(true);
    return button;
}

// The edit box with the keyboard focus (an editable combo box's included).
QLineEdit *FocusedEdit()
{
    QWidget *focus = QApplication::focusWidget();
    if (auto *combo = qobject_cast<QComboBox *>(focus))
        focus = combo->lineEdit();
    return qobject_cast<QLineEdit *>(focus);
}

// A page of the page control that later work fills.
QWidget *Page(const char *name, QWidget *parent)
{
    auto *page = new QWidget(parent);
    page->setObjectName(QString::fromLatin1(name));
    return page;
}

// The program's icon: the desktop theme's, else the one shipped beside the
// program's data.
QIcon ProgramWindowIcon()
{
    QIcon shipped;
    const QString folder = Q(ShippedDataFolder()) + QStringLiteral("../icons/hicolor/");
    for (int size : {16, 32, 48, 64, 128, 256})
        shipped.addFile(folder + QStringLiteral("%1x%1/apps/arvelo.png").arg(size), QSize(size, size));
    return QIcon::fromTheme(QStringLiteral("arvelo"), shipped);
}

} // namespace

template <typename Slot>
void TFormArvelo::Wire(const char *name, Slot slot)
{
    QAction *action = Action(name);
    action->setEnabled(true);
    connect(action, &QAction::triggered, this, slot);
}

TFormArvelo::TFormArvelo(QWidget *parent)
    : QMainWindow(parent), recentURLs_(std::string(kRootKey) + "\\Recent URLs", 20)
{
    TAVApp &app = *TAVApp::Instance();
    setObjectName(QStringLiteral("FormArvelo"));
    setWindowTitle(QString::fromLatin1(kProductCaption));
    QApplication::setApplicationDisplayName(QString::fromLatin1(kProductCaption));
    setAcceptDrops(true);
    setMinimumSize(540, 400);
    setWindowIcon(ProgramWindowIcon());

    tempLease_ = std::make_unique<TTempFolderLease>(app.TempFolder());
    engine_ = std::make_unique<TRunEngine>();
    events_ = std::make_unique<TRunEvents>(*engine_);
    engine_->slots.SetConnections(app.Connections(), false);
    slotModel_ = std::make_unique<TSlotTableModel>(engine_->slots, *events_);
    exploreModel_ = std::make_unique<TExploreModel>(*events_);
    exploreModel_->Bind(engine_->run.CurrentTask());
    zips_ = std::make_unique<TZipBrowser>(engine_->run.Extracted());
    recentURLs_.SetMaximum(app.MaxURLHistory());
    recentURLs_.Load();

    BuildPanes(BuildAddressBar());
    BuildMenus();
    ConnectEngine();
    ConnectHelp();
    ApplySkin();
    FirstActivation();
    ShowPage(app.ZipPropertiesFirst() ? tsTasks : tsHome);
    // Hints stay long enough to be read.
    for (QWidget *child : findChildren<QWidget *>())
        if (!child->toolTip().isEmpty())
            child->setToolTipDuration(10000);

    engine_->tasks.LoadActiveTasks();
    schedule_ = std::make_unique<TThreadSchedule>([this] {
        if (closing_)
            return;
        engine_->run.CheckSchedules();
        pnlStatus->CheckResources();
    });
}

TFormArvelo::~TFormArvelo()
{
    closing_ = true;
    schedule_.reset();
    if (TAVTask *running = engine_->run.RunningTask())
        engine_->run.StopTask(*running);
    // The pages show the engine's objects: they go before it does.
    delete takeCentralWidget();
}

QWidget *TFormArvelo::BuildAddressBar()
{
    auto *bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("pnlAddressBar"));
    bar->setAttribute(Qt::WA_StyledBackground);
    btnNew = Button("btnNew", QStringLiteral("New"), QStringLiteral("New Download Task"), bar, QStyle::SP_FileIcon);
    btnOpen = Button("btnOpen", QStringLiteral("Open"), QStringLiteral("Open a Zip file"), bar,
                     QStyle::SP_DialogOpenButton);
    btnDownloads = Button("btnDownloads", QStringLiteral("Downloads"), QStringLiteral("Open the Downloads folder"),
                          bar, QStyle::SP_DirOpenIcon);
    downloadsMenu_ = new QMenu(btnDownloads);
    connect(downloadsMenu_, &QMenu::aboutToShow, this, [this] { FillDownloadsMenu(downloadsMenu_); });
    btnDownloads->setMenu(downloadsMenu_);
    btnDownloads->setPopupMode(QToolButton::MenuButtonPopup);
    connect(btnDownloads, &QToolButton::clicked, this, [] {
        QDesktopServices::openUrl(QUrl::fromLocalFile(Q(TAVApp::Instance()->DownloadsFolder())));
    });

    btnArveloMode = Button("btnArveloMode", QStringLiteral("Arvelo Mode"), QStringLiteral("Default: Arvelo Mode."), bar,
                           QStyle::SP_DriveFDIcon);
    btnIntranetMode = Button("btnIntranetMode", QStringLiteral("Personal Intranet"),
                             QStringLiteral("Default: Personal Intranet Mode"), bar, QStyle::SP_DirHomeIcon);
    auto *modes = new QButtonGroup(bar);
    for (QToolButton *button : {btnArveloMode, btnIntranetMode}) {
        button->setCheckable(true);
        modes->addButton(button);
    }
    connect(btnArveloMode, &QToolButton::clicked, this, [this] { SetIntranetMode(false); });
    connect(btnIntranetMode, &QToolButton::clicked, this, [this] { SetIntranetMode(true); });
    btnAddToSelectedZip = Button("btnAddToSelectedZip", QStringLiteral("Add to Zip"),
                                 QStringLiteral("Add downloaded websites to the selected Zip"), bar,
                                 QStyle::SP_FileDialogNewFolder);
    btnAddToSelectedZip->setCheckable(true);
    // Enabled only while an archive is selected in the archive tree.
    btnAddToSelectedZip->setEnabled(false);
    btnHelp = Button("btnHelp", QStringLiteral("Help"), QStringLiteral("Help"), bar);

    auto *urls = new TDropDownCombo(bar);
    urls->beforeDropDown = [this] { FillRecentURLs(); };
    urls->onEnter = [this] { Go(); };
    urls->SetEditable();
    cmbURL = urls;
    cmbURL->setObjectName(QStringLiteral("cmbURL"));
    cmbURL->setInsertPolicy(QComboBox::NoInsert);
    cmbURL->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    cmbURL->lineEdit()->setPlaceholderText(QStringLiteral("http://"));
    cmbURL->setToolTip(QStringLiteral("Address of the website to download"));

    auto *profiles = new TDropDownCombo(bar);
    profiles->beforeDropDown = [this] { FillProfiles(); };
    cmbProfile = profiles;
    cmbProfile->setObjectName(QStringLiteral("cmbProfile"));
    cmbProfile->setToolTip(QStringLiteral("Select a profile to specify what,\nand how much, should be retrieved"));
    cmbProfile->setMinimumContentsLength(12);

    btnGo = Button("btnGo", QStringLiteral("GO"), QStringLiteral("Download the website"), bar);
    btnGo->setStyleSheet(QStringLiteral("#btnGo { font-weight: bold; padding: 2px 10px; }"));
    goMenu_ = new QMenu(btnGo);
    connect(goMenu_->addAction(QStringLiteral("GO")), &QAction::triggered, this, [this] { Go(); });
    QAction *newFromAddress = goMenu_->addAction(QStringLiteral("New Download Task..."));
    newFromAddress->setObjectName(QStringLiteral("miGoNewTask"));
    connect(newFromAddress, &QAction::triggered, this, [this] { NewTaskFromAddress(); });
    connect(goMenu_->addAction(QStringLiteral("Map")), &QAction::triggered, this, [this] { Go(true); });
    btnGo->setMenu(goMenu_);
    btnGo->setPopupMode(QToolButton::MenuButtonPopup);
    connect(btnGo, &QToolButton::clicked, this, [this] { Go(); });
    btnGo->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(btnGo, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { goMenu_->popup(btnGo->mapToGlobal(at)); });

    // The skin's animation: still while idle, running while a task runs.
    imgAnimation = new QLabel(bar);
    imgAnimation->setObjectName(QStringLiteral("imgAnimation"));
    imgAnimation->setFixedSize(32, 32);
    imgAnimation->setScaledContents(true);

    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(3);
    for (QWidget *widget : {static_cast<QWidget *>(btnNew), static_cast<QWidget *>(btnOpen),
                            static_cast<QWidget *>(btnDownloads), static_cast<QWidget *>(btnArveloMode),
                            static_cast<QWidget *>(btnIntranetMode), static_cast<QWidget *>(btnAddToSelectedZip),
                            static_cast<QWidget *>(btnHelp)})
        layout->addWidget(widget);
    layout->addSpacing(6);
    layout->addWidget(cmbURL, 1);
    layout->addWidget(cmbProfile);
    layout->addWidget(btnGo);
    layout->addWidget(imgAnimation);
    return bar;
}

void TFormArvelo::BuildPanes(QWidget *addressBar)
{
    // The skin's colours are the palette's, which stays as it is while the
    // program runs: set once, as a new style sheet restyles every control.
    const TPalette &palette = TAVApp::Instance()->Palette();
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("pnlMain"));
    central->setAttribute(Qt::WA_StyledBackground);
    central->setStyleSheet(QStringLiteral("#pnlMain { background: %1; } #pnlLinks, #pnlAddressBar { background: %2; }"
                                          " QSplitter::handle { background: %3; }")
                               .arg(CssColour(palette.colour[1]), CssColour(palette.colour[3]),
                                    CssColour(palette.colour[2])));

    pcZips = new TZipPane(*zips_, central);
    tvZip = pcZips->Archives();
    tvPages = pcZips->Pages();
    tvIntranet = pcZips->Intranet();

    // The pages, switched by the link labels above them.
    auto *pages = new QWidget(central);
    pages->setObjectName(QStringLiteral("pnlPages"));
    PageControl = new QStackedWidget(pages);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    tsProperties = Page("tsProperties", PageControl);
    formZip_ = new TFormZip(*zips_, tsProperties);
    auto *propertiesLayout = new QVBoxLayout(tsProperties);
    propertiesLayout->setContentsMargins(0, 0, 0, 0);
    propertiesLayout->addWidget(formZip_);
    tsBrowse = Page("tsBrowse", PageControl);
    tsTasks = Page("tsTasks", PageControl);
    formScheduler_ = new TFormScheduler(*engine_, *events_, tsTasks);
    (new QVBoxLayout(tsTasks))->addWidget(formScheduler_);
    connect(formScheduler_, &TFormScheduler::RunRequested, this, [this] { engine_->run.CheckSchedules(); });
    // A task file dropped or given as the first argument is added through the editor.
    RegisterOpenHandler(TOpenKind::kTask, [this](const std::vector<std::string> &files) {
        ShowPage(tsTasks);
        for (const std::string &file : files)
            formScheduler_->AddTask(file);
    });
    formDownloader_ = new TFormDownloader(engine_->slots, *slotModel_, PageControl);
    tsSockets = formDownloader_;
    tsExplore = Page("tsExplore", PageControl);
    formExplore_ = new TFormExplore(*exploreModel_, tsExplore);
    auto *exploreLayout = new QVBoxLayout(tsExplore);
    exploreLayout->setContentsMargins(0, 0, 0, 0);
    exploreLayout->addWidget(formExplore_);
    tsHome = Page("tsHome", PageControl);
    // The Home and Browse pages each show their built-in browser.
    auto status = [this](const QString &text) { pnlStatus->ShowStatus(text, 0, 0); };
    const std::string home = ShippedDataFolder() + "Home.htm";
    homeBrowser_ = new TFormBrowser(status, tsHome);
    homeBrowser_->SetHome(home);
    browseBrowser_ = new TFormBrowser(status, tsBrowse);
    browseBrowser_->SetHome(home);
    for (auto [page, browser] : {std::pair{tsHome, homeBrowser_}, std::pair{tsBrowse, browseBrowser_}}) {
        auto *pageLayout = new QVBoxLayout(page);
        pageLayout->setContentsMargins(0, 0, 0, 0);
        pageLayout->addWidget(browser);
    }
    for (QWidget *page : {tsProperties, tsBrowse, tsTasks, tsSockets, tsExplore, tsHome}) {
        page->setAutoFillBackground(true);
        PageControl->addWidget(page);
    }

    auto *links = new QWidget(pages);
    links->setObjectName(QStringLiteral("pnlLinks"));
    links->setAttribute(Qt::WA_StyledBackground);
    auto *linksLayout = new QHBoxLayout(links);
    linksLayout->setContentsMargins(6, 3, 6, 3);
    linksLayout->setSpacing(10);
    auto link = [&](QLabel *&label, QAction *&action, const char *labelName, const char *actionName,
                    const QString &caption, QWidget *page) {
        action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(actionName));
        connect(action, &QAction::triggered, this, [this, page] { page == tsBrowse ? BrowseExecute() : ShowPage(page); });
        addAction(action);
        label = new QLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(caption), links);
        label->setObjectName(QString::fromLatin1(labelName));
        label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        connect(label, &QLabel::linkActivated, action, &QAction::trigger);
        linksLayout->addWidget(label);
    };
    link(lblZipProperties, actZipProperties, "lblZipProperties", "actZipProperties", QStringLiteral("Zip Properties"),
         tsProperties);
    link(lblConnections, actConnections, "lblConnections", "actConnections", QStringLiteral("Connections"), tsSockets);
    link(lblExplore, actExplore, "lblExplore", "actExplore", QStringLiteral("Explore"), tsExplore);
    link(lblBrowse, actBrowse, "lblBrowse", "actBrowse", QStringLiteral("Browse"), tsBrowse);
    lblBrowse->setToolTip(QStringLiteral("Click twice to toggle wide-view"));
    link(lblTasks, actTasks, "lblTasks", "actTasks", QStringLiteral("Tasks"), tsTasks);
    link(lblHome, actHome, "lblHome", "actHome", QStringLiteral("Arvelo Home"), tsHome);
    linksLayout->addStretch(1);
    // The links are never cut: the archive pane gives way first.
    pages->setMinimumWidth(links->sizeHint().width());

    auto *pagesLayout = new QVBoxLayout(pages);
    pagesLayout->setContentsMargins(0, 0, 0, 0);
    pagesLayout->setSpacing(0);
    pagesLayout->addWidget(links);
    pagesLayout->addWidget(PageControl, 1);

    splitter_ = new QSplitter(Qt::Horizontal, central);
    splitter_->setObjectName(QStringLiteral("splitter"));
    splitter_->addWidget(pcZips);
    splitter_->addWidget(pages);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({200, 440});
    splitter_->setHandleWidth(4);

    pnlStatus = new TFormStatus(central);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    addressBar->setParent(central);
    layout->addWidget(addressBar);
    // The skin's banner strip, tiled along the window.
    imgBanner = new QWidget(central);
    imgBanner->setObjectName(QStringLiteral("imgBanner"));
    imgBanner->setAutoFillBackground(true);
    imgBanner->setFixedHeight(0);
    layout->addWidget(imgBanner);
    layout->addWidget(splitter_, 1);
    layout->addWidget(pnlStatus);
    setCentralWidget(central);
}

QAction *TFormArvelo::AddAction(QMenu *menu, const char *name, const QString &text, const QString &keys)
{
    auto *action = new QAction(text, this);
    action->setObjectName(QString::fromLatin1(name));
    if (!keys.isEmpty())
        action->setShortcut(QKeySequence(keys));
    // Each entry waits, disabled, until the work behind it is wired.
    action->setEnabled(false);
    menu->addAction(action);
    return action;
}

QAction *TFormArvelo::AddShownKeyAction(QMenu *menu, const char *name, const QString &text, const QString &keys)
{
    // The menu shows the key; the key itself belongs to the control it acts
    // on (edit boxes, the zips tree, the task list), where it is not ambiguous.
    return AddAction(menu, name, text + QLatin1Char('\t') + keys);
}

QAction *TFormArvelo::Action(const char *name) const { return findChild<QAction *>(QString::fromLatin1(name)); }

void TFormArvelo::BuildMenus()
{
    QMenuBar *bar = menuBar();
    menuFile_ = bar->addMenu(QStringLiteral("&File"));
    QMenu *fileNew = menuFile_->addMenu(QStringLiteral("&New"));
    AddAction(fileNew, "miFileNewFileZip", QStringLiteral("File Zip..."), QStringLiteral("F6"));
    QAction *newDownloadTask = AddAction(fileNew, "miFileNewDownloadTask", QStringLiteral("Download Task..."),
                                         QStringLiteral("F7"));
    QMenu *special = fileNew->addMenu(QStringLiteral("Special"));
    AddAction(special, "miFileNewToday", QStringLiteral("New Arvelo's for"));
    AddAction(menuFile_, "miFileOpen", QStringLiteral("&Open..."));
    AddAction(menuFile_, "miFileClose", QStringLiteral("&Close"));
    reopenMenu_ = menuFile_->addMenu(QStringLiteral("&Reopen"));
    reopenMenu_->setObjectName(QStringLiteral("miFileReopen"));
    connect(reopenMenu_, &QMenu::aboutToShow, this, [this] { FillReopenMenu(reopenMenu_); });
    menuFile_->addSeparator();
    QAction *exit = AddAction(menuFile_, "miFileExit", QStringLiteral("E&xit"), QStringLiteral("Alt+F4"));
    exit->setEnabled(true);
    connect(exit, &QAction::triggered, this, &QWidget::close);
    connect(menuFile_, &QMenu::aboutToShow, this, [this] { UpdateFileMenu(); });

    menuEdit_ = bar->addMenu(QStringLiteral("&Edit"));
    QAction *undo = AddShownKeyAction(menuEdit_, "miEditUndo", QStringLiteral("&Undo"), QStringLiteral("Ctrl+Z"));
    menuEdit_->addSeparator();
    QAction *cut = AddShownKeyAction(menuEdit_, "miEditCut", QStringLiteral("Cu&t"), QStringLiteral("Ctrl+X"));
    QAction *copy = AddShownKeyAction(menuEdit_, "miEditCopy", QStringLiteral("&Copy"), QStringLiteral("Ctrl+C"));
    QAction *paste = AddShownKeyAction(menuEdit_, "miEditPaste", QStringLiteral("&Paste"), QStringLiteral("Ctrl+V"));
    auto onFocusedEdit = [](const std::function<void(QLineEdit &)> &act) {
        return [act] {
            if (QLineEdit *edit = FocusedEdit())
                act(*edit);
        };
    };
    connect(undo, &QAction::triggered, this, onFocusedEdit([](QLineEdit &edit) { edit.undo(); }));
    connect(cut, &QAction::triggered, this, onFocusedEdit([](QLineEdit &edit) { edit.cut(); }));
    connect(copy, &QAction::triggered, this, onFocusedEdit([](QLineEdit &edit) { edit.copy(); }));
    connect(paste, &QAction::triggered, this, onFocusedEdit([](QLineEdit &edit) { edit.paste(); }));
    menuEdit_->addSeparator();
    QAction *pasteURL = AddAction(menuEdit_, "miPasteURL", QStringLiteral("Paste URL..."), QStringLiteral("Ctrl+B"));
    pasteURL->setEnabled(true);
    connect(pasteURL, &QAction::triggered, this, &TFormArvelo::PasteURL);
    connect(menuEdit_, &QMenu::aboutToShow, this, [this] { UpdateEditMenu(); });

    menuView_ = bar->addMenu(QStringLiteral("&View"));
    QMenu *zipPane = menuView_->addMenu(QStringLiteral("Zip Pane"));
    AddAction(zipPane, "miSplitHorizontally", QStringLiteral("Split Horizontally"));
    AddAction(zipPane, "miSplitVertically", QStringLiteral("Split Vertically"));
    QMenu *downloads = menuView_->addMenu(QStringLiteral("Downloads Folder"));
    downloads->setObjectName(QStringLiteral("miDownloadsFolder"));
    connect(downloads, &QMenu::aboutToShow, this, [this, downloads] { FillDownloadsMenu(downloads); });
    AddAction(menuView_, "miProfilesEditor", QStringLiteral("Profiles Editor..."));
    QMenu *options = menuView_->addMenu(QStringLiteral("Options"));
    AddAction(options, "miPreferences", QStringLiteral("Preferences..."));
    AddAction(options, "miSelectSkin", QStringLiteral("Select Skin..."), QStringLiteral("Ctrl+K"));

    // Ctrl+N stands for both "new task" entries: one action in both menus.
    auto *newTask = new QAction(QStringLiteral("New..."), this);
    newTask->setObjectName(QStringLiteral("actNewTask"));
    newTask->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
    newTask->setEnabled(false);
    addAction(newTask);

    menuZip_ = bar->addMenu(QStringLiteral("&Zip"));
    QMenu *zipNew = menuZip_->addMenu(QStringLiteral("&New"));
    AddAction(zipNew, "miZipNewFileZip", QStringLiteral("File Zip..."), QStringLiteral("Ctrl+F"));
    // The key is actNewTask's.
    QAction *webZip = AddShownKeyAction(zipNew, "miZipNewWebZip", QStringLiteral("Web Zip..."), QStringLiteral("Ctrl+N"));
    AddAction(menuZip_, "miZipOpen", QStringLiteral("&Open..."), QStringLiteral("Ctrl+O"));
    AddAction(menuZip_, "miZipClose", QStringLiteral("&Close"));
    menuZip_->addSeparator();
    AddShownKeyAction(menuZip_, "miZipAdd", QStringLiteral("&Add..."), QStringLiteral("Ctrl+A"));
    AddShownKeyAction(menuZip_, "miZipDelete", QStringLiteral("&Delete"), QStringLiteral("Del"));
    AddAction(menuZip_, "miZipUnzip", QStringLiteral("&Unzip..."), QStringLiteral("Ctrl+U"));
    AddShownKeyAction(menuZip_, "miZipRename", QStringLiteral("&Rename"), QStringLiteral("Ctrl+R"));
    menuZip_->addSeparator();
    QMenu *zipBrowse = menuZip_->addMenu(QStringLiteral("&Browse"));
    AddAction(zipBrowse, "miZipBrowseBrowser", QStringLiteral("Web Browser..."));
    AddAction(zipBrowse, "miZipBrowseOtherBrowser", QStringLiteral("Other Web Browser..."));
    AddAction(zipBrowse, "miZipBrowseTextEditor", QStringLiteral("Text Editor"));

    menuTask_ = bar->addMenu(QStringLiteral("&Task"));
    QAction *taskNew = AddShownKeyAction(menuTask_, "miTaskNew", QStringLiteral("&New..."), QStringLiteral("Ctrl+N"));
    AddAction(menuTask_, "miTaskEdit", QStringLiteral("&Edit..."), QStringLiteral("Ctrl+E"));
    AddAction(menuTask_, "miTaskDelete", QStringLiteral("&Delete"));
    menuTask_->addSeparator();
    AddShownKeyAction(menuTask_, "miTaskRun", QStringLiteral("&Run"), QStringLiteral("Ctrl+R"));
    AddAction(menuTask_, "miTaskStop", QStringLiteral("&Stop"), QStringLiteral("Ctrl+S"));
    AddAction(menuTask_, "miTaskSchedule", QStringLiteral("S&chedule..."));
    AddAction(menuTask_, "miTaskUnschedule", QStringLiteral("&Unschedule"));
    menuTask_->addSeparator();
    QMenu *taskCopy = menuTask_->addMenu(QStringLiteral("&Copy"));
    AddAction(taskCopy, "miTaskCopyURL", QStringLiteral("Start Page URL"));
    AddAction(taskCopy, "miTaskCopyLocalURL", QStringLiteral("Start Page URL (local)"));
    QMenu *taskBrowse = menuTask_->addMenu(QStringLiteral("&Browse"));
    QMenu *offline = taskBrowse->addMenu(QStringLiteral("&Offline"));
    AddAction(offline, "miTaskOfflineBrowser", QStringLiteral("Web Browser..."));
    AddAction(offline, "miTaskOfflineOtherBrowser", QStringLiteral("Other Web Browser..."));
    AddAction(offline, "miTaskOfflineIntegrated", QStringLiteral("Integrated &Browser"));
    QMenu *online = taskBrowse->addMenu(QStringLiteral("On &Internet"));
    AddAction(online, "miTaskOnlineBrowser", QStringLiteral("Web Browser..."));
    AddAction(online, "miTaskOnlineOtherBrowser", QStringLiteral("Other Web Browser..."));
    AddAction(online, "miTaskOnlineIntegrated", QStringLiteral("Integrated &Browser"));
    AddAction(menuTask_, "miTaskExplore", QStringLiteral("E&xplore"));
    QMenu *reports = menuTask_->addMenu(QStringLiteral("Re&ports"));
    AddAction(reports, "miTaskReportSummary", QStringLiteral("Task Summary"));
    AddAction(reports, "miTaskReportPages", QStringLiteral("Page Index"));
    AddAction(reports, "miTaskReportImages", QStringLiteral("ImageIndex"));
    AddAction(reports, "miTaskReportErrors", QStringLiteral("Errors"));
    reports->addSeparator();
    AddAction(reports, "miTaskReportCreate", QStringLiteral("Create Reports"));

    menuHelp_ = bar->addMenu(QStringLiteral("&Help"));
    AddAction(menuHelp_, "miHelpContents", QStringLiteral("&Contents..."), QStringLiteral("F1"));
    AddAction(menuHelp_, "miHelpOnline", QStringLiteral("Online Help..."));
    AddAction(menuHelp_, "miHelpNews", QStringLiteral("News..."));
    AddAction(menuHelp_, "miHelpTour", QStringLiteral("Tour..."));
    AddAction(menuHelp_, "miHelpHomePage", QStringLiteral("Home Page..."));
    AddAction(menuHelp_, "miHelpReleaseNotes", QStringLiteral("Release Notes"));
    menuHelp_->addSeparator();
    AddAction(menuHelp_, "miHelpAbout", QStringLiteral("&About..."));

    // The new Personal Intranet website: a new task whatever the mode buttons say.
    auto *newIntranetSite = new QAction(QStringLiteral("New Personal Intranet Website..."), this);
    newIntranetSite->setObjectName(QStringLiteral("actNewIntranetSite"));
    connect(newIntranetSite, &QAction::triggered, this, [this] { NewTask({}, kCustomProfile, false, true); });
    auto *intranetMenu = new QMenu(tvIntranet);
    intranetMenu->addAction(newIntranetSite);
    tvIntranet->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tvIntranet, &QWidget::customContextMenuRequested, this,
            [this, intranetMenu](const QPoint &at) { intranetMenu->popup(tvIntranet->viewport()->mapToGlobal(at)); });

    // The archive tree's pop-up is the Zip menu; the keys that the Task menu
    // shows as well act here only while the tree has the focus.
    tvZip->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tvZip, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { menuZip_->popup(tvZip->viewport()->mapToGlobal(at)); });
    for (const auto &[name, keys] : {std::pair{"miZipAdd", "Ctrl+A"}, {"miZipDelete", "Del"}, {"miZipRename", "Ctrl+R"}}) {
        QAction *entry = Action(name);
        auto *key = new QAction(tvZip);
        key->setObjectName(QString::fromLatin1(name) + QStringLiteral("Key"));
        key->setShortcut(QKeySequence(QString::fromLatin1(keys)));
        key->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(key, &QAction::triggered, entry, [this, entry] {
            UpdateArchiveCommands(); // as the menu would show them now
            if (entry->isEnabled())
                entry->trigger();
        });
        tvZip->addAction(key);
    }

    // Every "new task" command goes to the task editor.
    auto editNew = [this] { NewTask({}, kCustomProfile, false, btnIntranetMode->isChecked()); };
    for (QAction *action : {newTask, newDownloadTask, webZip, taskNew})
        connect(action, &QAction::triggered, this, editNew);
    connect(btnNew, &QToolButton::clicked, newTask, &QAction::trigger);
    auto updateNewCommands = [this, newTask, newDownloadTask, webZip, taskNew, newIntranetSite] {
        bool editor = static_cast<bool>(engine_->run.OnEditNewTask);
        for (QAction *action : {newTask, newDownloadTask, webZip, taskNew, newIntranetSite, Action("miGoNewTask")})
            action->setEnabled(editor);
        btnNew->setEnabled(editor);
    };
    for (QMenu *menu : {menuFile_, menuZip_, menuTask_, goMenu_, intranetMenu})
        connect(menu, &QMenu::aboutToShow, this, updateNewCommands);
    updateNewCommands();
}

void TFormArvelo::ConnectArchives()
{
    // The status line tells what the archive commands do.
    connect(zips_.get(), &TZipBrowser::Status, pnlStatus,
            [this](const std::string &text, int position, int total) { pnlStatus->ShowStatus(Q(text), position, total); });
    zips_->OnReplace = [this](const std::string &existing, const std::string &incoming) {
        return Dialogs().ReplaceFile(this, existing, incoming);
    };
    zips_->OnConfirmTrash = [this](const std::string &file) { return Dialogs().ConfirmTrash(this, file); };
    connect(events_.get(), &TRunEvents::ArchiveUpdated, this, [this](TAVTask *) { zips_->RunArchiveUpdated(); });
    // Selecting another archive shows its properties, unless the tasks are shown.
    connect(pcZips, &TZipPane::ArchiveSelected, this, [this] {
        if (CurrentPage() != tsTasks)
            ShowPage(tsProperties);
    });
    connect(zips_.get(), &TZipBrowser::EntriesChanged, this, &TFormArvelo::UpdateArchiveCommands);
    // The Personal Intranet tab browses the copies on disk.
    connect(pcZips, &TZipPane::IntranetChosen, this, [this] { ShowPage(tsBrowse); });
    connect(pcZips, &TZipPane::PopupRequested, this, [this](const QPoint &at) { menuZip_->popup(at); });
    connect(formZip_, &TFormZip::PopupRequested, this, [this](const QPoint &at) { menuZip_->popup(at); });

    const auto on = [this](const char *name, auto slot) { Wire(name, slot); };
    on("miFileOpen", [this] { OpenArchiveDialog(); });
    on("miZipOpen", [this] { OpenArchiveDialog(); });
    connect(btnOpen, &QToolButton::clicked, this, [this] { OpenArchiveDialog(); });
    on("miFileNewFileZip", [this] { FileZipWizard(false); });
    on("miZipNewFileZip", [this] { FileZipWizard(false); });
    on("miFileNewToday", [this] { OpenTodaysArchive(); });
    on("miFileClose", [this] { zips_->Close(zips_->CurrentArchive()); });
    on("miZipClose", [this] { zips_->Close(zips_->CurrentArchive()); });
    on("miZipAdd", [this] { FileZipWizard(true); });
    on("miZipDelete", [this] { DeleteInArchives(); });
    on("miZipUnzip", [this] { UnzipArchive(); });
    on("miZipRename", [this] { pcZips->StartRename(); });
    QAction *abort = menuZip_->addAction(QStringLiteral("A&bort"));
    abort->setObjectName(QStringLiteral("miZipAbort"));
    connect(abort, &QAction::triggered, this, [this] { zips_->AskAbort(); });
    on("miZipBrowseBrowser", [this] { BrowseArchiveEntry(TBrowseWith::kFirst, formZip_->List()->hasFocus()); });
    on("miZipBrowseOtherBrowser", [this] { BrowseArchiveEntry(TBrowseWith::kSecond, formZip_->List()->hasFocus()); });
    on("miZipBrowseTextEditor", [this] { BrowseArchiveEntry(TBrowseWith::kTextEditor, formZip_->List()->hasFocus()); });
    // A double click opens the entry with the program of its type.
    connect(formZip_, &TFormZip::OpenEntryRequested, this, [this] { BrowseArchiveEntry(TBrowseWith::kDefault, true); });
    on("miPreferences", [this] { OpenPreferences(); });
    auto *browserProperties = new QAction(QStringLiteral("Browser Properties..."), this);
    browserProperties->setObjectName(QStringLiteral("actBrowserProperties"));
    connect(browserProperties, &QAction::triggered, this, [this] { OpenPreferences(TdlgOptions::kBrowser); });
    addAction(browserProperties);
    on("miHelpReleaseNotes", [this] {
        ShowPage(tsBrowse);
        browseBrowser_->Navigate(ShippedDataFolder() + "Release_Notes.htm");
    });
    on("miSplitHorizontally", [this] { splitter_->setOrientation(Qt::Horizontal); });
    on("miSplitVertically", [this] { splitter_->setOrientation(Qt::Vertical); });
    for (QMenu *menu : {menuFile_, menuZip_})
        connect(menu, &QMenu::aboutToShow, this, &TFormArvelo::UpdateArchiveCommands);
    // The browsers are looked up when a menu that names them opens, not at every selection.
    connect(menuZip_, &QMenu::aboutToShow, this, &TFormArvelo::UpdateBrowserEntries);
    // The entry list's Del key deletes its chosen entries.
    auto *listDelete = new QAction(formZip_->List());
    listDelete->setObjectName(QStringLiteral("miZipDeleteListKey"));
    listDelete->setShortcut(QKeySequence(QKeySequence::Delete));
    listDelete->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(listDelete, &QAction::triggered, this, [this] { DeleteInArchives(); });
    formZip_->List()->addAction(listDelete);

    // Opened by a drop, an argument or the downloads menu.
    RegisterOpenHandler(TOpenKind::kArchive, [this](const std::vector<std::string> &files) {
        for (const std::string &file : files)
            OpenArchive(file);
    });
    RegisterOpenHandler(TOpenKind::kFiles, [this](const std::vector<std::string> &files) { FileZipWizard(false, files); });
    UpdateArchiveCommands();
}

bool TFormArvelo::FocusOnArchives() const
{
    QWidget *focus = QApplication::focusWidget();
    return focus && (focus == tvZip || focus == formZip_->List() || tvZip->isAncestorOf(focus));
}

void TFormArvelo::UpdateArchiveCommands()
{
    const TZipCommandStates states = zips_->States(FocusOnArchives());
    const std::pair<const char *, bool> enabled[] = {
        {"miFileClose", states.close}, {"miZipClose", states.close},   {"miZipAdd", states.add},
        {"miZipDelete", states.del},   {"miZipUnzip", states.unzip},   {"miZipRename", states.rename},
        {"miZipBrowseBrowser", states.browse}, {"miZipBrowseOtherBrowser", states.browse},
        {"miZipBrowseTextEditor", states.browse},
    };
    for (const auto &[name, on] : enabled)
        Action(name)->setEnabled(on);
    Action("miZipAbort")->setEnabled(zips_->Worker().Running());
    // "Add to Zip" needs an archive to add to.
    const bool archive = zips_->CurrentArchive() != nullptr;
    btnAddToSelectedZip->setEnabled(archive);
    if (!archive)
        btnAddToSelectedZip->setChecked(false);
}

void TFormArvelo::FillReopenMenu(QMenu *menu)
{
    menu->clear();
    for (const std::string &path : zips_->Recent().Entries())
        connect(menu->addAction(Q(path)), &QAction::triggered, this, [this, path] {
            zips_->Reopen(path);
            if (zips_->CurrentArchive())
                ShowPage(tsProperties);
        });
}

void TFormArvelo::OpenArchive(const std::string &path)
{
    zips_->Open(path);
    ShowPage(tsProperties);
}

void TFormArvelo::OpenArchiveDialog()
{
    const std::string file = Dialogs().OpenFileName(this, "Open Zip File", TAVApp::Instance()->DownloadsFolder(),
                                                    "Zip file (*.ZIP)|*.ZIP|All files (*.*)|*.*");
    if (!file.empty())
        OpenArchive(file);
}

void TFormArvelo::OpenTodaysArchive()
{
    const std::string date = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat).toStdString();
    OpenArchive(TodaysArchivePath(TAVApp::Instance()->DownloadsFolder(), date));
    // Future downloads go into it.
    UpdateArchiveCommands();
    btnAddToSelectedZip->setChecked(true);
}

void TFormArvelo::FileZipWizard(bool currentArchive, const StringList &files)
{
    TZipNode *current = zips_->CurrentArchive();
    TwizFileZip wizard(current && currentArchive ? current->record->path : std::string(), files, this);
    if (wizard.exec() != QDialog::Accepted)
        return;
    const TZipAddJob job = wizard.Job();
    zips_->Open(job.archive);
    ShowPage(tsProperties);
    if (!job.files.empty())
        zips_->Add(job);
}

void TFormArvelo::DeleteInArchives()
{
    if (formZip_->List()->hasFocus()) {
        zips_->DeleteRows(formZip_->SelectedRows());
        return;
    }
    zips_->DeleteNode(zips_->Selected());
}

void TFormArvelo::UnzipArchive()
{
    TZipNode *node = zips_->Selected();
    if (!node)
        return;
    TFormExtract extract(node->kind == TZipNode::kArchive, this);
    if (extract.exec() != QDialog::Accepted)
        return;
    TZipExtractJob job;
    job.entries = TZipTree::EntryNames(extract.AllFiles() ? node->Root() : node);
    job.folder = extract.Folder();
    job.usePaths = extract.UsePaths();
    job.overwrite = extract.Overwrite();
    zips_->Extract(job);
}

void TFormArvelo::OpenPreferences(int page)
{
    TdlgOptions options(recentURLs_, zips_->Recent(), this);
    options.ShowPage(static_cast<TdlgOptions::TPage>(page));
    if (options.exec() != QDialog::Accepted)
        return;
    TAVApp &app = *TAVApp::Instance();
    recentURLs_.SetMaximum(app.MaxURLHistory());
    recentURLs_.Save();
    FillRecentURLs();
    UpdateArchiveCommands();
    btnIntranetMode->setToolTip(Q(IntranetModeHint(app.LocalIntranetFolder())));
    btnArveloMode->setToolTip(Q(ArveloModeHint(app.DownloadsFolder())));
    pcZips->SetIntranetFolder(app.LocalIntranetFolder());
}

void TFormArvelo::UpdateFileMenu()
{
    if (QAction *today = Action("miFileNewToday"))
        today->setText(Q(TodaysArchiveCaption(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat)
                                                  .toStdString())));
}

void TFormArvelo::UpdateEditMenu()
{
    for (const char *name : {"miEditUndo", "miEditCut", "miEditCopy", "miEditPaste"})
        Action(name)->setEnabled(false);
    QLineEdit *edit = FocusedEdit();
    if (!edit)
        return;
    const bool selected = edit->hasSelectedText();
    Action("miEditCut")->setEnabled(selected && !edit->isReadOnly());
    Action("miEditCopy")->setEnabled(selected);
    Action("miEditUndo")->setEnabled(edit->isUndoAvailable());
    Action("miEditPaste")->setEnabled(!edit->isReadOnly() && !QApplication::clipboard()->text().isEmpty());
}

void TFormArvelo::FillDownloadsMenu(QMenu *menu)
{
    menu->clear();
    const std::string folder = TAVApp::Instance()->DownloadsFolder();
    for (const std::string &name : DownloadsMenuArchives(folder)) {
        QAction *entry = menu->addAction(Q(name));
        connect(entry, &QAction::triggered, this, [this, path = folder + name] {
            if (auto handler = openHandlers_.find(TOpenKind::kArchive); handler != openHandlers_.end())
                handler->second({path});
        });
    }
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("More...")), &QAction::triggered, this,
            [folder] { QDesktopServices::openUrl(QUrl::fromLocalFile(Q(folder))); });
}

void TFormArvelo::FillProfiles()
{
    const QString chosen = cmbProfile->currentText();
    cmbProfile->clear();
    for (const std::string &name : ProfileNames(TAVApp::Instance()->ProfilesFolder()))
        cmbProfile->addItem(Q(name));
    cmbProfile->setCurrentIndex(std::max(0, cmbProfile->findText(chosen)));
}

void TFormArvelo::FillRecentURLs()
{
    const QString text = cmbURL->currentText();
    cmbURL->clear();
    for (const std::string &address : recentURLs_.Entries())
        cmbURL->addItem(Q(address));
    cmbURL->setEditText(text);
}

void TFormArvelo::FirstActivation()
{
    TAVApp &app = *TAVApp::Instance();
    QList<QRect> screens;
    for (QScreen *screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    setGeometry(PlaceOnScreens(ReadWindowPlacement(PlacementKey()), screens, minimumSize()));
    (app.SaveMode() != 0 ? btnIntranetMode : btnArveloMode)->setChecked(true);
    recentURLs_.SetMaximum(app.MaxURLHistory());
    btnIntranetMode->setToolTip(Q(IntranetModeHint(app.LocalIntranetFolder())));
    btnArveloMode->setToolTip(Q(ArveloModeHint(app.DownloadsFolder())));
    FillRecentURLs();
    cmbURL->setEditText(QString());
    FillProfiles();
    pcZips->SetIntranetFolder(app.LocalIntranetFolder());
    BuildTrayIcon();
}

void TFormArvelo::ConnectTaskMenu()
{
    // The Task menu acts on the task pane's chosen tasks and shares its states.
    const std::pair<const char *, void (TFormScheduler::*)()> commands[] = {
        {"miTaskEdit", &TFormScheduler::Edit},         {"miTaskDelete", &TFormScheduler::Delete},
        {"miTaskRun", &TFormScheduler::Run},           {"miTaskStop", &TFormScheduler::Stop},
        {"miTaskSchedule", &TFormScheduler::Schedule}, {"miTaskUnschedule", &TFormScheduler::Unschedule},
    };
    for (const auto &[name, command] : commands)
        connect(Action(name), &QAction::triggered, formScheduler_, command);
    connect(Action("miTaskCopyURL"), &QAction::triggered, this, [this] { formScheduler_->CopyStartPage(false); });
    connect(Action("miTaskCopyLocalURL"), &QAction::triggered, this, [this] { formScheduler_->CopyStartPage(true); });
    connect(Action("miTaskExplore"), &QAction::triggered, formScheduler_, &TFormScheduler::Explore);
    const std::pair<const char *, TReportKind> reports[] = {
        {"miTaskReportSummary", TReportKind::kSummary}, {"miTaskReportPages", TReportKind::kPageIndex},
        {"miTaskReportImages", TReportKind::kImageIndex}, {"miTaskReportErrors", TReportKind::kErrors},
        {"miTaskReportCreate", TReportKind::kCreate},
    };
    for (const auto &[name, kind] : reports)
        connect(Action(name), &QAction::triggered, formScheduler_, [this, kind = kind] { formScheduler_->Report(kind); });
    // The list's pop-up is the Task menu, enabled the same way.
    connect(formScheduler_, &TFormScheduler::PopupRequested, this, [this](const QPoint &at) { menuTask_->popup(at); });
    connect(formScheduler_, &TFormScheduler::ExploreRequested, this, [this](TAVTask *task) {
        engine_->run.SelectTask(task);
        ShowPage(tsExplore);
    });
    const std::tuple<const char *, bool, TBrowseWith> browses[] = {
        {"miTaskOfflineBrowser", false, TBrowseWith::kFirst},      {"miTaskOfflineOtherBrowser", false, TBrowseWith::kSecond},
        {"miTaskOfflineIntegrated", false, TBrowseWith::kIntegrated}, {"miTaskOnlineBrowser", true, TBrowseWith::kFirst},
        {"miTaskOnlineOtherBrowser", true, TBrowseWith::kSecond},  {"miTaskOnlineIntegrated", true, TBrowseWith::kIntegrated},
    };
    for (const auto &[name, online, with] : browses)
        connect(Action(name), &QAction::triggered, this, [this, online = online, with = with] {
            const std::vector<TAVTask *> selection = formScheduler_->Selection();
            if (!selection.empty())
                BrowseTask(selection.front(), online, with);
        });
    connect(formScheduler_, &TFormScheduler::BrowseRequested, this,
            [this](TAVTask *task) { BrowseTask(task, false, TBrowseWith::kDefault); });
    connect(formExplore_, &TFormExplore::BrowseRequested, this,
            [this](TAVTask *task, int row) { BrowseItem(task, row, false, TBrowseWith::kDefault); });
    connect(formExplore_, &TFormExplore::BrowseWithRequested, this, [this](TAVTask *task, int row, bool online, int browser) {
        BrowseItem(task, row, online, browser == 1 ? TBrowseWith::kFirst : TBrowseWith::kSecond);
    });
    connect(formExplore_->pmExplore, &QMenu::aboutToShow, this, &TFormArvelo::UpdateBrowserEntries);
    connect(menuTask_, &QMenu::aboutToShow, this, [this] {
        const TTaskCommandStates states = formScheduler_->States();
        for (const auto *name : {"miTaskOfflineBrowser", "miTaskOfflineOtherBrowser", "miTaskOfflineIntegrated",
                                 "miTaskOnlineBrowser", "miTaskOnlineOtherBrowser", "miTaskOnlineIntegrated"})
            Action(name)->setEnabled(states.browse);
        UpdateBrowserEntries();
        const std::pair<const char *, bool> enabled[] = {
            {"miTaskEdit", states.edit},          {"miTaskDelete", states.del},
            {"miTaskRun", states.run},            {"miTaskStop", states.stop},
            {"miTaskSchedule", states.schedule},  {"miTaskUnschedule", states.unschedule},
            {"miTaskCopyURL", states.copyURL},    {"miTaskCopyLocalURL", states.copyLocal},
            {"miTaskExplore", states.explore},    {"miTaskReportSummary", states.reports},
            {"miTaskReportPages", states.reports}, {"miTaskReportImages", states.reports},
            {"miTaskReportErrors", states.reports}, {"miTaskReportCreate", states.reports},
        };
        for (const auto &[name, on] : enabled)
            Action(name)->setEnabled(on);
    });
}

void TFormArvelo::ConnectEngine()
{
    // "Custom" and every "new task" command set the task up in the editor.
    engine_->run.OnEditNewTask = [this](TAVTask &task) {
        TdlgEditTask editor(task, TTaskEditTitle::kCreate, recentURLs_.Entries(), this);
        return editor.exec() == QDialog::Accepted;
    };
    connect(Action("miProfilesEditor"), &QAction::triggered, this, [this] {
        TdlgEditProfile editor(this);
        editor.exec();
        FillProfiles();
    });
    Action("miProfilesEditor")->setEnabled(true);
    ConnectTaskMenu();
    ConnectArchives();
    // A dropped address (or one given at start) is copied with a profile chosen in one click.
    RegisterOpenHandler(TOpenKind::kAddress, [this](const std::vector<std::string> &texts) {
        TdlgAutoArvelo quickStart(texts.front(), ProfileFileNames(TAVApp::Instance()->ProfilesFolder()), this);
        if (quickStart.exec() != QDialog::Accepted)
            return;
        const std::string profile = quickStart.Profile().empty() ? std::string(kCustomProfile) : quickStart.Profile();
        NewTask(texts.front(), profile, false, btnIntranetMode->isChecked());
    });
    TRunEvents &events = *events_;
    connect(&events, &TRunEvents::Status, pnlStatus, [this](const std::string &text, int position, int total) {
        pnlStatus->ShowStatus(Q(text), position, total);
    });
    connect(&events, &TRunEvents::Counters, pnlStatus, [this](TAVTask *task) {
        if (task == pnlStatus->Task())
            pnlStatus->UpdateCounters();
    });
    connect(&events, &TRunEvents::CurrentTaskChanged, pnlStatus, [this](TAVTask *task) {
        pnlStatus->ClearStats();
        pnlStatus->BindTask(task);
    });
    connect(&events, &TRunEvents::RunStarted, this, [this](TAVTask *task, bool resumedInPlace) {
        if (!resumedInPlace)
            pnlStatus->ClearStats();
        pnlStatus->BindTask(task);
        OnRunStarted(task);
    });
    connect(&events, &TRunEvents::RunEnded, this, &TFormArvelo::OnRunEnded);
    connect(&events, &TRunEvents::Sample, pnlStatus, [this](int connections, int seconds, double kilobytes) {
        pnlStatus->AddSample(connections, seconds, 1, kilobytes);
    });
    connect(pnlStatus, &TFormStatus::RunRequested, this, &TFormArvelo::RunTask);
    connect(pnlStatus, &TFormStatus::StopRequested, this, [this](TAVTask *task) {
        if (engine_->run.RunningTask() == task)
            engine_->run.StopTask(*task);
    });
}

void TFormArvelo::OnRunStarted(TAVTask *task)
{
    pnlStatus->SetRunning(true);
    if (QMovie *movie = imgAnimation->movie())
        movie->start();
    // A zip-mode run's archive shows in the tree and fills as the run goes.
    if (!task->intranetMode)
        zips_->RunStarted(task->destination);
}

void TFormArvelo::OnRunEnded(TAVTask *task)
{
    pnlStatus->SetRunning(false);
    if (QMovie *movie = imgAnimation->movie()) {
        movie->stop();
        movie->jumpToFrame(0);
    }
    if (!task->intranetMode)
        zips_->RunEnded(task->destination);
    // A copy on disk gets its reports at the end of each run.
    if (task->intranetMode && !closing_)
        formScheduler_->OpenReportWindow(*task);
    if (task != pnlStatus->Task())
        return;
    pnlStatus->UpdateCounters();
    // A finished run leaves its outcome on the status line.
    if (task->status == tsZipped || task->status == tsTaskComplete)
        pnlStatus->ShowStatus(Q(TAVTask::StatusText(task->status)), 0, 0);
}

void TFormArvelo::RunTask(TAVTask *task)
{
    if (!task || engine_->run.RunningTask() == task)
        return;
    // A task that ran before is asked how to run again; one without items
    // keeps its run mode.
    if (NeedsRunChoice(*task)) {
        TdlgRunTask choice(*task, this);
        if (choice.exec() != QDialog::Accepted)
            return;
    }
    ScheduleNow(*task);
    try {
        task->Save(); // on the list of due tasks that the schedule check reads
    } catch (const EFileError &error) {
        Notifier().Error(error.what());
        return;
    }
    engine_->run.CheckSchedules();
}

bool TFormArvelo::NewTask(const std::string &address, const std::string &profile, bool map, bool intranet)
{
    // With "Add to Zip" down, the selected archive takes the copy.
    TZipNode *target = btnAddToSelectedZip->isChecked() ? zips_->CurrentArchive() : nullptr;
    TAVTask *task = engine_->run.NewTask(address, profile, map, intranet, target ? target->record->path : "");
    if (!task)
        return false;
    recentURLs_.Add(task->url);
    recentURLs_.Save();
    FillRecentURLs();
    cmbURL->setEditText(Q(task->url));
    // Due "Now": started at once rather than at the schedule's next check.
    engine_->run.CheckSchedules();
    return true;
}

void TFormArvelo::Go(bool map)
{
    const std::string address = cmbURL->currentText().trimmed().toStdString();
    if (address.empty())
        return;
    NewTask(address, cmbProfile->currentText().toStdString(), map, btnIntranetMode->isChecked());
}

void TFormArvelo::NewTaskFromAddress()
{
    NewTask(cmbURL->currentText().trimmed().toStdString(), kCustomProfile, false, btnIntranetMode->isChecked());
}

void TFormArvelo::PasteURL()
{
    std::string address = PastedAddress(QApplication::clipboard()->text().toStdString());
    if (address.empty())
        return;
    std::string normalised = address;
    if (NormalizeURL(normalised))
        cmbURL->setEditText(Q(normalised));
    NewTask(address, kCustomProfile, false, btnIntranetMode->isChecked());
}

void TFormArvelo::SetIntranetMode(bool intranet)
{
    (intranet ? btnIntranetMode : btnArveloMode)->setChecked(true);
    TAVApp::Instance()->SetSaveMode(intranet ? 1 : 0);
}

void TFormArvelo::ShowPage(QWidget *page, bool refresh)
{
    PageControl->setCurrentWidget(page);
    // The Home page shows the start page; the Browse page what is selected beside it.
    if (page == tsHome && !homeShown_) {
        homeShown_ = true;
        homeBrowser_->Navigate(ShippedDataFolder() + "Home.htm");
    } else if (page == tsBrowse && refresh) {
        RefreshBrowse();
    }
}

void TFormArvelo::OpenWith(TBrowseWith with, const std::string &target)
{
    switch (with) {
    case TBrowseWith::kIntegrated:
        ShowPage(tsBrowse, false);
        browseBrowser_->Navigate(target);
        break;
    case TBrowseWith::kFirst:
    case TBrowseWith::kSecond: {
        const std::string first = DefaultBrowserProgram();
        const std::string program = with == TBrowseWith::kFirst ? first : SecondBrowserProgram(first);
        if (!program.empty())
            StartProgram(program, {target});
        break;
    }
    case TBrowseWith::kTextEditor:
        OpenInTextEditor(target);
        break;
    case TBrowseWith::kDefault:
        QDesktopServices::openUrl(target.front() == '/' ? QUrl::fromLocalFile(Q(target)) : QUrl(Q(target)));
        break;
    }
}

bool TFormArvelo::WithLocalPage(TAVTask &task, const std::string &localFile,
                                std::function<void(const std::string &)> then)
{
    if (task.intranetMode) {
        then(localFile);
        return true;
    }
    if (!FileExists(task.destination))
        return false;
    // A zip copy is read from the Temp folder, where its archive is extracted.
    const std::string temp = IncludeTrailingSlash(TAVApp::Instance()->TempFolder());
    zips_->Open(task.destination, [this, temp, localFile, then = std::move(then)](TZipNode *root) {
        if (root)
            zips_->ExtractForBrowsing(root, temp, [localFile, then](int outcome) {
                if (outcome != 2)
                    then(localFile);
            });
    });
    return true;
}

void TFormArvelo::BrowseTask(TAVTask *task, bool online, TBrowseWith with)
{
    if (!task)
        return;
    if (online) {
        OpenWith(with, task->url);
        return;
    }
    const std::string root = task->intranetMode ? task->destination : TAVApp::Instance()->TempFolder();
    const std::string page = LocalFileName(IncludeTrailingSlash(root), URLDirectory(task->url), task->url);
    // The built-in browser beside a folder copy shows its folder in the intranet tree.
    if (task->intranetMode && with == TBrowseWith::kIntegrated)
        pcZips->ShowIntranetFolder(ExtractFilePath(page));
    if (!WithLocalPage(*task, page, [this, with](const std::string &file) { OpenWith(with, file); }) &&
        Notifier().Confirm("This task has not been run, or its resulting Zip file no longer exists. Run it now?"))
        RunTask(task);
}

void TFormArvelo::BrowseItem(TAVTask *task, int row, bool online, TBrowseWith with)
{
    TAVQItem *item = task ? exploreModel_->ItemAt(row) : nullptr;
    if (!item)
        return;
    item->LoadFields();
    const std::string url = item->LoadedText().URL;
    item->ReleaseFields();
    if (online) {
        OpenWith(with, url);
        return;
    }
    const std::string root = task->intranetMode ? task->destination : TAVApp::Instance()->TempFolder();
    const std::string page = LocalFileName(IncludeTrailingSlash(root), URLDirectory(task->url), url);
    if (!WithLocalPage(*task, page, [this, with](const std::string &file) { OpenWith(with, file); }))
        Notifier().Error("Zip file does not exist");
}

void TFormArvelo::BrowseArchiveEntry(TBrowseWith with, bool fromList)
{
    TZipNode *node = zips_->Selected();
    if (!node)
        return;
    std::string entry;
    if (fromList) {
        const std::vector<int> rows = formZip_->SelectedRows();
        if (rows.empty())
            return;
        entry = zips_->EntryModel().Row(rows.front()).Entry();
    } else if (node->kind == TZipNode::kArchive) {
        if (zips_->PagesModel().Count() == 0)
            return;
        entry = zips_->PagesModel().Entry(0);
    } else {
        entry = TZipTree::PathOf(node);
    }
    const std::string temp = IncludeTrailingSlash(TAVApp::Instance()->TempFolder());
    auto open = [this, with, target = temp + entry](int outcome) {
        if (outcome != 2)
            OpenWith(with, target);
    };
    // A page needs its site beside it; any other file is taken out alone.
    if (IsPageEntry(entry)) {
        zips_->ExtractForBrowsing(node->Root(), temp, open);
        return;
    }
    TZipExtractJob job{{entry}, temp, true, true};
    zips_->Extract(job, open);
}

void TFormArvelo::UpdateBrowserEntries()
{
    // The two browsers found stand where two fixed ones stood; absent ones hide.
    const std::string first = DefaultBrowserProgram();
    const std::string second = SecondBrowserProgram(first);
    auto caption = [](const std::string &program) {
        QString name = QFileInfo(Q(program)).baseName();
        if (!name.isEmpty())
            name[0] = name[0].toUpper();
        return QLatin1Char('&') + name + QStringLiteral("...");
    };
    for (QAction *action : findChildren<QAction *>()) {
        const QString name = action->objectName();
        const bool isFirst = name.endsWith(QLatin1String("OfflineBrowser")) || name.endsWith(QLatin1String("OnlineBrowser")) ||
                             name == QLatin1String("miZipBrowseBrowser") || name.startsWith(QLatin1String("pmiBrowseFirst"));
        const bool isSecond = name.endsWith(QLatin1String("OtherBrowser")) || name.startsWith(QLatin1String("pmiBrowseSecond"));
        if (isFirst || isSecond) {
            const std::string &program = isFirst ? first : second;
            action->setVisible(!program.empty());
            if (program.empty())
                action->setEnabled(false);
            else
                action->setText(caption(program));
        }
    }
}

void TFormArvelo::BrowseExecute()
{
    // A second click on Browse gives the page the whole width, or takes it back.
    const bool wide = CurrentPage() == tsBrowse && pcZips->isVisible();
    pcZips->setVisible(!wide);
    ShowPage(tsBrowse);
}

void TFormArvelo::RefreshBrowse()
{
    TAVApp &app = *TAVApp::Instance();
    if (pcZips->currentWidget() == tvIntranet) {
        const std::string chosen = pcZips->IntranetSelection();
        browseBrowser_->Navigate(chosen.empty() ? app.LocalIntranetFolder() : chosen);
        return;
    }
    TZipNode *node = zips_->Selected();
    if (!node) {
        browseBrowser_->Navigate(app.DownloadsFolder());
        return;
    }
    // The archive's files are read from the Temp folder.
    std::string entry = pcZips->currentWidget() == tvPages ? pcZips->PageSelection() : TZipTree::PathOf(node);
    if (entry.empty() && zips_->PagesModel().Count() > 0)
        entry = zips_->PagesModel().Entry(0);
    const std::string temp = IncludeTrailingSlash(app.TempFolder());
    zips_->ExtractForBrowsing(node->Root(), temp, [this, target = temp + entry](int outcome) {
        if (outcome != 2)
            browseBrowser_->Navigate(target);
    });
}

QWidget *TFormArvelo::CurrentPage() const { return PageControl->currentWidget(); }

void TFormArvelo::RegisterOpenHandler(TOpenKind kind, TOpenHandler handler) { openHandlers_[kind] = std::move(handler); }

void TFormArvelo::OpenTexts(const std::vector<std::string> &texts, TOpenSource source)
{
    TOpened opened = ClassifyOpened(texts, source);
    if (opened.kind == TOpenKind::kNothing)
        return;
    if (opened.kind == TOpenKind::kArchive || opened.kind == TOpenKind::kFiles)
        BringToFront();
    if (auto handler = openHandlers_.find(opened.kind); handler != openHandlers_.end())
        handler->second(opened.texts);
}

void TFormArvelo::OpenHandedOver(const QStringList &arguments)
{
    if (arguments.isEmpty())
        BringToFront();
    for (const QString &argument : arguments)
        OpenTexts({argument.toStdString()}, TOpenSource::kSecondInstance);
}

void TFormArvelo::BringToFront()
{
    if (isHidden())
        show();
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void TFormArvelo::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls() || event->mimeData()->hasText())
        event->acceptProposedAction();
}

void TFormArvelo::dropEvent(QDropEvent *event)
{
    std::vector<std::string> texts;
    if (event->mimeData()->hasUrls()) {
        for (const QUrl &url : event->mimeData()->urls())
            texts.push_back(url.toString(QUrl::FullyEncoded).toStdString());
    } else {
        texts.push_back(event->mimeData()->text().trimmed().toStdString());
    }
    event->acceptProposedAction();
    OpenTexts(texts, TOpenSource::kDrop);
}

void TFormArvelo::closeEvent(QCloseEvent *event)
{
    if (engine_->run.RunningTask()) {
        if (!Notifier().Confirm(kStillRunning)) {
            event->ignore();
            return;
        }
        // No report window for a run ended by the closing.
        closing_ = true;
        // Asked again: while the question was open the run may have ended,
        // or the schedule may have started another.
        if (TAVTask *running = engine_->run.RunningTask())
            engine_->run.StopTask(*running);
    }
    closing_ = true;
    schedule_->Terminate();
    // The place of the window as it shows when neither minimised nor maximised.
    WriteWindowPlacement(PlacementKey(), normalGeometry());
    event->accept();
}

void TFormArvelo::ApplySkin()
{
    const TSkin skin = TSkin::Current();
    delete imgAnimation->movie();
    imgAnimation->setMovie(nullptr);
    const QString animation = SkinAnimationFile(skin, skin::kAnimation);
    if (!animation.isEmpty()) {
        auto *movie = new QMovie(animation, QByteArray(), imgAnimation);
        movie->setCacheMode(QMovie::CacheAll);
        imgAnimation->setMovie(movie);
        if (engine_->run.RunningTask())
            movie->start();
        else
            movie->jumpToFrame(0);
    }
    ShowSkinBanner(*imgBanner, skin);

    const std::pair<QToolButton *, const char *> glyphs[] = {
        {btnNew, skin::kNew},          {btnOpen, skin::kOpen},           {btnDownloads, skin::kDownloads},
        {btnArveloMode, skin::kArveloMode}, {btnIntranetMode, skin::kIntranetMode},
        {btnAddToSelectedZip, skin::kAddToZip}, {btnHelp, skin::kHelp}, {btnGo, skin::kGo},
    };
    for (const auto &[button, picture] : glyphs) {
        const QPixmap glyph = SkinGlyph(skin, picture);
        // Without any picture the button keeps what the style gave it.
        if (!glyph.isNull()) {
            button->setIcon(QIcon(glyph));
            button->setIconSize(glyph.size());
            button->setToolButtonStyle(button == btnGo ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
        }
        button->update();
    }
    pnlStatus->ApplySkin();
}

void TFormArvelo::SelectSkin()
{
    TdlgSelectSkin dialog([this] { ApplySkin(); }, this);
    dialog.exec();
}

bool TFormArvelo::TrayAvailable() const
{
    return IsTrayAvailable ? IsTrayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
}

void TFormArvelo::BuildTrayIcon()
{
    if (trayIcon_)
        return;
    trayIcon_ = new QSystemTrayIcon(windowIcon(), this);
    trayIcon_->setObjectName(QStringLiteral("trayIcon"));
    trayIcon_->setToolTip(QString::fromLatin1(kProductCaption));
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("pmTray"));
    QAction *addToZip = menu->addAction(QStringLiteral("Add To Current Zip"));
    addToZip->setObjectName(QStringLiteral("miTrayAddToZip"));
    addToZip->setCheckable(true);
    connect(addToZip, &QAction::triggered, btnAddToSelectedZip, &QToolButton::toggle);
    connect(menu, &QMenu::aboutToShow, this, [this, addToZip] {
        addToZip->setEnabled(btnAddToSelectedZip->isEnabled());
        addToZip->setChecked(btnAddToSelectedZip->isChecked());
    });
    QAction *paste = menu->addAction(QStringLiteral("Paste URL and download..."));
    paste->setObjectName(QStringLiteral("miTrayPasteURL"));
    paste->setShortcut(QKeySequence(QStringLiteral("Ctrl+B")));
    // Shown in the menu; the window's own Ctrl+B is the Edit menu's.
    paste->setShortcutContext(Qt::WidgetShortcut);
    connect(paste, &QAction::triggered, this, [this] {
        BringToFront();
        PasteURL();
    });
    QAction *options = menu->addAction(QStringLiteral("&Options..."));
    options->setObjectName(QStringLiteral("miTrayOptions"));
    connect(options, &QAction::triggered, this, [this] {
        BringToFront();
        OpenPreferences();
    });
    QAction *restore = menu->addAction(QStringLiteral("&Restore"));
    restore->setObjectName(QStringLiteral("miTrayRestore"));
    connect(restore, &QAction::triggered, this, &TFormArvelo::BringToFront);
    menu->addSeparator();
    QAction *exit = menu->addAction(QStringLiteral("&Exit"));
    exit->setObjectName(QStringLiteral("miTrayExit"));
    // Through the window's close, which asks about a running task.
    connect(exit, &QAction::triggered, this, &QWidget::close);
    trayIcon_->setContextMenu(menu);
    connect(trayIcon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            BringToFront();
    });
    if (TrayAvailable())
        trayIcon_->show();
}

void TFormArvelo::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Minimised, the window waits in the notification area, where there is
    // one; without it, it stays on the task bar.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && TrayAvailable() && trayIcon_) {
        trayIcon_->show();
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hide();
        });
    }
}

void TFormArvelo::ConnectHelp()
{
    const auto on = [this](const char *name, auto slot) { Wire(name, slot); };
    on("miHelpContents", [this] {
        ShowPage(tsBrowse);
        browseBrowser_->Navigate(ShippedDataFolder() + "help/index.htm");
    });
    const std::pair<const char *, const char *> pages[] = {
        {"miHelpOnline", "help/"}, {"miHelpNews", "news/"}, {"miHelpTour", "tour/"}, {"miHelpHomePage", ""}};
    for (const auto &[name, page] : pages)
        on(name, [page = page] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHomePage) + QLatin1String(page))); });
    on("miHelpAbout", [this] { ShowAbout(); });
    on("miSelectSkin", [this] { SelectSkin(); });
    connect(btnHelp, &QToolButton::clicked, Action("miHelpContents"), &QAction::trigger);
}

void TFormArvelo::ShowAbout()
{
    QMessageBox about(this);
    about.setObjectName(QStringLiteral("dlgAbout"));
    about.setWindowTitle(QStringLiteral("About %1").arg(QString::fromLatin1(kProductName)));
    about.setIconPixmap(windowIcon().pixmap(64, 64));
    about.setTextFormat(Qt::RichText);
    about.setText(QStringLiteral("<h3>%1</h3><p>Version %2</p><p>Copies websites for offline use.</p>")
                      .arg(QString::fromLatin1(kProductCaption), QString::fromLatin1(kFullVersion)));
    about.setInformativeText(QStringLiteral("<p>Data folder:<br><nobr>%1</nobr></p><p>Settings:<br><nobr>%2</nobr></p>")
                                 .arg(Q(TAVApp::Instance()->ProgramFolder()).toHtmlEscaped(),
                                      Q(SettingsFilePath()).toHtmlEscaped()));
    about.setStandardButtons(QMessageBox::Ok);
    about.exec();
}

} // namespace arvelo
