#include "core/FileUtils.h"
#include "crawl/Engine.h"
#include "crawl/RunEvents.h"
#include "e2e/BrowserCheck.h"
#include "model/ActiveTaskList.h"
#include "model/ItemList.h"
#include "model/Task.h"
#include "monitor/Reports.h"
#include "schedule/RunChoice.h"
#include "schedule/TaskTable.h"
#include "support/ScriptedServer.h"
#include "support/TestSite.h"
#include "ui/editors/DlgEditTask.h"
#include "ui/monitor/DlgTaskReport.h"
#include "ui/schedule/DlgRunTask.h"
#include "ui/schedule/FormScheduler.h"
#include "ui/support/Modal.h"
#include "ui/support/Screenshot.h"
#include "ui/support/WindowFixture.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QTest>
#include <QTreeView>

#include <cstdlib>
#include <set>

namespace arvelo {
namespace {

using test::PumpUntil;

class FormScheduler : public test::WindowFixture {
protected:

    TFormScheduler &Pane() { return *Child<TFormScheduler>("FormScheduler"); }
    int RowOf(const std::string &name)
    {
        QAbstractItemModel &rows = *Pane().lvTasks->model();
        for (int row = 0; row < rows.rowCount(); ++row)
            if (rows.index(row, 0).data().toString().toStdString() == name)
                return row;
        return -1;
    }
    void Choose(const std::string &name)
    {
        QTreeView &list = *Pane().lvTasks;
        list.setCurrentIndex(list.model()->index(RowOf(name), 0));
    }
    QColor Colour(const std::string &name)
    {
        return Pane().lvTasks->model()->index(RowOf(name), 0).data(Qt::ForegroundRole).value<QColor>();
    }
    std::string Status(const std::string &name)
    {
        return Pane().lvTasks->model()->index(RowOf(name), TTaskTableModel::colStatus).data().toString().toStdString();
    }
    std::unique_ptr<TAVTask> Saved(const std::string &name)
    {
        auto task = std::make_unique<TAVTask>();
        task->taskFile = app->TasksFolder() + "General/" + name + ".avt";
        task->Load();
        return task;
    }
    void ChooseAll(const std::vector<std::string> &names)
    {
        QTreeView &list = *Pane().lvTasks;
        list.clearSelection();
        for (const std::string &name : names)
            list.selectionModel()->select(list.model()->index(RowOf(name), 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list.selectionModel()->setCurrentIndex(list.model()->index(RowOf(names.front()), 0), QItemSelectionModel::NoUpdate);
    }
    // A command of the Task menu, with the states the menu gets when it opens.
    void Command(const char *name)
    {
        QMenu *menu = window->findChild<QMenu *>();
        for (QMenu *candidate : window->findChildren<QMenu *>())
            if (candidate->title() == QStringLiteral("&Task"))
                menu = candidate;
        Q_EMIT menu->aboutToShow();
        Child<QAction>(name)->trigger();
    }
    // The names of the tasks whose runs end from now on, in turn.
    std::vector<std::string> &RunsEnded()
    {
        connect_ = QObject::connect(&window->Events(), &TRunEvents::RunEnded, [this](TAVTask *task) { ended_.push_back(task->taskName); });
        return ended_;
    }
    // Runs the focused task from the pane; a run dialog is answered with the mode.
    void RunWith(int mode)
    {
        test::OnNextModal<TdlgRunTask>([mode](TdlgRunTask &dialog) {
            dialog.rbModes[mode]->setChecked(true);
            QTest::mouseClick(dialog.btnRun, Qt::LeftButton);
        });
        QTest::mouseClick(Pane().btnTaskRun, Qt::LeftButton);
    }

private:
    std::vector<std::string> ended_;
    QMetaObject::Connection connect_;
};

TEST_F(FormScheduler, ATaskRunFromThePaneShowsItsRunAndItsOutcome)
{
    StartServer(true);
    WriteTask("site", server->URL("/index.html"));
    WriteTask("other", server->URL("/about.html"));
    OpenWindow();
    window->ShowPage(Child<QWidget>("tsTasks"));
    ASSERT_EQ(RowOf("other"), 0) << "name order";
    ASSERT_EQ(RowOf("site"), 1);
    EXPECT_EQ(Status("site"), "Unscheduled");
    EXPECT_EQ(Colour("site"), QColor(128, 128, 128));
    EXPECT_FALSE(Pane().btnTaskRun->isEnabled()) << "nothing chosen";

    Choose("site");
    ASSERT_TRUE(Pane().btnTaskRun->isEnabled());
    // The run icon of "other" runs that task; its button stays for "site".
    const QRect otherCell = Pane().lvTasks->visualRect(Pane().lvTasks->model()->index(RowOf("other"), 0));
    QTest::mouseClick(Pane().lvTasks->viewport(), Qt::LeftButton, {}, QPoint(otherCell.left() + 4, otherCell.center().y()));
    ASSERT_TRUE(PumpUntil([&] { return Status("other") == "Task Complete"; }, 120000)) << Status("other");
    Choose("site");
    QTest::mouseClick(Pane().btnTaskRun, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return Status("site") == "Downloading..."; }));
    EXPECT_EQ(Colour("site"), QColor(128, 128, 0));
    EXPECT_TRUE(Pane().btnTaskStop->isEnabled());
    EXPECT_FALSE(Pane().btnTaskDelete->isEnabled());
    test::Screenshot(*window, "running");
    ASSERT_TRUE(PumpUntil([&] { return Status("site") == "Task Complete"; }, 120000));
    EXPECT_EQ(Colour("site"), QColor(0, 0, 128));
    TAVTask saved;
    saved.taskFile = app->TasksFolder() + "General/site.avt";
    saved.Load();
    EXPECT_EQ(Pane().lvTasks->model()->index(RowOf("site"), TTaskTableModel::colPages).data().toString().toStdString(),
              std::to_string(saved.pagesSaved.load()) + "/" + std::to_string(saved.totalPages.load()));
    EXPECT_EQ(test::CopiedFilesUnder(Path("copy-site/")), test::SiteExpectedFiles(test::SiteCopiedPaths()));
    test::Screenshot(*window, "complete");
}

TEST_F(FormScheduler, ATodaysPageOpensFromDiskAsItLooksOnline)
{
    StartServer();
    WriteTask("modern", server->URL("/modern.html"));
    OpenWindow();
    window->ShowPage(Child<QWidget>("tsTasks"));
    std::vector<std::string> &ended = RunsEnded();
    Choose("modern");
    QTest::mouseClick(Pane().btnTaskRun, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return ended.size() == 1; }, 120));

    ForceFolders(Path("harness/"));
    bool available = false;
    const std::string saved = Path("copy-modern/") + test::SiteLocalNames().at("modern.html");
    ASSERT_TRUE(FileExists(saved));
    test::ScreenshotInChromium(server->URL("/modern.html"), Path("online.png"), Path("harness/"), available);
    if (!available)
        GTEST_SKIP() << "chromium is not installed";
    ASSERT_TRUE(test::ScreenshotInChromium(saved, Path("offline.png"), Path("harness/"), available));
    const QImage online(QString::fromStdString(Path("online.png"))), offline(QString::fromStdString(Path("offline.png")));
    ASSERT_EQ(online.size(), offline.size());
    ASSERT_FALSE(online.isNull());
    int64_t differing = 0;
    for (int y = 0; y < online.height(); ++y)
        for (int x = 0; x < online.width(); ++x)
            differing += online.pixel(x, y) != offline.pixel(x, y);
    EXPECT_LE(differing * 100, int64_t(online.width()) * online.height()) << differing << " pixels differ";
    online.save(QString::fromLatin1(ARVELO_SCREENSHOT_DIR "/FormScheduler.ATodaysPageOpensFromDiskAsItLooksOnline-online.png"));
    offline.save(QString::fromLatin1(ARVELO_SCREENSHOT_DIR "/FormScheduler.ATodaysPageOpensFromDiskAsItLooksOnline-offline.png"));
}

TEST_F(FormScheduler, RenamesAreCheckedAndDeletedTasksGoToTheTrash)
{
    WriteTask("site", "http://127.0.0.1:1/");
    WriteTask("other", "http://127.0.0.1:1/");
    WriteFile("Tasks/General/site.dwn", "state");
    OpenWindow();
    window->ShowPage(Child<QWidget>("tsTasks"));
    QAbstractItemModel &rows = *Pane().lvTasks->model();

    rows.setData(rows.index(RowOf("site"), 0), QStringLiteral("other"));
    rows.setData(rows.index(RowOf("site"), 0), QStringLiteral("a/b"));
    const std::string folder = app->TasksFolder() + "General/";
    EXPECT_EQ(notifier.errors, (std::vector<std::string>{RenameFailureText(folder + "other.avt", true),
                                                         RenameFailureText(folder + "a/b.avt", false)}));
    EXPECT_NE(RowOf("site"), -1) << "the row keeps its name";

    // The Task menu shares the pane's states and acts on its chosen task.
    Choose("other");
    QMenu *taskMenu = Child<QAction>("miTaskRun")->associatedObjects().isEmpty()
                          ? nullptr
                          : qobject_cast<QMenu *>(Child<QAction>("miTaskRun")->associatedObjects().front());
    ASSERT_NE(taskMenu, nullptr);
    Q_EMIT taskMenu->aboutToShow();
    EXPECT_TRUE(Child<QAction>("miTaskRun")->isEnabled());
    EXPECT_FALSE(Child<QAction>("miTaskUnschedule")->isEnabled());
    EXPECT_TRUE(Child<QAction>("miTaskCopyLocalURL")->isEnabled());
    Child<QAction>("miTaskCopyURL")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("http://127.0.0.1:1/"));
    Child<QAction>("miTaskCopyLocalURL")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), Path("copy-other/127.0.0.1_1/index.htm"));

    Choose("site");
    notifier.answer = true;
    QTest::mouseClick(Pane().btnTaskDelete, Qt::LeftButton);
    EXPECT_EQ(notifier.questions.back(), "Are you sure you want to delete the selected Task/s? ");
    EXPECT_EQ(RowOf("site"), -1);
    EXPECT_FALSE(FileExists(folder + "site.avt"));
    const std::string trash = std::getenv("XDG_DATA_HOME") + std::string("/Trash/");
    EXPECT_EQ(test::FilesUnder(trash + "files"), (std::vector<std::string>{"site.avt", "site.dwn"}));
    EXPECT_EQ(test::FilesUnder(trash + "info"),
              (std::vector<std::string>{"site.avt.trashinfo", "site.dwn.trashinfo"}));
    EXPECT_TRUE(FileExists(folder + "other.avt"));
}

TEST_F(FormScheduler, ADroppedTaskFileIsAddedThroughTheEditor)
{
    WriteTask("site", "http://127.0.0.1:1/old/");
    // A task file from elsewhere, of the same name.
    TAVTask outside;
    outside.taskName = "site";
    outside.taskFile = Path("elsewhere/site.avt");
    outside.url = "http://127.0.0.1:1/new/";
    outside.intranetMode = true;
    outside.destination = Path("copy-new/");
    outside.Save();
    const std::string outsideFile = ReadFile("elsewhere/site.avt");
    OpenWindow();

    std::string title;
    test::OnNextModal<TdlgEditTask>([&](TdlgEditTask &editor) {
        title = editor.windowTitle().toStdString();
        QTest::mouseClick(editor.btnOK, Qt::LeftButton);
    });
    notifier.answer = true;
    window->OpenTexts({Path("elsewhere/site.avt")}, TOpenSource::kDrop);
    EXPECT_EQ(title, "Add a Task");
    EXPECT_EQ(notifier.questions, std::vector<std::string>{"A Task with this name already exists. Do you want to replace it?"});
    EXPECT_EQ(window->CurrentPage()->objectName().toStdString(), "tsTasks");
    ASSERT_NE(RowOf("site"), -1);
    EXPECT_EQ(Pane().lvTasks->model()->index(RowOf("site"), TTaskTableModel::colURL).data().toString(),
              QStringLiteral("http://127.0.0.1:1/new/"));
    TAVTask saved;
    saved.taskFile = app->TasksFolder() + "General/site.avt";
    saved.Load();
    EXPECT_EQ(saved.url, "http://127.0.0.1:1/new/");
    EXPECT_EQ(ReadFile("elsewhere/site.avt"), outsideFile) << "the dropped file stays as it was";
    EXPECT_EQ(window->Engine().tasks.Tasks().size(), 1u) << "the replaced task's object went";
}

TEST_F(FormScheduler, ANewCategoryIsNamedInPlaceAndBadNamesRevert)
{
    OpenWindow();
    window->ShowPage(Child<QWidget>("tsTasks"));
    auto name = [&](const QString &typed) {
        Pane().NewCategory();
        auto *editor = Pane().tvCategories->findChild<QLineEdit *>();
        ASSERT_NE(editor, nullptr);
        editor->setText(typed);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
    };
    name(QStringLiteral("Work"));
    EXPECT_TRUE(FolderExists(app->TasksFolder() + "Work"));
    EXPECT_EQ(app->LastCategory(), "Work");
    for (const QString &bad : {QStringLiteral("a/b"), QStringLiteral(".."), QStringLiteral("Work"), QString()}) {
        name(bad);
        EXPECT_FALSE(FolderExists(app->TasksFolder() + "a")) << bad.toStdString();
        EXPECT_TRUE(FolderExists(app->TasksFolder() + "Work"));
    }
}

TEST_F(FormScheduler, RunAgainAsksHowAndSalvixFetchesOnlyWhatFailed)
{
    StartServer();
    WriteTask("site", server->URL("/index.html"));
    OpenWindow();
    window->ShowPage(Child<QWidget>("tsTasks"));
    std::vector<std::string> &ended = RunsEnded();
    Choose("site");
    QTest::mouseClick(Pane().btnTaskRun, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return ended.size() == 1; }, 120));
    EXPECT_EQ(Status("site"), "Task Complete");

    // The end of a run on disk writes the reports and opens the summary with the "Browser" program.
    const std::string site = Path("copy-site/" + test::ServerFolderOf(server->URL("/")) + "/");
    ASSERT_TRUE(PumpUntil([&] { return !BrowserStarts().empty(); }));
    EXPECT_EQ(BrowserStarts(), (std::vector<std::vector<std::string>>{{site + "!site_summary.htm"}}));
    ASSERT_TRUE(PumpUntil([&] { return window->findChild<TdlgTaskReport *>() == nullptr; })) << "it closes itself";
    ForceFolders(Path("harness/"));
    bool chromium = false;
    const std::vector<std::string> failed = test::FailedLoadsInChromium(
        {site + "!site_summary.htm", site + "!site_pages_1.htm", site + "!site_images_1.htm"}, Path("harness/"), chromium);
    // Only the banner is outside the copy; the site's bg.png holds no real picture.
    for (const std::string &failure : failed)
        EXPECT_TRUE(failure.find(kReportBannerAddress) != std::string::npos ||
                    failure.ends_with("images/bg.png"))
            << failure;

    // The site's missing page is the one failure; the dialog's grid shows the task's counters.
    std::unique_ptr<TAVTask> saved = Saved("site");
    ASSERT_EQ(saved->pageErrors + saved->resourceErrors, 1);
    const std::string before = ReadFile("Tasks/General/site.avt");
    const auto summary = RunSummary(*saved);
    std::vector<std::string> cells, expected;
    bool salvix = false;
    test::OnNextModal<TdlgRunTask>([&](TdlgRunTask &dialog) {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c) {
                cells.push_back(dialog.findChild<QLabel *>(QStringLiteral("lblSummary%1%2").arg(r).arg(c))->text().toStdString());
                expected.push_back(summary[r][c]);
            }
        salvix = dialog.rbModes[3]->isEnabled();
        QTest::mouseClick(dialog.btnCancel, Qt::LeftButton);
    });
    QTest::mouseClick(Pane().btnTaskRun, Qt::LeftButton);
    EXPECT_EQ(cells, expected);
    EXPECT_TRUE(salvix);
    EXPECT_EQ(ReadFile("Tasks/General/site.avt"), before) << "Cancel changes nothing";

    const size_t requestsBefore = server->Requests().size();
    RunWith(3);
    ASSERT_TRUE(PumpUntil([&] { return ended.size() == 2; }, 120));
    std::set<std::string> asked;
    const std::vector<std::string> requests = server->Requests();
    for (size_t i = requestsBefore; i < requests.size(); ++i)
        asked.insert(test::RequestTarget(requests[i]));
    EXPECT_EQ(asked, std::set<std::string>{"/missing.html"});
}

TEST_F(FormScheduler, SeveralChosenTasksAreAskedOnceEachAndRunInTurn)
{
    StartServer();
    for (const char *name : {"a", "b", "c"})
        WriteTask(name, server->URL("/about.html"));
    OpenWindow();
    window->ShowPage(Child<QWidget>("tsTasks"));
    std::vector<std::string> &ended = RunsEnded();
    // "a" and "c" have run before: they hold items.
    for (const char *name : {"a", "c"}) {
        Choose(name);
        QTest::mouseClick(Pane().btnTaskRun, Qt::LeftButton);
        ASSERT_TRUE(PumpUntil([&] { return !ended.empty() && ended.back() == name; }, 120));
    }
    ended.clear();

    std::vector<std::string> asked;
    std::function<void(TdlgRunTask &)> answer = [&](TdlgRunTask &dialog) {
        asked.push_back(dialog.windowTitle().toStdString());
        // Two tasks hold items: no watcher is left for a dialog that never comes.
        if (asked.size() < 2)
            test::OnNextModal<TdlgRunTask>(answer);
        QTest::mouseClick(dialog.btnRun, Qt::LeftButton);
    };
    test::OnNextModal<TdlgRunTask>(answer);
    ChooseAll({"b", "a", "c"});
    QTest::mouseClick(Pane().btnTaskRun, Qt::LeftButton);
    EXPECT_EQ(asked, (std::vector<std::string>{"Arvelo - Run Task (a)", "Arvelo - Run Task (c)"}));
    std::vector<std::string> due;
    for (const auto &entry : app->ActiveTasks().Entries())
        due.push_back(ExtractFileName(entry.path));
    ASSERT_EQ(due.size(), 3u);
    ASSERT_TRUE(PumpUntil([&] { return ended.size() == 3; }, 180));
    for (std::string &name : due)
        name = name.substr(0, name.size() - 4);
    EXPECT_EQ(ended, due) << "one after another, in the order of the active list";
    for (const char *name : {"a", "b", "c"})
        EXPECT_EQ(Status(name), "Task Complete") << name;
}

TEST_F(FormScheduler, DeletingSparesTheRunningTaskAndLetsGoOfTheCurrentOne)
{
    StartServer(true);
    WriteTask("running", server->URL("/index.html"));
    WriteTask("idle", "http://127.0.0.1:1/");
    OpenWindow();
    window->ShowPage(Child<QWidget>("tsTasks"));
    Choose("running");
    QTest::mouseClick(Pane().btnTaskRun, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return Status("running") == "Downloading..."; }));
    TAVTask *idle = window->Engine().tasks.Find(app->TasksFolder() + "General/idle.avt");
    ASSERT_NE(idle, nullptr);
    window->Engine().run.SelectTask(idle);

    ChooseAll({"idle", "running"});
    ASSERT_TRUE(Pane().btnTaskDelete->isEnabled());
    notifier.answer = true;
    QTest::mouseClick(Pane().btnTaskDelete, Qt::LeftButton);
    EXPECT_EQ(RowOf("idle"), -1);
    EXPECT_EQ(window->Engine().run.CurrentTask(), nullptr);
    EXPECT_NE(RowOf("running"), -1);
    EXPECT_TRUE(FileExists(app->TasksFolder() + "General/running.avt"));
    EXPECT_EQ(Status("running"), "Downloading...");
    const std::string trash = std::getenv("XDG_DATA_HOME") + std::string("/Trash/");
    EXPECT_EQ(test::FilesUnder(trash + "files"), std::vector<std::string>{"idle.avt"});
    Choose("running");
    QTest::mouseClick(Pane().btnTaskStop, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return Status("running") == "Download Stopped"; }));
}

TEST_F(FormScheduler, ARunCutOffByAnEndIsIncompleteAndZipTasksHaveNoLocalStartPage)
{
    WriteTask("cut", "http://127.0.0.1:1/");
    std::unique_ptr<TAVTask> cut = Saved("cut");
    cut->status = tsDownloading;
    cut->schedule = "Now";
    cut->Save();
    ASSERT_EQ(app->ActiveTasks().Entries().size(), 1u);
    TAVTask zip;
    zip.taskName = "zip";
    zip.category = "General";
    zip.taskFile = app->TasksFolder() + "General/zip.avt";
    zip.url = "http://127.0.0.1:1/";
    zip.destination = Path("gone.zip");
    zip.Save();
    WriteFile("Tasks/General/zip.dwn", "state");
    OpenWindow();
    window->ShowPage(Child<QWidget>("tsTasks"));
    EXPECT_EQ(Status("cut"), "Incomplete");
    EXPECT_EQ(Pane().lvTasks->model()->index(RowOf("cut"), TTaskTableModel::colSchedule).data().toString(), QString());
    EXPECT_TRUE(app->ActiveTasks().Entries().empty());

    Choose("zip");
    EXPECT_TRUE(Pane().States().copyURL);
    EXPECT_FALSE(Pane().States().copyLocal);
    // Reports of a zip-mode task whose archive is gone: a run is offered instead.
    notifier.answer = false;
    Command("miTaskReportCreate");
    EXPECT_EQ(notifier.questions,
              std::vector<std::string>{"This task has not been run, or its resulting Zip file no longer exists. Run it now?"});
    EXPECT_EQ(window->findChild<TdlgTaskReport *>(), nullptr);
    EXPECT_EQ(Saved("zip")->status, tsUnscheduled);
}

TEST_F(FormScheduler, ReportsOpenInTheirBrowsersAndTheWindowShowsItsProgress)
{
    WriteTask("big", "http://www.site.example/index.html");
    std::string state;
    for (int i = 1; i <= 4000; ++i) {
        std::string record;
        for (const std::string &field : {std::string("10"), std::string(), std::string("HTML"), std::string(),
                                         std::string("1"), std::string(), std::string(), std::string("1"),
                                         "Page " + std::to_string(i), std::string("123"), std::string()})
            record += field + std::string(kFieldSeparator);
        state += "http://www.site.example/p" + std::to_string(i) + ".html\r\n" + record + "\r\n";
    }
    const std::string separator(kFieldSeparator);
    state += "http://www.site.example/gone.html\r\n3" + separator + "Not Found" + separator + "HTML\r\n";
    WriteFile("Tasks/General/big.dwn", state);
    std::unique_ptr<TAVTask> big = Saved("big");
    big->pagesSaved = 4001;
    big->pageErrors = 1;
    big->totalPages = 4001;
    big->Save();
    OpenWindow();
    window->ShowPage(Child<QWidget>("tsTasks"));
    Choose("big");

    Command("miTaskReportErrors");
    ASSERT_TRUE(PumpUntil([&] { return !opened.urls.empty(); }));
    EXPECT_EQ(opened.urls.back().toLocalFile().toStdString(), app->TempFolder() + "big_errors.htm");
    EXPECT_TRUE(BrowserStarts().empty()) << "the error report goes to the default browser";

    Command("miTaskReportPages");
    TdlgTaskReport *reports = window->findChild<TdlgTaskReport *>();
    ASSERT_NE(reports, nullptr);
    EXPECT_EQ(reports->windowTitle(), QStringLiteral("Task Reports"));
    EXPECT_EQ(reports->height(), 80);
    QPointer<TdlgTaskReport> watched(reports);
    bool shot = false;
    ASSERT_TRUE(PumpUntil([&] {
        if (watched && !shot && watched->pbReport->value() > 0) {
            test::Screenshot(*watched, "reports");
            shot = true;
        }
        return !watched;
    }));
    // The page index was not there yet: all three are written, and the summary opens.
    const std::string site = Path("copy-big/www.site.example/");
    EXPECT_TRUE(FileExists(site + "!big_pages_200.htm"));
    ASSERT_TRUE(PumpUntil([&] { return !BrowserStarts().empty(); })) << "the browser starts on its own";
    EXPECT_EQ(BrowserStarts(), (std::vector<std::vector<std::string>>{{site + "!big_summary.htm"}}));
    // Now it is: it opens at once.
    Command("miTaskReportPages");
    EXPECT_EQ(window->findChild<TdlgTaskReport *>(), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return BrowserStarts().size() == 2; }));
    EXPECT_EQ(BrowserStarts().back(), std::vector<std::string>{site + "!big_pages_1.htm"});
}

} // namespace
} // namespace arvelo
