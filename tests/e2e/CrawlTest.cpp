#include "e2e/BrowserCheck.h"
#include "e2e/CrawlFixture.h"

#include "core/FileUtils.h"
#include "model/ActiveTaskList.h"
#include "model/DownloadItem.h"
#include "support/PageLinks.h"
#include "support/TestSite.h"
#include "support/FakeResolver.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <set>

// The thread sanitizer makes a copy of a real site of 67 MB take a minute
// and more: that copy is checked in the other builds.
#if defined(__SANITIZE_THREAD__)
#define ARVELO_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ARVELO_THREAD_SANITIZER 1
#endif
#endif

namespace arvelo::test {
namespace {

std::set<std::string> SavedURLs(TAVTask &task)
{
    std::set<std::string> urls;
    for (size_t i = 0; i < task.items.ItemCount(); ++i) {
        TAVQItem &item = *task.items.Item(i);
        if (item.State() >= isSaved) {
            item.LoadFields();
            urls.insert(item.LoadedText().URL);
            item.ReleaseFields();
        }
    }
    return urls;
}

using Crawl = CrawlFixture;

class CrawlConnections : public Crawl, public ::testing::WithParamInterface<int> {};

TEST_P(CrawlConnections, CopiesTheWholeSiteIntoTheFolder)
{
    StartServer();
    engine->slots.SetConnections(GetParam());
    TAVTask *task = NewCopyTask();
    ASSERT_TRUE(RunToEnd(*task));
    EXPECT_EQ(task->status.load(), tsTaskComplete);
    ExpectCompleteCopy();
    EXPECT_EQ(task->pageErrors.load(), 1); // the 404
    EXPECT_EQ(task->resourceErrors.load(), 0);
    EXPECT_EQ(task->startPageTitle, "Test Site");
    // The run's schedule "Now" is cleared and the task leaves the active list.
    TAVTask saved;
    saved.taskFile = task->taskFile;
    saved.Load();
    EXPECT_EQ(saved.status.load(), tsTaskComplete);
    EXPECT_EQ(saved.schedule, "");
    EXPECT_FALSE(app->ActiveTasks().Contains(task->taskFile));
    EXPECT_EQ(static_cast<int>(engine->slots.Count()), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Slots, CrawlConnections, ::testing::Values(1, 16));

TEST_F(Crawl, AnHttpsSiteCopiesAsOverHttpOverKeptConnections)
{
    StartServer(false, {}, TCertificate::kGood);
    engine->slots.SetConnections(4);
    TAVTask *task = NewCopyTask();
    ASSERT_EQ(task->url.rfind("https://", 0), 0u);
    ASSERT_TRUE(RunToEnd(*task));
    EXPECT_EQ(task->status.load(), tsTaskComplete);
    ExpectCompleteCopy();
    EXPECT_EQ(task->resourceErrors.load(), 0);
    // Every request of the run over at most one connection per slot, and
    // one more each time a slot comes back from the site's second server
    // (two files).
    EXPECT_GT(server->Requests().size(), 20u);
    EXPECT_GE(server->ConnectionsUsed(), 1);
    EXPECT_LE(server->ConnectionsUsed(), 4 + 2);
}

TEST_F(Crawl, AnHttpStartAddressMovedToHttpsCopiesTheSite)
{
    StartServer(false, {}, TCertificate::kGood);
    const std::string secure = "https://127.0.0.1:" + std::to_string(server->Port());
    TNginxServer plain(Path("www"), "    location / { return 301 " + secure + "$request_uri; }\n");
    ASSERT_TRUE(plain.Running()) << plain.Error();
    TAVTask *task = NewCopyTaskAt(plain.URL("/index.html"));
    ASSERT_TRUE(RunToEnd(*task));
    EXPECT_EQ(task->status.load(), tsTaskComplete);
    // Each address is kept under the one the site gave, whichever server answered it.
    SetSiteServerFolder(ServerFolderOf(plain.URL("/")));
    ExpectCompleteCopy();
    EXPECT_EQ(task->resourceErrors.load(), 0);
}

TEST_F(Crawl, AStartAddressMovedToAnotherHostMakesThatHostTheStartSite)
{
    TNginxServer secure(Path("moved"), {}, TCertificate::kGood);
    ASSERT_TRUE(secure.Running()) << secure.Error();
    const std::string target = "https://localhost:" + std::to_string(secure.Port());
    WriteFile("moved/index.html", "<html><head><title>Moved</title></head><body><a href=\"a.html\">a</a>"
                                  "<a href=\"" + target + "/b.html\">b</a></body></html>");
    WriteFile("moved/a.html", "<html><body>a</body></html>");
    WriteFile("moved/b.html", "<html><body>b</body></html>");
    TNginxServer plain(Path("moved"), "    location / { return 301 " + target + "$request_uri; }\n");
    ASSERT_TRUE(plain.Running()) << plain.Error();
    TAVTask *task = NewCopyTaskAt(plain.URL("/index.html"));
    ASSERT_TRUE(RunToEnd(*task));
    EXPECT_EQ(task->status.load(), tsTaskComplete);
    EXPECT_EQ(task->startRedirect, target + "/index.html");
    EXPECT_TRUE(FileExists(Copy() + ServerFolderOf(plain.URL("/")) + "/index.html"));
    EXPECT_TRUE(FileExists(Copy() + ServerFolderOf(plain.URL("/")) + "/a.html"));
    // On the host the start address moved to: within the site.
    EXPECT_NE(ReadFileBytes(Copy() + ServerFolderOf(target) + "/b.html").find("<body>b</body>"), std::string::npos);
    TAVTask saved;
    saved.taskFile = task->taskFile;
    saved.Load();
    EXPECT_EQ(saved.startRedirect, task->startRedirect);
}

TEST_F(Crawl, HttpPagesWithHttpsImagesCopyWithWorkingLinks)
{
    StartServer(false, {}, TCertificate::kGood);
    const std::string images = server->URL("/");
    WriteFile("mixed/index.html", "<html><head><title>Mixed</title></head><body><a href=\"next.html\">next</a>"
                                  "<img src=\"" + images + "logo.gif\"></body></html>");
    WriteFile("mixed/next.html", "<html><body><img src=\"" + images + "images/bg.png\"></body></html>");
    TNginxServer pages(Path("mixed"));
    ASSERT_TRUE(pages.Running()) << pages.Error();
    TAVTask *task = NewCopyTaskAt(pages.URL("/index.html"));
    ASSERT_TRUE(RunToEnd(*task));
    EXPECT_EQ(task->status.load(), tsTaskComplete);
    EXPECT_EQ(task->resourceErrors.load(), 0);
    EXPECT_EQ(ReadFileBytes(LocalFile("logo.gif")), SiteFiles().at("logo.gif"));
    EXPECT_EQ(ReadFileBytes(LocalFile("images/bg.png")), SiteFiles().at("images/bg.png"));
    EXPECT_EQ(BrokenLinks(), std::vector<std::string>());
    // The pages' server and the pictures' server each have their folder.
    const std::string page = ReadFileBytes(Copy() + ServerFolderOf(pages.URL("/")) + "/index.html");
    EXPECT_NE(page.find("src=\"../" + ServerFolderOf(images) + "/logo.gif\""), std::string::npos) << page;
}

TEST_F(Crawl, ASiteServedCompressedIsSavedDecodedAndFollowed)
{
    StartServer(false, "    gzip on; gzip_types *; gzip_min_length 1;\n");
    TAVTask *task = NewCopyTask();
    ASSERT_TRUE(RunToEnd(*task));
    EXPECT_EQ(task->status.load(), tsTaskComplete);
    // Every page followed and every file byte for byte as served.
    ExpectCompleteCopy();
}

TEST_F(Crawl, AHostThatCannotBeLookedUpHoldsUpNothingAndIsAskedOnce)
{
    WriteFile("www/lookup/index.html",
              "<html><head><title>Look-ups</title></head><body><a href=\"a.html\">a</a><a href=\"b.html\">b</a>"
              "<img src=\"http://nowhere.test/1.gif\"><img src=\"http://nowhere.test/2.gif\">"
              "<img src=\"http://NOWHERE.test/3.gif\"></body></html>");
    WriteFile("www/lookup/a.html", "<html><body><img src=\"http://nowhere.test/4.gif\"></body></html>");
    WriteFile("www/lookup/b.html", "<html><body>b</body></html>");
    TFakeResolver resolver;
    ASSERT_TRUE(resolver.Listening());
    StartServer();
    TAVTask *task = NewCopyTask("/lookup/index.html");
    const int before = runsEnded;
    engine->run.StartTask(*task);
    // The site's own pages all arrive while the name server keeps silent.
    auto saved = [&](const char *name) { return FileExists(Copy() + ServerFolderOf(server->URL("/")) + "/lookup/" + name); };
    ASSERT_TRUE(PumpUntil([&] { return saved("index.html") && saved("a.html") && saved("b.html"); }));
    EXPECT_EQ(runsEnded, before);
    ASSERT_TRUE(PumpUntil([&] { return !resolver.Queries().empty(); }));
    resolver.Release();
    ASSERT_TRUE(PumpUntil([&] { return runsEnded > before; }));
    // Four addresses on the host, one question for it.
    EXPECT_EQ(resolver.Queries(), std::vector<std::string>{"nowhere.test"});
    EXPECT_EQ(task->resourceErrors.load(), 4);
    for (size_t i = 0; i < task->items.ItemCount(); ++i) {
        TAVQItem &item = *task->items.Item(i);
        item.LoadFields();
        if (item.LoadedText().URL.find("nowhere") != std::string::npos) {
            EXPECT_EQ(item.State(), isError);
            EXPECT_EQ(item.LoadedText().result, "[11001] Host not found (nowhere.test:80)");
        }
        item.ReleaseFields();
    }
}

TEST_F(Crawl, ConvertedPageLinksToItsLocalFiles)
{
    StartServer();
    TAVTask *task = NewCopyTask();
    ASSERT_TRUE(RunToEnd(*task));
    std::string page = ReadFileBytes(LocalFile("sub/page2.html"));
    EXPECT_NE(page.find("href=\"../index.html\""), std::string::npos) << page;
    EXPECT_NE(page.find("src=\"../logo.gif\""), std::string::npos) << page;
    std::string index = ReadFileBytes(LocalFile("index.html"));
    for (const char *link : {"http://elsewhere.invalid/", "list.html%C2%BFid=1.html", "about.html#/tab",
                             "sub/page2.html#sec?x", "list.html%C2%BFid=1.html#!/top", "style.css"})
        EXPECT_NE(index.find("=\"" + std::string(link) + "\""), std::string::npos) << link << "\n" << index;
}

TEST_F(Crawl, ChromiumLoadsEveryCopiedPageWithoutAFailure)
{
    StartServer();
    TAVTask *task = NewCopyTask();
    ASSERT_TRUE(RunToEnd(*task));
    std::vector<std::string> pages;
    for (const std::string &name : FilesUnder(Copy()))
        if (name.ends_with(".html") || name.ends_with(".htm"))
            pages.push_back(Copy() + name);
    ASSERT_GT(pages.size(), 10u);
    ForceFolders(Path("harness/"));
    bool available = false;
    std::vector<std::string> failures = FailedLoadsInChromium(pages, Path("harness/"), available);
    if (!available)
        GTEST_SKIP() << "chromium is not installed";
    EXPECT_EQ(failures, std::vector<std::string>());
}

TEST_F(Crawl, ARealSiteCopiesWithNoBrokenLinkThatTheSiteItselfDoesNotHave)
{
#ifdef ARVELO_THREAD_SANITIZER
    GTEST_SKIP() << "copied in the builds without the thread sanitizer";
#endif
    const std::string doc = "/usr/share/doc/python3.11/html/";
    if (!FileExists(doc + "index.html"))
        GTEST_SKIP() << "python3.11-doc is not installed";
    TNginxServer site(doc);
    ASSERT_TRUE(site.Running()) << site.Error();
    engine->slots.SetConnections(10);
    TAVTask *task = NewCopyTaskAt(site.URL("/index.html"));
    // Its pages name other sites' files; a test never leaves the machine.
    task->profile.resourceLocation = locStartSite;
    ASSERT_TRUE(RunToEnd(*task, 300));
    EXPECT_EQ(task->status.load(), tsTaskComplete);
    const std::string copy = Copy() + ServerFolderOf(site.URL()) + "/";
    size_t pages = 0;
    for (const std::string &name : FilesUnder(copy))
        pages += name.ends_with(".html");
    EXPECT_GT(pages, 500u);
    // Debian leaves out the change log that many pages link to: those links
    // stay broken, and no other may.
    const std::set<std::string> brokenOnTheSite = MissingLinkTargets(doc);
    ASSERT_GT(brokenOnTheSite.size(), 0u);
    std::vector<std::string> brokenInTheCopy;
    for (const std::string &target : MissingLinkTargets(copy))
        if (!brokenOnTheSite.count(target))
            brokenInTheCopy.push_back(target);
    EXPECT_EQ(brokenInTheCopy, std::vector<std::string>());
}

// The task's counters, as its items say them: what each run mode leaves.
std::string CountersOf(TAVTask &task)
{
    return "pages " + std::to_string(task.pagesSaved) + " (" + std::to_string(task.pageErrors) + " errors) of " +
           std::to_string(task.totalPages) + ", media " + std::to_string(task.resourcesSaved) + " (" +
           std::to_string(task.resourceErrors) + " errors) of " + std::to_string(task.totalResources);
}

std::string CountersOfItems(TAVTask &task)
{
    int64_t counts[2][3] = {};
    for (size_t i = 0; i < task.items.ItemCount(); ++i) {
        const TAVQItem &item = *task.items.Item(i);
        const uint8_t state = item.State();
        int64_t *count = counts[item.IsPage() ? 0 : 1];
        count[0] += state == isError || state >= isSaved;
        count[1] += state == isError;
        ++count[2];
    }
    return "pages " + std::to_string(counts[0][0]) + " (" + std::to_string(counts[0][1]) + " errors) of " +
           std::to_string(counts[0][2]) + ", media " + std::to_string(counts[1][0]) + " (" +
           std::to_string(counts[1][1]) + " errors) of " + std::to_string(counts[1][2]);
}

TEST_F(Crawl, TheCountersAddUpAfterEveryRunMode)
{
    StartServer(true);
    engine->slots.SetConnections(2);
    TAVTask *task = NewCopyTask();
    engine->run.StartTask(*task);
    ASSERT_TRUE(PumpUntil([&] { return task->resourcesSaved > 5; }, 60));
    engine->run.StopTask(*task);
    EXPECT_EQ(CountersOf(*task), CountersOfItems(*task)) << "stopped";
    for (uint8_t mode : {rmResume, rmRenovix, rmSalvix}) {
        task->runMode = mode;
        ASSERT_TRUE(RunToEnd(*task));
        EXPECT_EQ(CountersOf(*task), CountersOfItems(*task)) << int(mode);
    }
    // A new start of the program, reading the task back.
    const std::string file = task->taskFile;
    StartEngine();
    TAVTask *reopened = engine->tasks.Open(file);
    ASSERT_NE(reopened, nullptr);
    reopened->runMode = rmSalvix;
    ASSERT_TRUE(RunToEnd(*reopened));
    EXPECT_EQ(CountersOf(*reopened), CountersOfItems(*reopened)) << "reopened";
}

// A state file cut in half, or with its items out of order, is told as
// damaged; the resume keeps every file it still lists but the pages and style
// sheets, which it reads again, and the copy ends complete.
TEST_F(Crawl, ADamagedStateFileIsToldAndTheResumeCompletesTheCopy)
{
    const struct {
        std::string name, damage;
        std::function<std::string(const std::string &)> spoil;
    } cases[] = {
        {"cut in half", "it was cut short or holds broken records",
         [](const std::string &bytes) { return bytes.substr(0, bytes.size() / 2); }},
        {"shuffled", "its items are out of order",
         [](const std::string &bytes) {
             std::vector<std::string> pairs;
             for (size_t at = 0; at < bytes.size();) {
                 size_t end = bytes.find('\n', bytes.find('\n', at) + 1) + 1;
                 pairs.push_back(bytes.substr(at, end - at));
                 at = end;
             }
             std::shuffle(pairs.begin(), pairs.end(), std::mt19937(7));
             std::string shuffled;
             for (const std::string &pair : pairs)
                 shuffled += pair;
             return shuffled;
         }},
    };
    StartServer();
    for (const auto &[name, damage, spoil] : cases) {
        SCOPED_TRACE(name);
        std::filesystem::remove_all(Copy());
        StartEngine();
        TAVTask *task = NewCopyTask();
        ASSERT_TRUE(RunToEnd(*task));
        task->status = tsStopped;
        task->Save();
        const std::string file = task->taskFile, stateFile = task->StateFile();
        SaveText(stateFile, spoil(ReadFileBytes(stateFile)));
        // The files the spoilt state file still lists as saved.
        std::set<std::string> listed;
        {
            TAVTask read;
            read.taskFile = file;
            read.Load();
            read.items.OpenItems();
            for (size_t i = 0; i < read.items.ItemCount(); ++i) {
                TAVQItem &item = *read.items.Item(i);
                item.LoadFields();
                if (!item.IsPage() && !item.IsStyleSheet() && item.State() >= isSaved)
                    listed.insert(item.LoadedText().URL);
            }
        }

        notifier.errors.clear();
        const size_t mark = server->Requests().size();
        TAVTask *resumed = ReopenAndResume(file);
        ASSERT_NE(resumed, nullptr);
        ASSERT_EQ(notifier.errors.size(), 1u) << ::testing::PrintToString(notifier.errors);
        EXPECT_NE(notifier.errors[0].find("is damaged (" + damage + ")"), std::string::npos) << notifier.errors[0];
        EXPECT_EQ(resumed->status.load(), tsTaskComplete);
        ExpectCompleteCopy();
        ExpectNoneFetchedAgain(listed, mark);
        // Every address of the site is in the list again.
        const std::set<std::string> saved = SavedURLs(*resumed);
        for (const std::string &path : CopiedPaths()) {
            if (path.rfind("annex/", 0) != 0) {
                EXPECT_EQ(saved.count(server->URL("/" + path)), 1u) << path;
            }
        }
        EXPECT_EQ(CountersOf(*resumed), CountersOfItems(*resumed));
    }
}

TEST_F(Crawl, StopThenResumeFetchesNoSavedItemAgain)
{
    StartServer(true);
    engine->slots.SetConnections(2);
    TAVTask *task = NewCopyTask();
    engine->run.StartTask(*task);
    // Stops while the slow files are being fetched.
    ASSERT_TRUE(PumpUntil([&] { return FileExists(LocalFile("slow/b1.bin")) || task->resourcesSaved > 5; }, 60));
    engine->run.StopTask(*task);
    EXPECT_EQ(task->status.load(), tsStopped);
    for (size_t i = 0; i < task->items.ItemCount(); ++i) {
        uint8_t state = task->items.Item(i)->State();
        EXPECT_TRUE(state != isDownloading && state != isUpdating) << i;
    }
    EXPECT_EQ(engine->slots.Count(), 2u);
    for (TAVSocket *slot : engine->slots.Snapshot())
        EXPECT_TRUE(slot->Idle());
    // The stop came in the middle of the run: work is left for the resume.
    std::set<std::string> saved = SavedURLs(*task);
    ASSERT_FALSE(saved.empty());
    ASSERT_LT(saved.size(), CopiedPaths().size());
    size_t waiting = 0;
    for (size_t i = 0; i < task->items.ItemCount(); ++i)
        waiting += task->items.Item(i)->State() == isNone;
    ASSERT_GT(waiting, 0u);

    size_t mark = server->Requests().size();
    task->runMode = rmResume;
    ASSERT_TRUE(RunToEnd(*task));
    EXPECT_EQ(task->status.load(), tsTaskComplete);
    ExpectNoneFetchedAgain(saved, mark);
    ExpectCompleteCopy();
    // The first run made the task current; the resume went on in place.
    using Start = std::pair<TAVTask *, bool>;
    EXPECT_EQ(runsStarted, (std::vector<Start>{{task, false}, {task, true}}));
    EXPECT_EQ(currentTasks, std::vector<TAVTask *>{task});
}

TEST_F(Crawl, RenovixAsksForChangesAndRewritesOnlyWhatChanged)
{
    StartServer();
    TAVTask *task = NewCopyTask();
    ASSERT_TRUE(RunToEnd(*task));
    namespace fs = std::filesystem;
    std::map<std::string, fs::file_time_type> before;
    for (const std::string &name : FilesUnder(Copy()))
        before[name] = fs::last_write_time(Copy() + name);
    // The server's about page changes, a minute later.
    std::string changed = "<html><head><title>About us</title></head><body>New text "
                          "<a href=\"index.html\">Home</a></body></html>\n";
    WriteFile("www/about.html", changed);
    fs::last_write_time(Path("www/about.html"), fs::last_write_time(Path("www/index.html")) + std::chrono::minutes(1));

    size_t mark = server->Requests().size();
    task->runMode = rmRenovix;
    ASSERT_TRUE(RunToEnd(*task));
    EXPECT_EQ(task->status.load(), tsTaskComplete);
    int notModified = 0;
    for (const std::string &request : RequestsSince(mark)) {
        std::string target = TargetOf(request);
        // Only the 404 had no date to ask with.
        if (target != "/missing.html") {
            EXPECT_FALSE(request.size() >= 2 && request.compare(request.size() - 2, 2, " -") == 0) << request;
        }
        notModified += request.find(" 304 ") != std::string::npos;
    }
    EXPECT_GT(notModified, 10);
    std::string aboutName = LocalFile("about.html").substr(Copy().size());
    EXPECT_NE(ReadFileBytes(LocalFile("about.html")).find("New text"), std::string::npos);
    for (const auto &[name, time] : before) {
        if (name != aboutName) {
            EXPECT_EQ(fs::last_write_time(Copy() + name), time) << name;
        }
    }
    EXPECT_EQ(FilesUnder(Copy()), ExpectedFiles(CopiedPaths()));
}

TEST_F(Crawl, AnUpdateStoppedAndReopenedFromDiskResumesAsAnUpdate)
{
    StartServer(true);
    engine->slots.SetConnections(2);
    TAVTask *task = NewCopyTask();
    ASSERT_TRUE(RunToEnd(*task));
    // The slow files change on the server, a minute later.
    namespace fs = std::filesystem;
    std::map<std::string, std::string> changed;
    for (int i = 1; i <= 6; ++i) {
        std::string path = "slow/b" + std::to_string(i) + ".bin";
        changed[path] = std::string(48 * 1024, static_cast<char>('a' + i));
        WriteFile("www/" + path, changed[path]);
        fs::last_write_time(Path("www/" + path), fs::last_write_time(Path("www/index.html")) + std::chrono::minutes(1));
    }
    auto updated = [&] {
        std::set<std::string> done;
        for (const auto &[path, bytes] : changed)
            if (ReadFileBytes(LocalFile(path)) == bytes)
                done.insert(server->URL("/" + path));
        return done;
    };
    task->runMode = rmRenovix;
    engine->run.StartTask(*task);
    // Stopped with one file updated and another well into its transfer.
    auto midTransfer = [&] {
        for (TAVSocket *slot : engine->slots.Snapshot())
            if (slot->HTTP.State() == hsDownloading && slot->HTTP.Bytes() > 8192 && slot->HTTP.Bytes() < 40960)
                return true;
        return false;
    };
    ASSERT_TRUE(PumpUntil([&] { return !updated().empty() && midTransfer(); }, 60));
    engine->run.StopTask(*task);
    ASSERT_LT(updated().size(), changed.size());
    std::set<std::string> checked = SavedURLs(*task);

    size_t mark = server->Requests().size();
    TAVTask *reopened = ReopenAndResume(task->taskFile);
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->status.load(), tsTaskComplete);
    std::vector<std::string> requests = RequestsSince(mark);
    EXPECT_FALSE(requests.empty());
    // What is left is still asked for as an update, and only that; the
    // transfer cut short goes on from where it was.
    int resumed = 0;
    for (const std::string &request : requests) {
        bool rest = request.find(" 206 ") != std::string::npos;
        resumed += rest;
        if (!rest) {
            EXPECT_FALSE(request.size() >= 2 && request.compare(request.size() - 2, 2, " -") == 0) << request;
        }
    }
    EXPECT_GT(resumed, 0);
    ExpectNoneFetchedAgain(checked, mark);
    EXPECT_EQ(updated().size(), changed.size());
    EXPECT_EQ(FilesUnder(Copy()), ExpectedFiles(CopiedPaths()));
    EXPECT_EQ(BrokenLinks(), std::vector<std::string>());
}

TEST_F(Crawl, AMapStoppedAndReopenedFromDiskResumesAsAMap)
{
    // The pages under sub/ come slowly, so that the stop finds them under way.
    StartServer(false, "    location /sub/ { limit_rate 100; }\n");
    engine->slots.SetConnections(2);
    TAVTask *task = NewCopyTask("/index.html", true);
    engine->run.StartTask(*task);
    ASSERT_TRUE(PumpUntil([&] { return FileExists(LocalFile("about.html")) && FileExists(LocalFile("new.html")); }, 60));
    engine->run.StopTask(*task);
    ASSERT_FALSE(FileExists(LocalFile("sub/deep/page3.html")));

    size_t mark = server->Requests().size();
    TAVTask *reopened = ReopenAndResume(task->taskFile);
    ASSERT_NE(reopened, nullptr);
    // The new engine's first run makes its task current: nothing of the last run shows.
    EXPECT_EQ(runsStarted.back(), std::make_pair(reopened, false));
    EXPECT_EQ(currentTasks.back(), reopened);
    std::vector<std::string> requests = RequestsSince(mark);
    EXPECT_FALSE(requests.empty());
    for (const std::string &request : requests)
        EXPECT_TRUE(IsSitePage(TargetOf(request).substr(1))) << request;
    std::vector<std::string> pages;
    for (const std::string &path : CopiedPaths())
        if (IsSitePage(path))
            pages.push_back(path);
    EXPECT_EQ(FilesUnder(Copy()), ExpectedFiles(pages));
}

TEST_F(Crawl, SalvixFetchesOnlyTheFailedItems)
{
    StartServer();
    TAVTask *task = NewCopyTask();
    ASSERT_TRUE(RunToEnd(*task));
    EXPECT_EQ(task->pageErrors.load(), 1);
    WriteFile("www/missing.html", "<html><head><title>Found</title></head><body>Here now</body></html>\n");

    size_t mark = server->Requests().size();
    task->runMode = rmSalvix;
    ASSERT_TRUE(RunToEnd(*task));
    std::vector<std::string> requests = RequestsSince(mark);
    ASSERT_FALSE(requests.empty());
    for (const std::string &request : requests)
        EXPECT_EQ(TargetOf(request), "/missing.html") << request;
    EXPECT_EQ(task->pageErrors.load(), 0);
    std::vector<std::string> paths = CopiedPaths();
    paths.push_back("missing.html");
    EXPECT_EQ(FilesUnder(Copy()), ExpectedFiles(paths));
    EXPECT_EQ(BrokenLinks({}), std::vector<std::string>());
}

TEST_F(Crawl, MapFetchesOnlyPages)
{
    StartServer();
    TAVTask *task = NewCopyTask("/index.html", true);
    ASSERT_TRUE(RunToEnd(*task));
    EXPECT_EQ(task->runMode, rmRestart);
    for (const std::string &request : server->Requests()) {
        EXPECT_TRUE(IsSitePage(TargetOf(request).substr(1))) << request;
    }
    std::vector<std::string> pages;
    for (const std::string &path : CopiedPaths())
        if (IsSitePage(path))
            pages.push_back(path);
    EXPECT_EQ(FilesUnder(Copy()), ExpectedFiles(pages));
}

TEST_F(Crawl, LoweringConnectionsDuringARunRemovesIdleSlots)
{
    StartServer(true);
    engine->slots.SetConnections(8);
    TAVTask *task = NewCopyTask();
    engine->run.StartTask(*task);
    ASSERT_TRUE(PumpUntil([&] { return task->resourcesSaved >= 3; }, 60));
    engine->slots.SetConnections(2);
    EXPECT_TRUE(PumpUntil([&] { return engine->slots.Count() == 2u || !engine->run.RunningTask(); }, 60));
    EXPECT_EQ(engine->slots.Count(), 2u);
    ASSERT_TRUE(PumpUntil([&] { return runsEnded > 0; }, 120));
    EXPECT_EQ(task->status.load(), tsTaskComplete);
    ExpectCompleteCopy();
}

TEST_F(Crawl, ResumingATaskWithoutItsItemListStartsAfresh)
{
    StartServer();
    TAVTask *task = NewCopyTask();
    task->runMode = rmResume;
    ASSERT_TRUE(RunToEnd(*task));
    EXPECT_EQ(task->status.load(), tsTaskComplete);
    ExpectCompleteCopy();
}

TEST_F(Crawl, StoppingAFetchPutsItsItemBack)
{
    StartServer(true);
    engine->slots.SetConnections(1);
    TAVTask *task = NewCopyTask("/slow/b1.bin");
    engine->run.StartTask(*task);
    ASSERT_TRUE(PumpUntil([&] { return !engine->slots.Snapshot()[0]->Idle(); }, 30));
    // Well into the body, past the replies to HEAD and GET.
    ASSERT_TRUE(PumpUntil([&] { return engine->slots.Snapshot()[0]->HTTP.Bytes() > 8192; }, 30));
    engine->run.StopTask(*task);
    TAVQItem &item = *task->items.Item(0);
    EXPECT_EQ(item.State(), isNone);
    EXPECT_EQ(engine->slots.Snapshot()[0]->status, "Idle");
    // The part received is kept and the resume asks for the rest only.
    item.LoadFields();
    EXPECT_EQ(item.LoadedText().result.rfind("Incomplete (", 0), 0u) << item.LoadedText().result;
    item.ReleaseFields();
    size_t mark = server->Requests().size();
    task->runMode = rmResume;
    ASSERT_TRUE(RunToEnd(*task));
    EXPECT_EQ(ReadFileBytes(LocalFile("slow/b1.bin")), SiteFiles().at("slow/b1.bin"));
    std::vector<std::string> requests = RequestsSince(mark);
    ASSERT_FALSE(requests.empty());
    EXPECT_NE(requests.back().find(" 206 "), std::string::npos) << requests.back();
}

} // namespace
} // namespace arvelo::test
