#include "core/FileUtils.h"
#include "crawl/Engine.h"
#include "crawl/RunEvents.h"
#include "model/ItemList.h"
#include "model/Task.h"
#include "monitor/ExploreModel.h"
#include "support/ScriptedServer.h"
#include "support/TestSite.h"
#include "ui/monitor/FormExplore.h"
#include "ui/schedule/DlgRunTask.h"
#include "ui/schedule/FormScheduler.h"
#include "ui/support/Modal.h"
#include "ui/support/Screenshot.h"
#include "ui/support/WindowFixture.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QColor>
#include <QMenu>
#include <QRadioButton>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <set>

namespace arvelo {
namespace {

using test::PumpUntil;

class FormExplore : public test::WindowFixture {
protected:
    TFormExplore &View() { return *Child<TFormExplore>("FormExplore"); }
    QAbstractItemModel &Rows() { return *View().lvExplore->model(); }
    std::string Text(int row, int column) { return Rows().index(row, column).data().toString().toStdString(); }
    int RowOf(const std::string &path)
    {
        for (int row = 0; row < Rows().rowCount(); ++row)
            if (Text(row, TExploreModel::colURL).ends_with(path))
                return row;
        return -1;
    }
    void Select(const std::vector<int> &rows)
    {
        QTreeView &list = *View().lvExplore;
        list.clearSelection();
        for (int row : rows)
            list.selectionModel()->select(Rows().index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    // A marking entry of the pop-up menu, enabled as the menu opening leaves it.
    QAction *Entry(const char *name)
    {
        Q_EMIT View().pmExplore->aboutToShow();
        return Child<QAction>(name);
    }
    TFormScheduler &Pane() { return *Child<TFormScheduler>("FormScheduler"); }
    TAVTask *Task(const std::string &name)
    {
        return window->Engine().tasks.Find(app->TasksFolder() + "General/" + name + ".avt");
    }
    // Runs the task from the task pane; a run dialog is answered with the mode.
    void Run(const std::string &name, int mode = -1)
    {
        QTreeView &tasks = *Pane().lvTasks;
        for (int row = 0; row < tasks.model()->rowCount(); ++row)
            if (tasks.model()->index(row, 0).data().toString().toStdString() == name)
                tasks.setCurrentIndex(tasks.model()->index(row, 0));
        if (mode >= 0)
            test::OnNextModal<TdlgRunTask>([mode](TdlgRunTask &dialog) {
                dialog.rbModes[mode]->setChecked(true);
                QTest::mouseClick(dialog.btnRun, Qt::LeftButton);
            });
        const int before = ended_;
        QTest::mouseClick(Pane().btnTaskRun, Qt::LeftButton);
        ASSERT_TRUE(PumpUntil([&] { return ended_ > before; }, 120));
    }
    void CountRuns()
    {
        QObject::connect(&window->Events(), &TRunEvents::RunEnded, [this](TAVTask *) { ++ended_; });
    }
    std::vector<std::string> RequestsSince(size_t from)
    {
        std::vector<std::string> requests = server->Requests();
        return {requests.begin() + static_cast<std::ptrdiff_t>(std::min(from, requests.size())), requests.end()};
    }

    int ended_ = 0;
};

TEST_F(FormExplore, ARunIsListedLiveAndExactlyAndMarksDecideTheNextRun)
{
    StartServer(true);
    WriteTask("site", server->URL("/index.html"));
    OpenWindow();
    CountRuns();
    int inserts = 0, changes = 0;
    QObject::connect(&Rows(), &QAbstractItemModel::rowsInserted, [&] { ++inserts; });
    QObject::connect(&Rows(), &QAbstractItemModel::dataChanged, [&] { ++changes; });
    window->ShowPage(Child<QWidget>("tsTasks"));
    bool shot = false;
    QObject::connect(&window->Events(), &TRunEvents::Status, [&] {
        if (!shot && Rows().rowCount() > 10 && window->CurrentPage()->objectName() == QStringLiteral("tsExplore")) {
            test::Screenshot(*window, "during");
            shot = true;
        }
    });
    QTimer::singleShot(0, [&] { window->ShowPage(Child<QWidget>("tsExplore")); });
    Run("site");
    EXPECT_GT(inserts, 1) << "rows came while the task ran";
    EXPECT_GT(changes, 0) << "and changed";

    // The rows are the state file's pairs, in order.
    std::vector<std::array<std::string, 6>> pairs;
    ForEachStatePair(ReadFile("Tasks/General/site.dwn"), [&](std::string &url, std::string &record) {
        auto field = [&](int n) { return FieldOf(record, kFieldSeparator, n); };
        pairs.push_back({url, TAVQItem::StateText(static_cast<uint8_t>(std::stoi(field(0)))), field(2), field(9),
                         field(4), field(5)});
    });
    ASSERT_TRUE(PumpUntil([&] { return Rows().rowCount() == static_cast<int>(pairs.size()); }));
    for (int row = 0; row < Rows().rowCount(); ++row) {
        const std::array<std::string, 6> shown = {
            Text(row, TExploreModel::colURL),  Text(row, TExploreModel::colStatus), Text(row, TExploreModel::colType),
            Text(row, TExploreModel::colSize), Text(row, TExploreModel::colLevel),  Text(row, TExploreModel::colReferrer)};
        EXPECT_EQ(shown, pairs[static_cast<size_t>(row)]) << row;
    }
    const int missing = RowOf("/missing.html"), index = RowOf("/index.html");
    ASSERT_GE(missing, 0);
    EXPECT_EQ(Rows().index(missing, 2).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    EXPECT_EQ(Rows().index(missing, 0).data(TExploreModel::kIconRole).toInt(), eiError);
    EXPECT_EQ(Rows().index(index, 2).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 128));
    EXPECT_EQ(Rows().index(index, 0).data(TExploreModel::kIconRole).toInt(), eiDone);
    test::Screenshot(*window, "after");

    // Nothing chosen: nothing to mark.
    EXPECT_FALSE(Entry("pmiDownloadErrors")->isEnabled());
    Select({index});
    const std::string result = Text(missing, TExploreModel::colResult);
    ASSERT_FALSE(result.empty());
    Entry("pmiDownloadErrors")->trigger();
    EXPECT_EQ(Text(missing, TExploreModel::colStatus), "None");
    EXPECT_EQ(Text(missing, TExploreModel::colResult), result) << "the failure's text stays";
    EXPECT_EQ(Rows().index(missing, 0).data(TExploreModel::kIconRole).toInt(), eiDownload);
    size_t from = server->Requests().size();
    Run("site", 1);
    std::set<std::string> asked;
    for (const std::string &request : RequestsSince(from))
        asked.insert(test::RequestTarget(request));
    EXPECT_EQ(asked, std::set<std::string>{"/missing.html"});

    // Marked for update: the next run asks whether each saved file changed.
    Select({index});
    Entry("pmiUpdateAll")->trigger();
    EXPECT_EQ(Rows().index(index, 0).data(TExploreModel::kIconRole).toInt(), eiUpdate);
    from = server->Requests().size();
    Run("site", 1);
    const std::vector<std::string> updates = RequestsSince(from);
    EXPECT_FALSE(updates.empty());
    for (const std::string &request : updates)
        EXPECT_FALSE(request.ends_with(" -")) << request << " has no If-Modified-Since";
}

TEST_F(FormExplore, MarksFollowTheTableAndOutliveATaskSwitchAndARestart)
{
    WriteTask("site", "http://127.0.0.1:1/index.html");
    WriteTask("other", "http://127.0.0.1:1/other.html");
    // A page and a picture waiting, a failed page, a saved page.
    const std::string p(kFieldSeparator);
    auto pair = [&](const std::string &path, int state, const std::string &group, int mark) {
        return "http://127.0.0.1:1/" + path + "\r\n" + std::to_string(state) + p + (state == 3 ? "Not Found" : "") + p +
               group + p + p + "1" + p + p + p + std::to_string(mark) + p + p + "10" + p + p + "\r\n";
    };
    WriteFile("Tasks/General/site.dwn", pair("a.html", 0, "HTML", 1) + pair("b.png", 0, "Images", 1) +
                                            pair("c.html", 3, "HTML", 1) + pair("d.html", 5, "HTML", 1));
    OpenWindow();
    window->Engine().run.SelectTask(window->Engine().tasks.Open(app->TasksFolder() + "General/site.avt"));
    window->ShowPage(Child<QWidget>("tsExplore"));
    ASSERT_EQ(Rows().rowCount(), 4);
    auto mark = [&](int row) { return Rows().index(row, 0).data(TExploreModel::kIconRole).toInt(); };

    // Mapping takes the chosen pages only.
    Select({0, 1});
    Entry("pmiMapSelected")->trigger();
    EXPECT_EQ(mark(0), eiMapping);
    EXPECT_EQ(mark(1), eiDownload);
    // Unmark all leaves what is not waiting marked.
    Entry("pmiUnmarkAll")->trigger();
    EXPECT_EQ(mark(0), eiUnmarked);
    EXPECT_EQ(mark(1), eiUnmarked);
    EXPECT_EQ(mark(2), eiError);
    EXPECT_EQ(mark(3), eiDone);
    test::Screenshot(*window, "marks");
    // The icon toggles a waiting item and does nothing to a failed one.
    auto click = [&](int row) {
        const QRect cell = View().lvExplore->visualRect(Rows().index(row, 0));
        QTest::mouseClick(View().lvExplore->viewport(), Qt::LeftButton, {}, QPoint(cell.left() + 8, cell.center().y()));
    };
    click(1);
    EXPECT_EQ(mark(1), eiDownload);
    click(2);
    EXPECT_EQ(mark(2), eiError);
    EXPECT_EQ(Text(2, TExploreModel::colStatus), "Error");

    // Another task shown, then this one again; then the window started anew.
    window->Engine().run.SelectTask(window->Engine().tasks.Open(app->TasksFolder() + "General/other.avt"));
    EXPECT_EQ(Rows().rowCount(), 0);
    window->Engine().run.SelectTask(window->Engine().tasks.Open(app->TasksFolder() + "General/site.avt"));
    ASSERT_EQ(Rows().rowCount(), 4);
    EXPECT_EQ(mark(0), eiUnmarked);
    EXPECT_EQ(mark(1), eiDownload);
    OpenWindow();
    window->Engine().run.SelectTask(window->Engine().tasks.Open(app->TasksFolder() + "General/site.avt"));
    ASSERT_EQ(Rows().rowCount(), 4);
    EXPECT_EQ(mark(0), eiUnmarked);
    EXPECT_EQ(mark(1), eiDownload);

    // The current task deleted in the task pane: the view empties.
    window->ShowPage(Child<QWidget>("tsTasks"));
    QTreeView &tasks = *Pane().lvTasks;
    for (int row = 0; row < tasks.model()->rowCount(); ++row)
        if (tasks.model()->index(row, 0).data().toString() == QStringLiteral("site"))
            tasks.setCurrentIndex(tasks.model()->index(row, 0));
    notifier.answer = true;
    QTest::mouseClick(Pane().btnTaskDelete, Qt::LeftButton);
    EXPECT_EQ(Rows().rowCount(), 0);
}

TEST_F(FormExplore, DuringARunOnlyTheMarkOfAWaitingItemChanges)
{
    StartServer(true);
    app->SetConnections(1);
    WriteTask("site", server->URL("/index.html"));
    OpenWindow();
    CountRuns();
    window->ShowPage(Child<QWidget>("tsTasks"));
    QTreeView &tasks = *Pane().lvTasks;
    tasks.setCurrentIndex(tasks.model()->index(0, 0));
    QTest::mouseClick(Pane().btnTaskRun, Qt::LeftButton);
    window->ShowPage(Child<QWidget>("tsExplore"));
    // The first slow file is on its way: the others wait.
    ASSERT_TRUE(PumpUntil([&] {
        const int first = RowOf("/slow/b1.bin");
        return first >= 0 && Text(first, TExploreModel::colStatus) == "Downloading" && RowOf("/slow/b6.bin") >= 0;
    }));
    Select({RowOf("/slow/b2.bin")});
    EXPECT_FALSE(Entry("pmiDownloadAll")->isEnabled());
    EXPECT_FALSE(Entry("pmiUnmarkSelected")->isEnabled());
    for (int i = 2; i <= 6; ++i) {
        const int row = RowOf("/slow/b" + std::to_string(i) + ".bin");
        const QRect cell = View().lvExplore->visualRect(Rows().index(row, 0));
        QTest::mouseClick(View().lvExplore->viewport(), Qt::LeftButton, {}, QPoint(cell.left() + 8, cell.center().y()));
        EXPECT_EQ(Rows().index(row, 0).data(TExploreModel::kIconRole).toInt(), eiUnmarked) << i;
    }
    ASSERT_TRUE(PumpUntil([&] { return ended_ == 1; }, 120));
    for (const std::string &request : server->Requests())
        EXPECT_EQ(request.find("/slow/b2.bin"), std::string::npos) << request;
    EXPECT_EQ(Text(RowOf("/slow/b6.bin"), TExploreModel::colStatus), "None");
}

} // namespace
} // namespace arvelo
