#include "core/UpdateBatch.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

TEST(UpdateBatch, ManyChangesMakeOneUpdate)
{
    int updates = 0;
    TUpdateBatch batch(20, [&] { ++updates; });
    for (int i = 0; i < 1000; ++i)
        batch.Touch();
    EXPECT_EQ(updates, 0); // never inside the changes themselves
    EXPECT_TRUE(batch.Pending());
    ASSERT_TRUE(test::PumpUntil([&] { return updates > 0; }));
    EXPECT_EQ(updates, 1);
    EXPECT_FALSE(batch.Pending());

    // Changes after an update make another.
    batch.Touch();
    ASSERT_TRUE(test::PumpUntil([&] { return updates > 1; }));
    EXPECT_EQ(updates, 2);
}

TEST(UpdateBatch, FlushRunsAPendingUpdateAtOnceAndCancelDropsIt)
{
    int updates = 0;
    TUpdateBatch batch(60000, [&] { ++updates; });
    batch.Flush();
    EXPECT_EQ(updates, 0); // nothing pending, nothing to run
    batch.Touch();
    batch.Flush();
    EXPECT_EQ(updates, 1);
    batch.Touch();
    batch.Cancel();
    EXPECT_FALSE(batch.Pending());
    batch.Flush();
    EXPECT_EQ(updates, 1);
}

} // namespace
} // namespace arvelo
