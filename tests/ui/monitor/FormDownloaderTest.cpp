#include "core/App.h"
#include "crawl/Engine.h"
#include "crawl/RunEvents.h"
#include "monitor/SlotTableModel.h"
#include "support/ScriptedServer.h"
#include "support/TestHome.h"
#include "ui/monitor/FormDownloader.h"
#include "ui/support/NamedChild.h"
#include "ui/support/Screenshot.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSlider>
#include <QTest>
#include <QTreeView>

namespace arvelo {
namespace {

class FormDownloader : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        app = std::make_unique<TAVApp>();
        engine = std::make_unique<TRunEngine>();
        events = std::make_unique<TRunEvents>(*engine);
        model = std::make_unique<TSlotTableModel>(engine->slots, *events);
        engine->slots.SetConnections(4, false);
        page = std::make_unique<TFormDownloader>(engine->slots, *model);
        page->resize(760, 260);
    }
    void TearDown() override
    {
        page.reset();
        model.reset();
        events.reset();
        engine.reset();
        app.reset();
        TestHome::TearDown();
    }

    template <typename T>
    T *Child(const char *name) const
    {
        return test::NamedChild<T>(*page, name);
    }

    std::unique_ptr<TAVApp> app;
    std::unique_ptr<TRunEngine> engine;
    std::unique_ptr<TRunEvents> events;
    std::unique_ptr<TSlotTableModel> model;
    std::unique_ptr<TFormDownloader> page;
};

TEST_F(FormDownloader, TheSlidersSetConnectionsAndPriorityAndTheRowsFollow)
{
    page->show();
    QSlider *sockets = Child<QSlider>("tbSockets");
    EXPECT_EQ(sockets->value(), 4);
    QTreeView *rows = Child<QTreeView>("lvSockets");
    EXPECT_EQ(rows->model()->rowCount(), 4);
    sockets->setFocus();
    QTest::keyClick(sockets, Qt::Key_Right);
    QTest::keyClick(sockets, Qt::Key_Right);
    EXPECT_EQ(engine->slots.Connections(), 6);
    EXPECT_EQ(app->Connections(), 6); // stored as the preference
    EXPECT_EQ(Child<QLabel>("lblSockets")->text().toStdString(), "6");
    EXPECT_EQ(rows->model()->rowCount(), 6);
    QTest::keyClick(sockets, Qt::Key_End);
    EXPECT_EQ(engine->slots.Connections(), 16);

    QSlider *priority = Child<QSlider>("tbPriority");
    priority->setFocus();
    QTest::keyClick(priority, Qt::Key_Home);
    EXPECT_EQ(app->Priority(), 0);
    QTest::keyClick(priority, Qt::Key_Right);
    EXPECT_EQ(app->Priority(), 1);
}

TEST_F(FormDownloader, RowsShowEachSlotAtWork)
{
    page->show();
    std::vector<TAVSocket *> slots = engine->slots.Snapshot();
    const char *addresses[] = {"http://127.0.0.1:8080/library/os.html", "http://127.0.0.1:8080/_static/pygments.css",
                               "", "http://127.0.0.1:8080/_images/tutorial.png"};
    for (size_t i = 0; i < slots.size(); ++i) {
        slots[i]->retrieving = addresses[i];
        slots[i]->percent = i == 2 ? 0 : static_cast<int>(20 + 25 * i);
        slots[i]->bytes = static_cast<int64_t>(12000 * (i + 1));
        slots[i]->size = i == 3 ? 0 : static_cast<int64_t>(48000 * (i + 1));
        slots[i]->status = i == 2 ? "Idle" : "Downloading";
        engine->slots.ShowRow(*slots[i]);
    }
    QTreeView *rows = Child<QTreeView>("lvSockets");
    ASSERT_TRUE(test::PumpUntil([&] {
        return rows->model()->index(0, 0).data().toString() == QString::fromLatin1(addresses[0]);
    }));
    EXPECT_EQ(rows->model()->index(2, 0).data().toString().toStdString(), "HTTP Socket: 3");
    EXPECT_EQ(rows->model()->index(3, TSlotTableModel::colSize).data().toString().toStdString(), "?");
    test::PumpUntil([] { return false; }, 0.3);
    test::Screenshot(*page, "busy");
}

} // namespace
} // namespace arvelo
