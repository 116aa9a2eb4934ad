// Figures for the processing of pages (every pass, conversions, banner):
// the throughput over real-world HTML (the pages of python3.11-doc, or the
// folder given), and one 5 MB page holding 50,000 links.
#include "BenchSupport.h"

#include "core/AppPaths.h"
#include "core/FileUtils.h"
#include "core/Settings.h"
#include "crawl/PageProcessor.h"
#include "model/Profile.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>
#include <unordered_set>
#include <vector>

using namespace arvelo;

namespace {

struct TResult {
    int links = 0, queued = 0;
    size_t bytesOut = 0;
};

// Processes a page as the parser thread does, with the follow decisions of a
// default profile and a de-duplicating queue.
TResult ProcessPage(const TAVProfile &profile, const std::string &url, const std::string &page,
                    std::unordered_set<std::string> &known)
{
    TResult result;
    TPageProcessor processor(profile, "http://docs.example/3.11/index.html", TPageInfo{url, 1, 1, ""}, true);
    processor.QueueItems = [&](std::vector<TCandidate> &batch) {
        int added = 0;
        for (TCandidate &c : batch)
            added += known.insert(c.url).second ? 1 : 0;
        result.queued += added;
        return added;
    };
    std::string out = processor.Process(page);
    result.bytesOut = out.size();
    return result;
}

int RealWorld(const TAVProfile &profile, const std::string &folder)
{
    std::vector<std::pair<std::string, std::string>> pages;
    size_t total = 0;
    QDirIterator it(QString::fromStdString(folder), {QStringLiteral("*.html")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        std::string file = it.next().toStdString();
        std::string text = LoadText(file);
        total += text.size();
        pages.emplace_back("http://docs.example/3.11/" + file.substr(folder.size()), std::move(text));
    }
    if (pages.empty()) {
        std::printf("no pages under %s (install python3.11-doc, or name a folder)\n", folder.c_str());
        return 1;
    }
    std::unordered_set<std::string> known;
    int queued = 0;
    bench::Stopwatch watch;
    for (const auto &[url, page] : pages)
        queued += ProcessPage(profile, url, page, known).queued;
    double seconds = watch.Seconds();
    bench::Report("real-world pages processed", static_cast<double>(pages.size()), "pages");
    bench::Report("real-world HTML processed", static_cast<double>(total) / 1e6, "MB");
    bench::Report("real-world links queued", queued, "links");
    bench::Report("real-world processing rate", static_cast<double>(total) / 1e6 / seconds, "MB/s");
    return 0;
}

int ManyLinks(const TAVProfile &profile)
{
    std::string page = "<HTML><HEAD><TITLE>Index</TITLE></HEAD><BODY>\r\n";
    for (int i = 0; i < 50000; ++i)
        page += "<P>Entry " + std::to_string(i) + ": <A HREF=\"section" + std::to_string(i % 50) + "/page" +
                std::to_string(i) + ".html\">page " + std::to_string(i) + "</A> described</P>\r\n";
    while (page.size() < 5000000)
        page += "<P>padding text without links, as pages have it.</P>\r\n";
    page += "</BODY></HTML>\r\n";
    std::unordered_set<std::string> known;
    bench::Stopwatch watch;
    TResult result = ProcessPage(profile, "http://docs.example/3.11/index.html", page, known);
    double seconds = watch.Seconds();
    bench::Report("large page size", static_cast<double>(page.size()) / 1e6, "MB");
    bench::Report("large page links queued", result.queued, "links");
    bench::Report("large page processing time", seconds, "s");
    return result.queued >= 50000 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QTemporaryDir dir;
    ::setenv("ARVELO_HOME", dir.path().toStdString().c_str(), 1);
    ReloadSettings();
    Settings().ImportFile(ShippedDataFolder() + "FTypes.reg");
    TAVProfile profile;
    profile.pageLocation = locAnywhere;
    std::string folder = argc > 1 ? argv[1] : "/usr/share/doc/python3.11/html/";
    int failed = RealWorld(profile, IncludeTrailingSlash(folder));
    failed |= ManyLinks(profile);
    return failed;
}
