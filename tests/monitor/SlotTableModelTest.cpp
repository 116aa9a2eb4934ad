#include "crawl/Engine.h"
#include "crawl/RunEvents.h"
#include "monitor/SlotTableModel.h"
#include "support/ScriptedServer.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

class SlotTableModel : public test::TestHome {
protected:
    TRunEngine engine;
    TRunEvents events{engine};
    TSlotTableModel model{engine.slots, events};
    std::vector<std::pair<int, int>> changed; // first and last row of each update

    void SetUp() override
    {
        TestHome::SetUp();
        QObject::connect(&model, &QAbstractItemModel::dataChanged,
                         [this](const QModelIndex &first, const QModelIndex &last) {
                             changed.emplace_back(first.row(), last.row());
                         });
        engine.slots.SetConnections(3, false);
    }

    std::string Text(int row, int column) const { return model.index(row, column).data().toString().toStdString(); }
};

TEST_F(SlotTableModel, OneRowPerSlotWithWhatItShows)
{
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 5);
    std::vector<std::string> titles;
    for (int c = 0; c < model.columnCount(); ++c)
        titles.push_back(model.headerData(c, Qt::Horizontal).toString().toStdString());
    EXPECT_EQ(titles, (std::vector<std::string>{"Retrieving", "Progress", "Bytes", "Size", "Status"}));

    EXPECT_EQ(Text(1, TSlotTableModel::colRetrieving), "HTTP Socket: 2");
    EXPECT_EQ(Text(1, TSlotTableModel::colSize), "?");
    EXPECT_EQ(Text(1, TSlotTableModel::colStatus), "Idle");
    TAVSocket &slot = *engine.slots.Snapshot()[1];
    slot.retrieving = "http://h/a.gif";
    slot.bytes = 5000000000;
    slot.size = 6000000000;
    slot.percent = 83;
    slot.status = "Downloading";
    EXPECT_EQ(Text(1, TSlotTableModel::colRetrieving), "http://h/a.gif");
    EXPECT_EQ(Text(1, TSlotTableModel::colProgress), "  83%");
    EXPECT_EQ(model.index(1, 1).data(TSlotTableModel::kPercentRole).toInt(), 83);
    EXPECT_EQ(Text(1, TSlotTableModel::colBytes), "5000000000");
    EXPECT_EQ(Text(1, TSlotTableModel::colSize), "6000000000");
    EXPECT_EQ(Text(1, TSlotTableModel::colStatus), "Downloading");
    slot.percent = -1;
    EXPECT_EQ(Text(1, TSlotTableModel::colProgress), "  ?");

    // Slots that come and go change the rows.
    engine.slots.SetConnections(5, false);
    EXPECT_EQ(model.rowCount(), 5);
    engine.slots.SetConnections(1, false);
    EXPECT_EQ(model.rowCount(), 1);
}

TEST_F(SlotTableModel, RowsChangeOnlyWhileShownAndInBatches)
{
    std::vector<TAVSocket *> slots = engine.slots.Snapshot();
    engine.slots.ShowRow(*slots[0]);
    test::PumpUntil([] { return false; }, 0.4);
    EXPECT_TRUE(changed.empty()); // hidden

    model.SetShown(true);
    ASSERT_EQ(changed, (std::vector<std::pair<int, int>>{{0, 2}})); // all at once when shown
    changed.clear();
    for (int i = 0; i < 100; ++i) {
        engine.slots.ShowRow(*slots[2]);
        engine.slots.ShowRow(*slots[1]);
    }
    EXPECT_TRUE(changed.empty());
    ASSERT_TRUE(test::PumpUntil([&] { return !changed.empty(); }));
    EXPECT_EQ(changed, (std::vector<std::pair<int, int>>{{1, 2}}));

    // A change of slots drops what was noted for the old rows.
    changed.clear();
    engine.slots.ShowRow(*slots[2]);
    engine.slots.SetConnections(2, false);
    test::PumpUntil([] { return false; }, 0.4);
    EXPECT_TRUE(changed.empty());
}

} // namespace
} // namespace arvelo
