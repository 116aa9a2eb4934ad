#include "archive/ZipWorker.h"

#include "core/FileUtils.h"
#include "core/WindowThread.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <thread>

namespace arvelo {
namespace {

class ZipWorker : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        archive = Path("site.zip");
        for (const char *name : {"index.html", "img/a.gif", "img/b.gif"})
            WriteFile(std::string("files/") + name, std::string(20000, name[0]));
        TZipArchive zip;
        zip.ZipFileName = archive;
        zip.BaseDirectory = Path("files/");
        zip.FilesToProcess = {"index.html", "img/a.gif", "img/b.gif"};
        ASSERT_EQ(zip.Add(0), zrSuccess);
        worker.OnStatus = [&](const std::string &text, int) { statuses.push_back(text); };
        worker.OnListed = [&](std::vector<TZipFileStats> &entries) {
            for (const TZipFileStats &entry : entries)
                listed.push_back(entry.fileName);
        };
    }

    // Starts the operation and keeps events running until it has ended; its outcome.
    int RunToEnd(int busy, int listing, const std::string &word, std::function<int(TZipArchive &)> operation)
    {
        int outcome = -1;
        EXPECT_TRUE(worker.Start(busy, listing, word, std::move(operation), [&](int result) { outcome = result; }));
        PumpEventsUntil([&] { return outcome >= 0; });
        return outcome;
    }

    std::string archive;
    TZipWorker worker;
    std::vector<std::string> statuses, listed;
};

TEST_F(ZipWorker, AListingReachesTheWindowThreadWholeAndInOrderBeforeItsEnd)
{
    std::atomic<int> seenBusy{-1}, seenListing{-1};
    EXPECT_EQ(RunToEnd(TZipWorker::kOpening, TZipWorker::kListingAll, "",
                       [&](TZipArchive &zip) {
                           seenBusy = worker.BusyState();
                           seenListing = worker.ListingState();
                           zip.ZipFileName = archive;
                           return zip.List();
                       }),
              0);
    EXPECT_EQ(seenBusy, TZipWorker::kOpening);
    EXPECT_EQ(seenListing, TZipWorker::kListingAll);
    EXPECT_EQ(listed, (std::vector<std::string>{"index.html", "img/a.gif", "img/b.gif"}));
    EXPECT_EQ(worker.BusyState(), TZipWorker::kIdle);
    EXPECT_EQ(worker.ListingState(), TZipWorker::kNotListing);
    EXPECT_FALSE(worker.Running());
}

TEST_F(ZipWorker, AnExtractionSaysWhatItDoesAndOneOperationRunsAtATime)
{
    std::atomic<bool> release{false}, shown{false};
    worker.OnStatus = [&](const std::string &text, int) {
        statuses.push_back(text);
        shown = true;
    };
    int outcome = -1;
    ASSERT_TRUE(worker.Start(TZipWorker::kExtracting, 0, "extracting",
                             [&](TZipArchive &zip) {
                                 while (!release)
                                     std::this_thread::yield();
                                 // Its first line, before the next replaces it.
                                 zip.OnExtracting("img/a.gif");
                                 while (!shown)
                                     std::this_thread::yield();
                                 zip.ZipFileName = archive;
                                 zip.ExtractDirectory = Path("out/");
                                 zip.Overwrite = xowAlways;
                                 zip.FilesToProcess = {"img/a.gif"};
                                 return zip.Extract(0);
                             },
                             [&](int result) { outcome = result; }));
    // A second operation waits its turn with the caller.
    EXPECT_FALSE(worker.Start(TZipWorker::kOpening, 0, "", [](TZipArchive &) { return 0; }, nullptr));
    release = true;
    PumpEventsUntil([&] { return outcome >= 0; });
    EXPECT_EQ(outcome, 0);
    EXPECT_EQ(ReadFile("out/img/a.gif"), std::string(20000, 'i'));
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.front(), "Extracting \"img/a.gif\".");
    EXPECT_TRUE(notifier.errors.empty());
}

TEST_F(ZipWorker, AnAbortEndsTheOperationAndItsFailureIsShownOnce)
{
    std::atomic<bool> started{false};
    int outcome = -1;
    ASSERT_TRUE(worker.Start(TZipWorker::kAdding, 0, "adding",
                             [&](TZipArchive &zip) {
                                 started = true;
                                 while (!zip.AbortRequested())
                                     std::this_thread::yield();
                                 return static_cast<int>(zrAborted);
                             },
                             [&](int result) { outcome = result; }));
    PumpEventsUntil([&] { return started.load(); });
    worker.Abort();
    PumpEventsUntil([&] { return outcome >= 0; });
    EXPECT_EQ(outcome, 2);
    EXPECT_EQ(notifier.errors.size(), ZipResultMessage(zrAborted, "adding").empty() ? 0u : 1u);
    // Then the next may run.
    EXPECT_EQ(RunToEnd(TZipWorker::kOpening, 0, "", [](TZipArchive &) { return 0; }), 0);
}

TEST_F(ZipWorker, GoneWhileAnOperationRunsItStopsItAndNothingArrivesAfter)
{
    bool called = false;
    {
        TZipWorker doomed;
        doomed.OnStatus = [&](const std::string &, int) { called = true; };
        std::atomic<bool> started{false};
        ASSERT_TRUE(doomed.Start(TZipWorker::kAdding, 0, "adding",
                                 [&](TZipArchive &zip) {
                                     started = true;
                                     while (!zip.AbortRequested())
                                         std::this_thread::yield();
                                     zip.OnAdding("late.html");
                                     return static_cast<int>(zrAborted);
                                 },
                                 [&](int) { called = true; }));
        PumpEventsUntil([&] { return started.load(); });
    }
    PumpEventsUntil([] { return true; });
    QCoreApplication::processEvents();
    EXPECT_FALSE(called);
}

} // namespace
} // namespace arvelo
