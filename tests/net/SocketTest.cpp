#include "net/BodyStream.h"
#include "net/Socket.h"
#include "support/ScriptedServer.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace arvelo {
namespace {

using test::TScriptedReply;
using test::TScriptedServer;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Opens and connects a socket to the server.
void Connect(TagSocket &socket, const std::string &server)
{
    socket.Server = server;
    socket.Reset();
    socket.Open();
    socket.Connect();
}

TEST(SocketErrors, TextsOfTableAndUnmappedCodes)
{
    EXPECT_EQ(SocketErrorText(10061), "[10061] Connection refused");
    EXPECT_EQ(SocketErrorText(10054), "[10054] Connection reset by peer");
    EXPECT_EQ(SocketErrorText(11001), "[11001] Host not found");
    EXPECT_EQ(SocketErrorText(57000), "Operation timed out");
    EXPECT_EQ(SocketErrorText(57007), "Invalid URL");
    EXPECT_EQ(SocketErrorText(10101), "Error #10101");
    EXPECT_EQ(SocketErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(SocketErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(SocketErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(SocketErrorFromErrno(EHOSTUNREACH), 10065);
    EXPECT_EQ(SocketErrorFromResolver(EAI_NONAME), 11001);
    EXPECT_EQ(SocketErrorFromResolver(EAI_AGAIN), 11002);
}

TEST(Socket, ReplyCodeReadsThreeLeadingDigits)
{
    EXPECT_EQ(TagSocket::ReplyCode("250 ok"), 250);
    EXPECT_EQ(TagSocket::ReplyCode("HTTP/1.0 200 OK"), -1);
    EXPECT_EQ(TagSocket::ReplyCode(""), -1);
}

TEST(Socket, NumericServerNeedsNoLookUp)
{
    TagSocket socket;
    socket.Server = "10.0.0.1:8080";
    socket.Reset();
    socket.Open();
    EXPECT_EQ(socket.RemoteAddress.Text(), "10.0.0.1");
    EXPECT_EQ(socket.Port, 8080);
    socket.Close();
}

TEST(Socket, PortOfLettersOrZeroComesFromTheServiceOrTheDefault)
{
    TagSocket socket;
    socket.DefaultPort = 81;
    for (const char *server : {"10.0.0.1:abc", "10.0.0.1:0", "10.0.0.1:65536", "10.0.0.1"}) {
        socket.Service = "no-such-service";
        socket.Server = server;
        socket.Reset();
        socket.Open();
        EXPECT_EQ(socket.Port, 81) << server;
        socket.Close();
    }
    socket.Server = "10.0.0.1:x";
    socket.Service.clear();
    socket.Reset();
    EXPECT_THROW(socket.Open(), ESocketError);
    socket.Server.clear();
    try {
        socket.Open();
        FAIL();
    } catch (const ESocketError &e) {
        EXPECT_STREQ(e.what(), "Server property is required");
    }
}

TEST(Socket, HostNameIsLookedUp)
{
    TScriptedServer server({TScriptedReply("hello\n")});
    TagSocket socket;
    bool hostFound = false;
    socket.OnHostFound = [&](TagSocket &) { hostFound = true; };
    Connect(socket, "localhost:" + std::to_string(server.Port()));
    socket.SendStream("x\r\n\r\n");
    std::string line;
    socket.ReadLine(line);
    EXPECT_TRUE(hostFound);
    EXPECT_EQ(line, "hello");
    socket.Close();
}

TEST(Socket, OverlongHostNameIsRefused)
{
    TagSocket socket;
    socket.Server = std::string(300, 'a') + ".example:80";
    socket.Reset();
    try {
        socket.Open();
        FAIL();
    } catch (const ESocketError &e) {
        EXPECT_STREQ(e.what(), "Host name is too long");
    }
}

TEST(Socket, RefusedConnectionFailsAtOnce)
{
    TagSocket socket;
    std::string seen;
    socket.OnError = [&](TagSocket &, std::string &message) { seen = message; };
    test::TReservedPort closed;
    try {
        Connect(socket, "127.0.0.1:" + std::to_string(closed.Port()));
        FAIL();
    } catch (const ESocketError &e) {
        EXPECT_STREQ(e.what(), "[10061] Connection refused");
    }
    EXPECT_EQ(seen, "[10061] Connection refused");
    socket.Close();
}

TEST(Socket, LinesEndInLineFeedsWithOrWithoutCarriageReturns)
{
    TScriptedServer server({TScriptedReply("HTTP/1.0 200 OK\r\n250 fine\nlast without end")});
    TagSocket socket;
    Connect(socket, server.Address());
    socket.SendStream("hi\r\n\r\n");
    std::string line;
    EXPECT_EQ(socket.ReadLine(line), -1);
    EXPECT_EQ(line, "HTTP/1.0 200 OK");
    EXPECT_EQ(socket.ReadLine(line), 250);
    EXPECT_EQ(line, "250 fine");
    EXPECT_EQ(socket.ReadLine(line), -1);
    EXPECT_EQ(line, "");
    socket.Close();
    EXPECT_EQ(server.Requests().at(0), "hi\r\n\r\n");
}

TEST(Socket, OverlongLineIsAnError)
{
    TScriptedServer server({TScriptedReply(std::string(TagSocket::kMaxLine + 10, 'x') + "\n")});
    TagSocket socket;
    Connect(socket, server.Address());
    socket.SendStream("x\r\n\r\n");
    std::string line;
    try {
        socket.ReadLine(line);
        FAIL();
    } catch (const ESocketError &e) {
        EXPECT_STREQ(e.what(), "Reply line is too long");
    }
    socket.Close();
}

TEST(Socket, ReceiveUntilCloseReportsUnknownPercentage)
{
    TScriptedServer server({TScriptedReply("head\n").Then(std::string(100000, 'b'), 20)});
    TagSocket socket;
    int lastPercent = 0;
    int64_t lastCount = 0;
    socket.OnProgress = [&](TagSocket &, int percent, int64_t count) {
        lastPercent = percent;
        lastCount = count;
    };
    Connect(socket, server.Address());
    socket.SendStream("x\r\n\r\n");
    std::string line;
    socket.ReadLine(line);
    TBodyStream body;
    socket.ReceiveStream(body, -1);
    EXPECT_EQ(body.Size(), 100000);
    EXPECT_EQ(lastPercent, -1);
    EXPECT_EQ(lastCount, 100000);
    EXPECT_TRUE(socket.AtEnd());
    socket.Close();
}

TEST(Socket, ReceiveOfACountStopsThereAndCutBodiesFail)
{
    TScriptedServer server({TScriptedReply("0123456789abcdef"), TScriptedReply("01234")});
    TagSocket socket;
    Connect(socket, server.Address());
    socket.SendStream("x\r\n\r\n");
    TBodyStream body;
    socket.ReceiveStream(body, 10);
    EXPECT_EQ(body.ReadAll(), "0123456789");
    socket.Close();

    Connect(socket, server.Address());
    socket.SendStream("x\r\n\r\n");
    TBodyStream cut;
    EXPECT_THROW(socket.ReceiveStream(cut, 10), ESocketError);
    EXPECT_EQ(cut.ReadAll(), "01234");
    socket.Close();
}

TEST(Socket, ResetByPeerIsReported)
{
    TScriptedServer server({TScriptedReply("partial").EndWith(TScriptedReply::End::kReset)});
    TagSocket socket;
    Connect(socket, server.Address());
    socket.SendStream("x\r\n\r\n");
    TBodyStream body;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    try {
        socket.ReceiveStream(body, -1);
        FAIL();
    } catch (const ESocketError &e) {
        EXPECT_STREQ(e.what(), "[10054] Connection reset by peer");
    }
    EXPECT_FALSE(socket.IsOpen());
}

TEST(Socket, SilentServerTimesOut)
{
    TScriptedServer server({TScriptedReply().EndWith(TScriptedReply::End::kHold)});
    TagSocket socket;
    socket.SetTimeOut(1);
    Connect(socket, server.Address());
    socket.SendStream("x\r\n\r\n");
    std::string line;
    auto start = Clock::now();
    EXPECT_THROW(socket.ReadLine(line), ETimedOutError);
    // The server holds the connection open for good: only the time-out ends the wait.
    EXPECT_GE(SecondsSince(start), 0.9);
    EXPECT_LT(SecondsSince(start), 60);
    EXPECT_FALSE(socket.IsOpen());
}

TEST(Socket, CancelFromAnotherThreadEndsAWaitAtOnce)
{
    TScriptedServer server({TScriptedReply().EndWith(TScriptedReply::End::kHold)});
    TagSocket socket;
    // Without the cancel the wait would end only as timed out.
    socket.SetTimeOut(60);
    Connect(socket, server.Address());
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        socket.Cancel();
    });
    TBodyStream body;
    try {
        socket.ReceiveStream(body, -1);
        ADD_FAILURE();
    } catch (const ECanceledError &e) {
        EXPECT_STREQ(e.what(), "Operation has been canceled");
    }
    canceller.join();
    socket.Close();
}

TEST(Socket, CancelBeforeLookUpAndConnectEndsThem)
{
    TagSocket socket;
    socket.Server = "localhost:80";
    socket.Reset();
    socket.Cancel();
    EXPECT_THROW(socket.Open(), ECanceledError);

    TScriptedServer server;
    socket.Server = server.Address();
    socket.Reset();
    socket.Open();
    socket.Cancel();
    EXPECT_THROW(socket.Connect(), ECanceledError);
    socket.Close();
}

TEST(Socket, IPv6LoopbackIsReached)
{
    TScriptedServer server({TScriptedReply("six\n")}, true);
    if (!server.Listening())
        GTEST_SKIP() << "no IPv6 loopback here";
    TagSocket socket;
    Connect(socket, server.Address());
    socket.SendStream("x\r\n\r\n");
    std::string line;
    socket.ReadLine(line);
    EXPECT_EQ(line, "six");
    socket.Close();
}

class BodyStream : public test::TestHome {};

TEST_F(BodyStream, LargeBodiesGoToATemporaryFileAndMoveIntoPlace)
{
    std::string folder = Path("site/");
    TBodyStream body(1024);
    body.SetSpillFolder(folder);
    std::string content;
    for (int i = 0; i < 300; ++i)
        content += "line " + std::to_string(i) + "\n";
    body.Write(content.data(), 500);
    EXPECT_TRUE(body.InMemory());
    body.Write(content.data() + 500, content.size() - 500);
    EXPECT_FALSE(body.InMemory());
    EXPECT_EQ(body.ReadAll(), content);
    body.SaveTo(folder + "page.html");
    EXPECT_EQ(body.Size(), 0);

    EXPECT_EQ(test::FilesUnder(folder), std::vector<std::string>{"page.html"});
    {
        TBodyStream resumed(1024);
        resumed.SetSpillFolder(folder);
        ASSERT_TRUE(resumed.LoadFile(folder + "page.html", 10));
        resumed.Write("XY", 2);
        EXPECT_EQ(resumed.ReadAll(), content.substr(0, 10) + "XY" + content.substr(12));
    }
    // An unsaved body leaves no temporary file behind.
    EXPECT_EQ(test::FilesUnder(folder), std::vector<std::string>{"page.html"});
}

} // namespace
} // namespace arvelo
