#include "e2e/CrawlFixture.h"

#include "support/TestSite.h"

#include "core/FileUtils.h"
#include "crawl/URL.h"
#include "schedule/Schedule.h"
#include "support/PageLinks.h"
#include "support/ScriptedServer.h"

#include <QByteArray>
#include <QUrl>

namespace arvelo::test {

const std::map<std::string, std::string> &CrawlFixture::SiteFiles() { return test::SiteFiles(); }

const std::map<std::string, std::string> &CrawlFixture::LocalNames() { return SiteLocalNames(); }

std::vector<std::string> CrawlFixture::CopiedPaths() { return SiteCopiedPaths(); }

void CrawlFixture::SetUp()
{
    TestHome::SetUp();
    ImportShippedFileTypes();
    WriteSite(Path("www/"));
    app = std::make_unique<TAVApp>();
    app->SetNoAds(true);
    app->SetConnections(4);
    StartEngine();
}

void CrawlFixture::StartEngine()
{
    engine.reset();
    engine = std::make_unique<TRunEngine>();
    engine->run.OnRunEnded = [this](TAVTask &) { ++runsEnded; };
    engine->run.OnRunStarted = [this](TAVTask &task, bool resumedInPlace) {
        runsStarted.emplace_back(&task, resumedInPlace);
    };
    engine->run.OnCurrentTaskChanged = [this](TAVTask *task) { currentTasks.push_back(task); };
    engine->slots.SetConnections(app->Connections());
}

void CrawlFixture::TearDown()
{
    engine.reset();
    app.reset();
    server.reset();
    TestHome::TearDown();
}

void CrawlFixture::StartServer(bool slow, const std::string &extraLines, std::optional<TCertificate> certificate)
{
    server = StartSiteServer(Path("www"), slow, extraLines, certificate);
    ASSERT_TRUE(server->Running()) << server->Error();
}

std::string CrawlFixture::LocalFile(const std::string &path) const { return Copy() + LocalNames().at(path); }

std::vector<std::string> CrawlFixture::ExpectedFiles(const std::vector<std::string> &paths)
{
    return SiteExpectedFiles(paths);
}

std::vector<std::string> CrawlFixture::RequestsSince(size_t first) const
{
    std::vector<std::string> all = server->Requests();
    return {all.begin() + static_cast<long>(std::min(first, all.size())), all.end()};
}

std::string CrawlFixture::TargetOf(const std::string &request) { return RequestTarget(request); }

bool CrawlFixture::IsSitePage(const std::string &path)
{
    auto local = LocalNames().find(path);
    return local != LocalNames().end() && (local->second.ends_with(".html") || local->second.ends_with(".htm"));
}

void CrawlFixture::ExpectNoneFetchedAgain(const std::set<std::string> &savedURLs, size_t first) const
{
    for (const std::string &request : RequestsSince(first))
        EXPECT_EQ(savedURLs.count(server->URL(TargetOf(request))), 0u) << request;
}

void CrawlFixture::ExpectCompleteCopy() const
{
    EXPECT_EQ(FilesUnder(Copy()), ExpectedFiles(CopiedPaths()));
    for (const std::string &path : CopiedPaths()) {
        std::string served = path == "old.html" ? "new.html" : path.substr(0, path.find('?'));
        std::string copied = ReadFileBytes(LocalFile(path));
        if (IsSitePage(path))
            EXPECT_NE(copied.find("<title>"), std::string::npos) << path;
        else
            EXPECT_EQ(copied, SiteFiles().at(served)) << path;
    }
    EXPECT_EQ(BrokenLinks(), std::vector<std::string>());
}

TAVTask *CrawlFixture::NewCopyTask(const std::string &path, bool map) { return NewCopyTaskAt(server->URL(path), map); }

TAVTask *CrawlFixture::NewCopyTaskAt(const std::string &url, bool map)
{
    std::unique_ptr<TAVTask> task = engine->run.CreateTask(url, map, true);
    task->destination = Copy();
    ScheduleNow(*task);
    return engine->tasks.Add(std::move(task));
}

bool CrawlFixture::RunToEnd(TAVTask &task, double seconds)
{
    int before = runsEnded;
    engine->run.StartTask(task);
    return PumpUntil([&] { return runsEnded > before; }, seconds);
}

TAVTask *CrawlFixture::ReopenAndResume(std::string taskFile)
{
    StartEngine();
    TAVTask *task = engine->tasks.Open(taskFile);
    if (!task)
        return nullptr;
    task->runMode = rmResume;
    return RunToEnd(*task) ? task : nullptr;
}

std::vector<std::string> CrawlFixture::BrokenLinks(const std::vector<std::string> &failedPaths) const
{
    std::vector<std::string> failed;
    for (const std::string &path : failedPaths)
        failed.push_back(LocalFile(path));
    std::vector<std::string> broken;
    for (const auto &[name, link] : PageLinksUnder(Copy())) {
        const std::string file = Copy() + name;
        // Links a copy leaves on the web: other sites, and addresses of
        // this one that it does not hold. One whose file is in the copy
        // was left unconverted.
        if (link.rfind("http://", 0) == 0) {
            std::string address = StripFragment(link), site = server->URL("/");
            auto local = LocalNames().find(address.substr(std::min(address.size(), site.size())));
            if (address.rfind(site, 0) == 0 && local != LocalNames().end() &&
                FileExists(Copy() + local->second))
                broken.push_back(name + ": " + link + " (not converted)");
            continue;
        }
        QUrl target = QUrl::fromLocalFile(QString::fromStdString(file)).resolved(QUrl(QString::fromStdString(link)));
        std::string path = target.adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery).toLocalFile().toStdString();
        bool allowed = std::find(failed.begin(), failed.end(), path) != failed.end();
        if (path.rfind(Copy(), 0) != 0 || (!FileExists(path) && !allowed))
            broken.push_back(name + ": " + link);
    }
    return broken;
}

} // namespace arvelo::test
