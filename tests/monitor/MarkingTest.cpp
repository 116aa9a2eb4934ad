#include "core/App.h"
#include "core/FileUtils.h"
#include "model/ItemList.h"
#include "model/Task.h"
#include "monitor/Marking.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

// One item of each kind the commands tell apart, in this order.
enum Row { kWaiting, kUnmarked, kFailedPage, kSavedPage, kSavedImage, kUpdatedPage, kMappedPage, kRows };

struct TItemLook {
    int state, mark;
    std::string result;
    bool operator==(const TItemLook &) const = default;
};

void PrintTo(const TItemLook &look, std::ostream *out) { *out << look.state << "/" << look.mark << "/" << look.result; }

class Marking : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        app = std::make_unique<TAVApp>();
        task = std::make_unique<TAVTask>();
        task->taskName = "site";
        task->taskFile = Home() + "Tasks/General/site.avt";
        task->status = tsTaskComplete;
        Add("http://h/wait.html", "HTML", isNone, imDownload, "");
        Add("http://h/off.html", "HTML", isNone, imUnmarked, "");
        Add("http://h/gone.html", "HTML", isError, imDownload, "Not Found");
        Add("http://h/page.html", "HTML", isSaved, imDownload, "OK", 1000);
        Add("http://h/logo.gif", "Images", isSaved, imDownload, "OK", 300);
        Add("http://h/new.html", "HTML", isUpdated, imUpdate, "OK", 500);
        Add("http://h/map.html", "HTML", isMapped, imMap, "Mapped");
        task->OnChange = [this](const std::string &, int, int) { ++counterNotices; };
    }

    void Add(const std::string &url, const std::string &group, uint8_t state, uint8_t mark, const std::string &result,
             int64_t size = 0)
    {
        auto item = std::make_unique<TAVQItem>(task.get());
        item->Text().URL = url;
        item->Text().result = result;
        item->size = size;
        item->SetGroup(group);
        item->SetMark(mark);
        TAVQItem *added = task->items.AddItem(std::move(item));
        added->LoadFields();
        added->Text().result = result;
        added->SetState(state);
        added->Publish(true);
        const bool page = group == "HTML";
        if (state == isError)
            ++(page ? task->pageErrors : task->resourceErrors);
        if (state == isError || state > isDownloaded)
            ++(page ? task->pagesSaved : task->resourcesSaved);
        if (state > isDownloaded)
            task->totalBytes += size;
    }

    TItemLook Look(int row)
    {
        TAVQItem &item = *task->items.Item(row);
        std::string record = task->items.StoredRecord(item);
        return {item.State(), item.Mark(), FieldOf(record, kFieldSeparator, 1)};
    }

    std::unique_ptr<TAVApp> app;
    std::unique_ptr<TAVTask> task;
    int counterNotices = 0;
};

TEST_F(Marking, EachCommandTakesItsItemsAndNoOthers)
{
    const std::vector<int> chosen = {kWaiting, kFailedPage, kSavedImage, kMappedPage};
    // What each row looks like after the command: state, mark, result.
    const TItemLook waiting{0, 1, ""}, unmarked{0, 0, ""}, failed{3, 1, "Not Found"}, page{5, 1, "OK"},
        image{5, 1, "OK"}, updated{6, 3, "OK"}, mapped{9, 2, "Mapped"};
    struct Case {
        TMarkCommand command;
        std::vector<TItemLook> rows;
    } cases[] = {
        {TMarkCommand::kDownloadSelected, {waiting, unmarked, {0, 1, ""}, page, {0, 1, ""}, updated, {0, 1, ""}}},
        {TMarkCommand::kDownloadAll, {waiting, {0, 1, ""}, {0, 1, ""}, {0, 1, ""}, {0, 1, ""}, {0, 1, ""}, {0, 1, ""}}},
        {TMarkCommand::kDownloadErrors, {waiting, unmarked, {0, 1, "Not Found"}, page, image, updated, mapped}},
        {TMarkCommand::kDownloadUnmarked, {waiting, {0, 1, ""}, failed, page, image, updated, mapped}},
        {TMarkCommand::kUpdateSelected, {waiting, unmarked, failed, page, {0, 3, "OK"}, updated, {0, 3, "Mapped"}}},
        {TMarkCommand::kUpdateAll,
         {waiting, unmarked, failed, {0, 3, "OK"}, {0, 3, "OK"}, {0, 3, "OK"}, {0, 3, "Mapped"}}},
        {TMarkCommand::kMapSelected, {{0, 2, ""}, unmarked, {0, 2, "Not Found"}, page, image, updated, {0, 2, "Mapped"}}},
        {TMarkCommand::kMapAll,
         {{0, 2, ""}, {0, 2, ""}, {0, 2, "Not Found"}, {0, 2, "OK"}, image, {0, 2, "OK"}, {0, 2, "Mapped"}}},
        {TMarkCommand::kUnmarkSelected, {{0, 0, ""}, unmarked, failed, page, image, updated, mapped}},
        {TMarkCommand::kUnmarkAll, {{0, 0, ""}, unmarked, failed, page, image, updated, mapped}},
    };
    const std::string taskFile = ReadFileBytes(task->taskFile);
    for (const Case &c : cases) {
        SetUp();
        MarkItems(*task, c.command, chosen);
        for (int row = 0; row < kRows; ++row)
            EXPECT_EQ(Look(row), c.rows[row]) << "command " << static_cast<int>(c.command) << " row " << row;
        // Saved with the task, so that the marks outlive the items in memory.
        TAVTask reread;
        reread.taskFile = task->taskFile;
        reread.Load();
        ASSERT_TRUE(reread.items.OpenItems());
        for (int row = 0; row < kRows; ++row)
            EXPECT_EQ(reread.items.Item(row)->Mark(), c.rows[row].mark) << row;
        EXPECT_EQ(reread.pagesSaved, task->pagesSaved);
        TearDown();
    }
}

TEST_F(Marking, ResetsTakeTheirShareOutOfTheCountersWithOneNotice)
{
    ASSERT_EQ(task->pagesSaved, 4);
    ASSERT_EQ(task->totalBytes, 1800);
    MarkItems(*task, TMarkCommand::kDownloadAll, {});
    EXPECT_EQ(counterNotices, 1);
    EXPECT_EQ(task->pagesSaved, 0);
    EXPECT_EQ(task->resourcesSaved, 0);
    EXPECT_EQ(task->pageErrors, 0);
    EXPECT_EQ(task->totalBytes, 0);
    // Nothing taken: nothing announced, nothing written.
    std::filesystem::remove(task->StateFile());
    MarkItems(*task, TMarkCommand::kDownloadErrors, {});
    EXPECT_EQ(counterNotices, 1);
    EXPECT_FALSE(FileExists(task->StateFile()));
}

TEST_F(Marking, NothingChangesUnderARunButTheMarkOfAWaitingItem)
{
    task->status = tsDownloading;
    EXPECT_FALSE(MarkingAllowed(*task));
    EXPECT_EQ(MarkItems(*task, TMarkCommand::kDownloadAll, {}).count, 0u);
    EXPECT_EQ(Look(kFailedPage).state, isError);
    EXPECT_TRUE(ToggleMark(*task, kWaiting));
    EXPECT_EQ(Look(kWaiting).mark, imUnmarked);
    EXPECT_FALSE(FileExists(task->StateFile())) << "the run saves it";

    task->status = tsTaskComplete;
    EXPECT_TRUE(ToggleMark(*task, kWaiting));
    EXPECT_EQ(Look(kWaiting).mark, imDownload);
    EXPECT_TRUE(FileExists(task->StateFile()));
    for (int row : {kFailedPage, kSavedPage, kMappedPage})
        EXPECT_FALSE(ToggleMark(*task, row)) << row;
    EXPECT_FALSE(ToggleMark(*task, kRows));
}

} // namespace
} // namespace arvelo
