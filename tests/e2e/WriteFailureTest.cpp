#include "e2e/CrawlFixture.h"

#include "core/FileUtils.h"
#include "model/DownloadItem.h"
#include "support/ScriptedServer.h"
#include "support/Unwritable.h"

#include <gtest/gtest.h>

namespace arvelo::test {
namespace {

// Runs into destinations that take no file, or not every file.
class WriteFailure : public CrawlFixture {
protected:
    // The result of the item of an address of the site.
    std::string ResultOf(TAVTask &task, const std::string &path)
    {
        const std::string url = server->URL("/" + path);
        for (size_t i = 0; i < task.items.ItemCount(); ++i) {
            TAVQItem &item = *task.items.Item(i);
            item.LoadFields();
            std::string result = item.LoadedText().URL == url ? item.LoadedText().result : std::string("\x01");
            item.ReleaseFields();
            if (result != "\x01")
                return result;
        }
        return "(no item)";
    }

    // The run ends at once as failed, with one message that says why (the
    // first file it could not write has it as its result), and a Salvix run
    // once the destination takes files again completes the copy.
    void ExpectFailedRunThenSalvixCompletes(TAVTask &task, const std::string &reason, const std::string &firstFailed,
                                            const std::function<void()> &mend)
    {
        ASSERT_TRUE(RunToEnd(task));
        EXPECT_EQ(task.status.load(), tsIncomplete);
        ASSERT_EQ(notifier.errors.size(), 1u) << ::testing::PrintToString(notifier.errors);
        EXPECT_NE(notifier.errors[0].find(reason), std::string::npos) << notifier.errors[0];
        if (!firstFailed.empty()) {
            EXPECT_EQ(ResultOf(task, firstFailed), reason);
        }
        EXPECT_GE(task.pageErrors + task.resourceErrors, 1);

        mend();
        notifier.errors.clear();
        task.runMode = rmSalvix;
        ASSERT_TRUE(RunToEnd(task));
        EXPECT_EQ(task.status.load(), tsTaskComplete);
        EXPECT_EQ(notifier.errors, std::vector<std::string>());
        EXPECT_EQ(task.pageErrors.load(), 1); // missing.html
        ExpectCompleteCopy();
    }
};

TEST_F(WriteFailure, AReadOnlyDestinationEndsTheRunAtOnce)
{
    StartServer();
    TUnwritableFolder folder(Path("copy"), TUnwritableFolder::kReadOnly);
    if (!folder.Ready())
        GTEST_SKIP() << folder.Why();
    TAVTask *task = NewCopyTask();
    const std::string reason = geteuid() == 0 ? "Read-only file system" : "Permission denied";
    ExpectFailedRunThenSalvixCompletes(*task, reason, "index.html", [&] { folder.MakeWritable(); });
}

TEST_F(WriteFailure, AFullDestinationEndsTheRunAtOnce)
{
    StartServer();
    TUnwritableFolder folder(Path("copy"), TUnwritableFolder::kFull);
    if (!folder.Ready())
        GTEST_SKIP() << folder.Why();
    // The start page fits; the disk fills with the files after it.
    WriteFile("copy/filler", std::string(60 * 1024, 'x'));
    TAVTask *task = NewCopyTask();
    ExpectFailedRunThenSalvixCompletes(*task, "No space left on device", {}, [&] {
        folder.MakeWritable();
        ::unlink(Path("copy/filler").c_str());
    });
}

TEST_F(WriteFailure, ADestinationThatIsAFileEndsTheRunAtOnce)
{
    StartServer();
    WriteFile("copy", "not a folder");
    TAVTask *task = NewCopyTask();
    ExpectFailedRunThenSalvixCompletes(*task, "Not a directory", "index.html", [&] { ::unlink(Path("copy").c_str()); });
}

TEST_F(WriteFailure, FilesTheDiskRefusesAreErrorsWithItsReasonAndSalvixFetchesThem)
{
    StartServer();
    TAVTask *task = NewCopyTask();
    {
        // The six files of slow/ are 48 KB each; every other file is smaller.
        TFileSizeLimit limit(32 * 1024);
        ASSERT_TRUE(RunToEnd(*task));
    }
    EXPECT_EQ(task->status.load(), tsTaskComplete);
    EXPECT_EQ(task->resourceErrors.load(), 6);
    EXPECT_EQ(ResultOf(*task, "slow/b1.bin"), "File too large");
    EXPECT_FALSE(FileExists(LocalFile("slow/b1.bin")));
    EXPECT_EQ(notifier.errors, std::vector<std::string>());

    task->runMode = rmSalvix;
    ASSERT_TRUE(RunToEnd(*task));
    EXPECT_EQ(task->status.load(), tsTaskComplete);
    EXPECT_EQ(task->resourceErrors.load(), 0);
    ExpectCompleteCopy();
}

TEST_F(WriteFailure, ACopyWithoutItsStartPageFailsAndSaysWhy)
{
    StartServer();
    uint16_t closed;
    {
        TScriptedServer gone;
        closed = gone.Port();
    }
    const std::string refused = "127.0.0.1:" + std::to_string(closed);
    const struct {
        std::string address, message;
    } cases[] = {
        {server->URL("/missing.html"), "The start page could not be saved: 404 Not Found"},
        // The server is named: an address may lead to another one's.
        {"http://" + refused + "/", "The start page could not be saved: [10061] Connection refused (" + refused + ")"},
    };
    for (const auto &[address, message] : cases) {
        notifier.errors.clear();
        TAVTask *task = NewCopyTaskAt(address);
        ASSERT_TRUE(RunToEnd(*task));
        EXPECT_EQ(task->status.load(), tsIncomplete) << address;
        EXPECT_EQ(notifier.errors, std::vector<std::string>{message});
    }
}

} // namespace
} // namespace arvelo::test
