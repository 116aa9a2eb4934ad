#include "net/HTTP.h"
#include "support/ScriptedServer.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace arvelo {
namespace {

using test::TScriptedReply;
using test::TScriptedServer;

class HTTP : public test::TestHome {};

std::string ErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const ENetError &e) {
        return e.what();
    }
    return "no error";
}

TEST(Base64, StandardAlphabetAndPadding)
{
    const std::pair<const char *, const char *> cases[] = {
        {"", ""},       {"f", "Zg=="},         {"fo", "Zm8="},
        {"foo", "Zm9v"}, {"user:", "dXNlcjo="}, {"Aladdin:open sesame", "QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
        {"\xff\xfe", "//4="},
    };
    for (auto [plain, encoded] : cases)
        EXPECT_EQ(Base64Encode(plain), encoded) << plain;
}

TEST(ChunkSize, HexadecimalWithExtensionsAndBounds)
{
    const std::pair<const char *, int64_t> cases[] = {
        {"0", 0},   {"1a", 26},     {"1A", 26}, {" ff \r", 255}, {"10;name=value", 16},
        {"", -1},   {"xyz", -1},    {"-5", -1}, {"80000000", int64_t(1) << 31},
        {"80000001", -1}, {"ffffffffffffffffffff", -1},
    };
    for (auto [line, size] : cases)
        EXPECT_EQ(ParseChunkSize(line), size) << line;
}

TEST(Headers, ValueSkipsBlanksAndJoinsContinuations)
{
    TmsHeaders headers;
    headers.lines = {"HTTP/1.0 200 OK",
                     "Content-Length:123",
                     "X-Long: first",
                     "  second",
                     "\tthird",
                     "Subject: =?ISO-8859-1?Q?Gr=F6=DFe?= =?UTF-8?B?5Lit5paH?=",
                     "Content-Type: text/html; name==?UTF-8?B?5Lit?=",
                     "location:   /moved   ",
                     ""};
    EXPECT_EQ(headers.Value("Content-Length"), "123");
    EXPECT_EQ(headers.Value("content-length:"), "123");
    EXPECT_EQ(headers.Value("X-Long"), "first second third");
    EXPECT_EQ(headers.Value("Subject"), "Größe中文");
    EXPECT_EQ(headers.Value("Content-Type"), "text/html; name==?UTF-8?B?5Lit?=");
    EXPECT_EQ(headers.Value("Location"), "/moved");
    EXPECT_EQ(headers.Value("Missing"), "");
}

TEST_F(HTTP, AddressSplitsIntoServerAndPath)
{
    TagHTTP http;
    http.SetURL("http://www.site.example");
    EXPECT_EQ(http.Server, "www.site.example");
    EXPECT_EQ(http.Path(), "/");
    http.SetURL("HTTP://host:8080/a/b.html?x=1");
    EXPECT_EQ(http.Server, "host:8080");
    EXPECT_EQ(http.Path(), "/a/b.html?x=1");

    EXPECT_EQ(ErrorOf([&] { http.SetURL("ftp://host/file"); }), "Invalid URL");
    EXPECT_EQ(notifier.errors, std::vector<std::string>{"Invalid URLftp://host/file"});
    EXPECT_EQ(http.URL(), "HTTP://host:8080/a/b.html?x=1");
    EXPECT_EQ(ErrorOf([&] { http.SetURL("mailto:a@b", false); }), "Invalid URL");
    EXPECT_EQ(notifier.errors.size(), 1u);

    EXPECT_EQ(ErrorOf([&] { http.SetProxy("proxyhost"); }), "Proxy port is required");
    EXPECT_EQ(http.Proxy(), "");
    http.SetProxy("proxy:3128");
    http.SetURL("http://host/x");
    EXPECT_EQ(http.Server, "proxy:3128");
}

struct RequestCase {
    const char *name;
    const char *url;
    const char *proxy;
    std::string credentials;
    int64_t range;
    const char *expected;
};

TEST_F(HTTP, RequestTextIsComposedByteForByte)
{
    const std::string longPath = "/" + std::string(300, 'p');
    const RequestCase cases[] = {
        {"direct with agent", "http://www.site.example/a/b.html", "", "", 0,
         "GET /a/b.html HTTP/1.1\r\nHost: www.site.example\r\nAccept: */*\r\nAccept-Encoding: gzip, deflate\r\nUser-Agent: Agent/1\r\n"
         "Connection: keep-alive\r\n\r\n"},
        {"host only", "http://host", "", "", 0,
         "GET / HTTP/1.1\r\nHost: host\r\nAccept: */*\r\nAccept-Encoding: gzip, deflate\r\nUser-Agent: Agent/1\r\nConnection: keep-alive\r\n\r\n"},
        {"port", "http://host:8080/x", "", "", 0,
         "GET /x HTTP/1.1\r\nHost: host:8080\r\nAccept: */*\r\nAccept-Encoding: gzip, deflate\r\nUser-Agent: Agent/1\r\nConnection: keep-alive\r\n\r\n"},
        {"proxy adds a slash", "http://host:81", "proxy:3128", "", 0,
         "GET http://host:81/ HTTP/1.1\r\nHost: host:81\r\nAccept: */*\r\nAccept-Encoding: gzip, deflate\r\nUser-Agent: Agent/1\r\n"
         "Connection: keep-alive\r\n\r\n"},
        {"proxy full address", "http://host/a?b", "proxy:3128", "", 0,
         "GET http://host/a?b HTTP/1.1\r\nHost: host\r\nAccept: */*\r\nAccept-Encoding: gzip, deflate\r\nUser-Agent: Agent/1\r\n"
         "Connection: keep-alive\r\n\r\n"},
        {"range and credentials", "http://host/f.zip", "", "user:", 1000,
         "GET /f.zip HTTP/1.1\r\nHost: host\r\nAuthorization: Basic dXNlcjo=\r\nAccept: */*\r\n"
         "User-Agent: Agent/1\r\nRange:Bytes=1000-\r\nConnection: keep-alive\r\n\r\n"},
        {"https", "https://host/s.html", "", "", 0,
         "GET /s.html HTTP/1.1\r\nHost: host\r\nAccept: */*\r\nAccept-Encoding: gzip, deflate\r\nUser-Agent: Agent/1\r\nConnection: keep-alive\r\n\r\n"},
        {"https through the proxy's tunnel", "https://host:8443/s.html", "proxy:3128", "", 0,
         "GET /s.html HTTP/1.1\r\nHost: host:8443\r\nAccept: */*\r\nAccept-Encoding: gzip, deflate\r\nUser-Agent: Agent/1\r\n"
         "Connection: keep-alive\r\n\r\n"},
        {"blanks are encoded", "http://host/a b\r\nX: y", "", "", 0,
         "GET /a%20b%0D%0AX:%20y HTTP/1.1\r\nHost: host\r\nAccept: */*\r\nAccept-Encoding: gzip, deflate\r\nUser-Agent: Agent/1\r\n"
         "Connection: keep-alive\r\n\r\n"},
    };
    for (const RequestCase &c : cases) {
        TagHTTP http;
        http.UserAgent = "Agent/1";
        http.SetProxy(c.proxy);
        http.SetURL(c.url);
        http.Range = c.range;
        EXPECT_EQ(http.RequestText("GET", c.credentials), c.expected) << c.name;
    }

    TagHTTP http;
    http.SetProxy("proxy:3128");
    http.SetURL("http://host" + longPath);
    http.ProxyUserName = "pu";
    http.ProxyPassword = "pp";
    http.IfModifiedSince = "Tue, 01 Dec 2026 10:00:00 GMT";
    EXPECT_EQ(http.RequestText("HEAD", ""),
              "HEAD http://host" + longPath + " HTTP/1.1\r\nHost: host\r\nProxy-Authorization: Basic cHU6cHA=\r\n"
              "Accept: */*\r\nAccept-Encoding: gzip, deflate\r\nIf-Modified-Since: Tue, 01 Dec 2026 10:00:00 GMT\r\nConnection: keep-alive\r\n\r\n");
    // Extra header lines follow ours; one of the same name replaces ours.
    http.SetProxy("");
    http.SetURL("http://host/x");
    http.IfModifiedSince.clear();
    http.UserAgent = "Agent/1";
    http.ExtraHeaders = {"X-Token: abc", "user-agent: Mine/2", "Accept: text/html"};
    EXPECT_EQ(http.RequestText("GET", ""),
              "GET /x HTTP/1.1\r\nHost: host\r\nAccept-Encoding: gzip, deflate\r\nX-Token: abc\r\n"
              "user-agent: Mine/2\r\nAccept: text/html\r\nConnection: keep-alive\r\n\r\n");
    http.ExtraHeaders.clear();
    // The proxy's credentials never reach a server: not without the proxy,
    // and not through the tunnel of an https address.
    for (const char *url : {"http://host/a.html", "https://host/a.html"}) {
        http.SetProxy(std::string(url).rfind("https", 0) == 0 ? "proxy:3128" : "");
        http.SetURL(url);
        EXPECT_EQ(http.RequestText("GET", "").find("Proxy-Authorization"), std::string::npos) << url;
    }
}

TEST_F(HTTP, ASharedCeilingHoldsBodiesToItsRate)
{
    // 96 KB at 32 KB a second, the first second's worth at once: at least
    // two seconds, whichever connection reads.
    const std::string body(96 * 1024, 'b');
    TScriptedServer server({TScriptedReply("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                                           "\r\n\r\n" + body),
                            TScriptedReply("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n")});
    auto ceiling = std::make_shared<TRateLimit>(32 * 1024);
    TagHTTP http;
    http.RateLimit = ceiling;
    http.SetURL(server.URL("/big.bin"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(http.Get(), 200);
    EXPECT_EQ(http.Body.Size(), static_cast<int64_t>(body.size()));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1900));
    // A cancel ends the pause at once.
    TRateLimit slow(1);
    EXPECT_GE(slow.Take(10).count(), 8000);
    TagHTTP paused;
    std::thread cancel([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        paused.Cancel();
    });
    EXPECT_NE(ErrorOf([&] { paused.Pause(std::chrono::seconds(30)); }), "no error");
    cancel.join();
}

TEST_F(HTTP, GetSendsTheRequestAndReadsACountedBody)
{
    TScriptedServer server({TScriptedReply("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello and more")});
    TagHTTP http;
    http.SetURL(server.URL("/page.html"));
    EXPECT_EQ(http.Get("user", "secret"), 200);
    EXPECT_EQ(http.Body.ReadAll(), "hello");
    EXPECT_EQ(http.Headers.lines,
              (std::vector<std::string>{"HTTP/1.0 200 OK", "Content-Length: 5", ""}));
    EXPECT_EQ(server.Requests().at(0), "GET /page.html HTTP/1.1\r\nHost: " + server.Address() +
                                           "\r\nAuthorization: Basic dXNlcjpzZWNyZXQ=\r\nAccept: */*\r\nAccept-Encoding: gzip, deflate\r\n"
                                           "Connection: keep-alive\r\n\r\n");
    EXPECT_FALSE(http.IsOpen());
}

TEST_F(HTTP, HeadReadsNoBodyAndStatusWithoutNumberIsMinusOne)
{
    TScriptedServer server({TScriptedReply("HTTP/1.0 404 Not Found\r\nContent-Length: 3\r\n\r\nabc"),
                            TScriptedReply("garbage\r\n\r\n")});
    TagHTTP http;
    http.SetURL(server.URL("/x"));
    EXPECT_EQ(http.Head(), 404);
    EXPECT_EQ(http.Body.Size(), 0);
    EXPECT_EQ(server.Requests().at(0).substr(0, 15), "HEAD /x HTTP/1.");
    EXPECT_EQ(http.Head(), -1);
}

TEST_F(HTTP, BodiesChunkedOrUntilClose)
{
    struct Case {
        const char *name;
        std::string reply;
        std::string body;
        std::string error;
        bool kept = false; // the connection stays open for the next request
    };
    const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const Case cases[] = {
        {"lower-case sizes", head + "a\r\n0123456789\r\n1f\r\n" + std::string(31, 'x') + "\r\n0\r\n\r\n",
         "0123456789" + std::string(31, 'x'), "", true},
        {"extension and trailer", head + "3;ext=1\r\nabc\r\n0\r\nTrailer: x\r\n\r\n", "abc", "", true},
        {"overflowing size", head + "fffffffffff\r\nabc", "", "Invalid chunk size in reply"},
        {"not a size", head + "3\r\nabc\r\nzz\r\n", "abc", "Invalid chunk size in reply"},
        {"cut inside a chunk", head + "10\r\nabc", "abc", "Connection closed before the end of the data"},
        {"cut before the last chunk", head + "3\r\nabc\r\n", "abc",
         "Connection closed before the end of the data"},
        {"until close", "HTTP/1.0 200 OK\r\n\r\nall of it", "all of it", ""},
        {"counted but cut", "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nshort", "short",
         "Connection closed before the end of the data"},
    };
    for (const Case &c : cases) {
        TScriptedServer server({TScriptedReply(c.reply)});
        TagHTTP http;
        http.SetURL(server.URL());
        std::string error = c.error.empty() ? "" : ErrorOf([&] { http.Get(); });
        if (c.error.empty()) {
            EXPECT_EQ(http.Get(), 200) << c.name;
        }
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_EQ(http.Body.ReadAll(), c.body) << c.name;
        EXPECT_EQ(http.IsOpen(), c.kept) << c.name;
    }
}

TEST_F(HTTP, HostileHeadersEndWithClearErrors)
{
    std::string endless = "HTTP/1.0 200 OK\r\n";
    for (int i = 0; i < 1000; ++i)
        endless += "X-Header-" + std::to_string(i) + ": value\r\n";
    TScriptedServer server({TScriptedReply("HTTP/1.0 200 OK\r\nX-Big: " + std::string(100000, 'a') + "\r\n\r\n"),
                            TScriptedReply(endless + "\r\n")});
    TagHTTP http;
    http.SetURL(server.URL());
    EXPECT_EQ(ErrorOf([&] { http.Get(); }), "Reply line is too long");
    EXPECT_EQ(ErrorOf([&] { http.Get(); }), "Too many reply headers");
    EXPECT_EQ(http.Headers.lines.size(), TagHTTP::kMaxHeaderLines);
}

TEST_F(HTTP, TricklingHeaderTimesOutAsAWhole)
{
    // A byte every 50 ms for 30 s, then the connection closes: no single
    // read ever waits a second, so only a time-out of the header as a whole
    // can end the wait as timed out.
    TScriptedReply trickle("HTTP/1.0 200 OK\r\n");
    for (int i = 0; i < 600; ++i)
        trickle.Then("X", 50);
    TScriptedServer server({trickle});
    TagHTTP http;
    http.SetTimeOut(1);
    http.SetURL(server.URL());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorOf([&] { http.Get(); }), "Operation timed out");
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 25);
}

TEST_F(HTTP, ProxyReceivesTheFullAddress)
{
    TScriptedServer proxy({TScriptedReply("HTTP/1.0 200 OK\r\n\r\nvia proxy")});
    TagHTTP http;
    http.SetProxy(proxy.Address());
    http.ProxyUserName = "me";
    http.ProxyPassword = "pw";
    http.SetURL("http://origin.invalid:8080");
    EXPECT_EQ(http.Get(), 200);
    EXPECT_EQ(http.Body.ReadAll(), "via proxy");
    EXPECT_EQ(proxy.Requests().at(0), "GET http://origin.invalid:8080/ HTTP/1.1\r\nHost: origin.invalid:8080\r\n"
                                      "Proxy-Authorization: Basic bWU6cHc=\r\nAccept: */*\r\n"
                                      "Accept-Encoding: gzip, deflate\r\nConnection: keep-alive\r\n\r\n");
}

TEST_F(HTTP, ResumedBodyContinuesTheFileOnlyFromTheAskedOffset)
{
    WriteFile("site/big.bin", "0123456789");
    struct Case {
        const char *name;
        std::string reply;
        std::string body;
        std::string error;
    };
    const Case cases[] = {
        {"answered range", "HTTP/1.0 206 Partial\r\nContent-Range: bytes 9-12/13\r\n\r\n9abc", "0123456789abc", ""},
        {"full body instead", "HTTP/1.0 200 OK\r\n\r\nnew content", "new content", ""},
        {"other range", "HTTP/1.0 206 Partial\r\nContent-Range: bytes 0-3/13\r\n\r\n0123", "",
         "The server sent another byte range than asked for"},
    };
    for (const Case &c : cases) {
        TScriptedServer server({TScriptedReply(c.reply)});
        TagHTTP http;
        http.SetURL(server.URL("/big.bin"));
        http.Range = 9;
        http.ResumeFile = Path("site/big.bin");
        EXPECT_EQ(ErrorOf([&] { http.Get(); }), c.error.empty() ? "no error" : c.error) << c.name;
        EXPECT_EQ(http.Body.ReadAll(), c.body) << c.name;
        EXPECT_NE(server.Requests().at(0).find("\r\nRange:Bytes=9-\r\n"), std::string::npos) << c.name;
    }
}

TEST_F(HTTP, LargeBodyStaysOutOfMemory)
{
    const std::string payload(12 << 20, 'z');
    TScriptedServer server({TScriptedReply("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(payload.size()) +
                                           "\r\n\r\n" + payload)});
    TagHTTP http;
    http.Body.SetSpillFolder(Path("site/"));
    http.SetURL(server.URL("/big"));
    EXPECT_EQ(http.Get(), 200);
    EXPECT_FALSE(http.Body.InMemory());
    EXPECT_EQ(http.Body.Size(), static_cast<int64_t>(payload.size()));
    http.Body.SaveTo(Path("site/big"));
    EXPECT_EQ(ReadFile("site/big"), payload);
}

} // namespace
} // namespace arvelo
