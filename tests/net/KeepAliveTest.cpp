#include "model/Task.h"
#include "net/Fetch.h"
#include "net/FetchFixture.h"
#include "support/TestSite.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace arvelo {
namespace {

using test::Reply;
using test::TScriptedReply;
using test::TScriptedServer;
using End = TScriptedReply::End;

// An HTTP/1.1 reply as a scripted server sends it.
std::string Reply11(const std::string &status, const std::string &headers = {}, const std::string &body = {})
{
    return "HTTP/1.1 " + status + "\r\n" + headers + "\r\n" + body;
}

TScriptedReply Kept(const std::string &bytes) { return TScriptedReply(bytes).EndWith(End::kKeepOpen); }

// The method and target of every request the server received, in order.
std::vector<std::string> Targets(const TScriptedServer &server)
{
    std::vector<std::string> targets;
    for (const std::string &request : server.Requests())
        targets.push_back(request.substr(0, request.find(" HTTP/")));
    return targets;
}

const std::vector<std::string> kTwoItems = {"HEAD /a.html", "GET /a.html", "HEAD /b.html", "GET /b.html"};

class KeepAlive : public test::FetchFixture {
protected:
    // Fetches a.html then b.html with the same fetch component, as one
    // connection slot does, and checks both were saved without an error.
    void RunTwoItems(const TScriptedServer &server, const std::string &a, const std::string &b,
                     const std::string &folder, const std::string &name)
    {
        task->url = server.URL("/");
        TAVQItem *first = AddItem(server.URL("/a.html"));
        Run(first);
        TAVQItem *second = AddItem(server.URL("/b.html"));
        Run(second);
        for (TAVQItem *item : {first, second}) {
            EXPECT_EQ(item->State(), isSaved) << name;
            EXPECT_EQ(item->LoadedText().result, "200 OK") << name;
        }
        EXPECT_EQ(ReadFile(folder + test::ServerFolderOf(server.URL("/")) + "/a.html"), a) << name;
        EXPECT_EQ(ReadFile(folder + test::ServerFolderOf(server.URL("/")) + "/b.html"), b) << name;
        EXPECT_EQ(fetch.Status(), "Done") << name;
        EXPECT_TRUE(notifier.errors.empty()) << name;
    }
};

struct ScriptCase {
    const char *name;
    std::vector<TScriptedReply> replies; // HEAD and GET of a.html, then of b.html
    int connections;
};

TEST_F(KeepAlive, ARepliedConnectionServesTheNextRequestsAndItems)
{
    const std::string length = "Content-Length: 5\r\n";
    const std::string chunked = "Transfer-Encoding: chunked\r\n";
    const ScriptCase cases[] = {
        {"HTTP/1.1 with lengths",
         {Kept(Reply11("200 OK", length)), Kept(Reply11("200 OK", length, "first")), Kept(Reply11("200 OK", length)),
          Kept(Reply11("200 OK", length, "other"))},
         1},
        {"HTTP/1.1 in chunks, one with a trailer",
         {Kept(Reply11("200 OK", chunked)), Kept(Reply11("200 OK", chunked, "3\r\nfir\r\n2\r\nst\r\n0\r\n\r\n")),
          Kept(Reply11("200 OK", chunked)),
          Kept(Reply11("200 OK", chunked, "5\r\nother\r\n0\r\nX-Checksum: 1\r\n\r\n"))},
         1},
        {"HTTP/1.0 that asks for keep-alive",
         {Kept(Reply("200 OK", "Connection: keep-alive\r\n" + length)),
          Kept(Reply("200 OK", "Connection: Keep-Alive\r\n" + length, "first")),
          Kept(Reply("200 OK", "Connection: keep-alive\r\n" + length)),
          Kept(Reply("200 OK", "Connection: keep-alive\r\n" + length, "other"))},
         1},
        // A refused HEAD still leaves the connection to the GET.
        {"a HEAD that is refused",
         {Kept(Reply11("405 Method Not Allowed", "Content-Length: 0\r\n")), Kept(Reply11("200 OK", length, "first")),
          Kept(Reply11("200 OK", length)), Kept(Reply11("200 OK", length, "other"))},
         1},
    };
    int number = 0;
    for (const ScriptCase &c : cases) {
        std::string folder = "kept" + std::to_string(++number) + "/";
        NewTask(folder);
        TScriptedServer server(c.replies);
        RunTwoItems(server, "first", "other", folder, c.name);
        EXPECT_EQ(server.Connections(), c.connections) << c.name;
        EXPECT_EQ(Targets(server), kTwoItems) << c.name;
        // Every request asked to keep the connection.
        for (const std::string &request : server.Requests())
            EXPECT_NE(request.find("\r\nConnection: keep-alive\r\n"), std::string::npos) << c.name;
    }
}

TEST_F(KeepAlive, AReplyThatEndsTheConnectionGetsANewOneForTheNextRequest)
{
    const std::string length = "Content-Length: 5\r\n";
    const std::string close = "Connection: close\r\n" + length;
    // Where the server would stay (kKeepOpen), only the client's own close
    // gives each request its connection.
    const ScriptCase cases[] = {
        {"HTTP/1.1 that closes after every reply without saying so",
         {Reply11("200 OK", length), Reply11("200 OK", length, "first"), Reply11("200 OK", length),
          Reply11("200 OK", length, "other")},
         4},
        {"HTTP/1.1 with Connection: close",
         {Kept(Reply11("200 OK", close)), Kept(Reply11("200 OK", close, "first")), Kept(Reply11("200 OK", close)),
          Kept(Reply11("200 OK", close, "other"))},
         4},
        {"HTTP/1.0 without keep-alive",
         {Kept(Reply("200 OK", length)), Kept(Reply("200 OK", length, "first")), Kept(Reply("200 OK", length)),
          Kept(Reply("200 OK", length, "other"))},
         4},
        {"HTTP/1.0 with keep-alive and Connection: close",
         {Kept(Reply("200 OK", "Connection: keep-alive, close\r\n" + length)),
          Kept(Reply("200 OK", "Connection: keep-alive, close\r\n" + length, "first")),
          Kept(Reply("200 OK", "Connection: keep-alive, close\r\n" + length)),
          Kept(Reply("200 OK", "Connection: keep-alive, close\r\n" + length, "other"))},
         4},
        // The HEAD leaves the connection to the GET, whose body ends with it.
        {"HTTP/1.1 bodies that end with the connection",
         {Kept(Reply11("200 OK")), Reply11("200 OK", "", "first"), Kept(Reply11("200 OK")),
          Reply11("200 OK", "", "other")},
         2},
        // Bytes after the body belong to no request: the connection is not trusted.
        {"HTTP/1.1 that sends more than its length",
         {Kept(Reply11("200 OK", length)), Kept(Reply11("200 OK", length, "firstEXTRA")),
          Kept(Reply11("200 OK", length)), Kept(Reply11("200 OK", length, "other"))},
         2},
    };
    int number = 0;
    for (const ScriptCase &c : cases) {
        std::string folder = "ended" + std::to_string(++number) + "/";
        NewTask(folder);
        TScriptedServer server(c.replies);
        RunTwoItems(server, "first", "other", folder, c.name);
        EXPECT_EQ(server.Connections(), c.connections) << c.name;
        EXPECT_EQ(Targets(server), kTwoItems) << c.name;
    }
}

TEST_F(KeepAlive, ABodyCutOnAKeptConnectionIsKeptAndResumedOnANewOne)
{
    const std::string content = "0123456789";
    TScriptedServer server({Kept(Reply11("200 OK", "Content-Length: 10\r\n")),
                            Reply11("200 OK", "Content-Length: 10\r\n", content.substr(0, 5)),
                            Kept(Reply11("206 Partial Content", "Content-Range: bytes 4-9/10\r\nContent-Length: 6\r\n")),
                            Kept(Reply11("206 Partial Content", "Content-Range: bytes 4-9/10\r\nContent-Length: 6\r\n",
                                         content.substr(4)))});
    task->url = server.URL("/");
    TAVQItem *item = AddItem(server.URL("/big.txt"));
    Run(item);
    EXPECT_EQ(server.Connections(), 1);
    EXPECT_EQ(item->State(), isDownloading);
    EXPECT_EQ(item->LoadedText().result, "Incomplete (5 bytes)");
    EXPECT_EQ(fetch.Status(), "Connection closed before the end of the data");
    const std::string file = "site/" + test::ServerFolderOf(server.URL("/")) + "/big.txt";
    EXPECT_EQ(ReadFile(file), content.substr(0, 5));

    Run(item);
    EXPECT_EQ(item->State(), isSaved);
    EXPECT_EQ(item->LoadedText().result, "206 Partial Content");
    EXPECT_EQ(ReadFile(file), content);
    EXPECT_EQ(fetch.Status(), "Done");
    EXPECT_EQ(server.Connections(), 2);
    std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].find("Range"), std::string::npos);
    EXPECT_EQ(requests[1].find("Range"), std::string::npos);
    EXPECT_NE(requests[2].find("\r\nRange:Bytes=4-\r\n"), std::string::npos);
    EXPECT_NE(requests[3].find("\r\nRange:Bytes=4-\r\n"), std::string::npos);
    EXPECT_EQ(test::FilesUnder(Path("site/")), std::vector<std::string>{test::ServerFolderOf(server.URL("/")) + "/big.txt"});
}

TEST_F(KeepAlive, AKeptConnectionClosedWhileIdleIsReplacedUnnoticed)
{
    const std::string length = "Content-Length: 5\r\n";
    TScriptedServer server({Kept(Reply11("200 OK", length)), Reply11("200 OK", length, "first"),
                            Kept(Reply11("200 OK", length)), Reply11("200 OK", length, "other")});
    task->url = server.URL("/");
    TAVQItem *first = AddItem(server.URL("/a.html"));
    Run(first);
    // The server has long closed the connection when the next item starts.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    TAVQItem *second = AddItem(server.URL("/b.html"));
    Run(second);
    for (TAVQItem *item : {first, second}) {
        EXPECT_EQ(item->State(), isSaved);
        EXPECT_EQ(item->LoadedText().result, "200 OK");
    }
    EXPECT_EQ(ReadFile("site/" + test::ServerFolderOf(server.URL("/")) + "/b.html"), "other");
    EXPECT_EQ(fetch.Status(), "Done");
    EXPECT_TRUE(notifier.errors.empty());
    EXPECT_EQ(server.Connections(), 2);
    EXPECT_EQ(Targets(server), kTwoItems);
}

struct DroppedCase {
    const char *name;
    TScriptedReply drop; // what the kept connection does with the GET
};

TEST_F(KeepAlive, AKeptConnectionEndedAsTheRequestGoesOutSendsItAgainUnnoticed)
{
    const DroppedCase cases[] = {
        {"closed without a byte", TScriptedReply("")},
        {"reset without a byte", TScriptedReply().EndWith(End::kReset)},
    };
    const std::string length = "Content-Length: 5\r\n";
    int number = 0;
    for (const DroppedCase &c : cases) {
        std::string folder = "dropped" + std::to_string(++number) + "/";
        NewTask(folder);
        TScriptedServer server({Kept(Reply11("200 OK", length)), c.drop, Reply11("200 OK", length, "hello")});
        task->url = server.URL("/");
        TAVQItem *item = AddItem(server.URL("/a.html"));
        Run(item);
        EXPECT_EQ(item->State(), isSaved) << c.name;
        EXPECT_EQ(item->LoadedText().result, "200 OK") << c.name;
        EXPECT_EQ(ReadFile(folder + test::ServerFolderOf(server.URL("/")) + "/a.html"), "hello") << c.name;
        EXPECT_EQ(fetch.Status(), "Done") << c.name;
        EXPECT_TRUE(notifier.errors.empty()) << c.name;
        EXPECT_EQ(server.Connections(), 2) << c.name;
        EXPECT_EQ(Targets(server), (std::vector<std::string>{"HEAD /a.html", "GET /a.html", "GET /a.html"})) << c.name;
    }
}

} // namespace
} // namespace arvelo
