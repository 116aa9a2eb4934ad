#include "core/FileUtils.h"
#include "crawl/Engine.h"
#include "model/Task.h"
#include "schedule/TaskTable.h"
#include "support/ScriptedServer.h"
#include "support/TestSite.h"
#include "ui/editors/DlgEditTask.h"
#include "ui/schedule/FormScheduler.h"
#include "ui/support/Modal.h"
#include "ui/support/Screenshot.h"
#include "ui/support/WindowFixture.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QColor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QTest>
#include <QTreeView>

#include <cstdlib>

namespace arvelo {
namespace {

using test::PumpUntil;

class FormScheduler : public test::WindowFixture {
protected:
    // A saved task of the category "General" that copies the test site.
    void WriteTask(const std::string &name, const std::string &address)
    {
        TAVTask task;
        task.taskName = name;
        task.category = "General";
        task.taskFile = app->TasksFolder() + "General/" + name + ".avt";
        task.url = address;
        task.intranetMode = true;
        task.destination = Path("copy-" + name + "/");
        task.profile.profileName = "Custom";
        task.Save();
    }

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
    EXPECT_EQ(test::FilesUnder(Path("copy-site/")), test::SiteExpectedFiles(test::SiteCopiedPaths()));
    test::Screenshot(*window, "complete");
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
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), Path("copy-other/127.0.0.1/index.htm"));

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
    for (const QString bad : {QStringLiteral("a/b"), QStringLiteral(".."), QStringLiteral("Work"), QString()}) {
        name(bad);
        EXPECT_FALSE(FolderExists(app->TasksFolder() + "a")) << bad.toStdString();
        EXPECT_TRUE(FolderExists(app->TasksFolder() + "Work"));
    }
}

} // namespace
} // namespace arvelo
