#include "model/Task.h"
#include "net/Fetch.h"
#include "net/FetchFixture.h"
#include "support/TestSite.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <zlib.h>

namespace arvelo {
namespace {

using test::TScriptedReply;
using test::TScriptedServer;
using test::Reply;
using Clock = std::chrono::steady_clock;

class Fetch : public test::FetchFixture {};

TEST_F(Fetch, PageIsSavedAfterHeadAndGet)
{
    TScriptedServer server({Reply("200 OK", "Content-Length: 5\r\nLast-Modified: Mon, 07 Dec 2026 08:00:00 GMT\r\n"),
                            Reply("200 OK", "Content-Length: 5\r\n", "hello")});
    task->url = server.URL("/");
    TAVQItem *item = AddItem(server.URL("/page.html"));
    Run(item);
    EXPECT_EQ(item->State(), isSaved);
    EXPECT_EQ(item->LoadedText().result, "200 OK");
    EXPECT_EQ(item->LoadedText().lastModified, "Mon, 07 Dec 2026 08:00:00 GMT");
    EXPECT_EQ(item->size, 5);
    EXPECT_EQ(item->localFile, Path("site/" + test::ServerFolderOf(server.URL("/")) + "/page.html"));
    EXPECT_EQ(test::FilesUnder(Path("site/")), std::vector<std::string>{test::ServerFolderOf(server.URL("/")) + "/page.html"});
    EXPECT_EQ(ReadFile("site/" + test::ServerFolderOf(server.URL("/")) + "/page.html"), "hello");
    EXPECT_EQ(fetch.State(), hsIdle);
    EXPECT_EQ(fetch.Status(), "Done");
    EXPECT_GT(task->totalBytes.load(), 5);

    std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string tail = "Host: " + server.Address() + "\r\nAccept: */*\r\nAccept-Encoding: gzip, deflate\r\nUser-Agent: " +
                             task->userAgentInUse + "\r\nConnection: keep-alive\r\n\r\n";
    // The server answers HTTP/1.0 and closes: each request has its own connection.
    EXPECT_EQ(requests[0], "HEAD /page.html HTTP/1.1\r\n" + tail);
    EXPECT_EQ(requests[1], "GET /page.html HTTP/1.1\r\n" + tail);
}

struct OutcomeCase {
    const char *name;
    std::vector<TScriptedReply> replies;
    uint8_t state;
    std::string result;
    int connections;
    std::string file; // content saved, empty for none
    int size;
};

TEST_F(Fetch, EveryOutcomeOfASingleAddress)
{
    const OutcomeCase cases[] = {
        {"size from the body", {Reply("200 OK"), Reply("200 OK", "", "abc")}, isSaved, "200 OK", 2, "abc", 3},
        {"404 to the HEAD", {Reply("404 Not Found"), Reply("200 OK", "", "never")}, isError, "404 Not Found", 1, "", 0},
        {"405 to the HEAD, 200 to the GET",
         {Reply("405 Method Not Allowed"), Reply("200 OK", "", "body")}, isSaved, "200 OK", 2, "body", 4},
        {"a redirect without a Location is the answer",
         {Reply("301 Moved Permanently"), Reply("301 Moved Permanently", "", "moved")}, isError,
         "301 Moved Permanently", 2, "", 5},
        {"500 to the GET", {Reply("200 OK"), Reply("500 Internal Server Error", "", "oops")}, isError,
         "500 Internal Server Error", 2, "", 4},
        {"no status line at all", std::vector<TScriptedReply>(40, TScriptedReply("garbage\r\n\r\n")), isError,
         "The server sent no valid reply (@)", 40, "", 0},
    };
    int number = 0;
    for (const OutcomeCase &c : cases) {
        std::string folder = "case" + std::to_string(++number) + "/";
        NewTask(folder);
        TScriptedServer server(c.replies);
        task->url = server.URL("/");
        TAVQItem *item = AddItem(server.URL("/a.html"));
        Run(item);
        EXPECT_EQ(item->State(), c.state) << c.name;
        // "@" stands for the server, which the result names.
        std::string result = c.result;
        if (size_t at = result.find('@'); at != std::string::npos)
            result.replace(at, 1, server.URL("/").substr(7, server.URL("/").size() - 8));
        EXPECT_EQ(item->LoadedText().result, result) << c.name;
        EXPECT_EQ(server.Connections(), c.connections) << c.name;
        EXPECT_EQ(item->size, c.size) << c.name;
        if (c.file.empty()) {
            EXPECT_TRUE(test::FilesUnder(Path(folder)).empty()) << c.name;
        } else {
            EXPECT_EQ(test::FilesUnder(Path(folder)), std::vector<std::string>{test::ServerFolderOf(server.URL("/")) + "/a.html"});
            EXPECT_EQ(ReadFile(folder + test::ServerFolderOf(server.URL("/")) + "/a.html"), c.file) << c.name;
        }
    }
}

TEST_F(Fetch, TheByteTotalCountsEveryBodyByteAlsoInChunks)
{
    const std::string chunk(1000, 'c');
    std::string chunked;
    for (int i = 0; i < 3; ++i)
        chunked += "3e8\r\n" + chunk + "\r\n";
    TScriptedServer server({Reply("200 OK"), Reply("200 OK", "Transfer-Encoding: chunked\r\n", chunked + "0\r\n\r\n"),
                            Reply("200 OK"), Reply("200 OK", "Content-Length: 3000\r\n", std::string(3000, 'x'))});
    task->url = server.URL("/");
    for (const char *path : {"/chunked.html", "/counted.html"}) {
        int64_t before = task->totalBytes.load();
        Run(AddItem(server.URL(path)));
        // The body's bytes and the two requests', nothing counted twice.
        int64_t requests = 0;
        for (size_t i = server.Requests().size() - 2; i < server.Requests().size(); ++i)
            requests += static_cast<int64_t>(server.Requests()[i].size());
        EXPECT_EQ(task->totalBytes.load() - before, 3000 + requests) << path;
        EXPECT_EQ(fetch.Bytes(), 3000 + requests) << path;
    }
}

TEST_F(Fetch, UnchangedPageIsUpdatedWithOneConditionalHead)
{
    TScriptedServer server({Reply("304 Not Modified"), Reply("200 OK", "", "never")});
    task->url = server.URL("/");
    TAVQItem *item = AddItem(server.URL("/a.html"), "200 OK", imUpdate, "Mon, 07 Dec 2026 08:00:00 GMT");
    Run(item);
    EXPECT_EQ(item->State(), isUpdated);
    EXPECT_EQ(item->LoadedText().result, "304 Not Modified");
    EXPECT_EQ(server.Connections(), 1);
    EXPECT_NE(server.Requests().at(0).find("\r\nIf-Modified-Since: Mon, 07 Dec 2026 08:00:00 GMT\r\n"),
              std::string::npos);
    EXPECT_TRUE(test::FilesUnder(Path("site/")).empty());
    EXPECT_EQ(fetch.Status(), "Connection closed");
}

TEST_F(Fetch, AnUpdateStoppedBeforeItsBodyStillAsksWithTheOldDate)
{
    const std::string changed = "Last-Modified: Wed, 09 Dec 2026 08:00:00 GMT\r\nContent-Length: 5\r\n";
    TScriptedServer server({Reply("200 OK", changed),
                            TScriptedReply(Reply("200 OK", changed)).EndWith(TScriptedReply::End::kHold)});
    task->url = server.URL("/");
    TAVQItem *item = AddItem(server.URL("/a.html"), "200 OK", imUpdate, "Mon, 07 Dec 2026 08:00:00 GMT");
    item->LoadFields();
    fetch.URL = item->LoadedText().URL;
    fetch.QItem = item;
    item->SetState(isUpdating);
    fetch.Start();
    // Stopped while the body of the changed file is awaited.
    ASSERT_TRUE(test::PumpUntil([&] { return server.Connections() == 2 && server.Requests().back().size() > 0; }));
    fetch.Stop();
    fetch.FreeThread();
    item->LoadFields();
    EXPECT_EQ(item->LoadedText().lastModified, "Mon, 07 Dec 2026 08:00:00 GMT");
    EXPECT_TRUE(test::FilesUnder(Path("site/")).empty());
}

TEST_F(Fetch, RelativeRedirectIsFollowedAndSavedUnderTheOwnAddress)
{
    TScriptedServer server({Reply("302 Found", "Location: new.html\r\n"), Reply("200 OK", "Content-Length: 3\r\n"),
                            Reply("200 OK", "", "new")});
    task->url = server.URL("/");
    TAVQItem *item = AddItem(server.URL("/dir/old.html"));
    Run(item);
    EXPECT_EQ(item->State(), isSaved);
    std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].substr(0, 24), "HEAD /dir/new.html HTTP/");
    EXPECT_EQ(requests[2].substr(0, 23), "GET /dir/new.html HTTP/");
    EXPECT_EQ(test::FilesUnder(Path("site/")), std::vector<std::string>{test::ServerFolderOf(server.URL("/")) + "/dir/old.html"});
}

struct RedirectCase {
    const char *name;
    std::vector<std::string> locations; // one redirect per entry, "@" for the server's own address
    const char *status = "301 Moved Permanently";
    uint8_t state = isSaved;
    const char *result = "200 OK";
};

TEST_F(Fetch, EveryRedirectIsFollowedWithinItsBound)
{
    auto chain = [](int length) {
        std::vector<std::string> locations;
        for (int i = 1; i <= length; ++i)
            locations.push_back("/hop" + std::to_string(i) + ".html");
        return locations;
    };
    const RedirectCase cases[] = {
        {"301 relative", {"moved.html"}},
        {"302 absolute path", {"/dir/moved.html"}, "302 Found"},
        {"303 absolute address", {"@/other/moved.html"}, "303 See Other"},
        {"307", {"../up.html"}, "307 Temporary Redirect"},
        {"308", {"@/x/y.html"}, "308 Permanent Redirect"},
        {"a chain of 5", chain(5)},
        // A redirect that cannot be followed says where it pointed.
        {"a chain of 25", chain(25), "301 Moved Permanently", isError, "Too many redirects (last to http://127.0.0.1:"},
        {"a loop", std::vector<std::string>(30, "/dir/a.html"), "302 Found", isError,
         "Too many redirects (last to http://127.0.0.1:"},
        {"to ftp", {"ftp://files.example/x.zip"}, "301 Moved Permanently", isError,
         "Invalid URL (redirected to ftp://files.example/x.zip)"},
    };
    int number = 0;
    for (const RedirectCase &c : cases) {
        std::string folder = "redirect" + std::to_string(++number) + "/";
        NewTask(folder);
        TScriptedServer server;
        for (std::string location : c.locations) {
            if (location[0] == '@')
                location = server.URL(location.substr(1));
            server.Add(Reply(c.status, "Location: " + location + "\r\n"));
        }
        server.Add(Reply("200 OK", "Content-Length: 3\r\n"));
        server.Add(Reply("200 OK", "", "end"));
        task->url = server.URL("/");
        TAVQItem *item = AddItem(server.URL("/dir/a.html"));
        Run(item);
        EXPECT_EQ(item->State(), c.state) << c.name;
        EXPECT_TRUE(item->LoadedText().result.starts_with(c.result)) << c.name << ": " << item->LoadedText().result;
        if (c.state == isSaved) {
            // Saved under the item's own name, whatever address answered.
            EXPECT_EQ(ReadFile(folder + test::ServerFolderOf(server.URL("/")) + "/dir/a.html"), "end") << c.name;
            EXPECT_EQ(server.Connections(), static_cast<int>(c.locations.size()) + 2) << c.name;
        } else {
            EXPECT_TRUE(test::FilesUnder(Path(folder)).empty()) << c.name;
        }
    }
    EXPECT_TRUE(notifier.errors.empty());
}

TEST_F(Fetch, ARelativeRedirectChainResolvesAgainstTheAddressThatAnswered)
{
    TScriptedServer server({Reply("301 Moved Permanently", "Location: /b/first.html\r\n"),
                            Reply("302 Found", "Location: second.html\r\n"), Reply("200 OK"),
                            Reply("200 OK", "", "2nd")});
    task->url = server.URL("/");
    TAVQItem *item = AddItem(server.URL("/a/start.html"));
    Run(item);
    EXPECT_EQ(item->State(), isSaved);
    ASSERT_EQ(server.Requests().size(), 4u);
    EXPECT_EQ(server.Requests()[2].substr(0, 26), "HEAD /b/second.html HTTP/1");
}

TEST_F(Fetch, ARedirectOfTheGetIsFollowedToo)
{
    TScriptedServer server({Reply("200 OK"), Reply("302 Found", "Location: /real.html\r\n", "see there"),
                            Reply("200 OK"), Reply("200 OK", "", "real")});
    task->url = server.URL("/");
    TAVQItem *item = AddItem(server.URL("/a.html"));
    Run(item);
    EXPECT_EQ(item->State(), isSaved);
    EXPECT_EQ(ReadFile("site/" + test::ServerFolderOf(server.URL("/")) + "/a.html"), "real");
}

TEST_F(Fetch, BrokenTransferIsKeptAndResumedFromItsLastByte)
{
    std::string content;
    for (int i = 0; i < 1000; ++i)
        content += "line" + std::to_string(i % 10) + "\n"; // 6000 bytes
    content.resize(10000, '.');
    TScriptedServer server({Reply("200 OK", "Content-Length: 10000\r\n"),
                            Reply("200 OK", "Content-Length: 10000\r\n", content.substr(0, 5000)),
                            Reply("206 Partial Content", "Content-Range: bytes 4999-9999/10000\r\n"),
                            Reply("206 Partial Content", "Content-Range: bytes 4999-9999/10000\r\n",
                                  content.substr(4999))});
    task->url = server.URL("/");
    TAVQItem *item = AddItem(server.URL("/big.txt"));
    Run(item);
    EXPECT_EQ(item->State(), isDownloading);
    EXPECT_EQ(item->LoadedText().result, "Incomplete (5000 bytes)");
    EXPECT_EQ(fetch.State(), hsIdle);
    EXPECT_EQ(fetch.Status(), "Connection closed before the end of the data");
    std::string file = "site/" + test::ServerFolderOf(server.URL("/")) + "/big.txt";
    EXPECT_EQ(ReadFile(file), content.substr(0, 5000));

    Run(item);
    EXPECT_EQ(item->State(), isSaved);
    EXPECT_EQ(item->LoadedText().result, "206 Partial Content");
    EXPECT_EQ(ReadFile(file), content);
    std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_NE(requests[2].find("\r\nRange:Bytes=4999-\r\n"), std::string::npos);
    EXPECT_NE(requests[3].find("\r\nRange:Bytes=4999-\r\n"), std::string::npos);
    EXPECT_EQ(test::FilesUnder(Path("site/")).size(), 1u);
}

TEST_F(Fetch, ATricklingBodyEndsIncompleteAndItsRestIsFetchedLater)
{
    const std::string content = std::string(500, 'x') + std::string(1500, 'y');
    // 500 bytes at once, then one more after a second and a half: 501 bytes
    // in a window of a second are fewer than 1,000 bytes a second.
    TScriptedReply trickle = Reply("200 OK", "Content-Length: 2000\r\n", content.substr(0, 500));
    trickle.Then("y", 1500).Then("y", 1000);
    TScriptedServer server({Reply("200 OK", "Content-Length: 2000\r\n"), trickle,
                            Reply("206 Partial Content", "Content-Range: bytes 500-1999/2000\r\n"),
                            Reply("206 Partial Content", "Content-Range: bytes 500-1999/2000\r\n",
                                  content.substr(500))});
    fetch.MinRate = 1000;
    fetch.MinRateWindow = 1;
    task->url = server.URL("/");
    TAVQItem *item = AddItem(server.URL("/slow.bin"));
    Run(item);
    EXPECT_EQ(item->LoadedText().result, "Incomplete (501 bytes)");
    EXPECT_EQ(fetch.Status(), "The transfer was slower than the minimum rate");

    Run(item);
    EXPECT_EQ(item->State(), isSaved);
    EXPECT_EQ(ReadFile("site/" + test::ServerFolderOf(server.URL("/")) + "/slow.bin"), content);
    ASSERT_EQ(server.Requests().size(), 4u);
    EXPECT_NE(server.Requests()[3].find("\r\nRange:Bytes=500-\r\n"), std::string::npos);
}

TEST_F(Fetch, AServerThatFallsSilentMidBodyEndsIncompleteAndTheRestIsFetchedLater)
{
    const std::string content = std::string(3000, 'a') + std::string(1000, 'b');
    // 3,000 bytes, then nothing, with the connection held open.
    TScriptedReply silent = Reply("200 OK", "Content-Length: 4000\r\n", content.substr(0, 3000));
    silent.EndWith(TScriptedReply::End::kHold);
    TScriptedServer server({Reply("200 OK", "Content-Length: 4000\r\n"), silent,
                            Reply("206 Partial Content", "Content-Range: bytes 2999-3999/4000\r\n"),
                            Reply("206 Partial Content", "Content-Range: bytes 2999-3999/4000\r\n",
                                  content.substr(2999))});
    fetch.FetchTimeOut = 1;
    task->url = server.URL("/");
    TAVQItem *item = AddItem(server.URL("/held.bin"));
    Run(item);
    EXPECT_EQ(item->State(), isDownloading);
    EXPECT_EQ(item->LoadedText().result, "Incomplete (3000 bytes)");

    Run(item);
    EXPECT_EQ(item->State(), isSaved);
    EXPECT_EQ(ReadFile("site/" + test::ServerFolderOf(server.URL("/")) + "/held.bin"), content);
}

TEST_F(Fetch, ResumeAnsweredWithTheWholeFileStartsItAgain)
{
    TScriptedServer server({Reply("206 Partial Content", "Content-Range: bytes 2-5/6\r\n"),
                            Reply("200 OK", "Content-Length: 6\r\n", "ABCDEF")});
    task->url = server.URL("/");
    TAVQItem *item = AddItem(server.URL("/f.txt"), "Incomplete (3 bytes)");
    WriteFile("site/" + test::ServerFolderOf(server.URL("/")) + "/f.txt", "abc");
    Run(item);
    EXPECT_EQ(item->State(), isSaved);
    EXPECT_EQ(ReadFile("site/" + test::ServerFolderOf(server.URL("/")) + "/f.txt"), "ABCDEF");
}

TEST_F(Fetch, FailureBeforeAnyByteLeavesTheItem)
{
    uint16_t port;
    {
        TScriptedServer gone;
        port = gone.Port();
    }
    task->url = "http://127.0.0.1:" + std::to_string(port) + "/";
    TAVQItem *item = AddItem(task->url + "a.html");
    Run(item);
    EXPECT_EQ(item->State(), isNone);
    EXPECT_EQ(item->LoadedText().result, "");
    EXPECT_EQ(fetch.Status(), "[10061] Connection refused");
    EXPECT_TRUE(test::FilesUnder(Path("site/")).empty());
}

TEST_F(Fetch, CredentialsGoOnlyToTheStartServerAndOnlyWhenComplete)
{
    const std::string auth = "\r\nAuthorization: Basic dXNlcjpwdw==\r\n";
    TScriptedServer other({Reply("200 OK"), Reply("200 OK", "", "other")});
    TScriptedServer server({Reply("200 OK"), Reply("200 OK", "", "mine"), Reply("200 OK"), Reply("200 OK", "", "x"),
                            Reply("302 Found", "Location: " + other.URL("/elsewhere.html") + "\r\n")});
    task->url = server.URL("/");
    fetch.UserName = "user";
    fetch.Password = "pw";
    Run(AddItem(server.URL("/a.html")));
    fetch.Password.clear();
    Run(AddItem(server.URL("/b.html")));
    fetch.Password = "pw";
    Run(AddItem(server.URL("/c.html")));

    std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_NE(requests[0].find(auth), std::string::npos);
    EXPECT_NE(requests[1].find(auth), std::string::npos);
    EXPECT_EQ(requests[2].find("Authorization"), std::string::npos);
    EXPECT_EQ(requests[3].find("Authorization"), std::string::npos);
    EXPECT_NE(requests[4].find(auth), std::string::npos);
    ASSERT_EQ(other.Requests().size(), 2u);
    for (const std::string &request : other.Requests())
        EXPECT_EQ(request.find("Authorization"), std::string::npos);
}

TEST_F(Fetch, RefusedAddressOrFolderEndsTheFetchAtOnce)
{
    task->url = "ftp://files.example/";
    TAVQItem *item = AddItem("ftp://files.example/a.zip");
    Run(item);
    EXPECT_EQ(fetch.Status(), "Invalid URL");
    EXPECT_EQ(notifier.errors, std::vector<std::string>{"Invalid URLftp://files.example/a.zip"});

    task->destination.clear();
    Run(AddItem("http://127.0.0.1:1/a.html"));
    EXPECT_EQ(fetch.Status(), "Error: Failed to create file: http://127.0.0.1:1/a.html");
    EXPECT_TRUE(test::FilesUnder(Path("site/")).empty());
}

TEST_F(Fetch, StopCancelsAFetchUnderWay)
{
    TScriptedServer server({TScriptedReply().EndWith(TScriptedReply::End::kHold)});
    task->url = server.URL("/");
    TAVQItem *item = AddItem(server.URL("/slow.html"));
    item->LoadFields();
    fetch.URL = item->LoadedText().URL;
    fetch.QItem = item;
    fetch.Start();
    ASSERT_TRUE(test::PumpUntil([&] { return server.Connections() == 1; }));
    // The server holds the connection open: only the cancel ends the wait
    // before the fetch's own time-out of five minutes.
    auto start = Clock::now();
    fetch.Stop();
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 60);
    EXPECT_EQ(fetch.State(), hsIdle);
    EXPECT_EQ(fetch.Status(), "Operation has been canceled");
    EXPECT_TRUE(fetch.Finished());
}

TEST_F(Fetch, ProxyPreferenceSendsTheFullAddress)
{
    TScriptedServer proxy({Reply("200 OK"), Reply("200 OK", "", "proxied")});
    task->url = "http://origin.invalid/";
    fetch.Proxy = proxy.Address();
    Run(AddItem("http://origin.invalid/p.html"));
    std::vector<std::string> requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].substr(0, 45), "GET http://origin.invalid/p.html HTTP/1.1\r\nHo");
    EXPECT_EQ(ReadFile("site/origin.invalid/p.html"), "proxied");
}

// gzip data of count bytes of zeros, made without holding them.
std::string GzipOfZeros(int64_t count)
{
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY);
    std::string zeros(1 << 20, '\0'), out;
    char buffer[1 << 16];
    for (int64_t left = count;;) {
        size_t take = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(zeros.size())));
        left -= static_cast<int64_t>(take);
        stream.next_in = reinterpret_cast<Bytef *>(zeros.data());
        stream.avail_in = static_cast<uInt>(take);
        int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        int result;
        do {
            stream.next_out = reinterpret_cast<Bytef *>(buffer);
            stream.avail_out = sizeof buffer;
            result = deflate(&stream, flush);
            out.append(buffer, sizeof buffer - stream.avail_out);
        } while (stream.avail_out == 0);
        if (result == Z_STREAM_END)
            break;
    }
    deflateEnd(&stream);
    return out;
}

TEST_F(Fetch, HostileCompressedBodiesEndAsErrorsAndLeaveNothing)
{
    struct Case {
        const char *name;
        std::string body;
        const char *result;
    };
    const Case cases[] = {
        {"a gzip bomb", GzipOfZeros(int64_t(100) << 20),
         "Compressed reply is too large (more than 200 times its size and 64 MB)"},
        {"not gzip at all", "<html>plain text said to be gzip</html>", "Content-Encoding gzip: the data is not gzip"},
    };
    int number = 0;
    for (const Case &c : cases) {
        std::string folder = "hostile" + std::to_string(++number) + "/";
        NewTask(folder);
        const std::string headers =
            "Content-Encoding: gzip\r\nContent-Length: " + std::to_string(c.body.size()) + "\r\n";
        TScriptedServer server({Reply("200 OK", headers), Reply("200 OK", headers, c.body)});
        task->url = server.URL("/");
        TAVQItem *item = AddItem(server.URL("/a.html"));
        Run(item);
        EXPECT_EQ(item->State(), isError) << c.name;
        EXPECT_EQ(item->LoadedText().result, c.result) << c.name;
        EXPECT_EQ(fetch.Status(), c.result) << c.name;
        // Neither the file nor a temporary part of it.
        EXPECT_TRUE(test::FilesUnder(Path(folder)).empty()) << c.name;
    }
}

TEST_F(Fetch, ACompressedReplyIsSavedDecodedAndAResumeAsksForItUncompressed)
{
    const std::string page = "<html>" + std::string(5000, 'x') + "</html>";
    z_stream stream{};
    deflateInit2(&stream, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    std::string gzip(compressBound(static_cast<uLong>(page.size())) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(page.data()));
    stream.avail_in = static_cast<uInt>(page.size());
    stream.next_out = reinterpret_cast<Bytef *>(gzip.data());
    stream.avail_out = static_cast<uInt>(gzip.size());
    deflate(&stream, Z_FINISH);
    gzip.resize(stream.total_out);
    deflateEnd(&stream);

    // The first copy is cut after part of its compressed bytes.
    const std::string headers = "Content-Encoding: gzip\r\nContent-Length: " + std::to_string(gzip.size()) + "\r\n";
    TScriptedServer server({Reply("200 OK", headers), Reply("200 OK", "Transfer-Encoding: chunked\r\nContent-Encoding: gzip\r\n",
                                                              "5\r\n" + gzip.substr(0, 5) + "\r\n" +
                                                                  std::to_string(0) + "\r\n\r\n"),
                            Reply("200 OK", headers), Reply("200 OK", headers, gzip)});
    task->url = server.URL("/");
    TAVQItem *item = AddItem(server.URL("/a.html"));
    Run(item);
    EXPECT_EQ(item->State(), isError);
    EXPECT_EQ(item->LoadedText().result, "Compressed reply is cut short");
    EXPECT_TRUE(test::FilesUnder(Path("site/")).empty());
    Run(item);
    EXPECT_EQ(item->State(), isSaved);
    EXPECT_EQ(ReadFile("site/" + test::ServerFolderOf(server.URL("/")) + "/a.html"), page);
    EXPECT_NE(server.Requests().at(0).find("\r\nAccept-Encoding: gzip, deflate\r\n"), std::string::npos);

    // A resumed transfer continues the decoded bytes on disk: no compression.
    TScriptedServer resume({Reply("206 Partial Content", "Content-Range: bytes 99-199/200\r\n"),
                            Reply("206 Partial Content", "Content-Range: bytes 99-199/200\r\n", "rest")});
    WriteFile("site/" + test::ServerFolderOf(server.URL("/")) + "/b.html", std::string(100, 'a'));
    task->url = resume.URL("/");
    Run(AddItem(resume.URL("/b.html"), "Incomplete (100 bytes)"));
    ASSERT_EQ(resume.Requests().size(), 2u);
    EXPECT_EQ(resume.Requests()[1].find("Accept-Encoding"), std::string::npos);
}

} // namespace
} // namespace arvelo
