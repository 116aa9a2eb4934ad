#pragma once

#include "core/App.h"
#include "crawl/Engine.h"
#include "model/Task.h"
#include "support/NginxServer.h"
#include "support/TestHome.h"

#include <map>
#include <optional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace arvelo::test {

// A small website on a real nginx, and the engine of a running program
// copying it into a folder.
class CrawlFixture : public TestHome {
protected:
    void SetUp() override;
    void TearDown() override;
    // A new start of the program: a fresh engine with its observers.
    void StartEngine();

    // The site's files by path ("index.html"); written into www/.
    static const std::map<std::string, std::string> &SiteFiles();
    // Starts nginx; a slow server sends the files under slow/ at 16 KB/s.
    // Extra lines go into its server block.
    void StartServer(bool slow = false, const std::string &extraLines = {},
                     std::optional<TCertificate> certificate = {});
    // Where a copy keeps each address of the site, by its path on the
    // server ("list.html?id=1"): file names relative to the copy folder.
    static const std::map<std::string, std::string> &LocalNames();
    // The addresses a complete copy holds, by their paths on the server.
    static std::vector<std::string> CopiedPaths();

    std::string Copy() const { return Path("copy/"); }
    // The file of an address of the site in the copy.
    std::string LocalFile(const std::string &path) const;
    // What a complete copy holds: relative file names below the copy.
    static std::vector<std::string> ExpectedFiles(const std::vector<std::string> &paths);

    // The requests the server received from the given one on, and the
    // target of a request line "GET /a.html 200 -".
    std::vector<std::string> RequestsSince(size_t first) const;
    static std::string TargetOf(const std::string &request);
    // Whether the site's address (its path, "modern/about") is saved as a page.
    static bool IsSitePage(const std::string &path);
    // Checks that no request since the given one asked for a saved address.
    void ExpectNoneFetchedAgain(const std::set<std::string> &savedURLs, size_t first) const;

    // Checks the copy holds every file of the site that a complete copy
    // holds, with its bytes for the files that are not pages, and nothing
    // else, and that every link leads into it.
    void ExpectCompleteCopy() const;

    TAVTask *NewCopyTask(const std::string &path = "/index.html", bool map = false);
    // The same for an address of any server.
    TAVTask *NewCopyTaskAt(const std::string &url, bool map = false);
    // Starts the task and waits for its run to end; false on a time-out.
    bool RunToEnd(TAVTask &task, double seconds = 120);
    // A new start of the program: the task read back from its files and
    // resumed to its end; null when it cannot be opened or does not end.
    TAVTask *ReopenAndResume(std::string taskFile);
    // Every link of every saved page that should lead into the copy but
    // leads nowhere, as "page: link"; the files of addresses that failed on
    // the server are allowed to be missing.
    std::vector<std::string> BrokenLinks(const std::vector<std::string> &failedPaths = {"missing.html"}) const;

    std::unique_ptr<TNginxServer> server;
    std::unique_ptr<TAVApp> app;
    std::unique_ptr<TRunEngine> engine;
    int runsEnded = 0;
    // What the observers of the runs were told: each start with whether it
    // resumed the current task in place, and each new current task.
    std::vector<std::pair<TAVTask *, bool>> runsStarted;
    std::vector<TAVTask *> currentTasks;
};

} // namespace arvelo::test
