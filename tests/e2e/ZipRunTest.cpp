#include "archive/Browsing.h"
#include "core/FileUtils.h"
#include "e2e/BrowserCheck.h"
#include "e2e/CrawlFixture.h"
#include "model/DownloadItem.h"
#include "schedule/Schedule.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace arvelo::test {
namespace {

class ZipRun : public CrawlFixture {
protected:
    TAVTask *NewZipTask()
    {
        std::unique_ptr<TAVTask> task = engine->run.CreateTask(server->URL("/index.html"), false, false);
        ScheduleNow(*task);
        return engine->tasks.Add(std::move(task));
    }

    // A zip-mode run on the slow server, stopped once a few files are saved.
    TAVTask *StoppedMidRun()
    {
        StartServer(true);
        engine->slots.SetConnections(2);
        TAVTask *task = NewZipTask();
        engine->run.StartTask(*task);
        bool saved = PumpUntil([&] { return task->resourcesSaved >= 4; }, 60);
        engine->run.StopTask(*task);
        return saved ? task : nullptr;
    }

    std::vector<std::string> Entries(const std::string &archive)
    {
        TZipArchive zip;
        zip.ZipFileName = archive;
        std::vector<std::string> names;
        zip.OnListing = [&](const TZipFileStats &stats) { names.push_back(stats.fileName); };
        zip.List();
        std::sort(names.begin(), names.end());
        return names;
    }

    // The names of what a stopped run had finished: the resources saved and
    // the pages and style sheets rewritten, which is what joins the archive.
    std::vector<std::string> FinishedNames(TAVTask &task) const
    {
        std::vector<std::string> names;
        const std::string site = server->URL("/");
        for (size_t i = 0; i < task.items.ItemCount(); ++i) {
            TAVQItem &item = *task.items.Item(i);
            bool rewritten = item.IsPage() || item.IsStyleSheet();
            if (item.State() != (rewritten ? isParsed : isSaved))
                continue;
            item.LoadFields();
            names.push_back(LocalNames().at(item.LoadedText().URL.substr(site.size())));
            item.ReleaseFields();
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Extracts the archive as browsing does, into the copy folder, and
    // checks it as a folder copy.
    void ExpectCompleteArchive(const std::string &archive)
    {
        EXPECT_EQ(Entries(archive), ExpectedFiles(CopiedPaths()));
        std::filesystem::remove_all(Copy());
        std::string status;
        EXPECT_EQ(ExtractForBrowsing(engine->run.Zip(), archive, Copy(), {}, xowAlways, status), 0);
        EXPECT_EQ(status, "All files extracted successfully.");
        ExpectCompleteCopy();
    }
};

TEST_F(ZipRun, CopiesTheSiteIntoOneArchiveNamedAfterItsTitle)
{
    StartServer();
    TAVTask *task = NewZipTask();
    std::string firstName = task->destination;
    ASSERT_TRUE(RunToEnd(*task));
    EXPECT_EQ(task->status.load(), tsZipped);
    EXPECT_EQ(task->destination, app->DownloadsFolder() + "Test Site.zip");
    EXPECT_FALSE(FileExists(firstName));
    EXPECT_TRUE(engine->run.Extracted().Contains(task->destination));
    ExpectCompleteArchive(task->destination);

    // Browsing the extracted copy in Chromium.
    std::vector<std::string> pages;
    for (const std::string &name : FilesUnder(Copy()))
        if (name.size() > 5 && name.substr(name.size() - 5) == ".html")
            pages.push_back(Copy() + name);
    ForceFolders(Path("harness/"));
    bool available = false;
    std::vector<std::string> failures = FailedLoadsInChromium(pages, Path("harness/"), available);
    if (!available)
        GTEST_SKIP() << "chromium is not installed";
    EXPECT_EQ(failures, std::vector<std::string>());
}

TEST_F(ZipRun, ATargetArchiveTakesTheCopyBesideWhatItHeldAndKeepsItsName)
{
    StartServer();
    const std::string target = Path("mine/My Sites.zip");
    WriteFile("files/kept.txt", "kept");
    TZipArchive zip;
    zip.ZipFileName = target;
    zip.BaseDirectory = Path("files/");
    zip.FilesToProcess = {"kept.txt"};
    ForceFolders(Path("mine/"));
    ASSERT_EQ(zip.Add(0), zrSuccess);
    std::unique_ptr<TAVTask> created = engine->run.CreateTask(server->URL("/index.html"), false, false, target);
    EXPECT_FALSE(created->profile.useStartPageTitle);
    ScheduleNow(*created);
    TAVTask *task = engine->tasks.Add(std::move(created));
    ASSERT_TRUE(RunToEnd(*task));
    EXPECT_EQ(task->status.load(), tsZipped);
    EXPECT_EQ(task->destination, target);
    std::vector<std::string> expected = ExpectedFiles(CopiedPaths());
    expected.push_back("kept.txt");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Entries(target), expected);
}

TEST_F(ZipRun, TakenNamesGetANumber)
{
    StartServer();
    ForceFolders(app->DownloadsFolder());
    SaveText(app->DownloadsFolder() + "Test Site.zip", "someone else's");
    TAVTask *task = NewZipTask();
    ASSERT_TRUE(RunToEnd(*task));
    EXPECT_EQ(task->destination, app->DownloadsFolder() + "Test Site(0).zip");
    EXPECT_EQ(ReadFileBytes(app->DownloadsFolder() + "Test Site.zip"), "someone else's");
}

TEST_F(ZipRun, ResumesAfterAStopWithoutDuplicateEntries)
{
    TAVTask *task = StoppedMidRun();
    ASSERT_NE(task, nullptr);
    // Everything finished before the stop is in the archive, and nothing else.
    std::vector<std::string> before = Entries(task->destination);
    EXPECT_GE(before.size(), 4u);
    EXPECT_EQ(before, FinishedNames(*task));

    task->runMode = rmResume;
    ASSERT_TRUE(RunToEnd(*task));
    EXPECT_EQ(task->status.load(), tsZipped);
    TZipArchive zip;
    zip.ZipFileName = task->destination;
    EXPECT_EQ(static_cast<size_t>(zip.GetEntryCount()), ExpectedFiles(CopiedPaths()).size());
    ExpectCompleteArchive(task->destination);
}

TEST_F(ZipRun, AResumedRunAddsWhatTheArchiveMissed)
{
    TAVTask *task = StoppedMidRun();
    ASSERT_NE(task, nullptr);
    // As if the program had ended before its last update of the archive.
    std::filesystem::remove(task->destination);
    TAVTask *reopened = ReopenAndResume(task->taskFile);
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->status.load(), tsZipped);
    ExpectCompleteArchive(reopened->destination);
}

TEST_F(ZipRun, ZipLastAddsNothingUntilTheDownloadHasFinished)
{
    StartServer(true);
    TAVTask *task = NewZipTask();
    engine->run.StartTask(*task);
    task->zipLast = true;
    ASSERT_TRUE(PumpUntil([&] { return task->resourcesSaved >= 3 || runsEnded > 0; }, 60));
    EXPECT_FALSE(FileExists(task->destination));
    ASSERT_TRUE(PumpUntil([&] { return runsEnded > 0; }, 60));
    EXPECT_EQ(task->status.load(), tsZipped);
    ExpectCompleteArchive(task->destination);
}

TEST_F(ZipRun, OneEntryCanBeExtractedAlone)
{
    StartServer();
    TAVTask *task = NewZipTask();
    ASSERT_TRUE(RunToEnd(*task));
    std::string entry = LocalFile("about.html").substr(Copy().size());
    std::string status;
    EXPECT_EQ(ExtractForBrowsing(engine->run.Zip(), task->destination, Path("one/"), entry, xowAlways, status), 0);
    EXPECT_EQ(status, "Unzipped: " + entry + ".");
    EXPECT_EQ(FilesUnder(Path("one/")), std::vector<std::string>{entry});
}

} // namespace
} // namespace arvelo::test
