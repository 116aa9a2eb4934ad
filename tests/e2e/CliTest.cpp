#include "e2e/CrawlFixture.h"

#include "core/FileUtils.h"
#include "model/DownloadItem.h"
#include "support/TestSite.h"
#include "support/ChildProcess.h"
#include "support/ScriptedServer.h"
#include "support/Unwritable.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <random>
#include <set>
#include <sstream>
#include <thread>

namespace arvelo::test {
namespace {

// The status of a run that completed with addresses that failed: the test
// site links to a page it does not have.
constexpr int kSomeFailed = 4;

// The command-line program, run as a user runs it.
class Cli : public CrawlFixture {
protected:
    std::unique_ptr<TChildProcess> Start(std::vector<std::string> args)
    {
        args.insert(args.begin(), ARVELO_CLI_PATH);
        return std::make_unique<TChildProcess>(args);
    }

    int RunCli(std::vector<std::string> args, std::string *output = nullptr, std::string *errors = nullptr)
    {
        auto child = Start(std::move(args));
        int status = child->Wait(120);
        if (output)
            *output = child->Output();
        if (errors)
            *errors = child->Errors();
        return status;
    }

    std::string TaskFile(const std::string &name) const { return Path("Tasks/General/" + name + ".avt"); }

    // The addresses a task's state file records as saved.
    std::set<std::string> SavedInStateFile(const std::string &name)
    {
        TAVTask task;
        task.taskFile = TaskFile(name);
        task.items.OpenItems();
        std::set<std::string> urls;
        for (size_t i = 0; i < task.items.ItemCount(); ++i) {
            TAVQItem &item = *task.items.Item(i);
            item.LoadFields();
            if (item.State() >= isSaved)
                urls.insert(item.LoadedText().URL);
            item.ReleaseFields();
        }
        return urls;
    }
};

TEST_F(Cli, CopiesASiteIntoAFolder)
{
    StartServer();
    std::string output, errors;
    ASSERT_EQ(RunCli({"copy", server->URL("/index.html"), Copy(), "--name", "site"}, &output, &errors), kSomeFailed)
        << output << errors;
    EXPECT_NE(output.find("Task Complete: Pages"), std::string::npos) << output;
    EXPECT_EQ(errors, "Failed addresses:\n  " + server->URL("/missing.html") + "  404 Not Found  (linked from " +
                          server->URL("/index.html") + ")\n");
    ExpectCompleteCopy();
    ASSERT_EQ(RunCli({"list"}, &output), 0);
    EXPECT_NE(output.find("site"), std::string::npos) << output;
    EXPECT_NE(output.find("Task Complete"), std::string::npos) << output;
}

TEST_F(Cli, AUserNameAndPasswordInTheAddressStayOutOfNamesAndFiles)
{
    StartServer();
    const std::string address = server->URL("/index.html");
    std::string output, errors;
    ASSERT_EQ(RunCli({"copy", "http://reader:s3cret@" + address.substr(7), Copy()}, &output, &errors), kSomeFailed)
        << output << errors;
    ExpectCompleteCopy();
    EXPECT_EQ((output + errors).find("s3cret"), std::string::npos) << output << errors;
    std::vector<std::string> tasks = FilesUnder(app->TasksFolder());
    std::erase_if(tasks, [](const std::string &file) { return !file.ends_with(".avt"); });
    ASSERT_EQ(tasks.size(), 1u);
    for (const std::string &name : FilesUnder(Home()))
        EXPECT_EQ(name.find("s3cret"), std::string::npos) << name;
    TAVTask saved;
    saved.taskFile = app->TasksFolder() + tasks[0];
    saved.Load();
    EXPECT_EQ(saved.url, address);
    EXPECT_EQ(saved.userName, "reader");
    EXPECT_EQ(saved.password, "s3cret");
    // The task file holds a password: its owner's alone.
    struct stat info{};
    ASSERT_EQ(::stat(saved.taskFile.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(Cli, CopiesIntoAnArchiveAndWritesItsReports)
{
    StartServer();
    std::string output, errors;
    ASSERT_EQ(RunCli({"copy", server->URL("/index.html"), "--zip", "--name", "zipped"}, &output, &errors), kSomeFailed)
        << output << errors;
    EXPECT_NE(output.find("Zipped!: Pages"), std::string::npos) << output;
    std::string archive = Path("Downloads/Test Site.zip");
    EXPECT_NE(output.find("Saved in: " + archive), std::string::npos) << output;
    EXPECT_TRUE(FileExists(archive));
    // The Temp folder goes with the program.
    EXPECT_FALSE(FolderExists(app->TempFolder() + "127.0.0.1"));

    ASSERT_EQ(RunCli({"report", "zipped"}, &output, &errors), 0) << output << errors;
    std::string site = app->TempFolder() + ServerFolderOf(server->URL("/")) + "/";
    std::string index = ReadFileBytes(site + "!zipped_pages_1.htm");
    // Every saved page has its row (the 404 is an error), twenty to a file.
    size_t rows = 0, pages = 0;
    for (size_t at = index.find("<tr><td bgcolor="); at != std::string::npos; at = index.find("<tr><td bgcolor=", at + 1))
        ++rows;
    for (const std::string &path : CopiedPaths())
        pages += IsSitePage(path) ? 1 : 0;
    EXPECT_EQ(rows, std::min<size_t>(pages, 20)) << index;
    EXPECT_TRUE(FileExists(site + "!zipped_summary.htm"));
    EXPECT_TRUE(FileExists(site + "!images/backgrnd.jpg"));
    EXPECT_NE(ReadFileBytes(app->TempFolder() + "zipped_errors.htm").find("missing.html"), std::string::npos);
}

TEST_F(Cli, AnArchiveTheUserNamedKeepsItsName)
{
    StartServer();
    const std::string archive = Path("mine/copy.zip");
    ForceFolders(Path("mine/"));
    std::string output, errors;
    ASSERT_EQ(RunCli({"copy", server->URL("/index.html"), "--zip=" + archive, "--name", "named"}, &output, &errors),
              kSomeFailed)
        << output << errors;
    EXPECT_NE(output.find("Saved in: " + archive), std::string::npos) << output;
    EXPECT_TRUE(FileExists(archive));
    EXPECT_FALSE(FileExists(Path("Downloads/Test Site.zip")));
    EXPECT_EQ(FilesUnder(Path("mine/")), std::vector<std::string>{"copy.zip"});
}

TEST_F(Cli, ObeysEachServersRobotsFileUnlessToldNotTo)
{
    // Our agent falls under "*"; another agent's group is not ours.
    StartServer(false, "location = /robots.txt { default_type text/plain; return 200 "
                       "\"User-agent: *\\nDisallow: /sub/\\nDisallow: /*?id=2\\n\\n"
                       "User-agent: OtherBot\\nDisallow: /\\n\"; }");
    auto excluded = [](const std::string &path) { return path.starts_with("sub/") || path == "list.html?id=2"; };
    std::string output, errors;
    ASSERT_EQ(RunCli({"copy", server->URL("/index.html"), Copy(), "--name", "polite"}, &output, &errors), kSomeFailed)
        << output << errors;
    // Left out unfetched: neither saved nor among the failures.
    std::vector<std::string> paths = CopiedPaths();
    std::erase_if(paths, excluded);
    EXPECT_EQ(FilesUnder(Copy()), ExpectedFiles(paths));
    EXPECT_EQ(errors.find("sub/"), std::string::npos) << errors;
    int robots = 0;
    for (const std::string &request : server->AllRequests()) {
        const std::string target = TargetOf(request).substr(1);
        EXPECT_FALSE(excluded(target)) << request;
        robots += target == "robots.txt";
    }
    EXPECT_EQ(robots, 1);
    TAVTask task;
    task.taskFile = TaskFile("polite");
    task.Load();
    EXPECT_TRUE(task.profile.obeyRobots);
    task.items.OpenItems();
    int shown = 0;
    for (size_t i = 0; i < task.items.ItemCount(); ++i) {
        TAVQItem &item = *task.items.Item(i);
        item.LoadFields();
        if (item.LoadedText().URL == server->URL("/sub/page2.html")) {
            EXPECT_EQ(item.LoadedText().result, "Excluded by robots.txt");
            ++shown;
        }
        item.ReleaseFields();
    }
    EXPECT_EQ(shown, 1);

    // Told not to, the task keeps it and fetches everything.
    const size_t mark = server->AllRequests().size();
    ASSERT_EQ(RunCli({"run", "polite", "--mode", "restart", "--no-robots", "--quiet"}), kSomeFailed);
    ExpectCompleteCopy();
    const std::vector<std::string> again = server->AllRequests();
    EXPECT_EQ(std::count_if(again.begin() + static_cast<long>(mark), again.end(),
                            [](const std::string &request) { return TargetOf(request) == "/robots.txt"; }),
              0);
    task.Load();
    EXPECT_FALSE(task.profile.obeyRobots);
}

TEST_F(Cli, SendsTheGivenAgentAndHeadersAndLogsEveryFetch)
{
    // The server refuses every request without them, robots.txt included.
    StartServer(false, "if ($http_user_agent != \"TestBot/1.0\") { return 403; }\n"
                       "if ($http_x_token != \"abc\") { return 403; }");
    const std::string log = Path("fetches.log");
    std::string output, errors;
    ASSERT_EQ(RunCli({"copy", server->URL("/index.html"), Copy(), "--name", "told", "--user-agent", "TestBot/1.0",
                      "--header", "X-Token: abc", "--wait=0.05", "--limit-rate", "10m", "--timeout", "30", "--log",
                      log, "-v"},
                     &output, &errors),
              kSomeFailed)
        << output << errors;
    ExpectCompleteCopy();
    // A line per fetched address: time, result, bytes and address.
    std::vector<std::string> lines;
    std::istringstream logged(ReadFileBytes(log));
    for (std::string line; std::getline(logged, line);) {
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 3) << line;
        lines.push_back(line);
    }
    auto loggedOnce = [&](const std::string &path, const std::string &result) {
        return std::count_if(lines.begin(), lines.end(), [&](const std::string &line) {
                   return line.find("\t" + result + "\t") != std::string::npos &&
                          line.ends_with("\t" + server->URL("/" + path));
               }) == 1;
    };
    for (const std::string &path : CopiedPaths()) {
        // (The second server's files come from another address.)
        if (!path.starts_with("annex/")) {
            EXPECT_TRUE(loggedOnce(path, "200 OK")) << path;
        }
    }
    EXPECT_TRUE(loggedOnce("missing.html", "404 Not Found"));
    EXPECT_NE(output.find("404 Not Found            " + server->URL("/missing.html") + "\n"), std::string::npos)
        << output;
    // None of it is kept: the stored settings never name the agent.
    for (const std::string &file : FilesUnder(Home()))
        EXPECT_EQ(ReadFileBytes(Home() + file).find("TestBot"), std::string::npos) << file;
}

TEST_F(Cli, SummariesOfMoreThanFourGigabytes)
{
    StartServer();
    ASSERT_EQ(RunCli({"copy", server->URL("/index.html"), Copy(), "--name", "site", "--quiet"}), kSomeFailed);
    // The task file as a copy of 6 GiB leaves it.
    std::string task = ReadFileBytes(TaskFile("site"));
    size_t at = task.find("Total Bytes=");
    ASSERT_NE(at, std::string::npos);
    task.replace(at, task.find("\r\n", at) - at, "Total Bytes=6442450944");
    SaveText(TaskFile("site"), task);

    std::string output, errors;
    ASSERT_EQ(RunCli({"run", "site", "--mode", "resume"}, &output, &errors), kSomeFailed) << output << errors;
    EXPECT_NE(output.find("Task Complete: Pages"), std::string::npos) << output;
    EXPECT_NE(output.find(" 6291456 KB "), std::string::npos) << output;
    ASSERT_EQ(RunCli({"report", "site"}, &output, &errors), 0) << output << errors;
    std::string summary = ReadFileBytes(Copy() + ServerFolderOf(server->URL("/")) + "/!site_summary.htm");
    EXPECT_NE(summary.find("Size: <b>6291456 Kb</b>"), std::string::npos) << summary;
    EXPECT_NE(ReadFileBytes(TaskFile("site")).find("Total Bytes=6442450944\r\n"), std::string::npos);
}

// Every command on a destination that takes no file ends with the system's
// reason and a status that says it failed; list still lists.
TEST_F(Cli, EveryCommandOnAnUnwritableDestinationSaysWhyAndFails)
{
    StartServer();
    const struct {
        TUnwritableFolder::TKind kind;
        std::string reason;
    } cases[] = {
        {TUnwritableFolder::kReadOnly, geteuid() == 0 ? "Read-only file system" : "Permission denied"},
        {TUnwritableFolder::kFull, "No space left on device"},
    };
    int tested = 0;
    for (const auto &[kind, reason] : cases) {
        SCOPED_TRACE(reason);
        const std::string name = "site" + std::to_string(tested), folder = Path("copy" + std::to_string(tested));
        TUnwritableFolder unwritable(folder, kind);
        if (!unwritable.Ready())
            continue;
        ++tested;
        if (kind == TUnwritableFolder::kFull)
            WriteFile("copy" + std::to_string(tested - 1) + "/filler", std::string(60 * 1024, 'x'));
        for (const std::vector<std::string> &command :
             {std::vector<std::string>{"copy", server->URL("/index.html"), folder, "--name", name},
              std::vector<std::string>{"run", name}, std::vector<std::string>{"report", name}}) {
            std::string output, errors;
            EXPECT_EQ(RunCli(command, &output, &errors), 1) << command[0] << "\n" << output << errors;
            EXPECT_NE(errors.find(reason), std::string::npos) << command[0] << "\n" << output << errors;
            EXPECT_EQ(errors.find("terminate"), std::string::npos) << errors;
        }
        std::string output;
        EXPECT_EQ(RunCli({"list"}, &output), 0);
        EXPECT_NE(output.find("Incomplete"), std::string::npos) << output;
    }
    if (tested == 0)
        GTEST_SKIP() << "no unwritable folder can be had here";
}

TEST_F(Cli, AStartPageThatCannotBeFetchedSaysWhyAndWhereItPointed)
{
    StartServer(false, "location = /away.html { return 301 ftp://files.example/x.zip; }");
    uint16_t closed;
    {
        TScriptedServer gone;
        closed = gone.Port();
    }
    const std::string refused = "http://127.0.0.1:" + std::to_string(closed) + "/index.html";
    const struct {
        std::vector<std::string> args;
        std::string reason;
    } cases[] = {
        {{"copy", refused, Copy(), "--name", "refused"},
         "[10061] Connection refused (127.0.0.1:" + std::to_string(closed) + ")"},
        {{"run", "refused"}, "[10061] Connection refused (127.0.0.1:" + std::to_string(closed) + ")"},
        {{"copy", server->URL("/away.html"), Copy(), "--name", "away"},
         "Invalid URL (redirected to ftp://files.example/x.zip)"},
    };
    for (const auto &c : cases) {
        std::string output, errors;
        EXPECT_EQ(RunCli(c.args, &output, &errors), 1) << c.args[0] << "\n" << output << errors;
        EXPECT_NE(errors.find("The start page could not be saved: " + c.reason), std::string::npos) << errors;
        EXPECT_NE(errors.find("Failed addresses:\n"), std::string::npos) << errors;
        EXPECT_EQ(output.find("Task Complete"), std::string::npos) << output;
    }
}

TEST_F(Cli, RefusesInvalidInputWithAMessage)
{
    struct Case {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{"copy", "ftp://example.com/"}, "Invalid URL"},
        {{"copy"}, "copy needs an address"},
        {{"copy", "http://x.example/", "--depth", "deep"}, "--depth takes a number"},
        {{"copy", "http://x.example/", "--connections", "17"}, "--connections takes a number from 1 to 16"},
        {{"copy", "http://x.example/", "--connections=0"}, "--connections takes a number from 1 to 16"},
        {{"copy", "http://x.example/", "--min-rate", "fast"}, "--min-rate takes bytes a second"},
        {{"copy", "http://x.example/", "--min-rate=2x"}, "--min-rate takes bytes a second"},
        {{"copy", "http://x.example/", "--profile", "Nothing"}, "no profile named 'Nothing'"},
        {{"run", "no-such-task"}, "no task named 'no-such-task'"},
        {{"run", "x", "--depth", "2"}, "the crawl options belong to copy"},
        {{"copy", "http://x.example/", "--timeout", "0"}, "--timeout takes seconds from 1 to 3600"},
        {{"copy", "http://x.example/", "--wait=-1"}, "--wait takes seconds"},
        {{"copy", "http://x.example/", "--limit-rate", "0"}, "--limit-rate takes bytes a second"},
        {{"copy", "http://x.example/", "--header", "NoColon"}, "--header takes one line"},
        {{"copy", "http://x.example/", "--header", "X: a\r\nHost: evil"}, "--header takes one line"},
        {{"copy", "http://x.example/", "--header=Host: evil"}, "--header cannot set Host"},
        {{"copy", "http://x.example/", "--user-agent", "a\nb"}, "--user-agent takes one line"},
        {{"copy", "http://x.example/", "-v", "-q"}, "give either --verbose or --quiet"},
        {{"list", "--log", "x.log"}, "the fetch options belong to copy and run"},
        {{"copy", "http://x.example/", "--log", "/no/such/folder/x.log"}, "cannot write the log"},
        {{"fly"}, "unknown command fly"},
        {{"--colour"}, "unknown option --colour"},
    };
    for (const Case &c : cases) {
        std::string errors;
        EXPECT_EQ(RunCli(c.args, nullptr, &errors), 2) << c.args[0];
        EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
    }
    std::string output;
    EXPECT_EQ(RunCli({"--help"}, &output), 0);
    EXPECT_NE(output.find("Usage: arvelo-cli"), std::string::npos);
    EXPECT_NE(output.find("4 when the\ntask completed but some addresses failed"), std::string::npos) << output;
}

TEST_F(Cli, InterruptStopsTheRunSoThatItResumes)
{
    StartServer(true);
    auto child = Start({"copy", server->URL("/index.html"), Copy(), "--name", "stopped", "--connections", "2"});
    ASSERT_TRUE(PumpUntil([&] { return FileExists(LocalFile("slow/b1.bin")); }, 60));
    child->Signal(SIGINT);
    EXPECT_EQ(child->Wait(60), 1) << child->Errors();
    EXPECT_NE(child->Output().find("Download Stopped"), std::string::npos) << child->Output();
    std::set<std::string> saved = SavedInStateFile("stopped");
    EXPECT_FALSE(saved.empty());

    size_t mark = server->Requests().size();
    std::string output;
    ASSERT_EQ(RunCli({"run", "stopped", "--mode", "resume"}, &output), kSomeFailed) << output;
    ExpectNoneFetchedAgain(saved, mark);
    ExpectCompleteCopy();
}

TEST_F(Cli, ResumesAfterTheProcessWasKilled)
{
    StartServer(true);
    auto child = Start({"copy", server->URL("/index.html"), Copy(), "--name", "killed", "--connections", "1"});
    // Killed once the item list has been saved while the run goes on.
    std::string stateFile = Path("Tasks/General/killed.dwn");
    ASSERT_TRUE(PumpUntil([&] { return FileExists(stateFile); }, 60)) << child->Errors();
    // While it runs, no other process runs it too.
    std::string output, errors;
    EXPECT_EQ(RunCli({"run", "killed"}, &output, &errors), 1);
    EXPECT_NE(errors.find("\"killed\": The task is running already (process "), std::string::npos) << errors;
    ASSERT_EQ(RunCli({"list"}, &output), 0);
    EXPECT_NE(output.find("Downloading..."), std::string::npos) << output;

    child->Signal(SIGKILL);
    child->Wait(10);
    std::set<std::string> saved = SavedInStateFile("killed");
    EXPECT_FALSE(saved.empty());
    // Its status on disk says it runs; the lock it left says no one does.
    ASSERT_EQ(RunCli({"list"}, &output), 0);
    EXPECT_NE(output.find("Incomplete"), std::string::npos) << output;

    size_t mark = server->Requests().size();
    ASSERT_EQ(RunCli({"run", "killed"}, &output), kSomeFailed) << output;
    ExpectNoneFetchedAgain(saved, mark);
    ExpectCompleteCopy();
}

// Killed at moments chosen by a fixed seed, then resumed, again and again:
// of the files complete on disk at a kill, only those whose fetch had not
// ended yet (one a connection at most) are fetched whole again, and the copy
// ends as a clean run's, byte for byte.
TEST_F(Cli, KilledAtAnyMomentLosesOnlyWhatWasInFlight)
{
    StartServer(true);
    ASSERT_EQ(RunCli({"copy", server->URL("/index.html"), Path("clean/"), "--name", "clean", "--quiet"}), kSomeFailed);

    // The files other than pages whose bytes are all on disk.
    auto completeFiles = [&] {
        std::set<std::string> complete;
        for (const std::string &path : CopiedPaths())
            if (!IsSitePage(path) && ReadFileBytes(LocalFile(path)) == SiteFiles().at(path))
                complete.insert(path);
        return complete;
    };
    auto fetchedWhole = [&](size_t since) {
        std::set<std::string> fetched;
        for (const std::string &request : RequestsSince(since))
            if (request.rfind("GET ", 0) == 0 && request.find(" 200 ") != std::string::npos)
                fetched.insert(TargetOf(request).substr(1));
        return fetched;
    };
    constexpr int kConnections = 2;
    // Each kill comes once the copy holds a number of files chosen at random.
    std::mt19937 random(20261210);
    std::uniform_int_distribution<size_t> moment(2, SiteExpectedFiles(CopiedPaths()).size() - 4);
    std::vector<std::string> args = {"copy", server->URL("/index.html"), Copy(), "--name", "killed", "--quiet",
                                     "--connections", std::to_string(kConnections)};
    std::set<std::string> complete;
    size_t mark = server->Requests().size();
    for (int run = 0; run < 4; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        auto child = Start(args);
        if (run < 3) {
            const size_t files = moment(random);
            ASSERT_TRUE(PumpUntil([&] { return CopiedFilesUnder(Copy()).size() >= files; }, 60));
            child->Signal(SIGKILL);
        }
        EXPECT_EQ(child->Wait(120), run < 3 ? -1 : kSomeFailed) << child->Errors();
        int again = 0;
        for (const std::string &path : fetchedWhole(mark))
            again += complete.count(path);
        EXPECT_LE(again, kConnections);
        complete = completeFiles();
        mark = server->Requests().size();
        args = {"run", "killed", "--quiet", "--connections", std::to_string(kConnections)};
    }
    const std::string site = ServerFolderOf(server->URL("/")) + "/";
    // A kill in the middle of replacing a page leaves its temporary file
    // (".name.XXXXXX") behind; it is no part of the copy.
    std::vector<std::string> files = CopiedFilesUnder(Copy() + site);
    std::erase_if(files, [](const std::string &file) { return ExtractFileName(file).starts_with('.'); });
    EXPECT_EQ(files, CopiedFilesUnder(Path("clean/") + site));
    for (const std::string &file : files)
        EXPECT_EQ(ReadFileBytes(Copy() + site + file), ReadFileBytes(Path("clean/") + site + file)) << file;
}

} // namespace
} // namespace arvelo::test
