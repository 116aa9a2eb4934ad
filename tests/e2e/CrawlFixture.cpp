#include "e2e/CrawlFixture.h"

#include "core/FileUtils.h"
#include "crawl/URL.h"
#include "schedule/Schedule.h"
#include "support/ScriptedServer.h"

#include <QByteArray>
#include <QUrl>

#include <regex>

namespace arvelo::test {
namespace {

std::string Page(const std::string &title, const std::string &body)
{
    return "<html><head><title>" + title + "</title></head>\n<body>\n" + body + "\n</body></html>\n";
}

std::string Binary(int size, int seed)
{
    std::string bytes;
    for (int i = 0; i < size; ++i)
        bytes += static_cast<char>((i * 31 + seed * 7) & 0xff);
    return bytes;
}

constexpr int kSlowFiles = 6;

} // namespace

const std::map<std::string, std::string> &CrawlFixture::SiteFiles()
{
    static const std::map<std::string, std::string> files = [] {
        std::map<std::string, std::string> site;
        std::string slowLinks;
        for (int i = 1; i <= kSlowFiles; ++i) {
            std::string name = "slow/b" + std::to_string(i) + ".bin";
            site[name] = Binary(48 * 1024, i);
            slowLinks += "<a href=\"" + name + "\">File " + std::to_string(i) + "</a>\n";
        }
        site["index.html"] = "<html><head><title>Test Site</title>\n"
                             "<link rel=\"stylesheet\" href=\"style.css\"></head>\n<body>\n"
                             "<h1>Home</h1><img src=\"logo.gif\">\n"
                             "<a href=\"about.html\">About</a> <a href=\"sub/page2.html\">Page 2</a>\n"
                             "<a href=\"frames.html\">Frames</a> <a href=\"refresh.html\">Refresh</a>\n"
                             "<a href=\"list.html?id=1\">One</a> <a href=\"list.html?id=2\">Two</a>\n"
                             "<a href=\"missing.html\">Missing</a> <a href=\"old.html\">Old</a>\n"
                             // Hash routes and fragments that hold "/" or "?".
                             "<a href=\"about.html#/tab\">Tab</a> <a href=\"sub/page2.html#sec?x\">Section</a>\n"
                             "<a href=\"list.html?id=1#!/top\">Top</a>\n"
                             "<a href=\"http://elsewhere.invalid/\">Elsewhere</a>\n" +
                             slowLinks + "</body></html>\n";
        site["style.css"] = "@import \"print.css\";\n"
                            "body { color: black; background: url( 'images/bg.png' ) }\n"
                            "/* url(images/old.png) */\n";
        site["print.css"] = "h1 { background: url(images/photo.png) }\n";
        site["logo.gif"] = std::string("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01"
                                       "\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
                                       43);
        // A real 1x1 picture, so that a browser shows it.
        site["images/bg.png"] = "\x89PNG\r\n\x1a\n" + Binary(200, 3);
        site["images/photo.png"] = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR4"
                                                          "2mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJggg==")
                                       .toStdString();
        site["about.html"] = Page("About", "<img src=\"images/photo.png\"> <a href=\"index.html\">Home</a>");
        site["sub/page2.html"] =
            Page("Page 2", "<a href=\"../index.html\">Home</a> <img src=\"../logo.gif\">\n"
                           "<a href=\"deep/page3.html\">Deeper</a>");
        site["sub/deep/page3.html"] =
            Page("Page 3", "<a href=\"../page2.html\">Back</a> <a href=\"/about.html#top\">About</a>");
        site["frames.html"] = "<html><head><title>Frames</title></head>\n"
                              "<frameset cols=\"50%,50%\"><frame src=\"left.html\"><frame src=\"right.html\">"
                              "</frameset></html>\n";
        site["left.html"] = Page("Left", "<a href=\"index.html\" target=\"_top\">Home</a>");
        site["right.html"] = Page("Right", "Right frame");
        site["refresh.html"] = "<html><head><title>Moved</title>\n"
                               "<meta http-equiv=\"refresh\" content=\"0; url=new.html\"></head>\n"
                               "<body>Moved</body></html>\n";
        site["new.html"] = Page("New", "<a href=\"index.html\">Home</a>");
        site["list.html"] = Page("List", "<a href=\"index.html\">Home</a>");
        return site;
    }();
    return files;
}

const std::map<std::string, std::string> &CrawlFixture::LocalNames()
{
    // Written out rather than asked of the engine, so that a fault in its
    // naming cannot hide behind its own answer.
    static const std::map<std::string, std::string> names = [] {
        std::map<std::string, std::string> local = {
            {"index.html", "127.0.0.1/index.html"},
            {"style.css", "127.0.0.1/style.css"},
            {"print.css", "127.0.0.1/print.css"},
            {"logo.gif", "127.0.0.1/logo.gif"},
            {"images/bg.png", "127.0.0.1/images/bg.png"},
            {"images/photo.png", "127.0.0.1/images/photo.png"},
            {"about.html", "127.0.0.1/about.html"},
            {"sub/page2.html", "127.0.0.1/sub/page2.html"},
            {"sub/deep/page3.html", "127.0.0.1/sub/deep/page3.html"},
            {"frames.html", "127.0.0.1/frames.html"},
            {"left.html", "127.0.0.1/left.html"},
            {"right.html", "127.0.0.1/right.html"},
            {"refresh.html", "127.0.0.1/refresh.html"},
            {"new.html", "127.0.0.1/new.html"},
            {"old.html", "127.0.0.1/old.html"},
            {"list.html?id=1", "127.0.0.1/list.html\xC2\xBFid=1.html"},
            {"list.html?id=2", "127.0.0.1/list.html\xC2\xBFid=2.html"},
            {"missing.html", "127.0.0.1/missing.html"},
        };
        for (int i = 1; i <= kSlowFiles; ++i)
            local["slow/b" + std::to_string(i) + ".bin"] = "127.0.0.1/slow/b" + std::to_string(i) + ".bin";
        return local;
    }();
    return names;
}

std::vector<std::string> CrawlFixture::CopiedPaths()
{
    std::vector<std::string> paths;
    for (const auto &[path, name] : LocalNames())
        if (path != "missing.html")
            paths.push_back(path);
    return paths;
}

void CrawlFixture::SetUp()
{
    TestHome::SetUp();
    ImportShippedFileTypes();
    for (const auto &[path, bytes] : SiteFiles())
        WriteFile("www/" + path, bytes);
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

void CrawlFixture::StartServer(bool slow, const std::string &extraLines)
{
    std::string lines = "    location = /old.html { return 302 /new.html; }\n" + extraLines;
    if (slow)
        lines += "    location /slow/ { limit_rate 16k; }\n";
    server = std::make_unique<TNginxServer>(Path("www"), lines);
    ASSERT_TRUE(server->Running()) << server->Error();
}

std::string CrawlFixture::LocalFile(const std::string &path) const { return Copy() + LocalNames().at(path); }

std::vector<std::string> CrawlFixture::ExpectedFiles(const std::vector<std::string> &paths)
{
    std::vector<std::string> files;
    for (const std::string &path : paths)
        files.push_back(LocalNames().at(path));
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> CrawlFixture::RequestsSince(size_t first) const
{
    std::vector<std::string> all = server->Requests();
    return {all.begin() + static_cast<long>(std::min(first, all.size())), all.end()};
}

std::string CrawlFixture::TargetOf(const std::string &request)
{
    size_t start = request.find(' ') + 1;
    return request.substr(start, request.find(' ', start) - start);
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
        if (path.find(".html") != std::string::npos)
            EXPECT_NE(copied.find("<title>"), std::string::npos) << path;
        else
            EXPECT_EQ(copied, SiteFiles().at(served)) << path;
    }
    EXPECT_EQ(BrokenLinks(), std::vector<std::string>());
}

TAVTask *CrawlFixture::NewCopyTask(const std::string &path, bool map)
{
    std::unique_ptr<TAVTask> task = engine->run.CreateTask(server->URL(path), map, true);
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
    static const std::regex kLink(R"re((?:href|src)\s*=\s*"([^"]*)")re", std::regex::icase);
    std::vector<std::string> broken;
    for (const std::string &name : FilesUnder(Copy())) {
        std::string ext = LowerAscii(name.substr(name.rfind('.') + 1));
        if (ext != "html" && ext != "htm")
            continue;
        std::string file = Copy() + name;
        std::string page = ReadFileBytes(file);
        for (auto it = std::sregex_iterator(page.begin(), page.end(), kLink); it != std::sregex_iterator(); ++it) {
            std::string link = (*it)[1];
            if (link.empty() || link[0] == '#')
                continue;
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
    }
    return broken;
}

} // namespace arvelo::test
