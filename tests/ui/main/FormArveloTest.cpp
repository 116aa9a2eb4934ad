#include "core/FileUtils.h"
#include "core/Settings.h"
#include "crawl/Engine.h"
#include "model/Task.h"
#include "monitor/StatusFigures.h"
#include "support/ScriptedServer.h"
#include "support/TestSite.h"
#include "core/AppPaths.h"
#include "ui/editors/DlgEditTask.h"
#include "ui/main/DlgSelectSkin.h"
#include "ui/schedule/DlgRunTask.h"
#include "ui/support/Modal.h"
#include "ui/support/Screenshot.h"
#include "ui/support/WindowFixture.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QComboBox>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QMovie>
#include <QProgressBar>
#include <QScreen>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <set>

namespace arvelo {
namespace {

using test::PumpUntil;

class FormArvelo : public test::WindowFixture {
protected:
    std::string StatusText() const { return Child<QLabel>("lblStatus")->text().toStdString(); }
    QLineSeries *RateSeries() const
    {
        for (QAbstractSeries *series : Child<QChartView>("chartStats")->chart()->series())
            if (series->objectName() == QStringLiteral("seriesTransferRate"))
                return qobject_cast<QLineSeries *>(series);
        return nullptr;
    }

    // Types the address, picks the profile and presses Enter, as a user does.
    void TypeAndGo(const std::string &address, const std::string &profile = "Whole Site")
    {
        auto *profiles = Child<QComboBox>("cmbProfile");
        profiles->setCurrentIndex(profiles->findText(QString::fromStdString(profile)));
        ASSERT_EQ(profiles->currentText().toStdString(), profile);
        // Keys go where the keyboard focus is: the combo box, which hands
        // them to its edit box.
        auto *urls = Child<QComboBox>("cmbURL");
        urls->setFocus();
        urls->lineEdit()->selectAll();
        QTest::keyClicks(urls, QString::fromStdString(address));
        QTest::keyClick(urls, Qt::Key_Return);
    }

    // The one task of the run, as its file holds it.
    std::unique_ptr<TAVTask> Saved() const
    {
        const auto &tasks = window->Engine().tasks.Tasks();
        EXPECT_EQ(tasks.size(), 1u);
        auto task = std::make_unique<TAVTask>();
        task->taskFile = tasks.front()->taskFile;
        task->Load();
        return task;
    }

    std::string Copy() const { return app->LocalIntranetFolder(); }
};

TEST_F(FormArvelo, GoCopiesTheSiteWhileThePanelAndConnectionsShowIt)
{
    StartServer(true);
    WriteProfile("Whole Site");
    app->SetSaveMode(1);
    OpenWindow();
    QTest::mouseClick(Child<QLabel>("lblConnections"), Qt::LeftButton, {}, QPoint(10, 6));
    EXPECT_EQ(window->CurrentPage()->objectName().toStdString(), "tsSockets");

    TypeAndGo(server->URL("/index.html"));
    QAbstractItemModel *slots = Child<QTreeView>("lvSockets")->model();
    auto busyRows = [&] {
        int busy = 0;
        for (int row = 0; row < slots->rowCount(); ++row)
            busy += slots->index(row, 0).data().toString().startsWith(QStringLiteral("http://"));
        return busy;
    };
    int mostBusy = 0;
    bool shot = false, animated = false;
    QMovie *animation = Child<QLabel>("imgAnimation")->movie();
    ASSERT_NE(animation, nullptr);
    ASSERT_TRUE(PumpUntil(
        [&] {
            mostBusy = std::max(mostBusy, busyRows());
            animated = animated || animation->state() == QMovie::Running;
            if (!shot && mostBusy >= 2 && RateSeries()->count() >= 2) {
                test::Screenshot(*window, "connections");
                window->findChild<QAction *>(QStringLiteral("actHome"))->trigger();
                test::Screenshot(*window, "running");
                window->findChild<QAction *>(QStringLiteral("actConnections"))->trigger();
                shot = true;
            }
            return StatusText() == "Task Complete";
        },
        120))
        << StatusText();
    EXPECT_GE(mostBusy, 2) << "several connections at work at once";
    EXPECT_TRUE(shot);
    ASSERT_TRUE(PumpUntil([&] { return busyRows() == 0; }, 5)) << "rows idle after the run";
    // The skin's animation runs while the task does, and only then.
    EXPECT_TRUE(animated);
    EXPECT_NE(animation->state(), QMovie::Running);

    EXPECT_EQ(test::CopiedFilesUnder(Copy()), test::SiteExpectedFiles(test::SiteCopiedPaths()));
    for (const auto &[path, name] : test::SiteLocalNames()) {
        if (path.find(".bin") != std::string::npos) {
            EXPECT_EQ(ReadFileBytes(Copy() + name), test::SiteFiles().at(path)) << path;
        }
    }

    // What the panel shows is what the task file says.
    PumpUntil([] { return false; }, 0.4); // the counters' next batch
    std::unique_ptr<TAVTask> saved = Saved();
    EXPECT_EQ(saved->status, tsTaskComplete);
    TStatusFigures figures = TStatusFigures::Of(*saved);
    EXPECT_EQ(Child<QProgressBar>("gaugePages")->text().toStdString(), figures.pages.Text());
    EXPECT_EQ(Child<QProgressBar>("gaugeRes")->text().toStdString(), figures.resources.Text());
    EXPECT_EQ(Child<QProgressBar>("gaugeErrors")->text().toStdString(), figures.errors.Text());
    EXPECT_EQ(Child<QLCDNumber>("ledSec")->intValue(), figures.seconds);
    EXPECT_EQ(Child<QLCDNumber>("ledMin")->intValue(), figures.minutes);
    EXPECT_EQ(Child<QLCDNumber>("ledTotalBytes")->intValue(), figures.kilobytes);
    EXPECT_EQ(Child<QLabel>("lblTaskName")->text().toStdString(), saved->taskName);
    // The last point of the graph: a second of this run, at a rate the
    // bytes of the run allow.
    QLineSeries *rate = RateSeries();
    ASSERT_GE(rate->count(), 2);
    QPointF last = rate->at(rate->count() - 1);
    const double seconds = saved->elapsedTime.Days() * 86400.0;
    EXPECT_LE(last.x(), seconds + 1);
    EXPECT_GT(last.y(), 0);
    EXPECT_LE(last.x() * last.y(), static_cast<double>(saved->totalBytes) / 1024 + 1);

    // The address went into the history.
    EXPECT_EQ(LoadSettingList(std::string(kRootKey) + "\\Recent URLs"), StringList{server->URL("/index.html")});
}

TEST_F(FormArvelo, StopAndRunGoOnWithoutFetchingAgain)
{
    StartServer(true);
    WriteProfile("Whole Site");
    app->SetSaveMode(1);
    OpenWindow();
    TypeAndGo(server->URL("/index.html"));
    auto *stop = Child<QToolButton>("btnStop");
    auto *run = Child<QToolButton>("btnRun");
    // Stopped while the slow files come in, after the pages are in.
    ASSERT_TRUE(PumpUntil([&] {
        TAVTask *running = window->Engine().run.RunningTask();
        return running && running->pagesSaved >= 8 && FileExists(Copy() + test::SiteLocalNames().at("slow/b1.bin"));
    }));
    EXPECT_FALSE(run->isEnabled()) << "no second run while one goes on";
    QTest::mouseClick(stop, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return StatusText() == "Ready"; }));
    EXPECT_EQ(Saved()->status, tsStopped);
    std::set<std::string> savedBefore;
    for (const std::string &path : test::SiteCopiedPaths())
        if (path.find("slow/") == std::string::npos && path != "old.html" && FileExists(Copy() + test::SiteLocalNames().at(path)))
            savedBefore.insert("/" + path);
    ASSERT_FALSE(savedBefore.empty());
    const size_t requestsBefore = server->Requests().size();

    // The run dialog asks how; Cancel changes nothing, "Resume" is preselected.
    ASSERT_TRUE(run->isEnabled());
    test::OnNextModal<TdlgRunTask>([](TdlgRunTask &dialog) { QTest::mouseClick(dialog.btnCancel, Qt::LeftButton); });
    QTest::mouseClick(run, Qt::LeftButton);
    EXPECT_EQ(Saved()->status, tsStopped);
    EXPECT_EQ(Saved()->schedule, "");
    std::string outcome;
    test::OnNextModal<TdlgRunTask>([&](TdlgRunTask &dialog) {
        outcome = dialog.lblOutcome->text().toStdString();
        EXPECT_TRUE(dialog.rbModes[1]->isChecked());
        test::Screenshot(dialog, "run");
        QTest::mouseClick(dialog.btnRun, Qt::LeftButton);
    });
    QTest::mouseClick(run, Qt::LeftButton);
    EXPECT_EQ(outcome, "This task was previously run but is incomplete.");
    ASSERT_TRUE(PumpUntil([&] { return StatusText() == "Task Complete"; }, 120)) << StatusText();
    const std::vector<std::string> requests = server->Requests();
    for (size_t i = requestsBefore; i < requests.size(); ++i)
        EXPECT_EQ(savedBefore.count(test::RequestTarget(requests[i])), 0u) << requests[i];
    EXPECT_EQ(test::CopiedFilesUnder(Copy()), test::SiteExpectedFiles(test::SiteCopiedPaths()));
}

TEST_F(FormArvelo, AddressesThatStartNothing)
{
    WriteProfile("Whole Site");
    OpenWindow();
    auto *urls = Child<QComboBox>("cmbURL");
    urls->setFocus();
    QTest::keyClick(urls, Qt::Key_Return);
    QTest::keyClicks(urls, QStringLiteral("   "));
    QTest::keyClick(urls, Qt::Key_Return);
    EXPECT_TRUE(notifier.errors.empty());

    TypeAndGo("ftp://x");
    EXPECT_EQ(notifier.errors, std::vector<std::string>{"Invalid URL."});
    EXPECT_TRUE(window->Engine().tasks.Tasks().empty());
    EXPECT_TRUE(FolderFiles(app->TasksFolder() + "General/", "*.avt").empty());

    // "Custom" opens the task editor; its Cancel creates nothing.
    std::string title;
    test::OnNextModal<TdlgEditTask>([&](TdlgEditTask &editor) {
        title = editor.windowTitle().toStdString();
        editor.reject();
    });
    TypeAndGo("http://127.0.0.1:1/", "Custom");
    EXPECT_EQ(title, "Create New Task");
    EXPECT_TRUE(window->Engine().tasks.Tasks().empty());
    EXPECT_TRUE(FolderFiles(app->TasksFolder() + "General/", "*.avt").empty());
    EXPECT_EQ(notifier.errors.size(), 1u);
}

TEST_F(FormArvelo, ClosingAsksWhileARunGoesOnAndKeepsThePlace)
{
    StartServer(true);
    WriteProfile("Whole Site");
    app->SetSaveMode(1);
    OpenWindow();
    window->setGeometry(QRect(60, 50, 700, 520));
    TypeAndGo(server->URL("/index.html"));
    ASSERT_TRUE(PumpUntil([&] { return window->Engine().run.RunningTask() != nullptr; }));

    notifier.answer = false;
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(notifier.questions,
              std::vector<std::string>{"A Arvelo Task is still running.  \nDo you want to abort this task and exit?"});
    EXPECT_NE(window->Engine().run.RunningTask(), nullptr) << "No keeps the run";

    notifier.answer = true;
    EXPECT_TRUE(window->close());
    EXPECT_EQ(window->Engine().run.RunningTask(), nullptr);
    std::unique_ptr<TAVTask> saved = Saved();
    EXPECT_EQ(saved->status, tsStopped);
    EXPECT_TRUE(FileExists(saved->StateFile())) << "the stopped task can be resumed";
    const std::string key = std::string(kSettingsKey) + "\\FormArvelo";
    EXPECT_EQ(ReadSetting(key, "Width", std::string()), "700");
    EXPECT_EQ(ReadSetting(key, "Height", std::string()), "520");
    CloseWindow();

    // The next start comes up where the last one was; one whose place lies
    // off every screen comes up centred.
    OpenWindow();
    EXPECT_EQ(window->geometry().size(), QSize(700, 520));
    CloseWindow();
    WriteSetting(key, "Left", "30000");
    WriteSetting(key, "Width", "wide");
    OpenWindow();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(window->geometry().width(), 640);
    EXPECT_TRUE(screen.contains(window->geometry().center()));
}

TEST_F(FormArvelo, MenusShowEveryCommandAndItsKey)
{
    OpenWindow();
    struct Entry {
        const char *name, *text;
        bool enabled;
    } entries[] = {
        {"miFileNewFileZip", "File Zip...", true},   {"miFileNewDownloadTask", "Download Task...", false},
        {"miFileExit", "E&xit", true},               {"miEditUndo", "&Undo\tCtrl+Z", false},
        {"miPasteURL", "Paste URL...", true},         {"miSelectSkin", "Select Skin...", true},
        {"miZipNewWebZip", "Web Zip...\tCtrl+N", false}, {"miZipAdd", "&Add...\tCtrl+A", false},
        {"miZipDelete", "&Delete\tDel", false},       {"miZipRename", "&Rename\tCtrl+R", false},
        {"miTaskNew", "&New...\tCtrl+N", false},      {"miTaskRun", "&Run\tCtrl+R", false},
        {"miTaskExplore", "E&xplore", false},         {"miHelpAbout", "&About...", true},
    };
    for (const Entry &entry : entries) {
        auto *action = window->findChild<QAction *>(QString::fromLatin1(entry.name));
        ASSERT_NE(action, nullptr) << entry.name;
        EXPECT_EQ(action->text().toStdString(), entry.text);
        EXPECT_EQ(action->isEnabled(), entry.enabled) << entry.name;
    }
    // A window-wide key belongs to one action, or Qt takes none; the keys
    // that two menus show act only where their list has the focus.
    std::map<QString, QString> keys;
    for (QAction *action : window->findChildren<QAction *>()) {
        if (action->shortcutContext() != Qt::WindowShortcut)
            continue;
        for (const QKeySequence &key : action->shortcuts())
            EXPECT_TRUE(keys.emplace(key.toString(), action->objectName()).second)
                << key.toString().toStdString() << ": " << action->objectName().toStdString() << " and "
                << keys[key.toString()].toStdString();
    }
    for (const char *key : {"Ctrl+A", "Del", "Ctrl+R"})
        EXPECT_EQ(keys.count(QString::fromLatin1(key)), 0u) << key;
    auto *zipTree = Child<QTreeView>("tvZip");
    for (const char *name : {"miZipAddKey", "miZipDeleteKey", "miZipRenameKey"}) {
        auto *key = window->findChild<QAction *>(QString::fromLatin1(name));
        ASSERT_NE(key, nullptr) << name;
        EXPECT_EQ(key->shortcutContext(), Qt::WidgetWithChildrenShortcut);
        EXPECT_TRUE(zipTree->actions().contains(key)) << name;
    }
    EXPECT_EQ(keys[QStringLiteral("F7")].toStdString(), "miFileNewDownloadTask");
    EXPECT_EQ(keys[QStringLiteral("Ctrl+N")].toStdString(), "actNewTask");
    EXPECT_EQ(keys[QStringLiteral("Ctrl+B")].toStdString(), "miPasteURL");

    // Edit follows the focused edit box when it opens.
    QLineEdit *edit = Child<QComboBox>("cmbURL")->lineEdit();
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("http://a.example/"));
    edit->selectAll();
    QApplication::clipboard()->setText(QStringLiteral("x"));
    auto *menuEdit = window->findChild<QAction *>(QStringLiteral("miEditCut"))->associatedObjects().first();
    QMetaObject::invokeMethod(qobject_cast<QMenu *>(menuEdit), "aboutToShow");
    EXPECT_TRUE(window->findChild<QAction *>(QStringLiteral("miEditCut"))->isEnabled());
    EXPECT_TRUE(window->findChild<QAction *>(QStringLiteral("miEditCopy"))->isEnabled());
    EXPECT_TRUE(window->findChild<QAction *>(QStringLiteral("miEditPaste"))->isEnabled());
    window->findChild<QAction *>(QStringLiteral("miEditCut"))->trigger();
    EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "http://a.example/");
    Child<QToolButton>("btnGo")->setFocus();
    QMetaObject::invokeMethod(qobject_cast<QMenu *>(menuEdit), "aboutToShow");
    EXPECT_FALSE(window->findChild<QAction *>(QStringLiteral("miEditCopy"))->isEnabled());
}

TEST_F(FormArvelo, TheAddressHistoryKeepsTheLengthTheUserChose)
{
    const std::string key = std::string(kRootKey) + "\\Recent URLs";
    StringList addresses;
    for (int i = 0; i < 30; ++i)
        addresses.push_back("http://site" + std::to_string(i) + ".example/");
    SaveSettingList(key, addresses);
    app->SetMaxURLHistory(25);
    OpenWindow();
    EXPECT_EQ(Child<QComboBox>("cmbURL")->count(), 25);
    EXPECT_TRUE(Child<QComboBox>("cmbURL")->currentText().isEmpty());
}

TEST_F(FormArvelo, PasteURLTakesTheFirstLineIntoTheAddressBox)
{
    OpenWindow();
    QApplication::clipboard()->setText(QStringLiteral("\n  http://www.site.example/docs/  \nsecond line"));
    // The address goes into the box and into the editor of a new task.
    std::string edited;
    test::OnNextModal<TdlgEditTask>([&](TdlgEditTask &editor) {
        edited = editor.cmbURL->currentText().toStdString();
        editor.reject();
    });
    QTest::keySequence(window.get(), QKeySequence(QStringLiteral("Ctrl+B")));
    EXPECT_EQ(Child<QComboBox>("cmbURL")->currentText().toStdString(), "http://www.site.example/docs/");
    EXPECT_EQ(edited, "http://www.site.example/docs/");
    EXPECT_TRUE(notifier.errors.empty());
}

TEST_F(FormArvelo, ModeButtonsAndTheStartPage)
{
    app->SetSaveMode(1);
    OpenWindow();
    EXPECT_TRUE(Child<QToolButton>("btnIntranetMode")->isChecked());
    EXPECT_EQ(window->CurrentPage()->objectName().toStdString(), "tsHome");
    EXPECT_EQ(Child<QToolButton>("btnIntranetMode")->toolTip().toStdString(),
              "Set Default: Personal Intranet Mode.\nDownloaded websites are stored directly\non your hard disk "
              "within  \n" +
                  app->LocalIntranetFolder());
    EXPECT_EQ(Child<QToolButton>("btnIntranetMode")->toolTipDuration(), 10000);
    QTest::mouseClick(Child<QToolButton>("btnArveloMode"), Qt::LeftButton);
    EXPECT_FALSE(Child<QToolButton>("btnIntranetMode")->isChecked());
    EXPECT_EQ(app->SaveMode(), 0);
    EXPECT_EQ(ReadSetting(kSettingsKey, "Save Mode", int32_t(-1)), 0);
    CloseWindow();

    app->SetZipPropertiesFirst(true);
    OpenWindow();
    EXPECT_TRUE(Child<QToolButton>("btnArveloMode")->isChecked());
    EXPECT_EQ(window->CurrentPage()->objectName().toStdString(), "tsTasks");
    for (const char *name : {"actZipProperties", "actBrowse", "actExplore", "actHome"}) {
        window->findChild<QAction *>(QString::fromLatin1(name))->trigger();
        EXPECT_EQ(window->CurrentPage(), window->findChild<QStackedWidget *>(QStringLiteral("PageControl"))->currentWidget());
    }
    EXPECT_EQ(window->CurrentPage()->objectName().toStdString(), "tsHome");
    test::Screenshot(*window, "idle");
}

TEST_F(FormArvelo, DropsGoToTheirHandlers)
{
    OpenWindow();
    std::vector<std::pair<TOpenKind, std::vector<std::string>>> handled;
    for (TOpenKind kind : {TOpenKind::kAddress, TOpenKind::kArchive, TOpenKind::kTask, TOpenKind::kFiles})
        window->RegisterOpenHandler(kind, [&handled, kind](const std::vector<std::string> &texts) {
            handled.emplace_back(kind, texts);
        });
    // A drag enters the window and drops there, as a file manager's does.
    auto drop = [&](QMimeData *data) {
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent event(QPointF(100, 100), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &event);
        delete data;
    };
    auto urls = [](std::initializer_list<const char *> list) {
        auto *data = new QMimeData;
        QList<QUrl> dragged;
        for (const char *url : list)
            dragged.append(QUrl(QString::fromLatin1(url)));
        data->setUrls(dragged);
        return data;
    };
    auto text = [](const char *dragged) {
        auto *data = new QMimeData;
        data->setText(QString::fromLatin1(dragged));
        return data;
    };
    drop(text("http://www.site.example/"));
    drop(urls({"file:///home/u/My%20Site.ZIP"}));
    drop(urls({"file:///home/u/site.avt"}));
    drop(urls({"file:///a.txt", "file:///b.txt"}));
    drop(urls({"file:///home/u/notes.txt"}));
    using K = TOpenKind;
    std::vector<std::pair<TOpenKind, std::vector<std::string>>> expected = {
        {K::kAddress, {"http://www.site.example/"}},
        {K::kArchive, {"/home/u/My Site.ZIP"}},
        {K::kTask, {"/home/u/site.avt"}},
        {K::kFiles, {"/a.txt", "/b.txt"}},
    };
    EXPECT_EQ(handled, expected);
}

// The notification-area icon's menu, as the desktop opens it.
QMenu *TrayMenu(TFormArvelo &window)
{
    QMenu *menu = window.TrayIcon() ? window.TrayIcon()->contextMenu() : nullptr;
    if (menu)
        Q_EMIT menu->aboutToShow();
    return menu;
}

QAction *TrayEntry(QMenu &menu, const char *name)
{
    for (QAction *action : menu.actions())
        if (action->objectName() == QLatin1String(name))
            return action;
    ADD_FAILURE() << "no " << name;
    return nullptr;
}

TEST_F(FormArvelo, TheTrayMenuMirrorsTheWindowAndItsExitAsksAboutARun)
{
    StartServer(true);
    WriteProfile("Whole Site");
    app->SetSaveMode(1);
    OpenWindow();
    ASSERT_NE(window->TrayIcon(), nullptr);
    EXPECT_EQ(window->TrayIcon()->toolTip().toStdString(), "Arvelo 2.61");
    QMenu *menu = TrayMenu(*window);
    ASSERT_NE(menu, nullptr);
    std::vector<std::string> captions;
    for (QAction *action : menu->actions())
        if (!action->isSeparator())
            captions.push_back(action->text().toStdString());
    EXPECT_EQ(captions, (std::vector<std::string>{"Add To Current Zip", "Paste URL and download...", "&Options...",
                                                  "&Restore", "&Exit"}));
    EXPECT_EQ(TrayEntry(*menu, "miTrayPasteURL")->shortcut().toString().toStdString(), "Ctrl+B");

    // "Add To Current Zip" takes the button's states when the menu opens,
    // and choosing it toggles the button.
    auto *addToZip = Child<QToolButton>("btnAddToSelectedZip");
    QAction *mirror = TrayEntry(*menu, "miTrayAddToZip");
    EXPECT_FALSE(mirror->isEnabled());
    addToZip->setEnabled(true);
    TrayMenu(*window);
    EXPECT_TRUE(mirror->isEnabled());
    EXPECT_FALSE(mirror->isChecked());
    mirror->trigger();
    EXPECT_TRUE(addToZip->isChecked());
    TrayMenu(*window);
    EXPECT_TRUE(mirror->isChecked());
    mirror->trigger();
    EXPECT_FALSE(addToZip->isChecked());

    window->hide();
    TrayEntry(*menu, "miTrayRestore")->trigger();
    EXPECT_TRUE(window->isVisible());

    // Exit closes through the window's question while a task runs.
    TypeAndGo(server->URL("/index.html"));
    ASSERT_TRUE(PumpUntil([&] { return window->Engine().run.RunningTask() != nullptr; }));
    notifier.answer = false;
    TrayEntry(*menu, "miTrayExit")->trigger();
    EXPECT_EQ(notifier.questions,
              std::vector<std::string>{"A Arvelo Task is still running.  \nDo you want to abort this task and exit?"});
    EXPECT_TRUE(window->isVisible());
    EXPECT_NE(window->Engine().run.RunningTask(), nullptr);
    notifier.answer = true;
    TrayEntry(*menu, "miTrayExit")->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->Engine().run.RunningTask(), nullptr);
}

TEST_F(FormArvelo, MinimisingHidesToTheTrayOnlyWhereThereIsOne)
{
    OpenWindow();
    TFormArvelo::IsTrayAvailable = [] { return false; };
    window->showMinimized();
    PumpUntil([&] { return window->isMinimized(); }, 2);
    QTest::qWait(20);
    EXPECT_TRUE(window->isMinimized());
    EXPECT_TRUE(window->isVisible()) << "without a tray the window stays on the task bar";

    window->showNormal();
    TFormArvelo::IsTrayAvailable = [] { return true; };
    window->showMinimized();
    EXPECT_TRUE(PumpUntil([&] { return !window->isVisible(); }, 5));
    // A second start without arguments brings it back.
    window->OpenHandedOver({});
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    TFormArvelo::IsTrayAvailable = nullptr;
}

// What a button shows, as pixels.
QImage Glyph(const QToolButton &button) { return button.icon().pixmap(QSize(24, 24)).toImage(); }

TEST_F(FormArvelo, TheSkinDialogPreviewsKeepsOrGoesBack)
{
    OpenWindow();
    ASSERT_EQ(app->Skin(), "Default");
    auto *go = Child<QToolButton>("btnGo");
    auto *banner = Child<QWidget>("imgBanner");
    const QImage defaultGo = Glyph(*go), defaultRun = Glyph(*Child<QToolButton>("btnRun"));
    const QImage defaultBanner = banner->grab().toImage();
    ASSERT_FALSE(defaultGo.isNull());
    EXPECT_GT(banner->height(), 0);
    test::Screenshot(*window, "skin-Default");

    std::vector<std::string> names;
    bool changedAtOnce = false;
    test::OnNextModal<TdlgSelectSkin>([&](TdlgSelectSkin &dialog) {
        for (int row = 0; row < dialog.lbSkins->count(); ++row)
            names.push_back(dialog.lbSkins->item(row)->text().toStdString());
        EXPECT_EQ(dialog.lbSkins->currentItem()->text().toStdString(), "Default");
        const QList<QListWidgetItem *> graphite = dialog.lbSkins->findItems(QStringLiteral("Graphite"), Qt::MatchExactly);
        if (graphite.isEmpty())
            return dialog.reject();
        const QRect place = dialog.lbSkins->visualItemRect(graphite.front());
        QTest::mouseClick(dialog.lbSkins->viewport(), Qt::LeftButton, {}, place.center());
        // Stored and shown at once, in the window and in the dialog.
        changedAtOnce = app->Skin() == "Graphite" && Glyph(*go) != defaultGo &&
                        banner->grab().toImage() != defaultBanner &&
                        Glyph(*test::NamedChild<QToolButton>(*window, "btnRun")) != defaultRun;
        test::Screenshot(*window, "skin-Graphite");
        test::Screenshot(dialog, "skin-dialog");
        QTest::mouseClick(dialog.btnCancel, Qt::LeftButton);
    });
    window->Action("miSelectSkin")->trigger();
    EXPECT_EQ(names, (std::vector<std::string>{"Default", "Graphite"}));
    EXPECT_TRUE(changedAtOnce);
    // Cancel: the skin it opened with, in the settings and on the window.
    EXPECT_EQ(app->Skin(), "Default");
    EXPECT_EQ(ReadSetting(kSettingsKey, "Skin", std::string()), "Default");
    EXPECT_EQ(Glyph(*go), defaultGo);
    EXPECT_EQ(banner->grab().toImage(), defaultBanner);

    test::OnNextModal<TdlgSelectSkin>([&](TdlgSelectSkin &dialog) {
        dialog.lbSkins->setCurrentRow(1);
        QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    });
    window->Action("miSelectSkin")->trigger();
    EXPECT_EQ(ReadSetting(kSettingsKey, "Skin", std::string()), "Graphite");
    const QImage graphiteGo = Glyph(*go);
    EXPECT_NE(graphiteGo, defaultGo);

    // A skin without "go.bmp" and with an unreadable "open.bmp" shows the
    // Default skin's for those, its own for the rest.
    const std::string partial = app->ProgramFolder() + "Skins/Partial/";
    ForceFolders(partial);
    ASSERT_TRUE(CopyFileForce(ShippedDataFolder() + "Skins/Graphite/new.bmp", partial + "new.bmp"));
    WriteFile("Skins/Partial/open.bmp", "BM not a picture");
    app->SetSkin("Partial");
    window->ApplySkin();
    EXPECT_EQ(Glyph(*go), defaultGo);
    app->SetSkin("Default");
    window->ApplySkin();
    const QImage defaultNew = Glyph(*Child<QToolButton>("btnNew")), defaultOpen = Glyph(*Child<QToolButton>("btnOpen"));
    app->SetSkin("Partial");
    window->ApplySkin();
    EXPECT_NE(Glyph(*Child<QToolButton>("btnNew")), defaultNew);
    EXPECT_EQ(Glyph(*Child<QToolButton>("btnOpen")), defaultOpen);
    // A name reaching out of the skins folder is the Default skin.
    app->SetSkin("../Skins/Graphite");
    window->ApplySkin();
    EXPECT_EQ(Glyph(*go), defaultGo);
}

TEST_F(FormArvelo, HelpShowsItsPagesAndTheAboutBox)
{
    OpenWindow();
    window->Action("miHelpContents")->trigger();
    EXPECT_EQ(window->CurrentPage()->objectName().toStdString(), "tsBrowse");
    EXPECT_TRUE(FileExists(ShippedDataFolder() + "help/index.htm"));
    for (const char *name : {"miHelpOnline", "miHelpNews", "miHelpTour", "miHelpHomePage"})
        window->Action(name)->trigger();
    std::vector<std::string> urls;
    for (const QUrl &url : opened.urls)
        urls.push_back(url.toString().toStdString());
    EXPECT_EQ(urls, (std::vector<std::string>{"https://www.arvelo.net/help/", "https://www.arvelo.net/news/",
                                              "https://www.arvelo.net/tour/", "https://www.arvelo.net/"}));

    std::string text;
    test::OnNextModal<QMessageBox>([&](QMessageBox &box) {
        text = (box.text() + box.informativeText()).toStdString();
        test::Screenshot(box, "about");
        box.accept();
    });
    window->Action("miHelpAbout")->trigger();
    EXPECT_NE(text.find("Arvelo 2.61"), std::string::npos) << text;
    EXPECT_NE(text.find("2.61.125"), std::string::npos) << text;
    EXPECT_NE(text.find(app->ProgramFolder()), std::string::npos) << text;
    EXPECT_NE(text.find(SettingsFilePath()), std::string::npos) << text;
}

} // namespace
} // namespace arvelo
