#include "core/App.h"
#include "model/Task.h"
#include "schedule/RunChoice.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

TEST(RunChoice, TheOutcomeLineAndSalvixFollowStatusAndErrors)
{
    struct Case {
        int32_t status;
        int64_t errors;
        std::string outcome;
    } cases[] = {
        {tsStopped, 3, "This task was previously run but is incomplete."},
        {tsIncomplete, 0, "This task was previously run but is incomplete."},
        {tsZipped, 2, "This task has run to completion but contains some URL's. which failed to download."},
        {tsTaskComplete, 0, "This task has successfully run to completion."},
    };
    for (const Case &c : cases) {
        TAVTask task;
        task.status = c.status;
        task.resourceErrors = c.errors;
        EXPECT_EQ(RunDialogOutcome(task), c.outcome) << c.status;
        EXPECT_EQ(SalvixAllowed(task), c.errors > 0) << c.status;
    }
    EXPECT_STREQ(kRunModeChoices[1].caption, "Resume");
    EXPECT_EQ(kRunModeChoices[3].mode, rmSalvix);
}

TEST(RunChoice, TheSummaryCountsDownloadedQueuedAndErrors)
{
    TAVTask task;
    task.taskName = "docs";
    task.pagesSaved = 10;
    task.pageErrors = 2;
    task.totalPages = 15;
    task.resourcesSaved = 7;
    task.resourceErrors = 1;
    task.totalResources = 7;
    EXPECT_EQ(RunDialogTitle(task), "Arvelo - Run Task (docs)");
    auto summary = RunSummary(task);
    EXPECT_EQ(summary[0], (std::array<std::string, 3>{"8", "6", "14"}));
    EXPECT_EQ(summary[1], (std::array<std::string, 3>{"5", "0", "5"}));
    EXPECT_EQ(summary[2], (std::array<std::string, 3>{"", "", ""}));
    EXPECT_EQ(summary[3], (std::array<std::string, 3>{"2", "1", "3"}));
}

class RunChoiceFiles : public test::TestHome {};

TEST_F(RunChoiceFiles, ATaskWithItemsInItsStateFileIsAskedWithoutReadingThem)
{
    TAVTask task;
    task.taskFile = Path("Tasks/General/docs.avt");
    EXPECT_FALSE(NeedsRunChoice(task));
    WriteFile("Tasks/General/docs.dwn", "");
    EXPECT_FALSE(NeedsRunChoice(task));
    WriteFile("Tasks/General/docs.dwn", "1\t0\thttp://a.example/\r\n");
    EXPECT_TRUE(NeedsRunChoice(task));
    EXPECT_EQ(task.items.ItemCount(), 0u) << "nothing was loaded";
}

} // namespace
} // namespace arvelo
