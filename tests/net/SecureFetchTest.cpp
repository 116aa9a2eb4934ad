#include "net/FetchFixture.h"
#include "support/TestSite.h"
#include "support/NginxServer.h"
#include "support/ScriptedServer.h"
#include "support/TestCertificates.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

using test::TCertificate;
using test::TNginxServer;

class SecureFetch : public test::FetchFixture {
protected:
    void SetUp() override
    {
        FetchFixture::SetUp();
        WriteFile("www/a.html", "secure page");
        WriteFile("www/b.html", "second page");
    }

    std::unique_ptr<TNginxServer> Serve(TCertificate certificate)
    {
        auto server = std::make_unique<TNginxServer>(Path("www"), std::string(), certificate);
        EXPECT_TRUE(server->Running()) << server->Error();
        return server;
    }
};

TEST_F(SecureFetch, ATrustedServerServesItemsOverOneKeptConnection)
{
    auto server = Serve(TCertificate::kGood);
    task->url = server->URL("/");
    TAVQItem *first = AddItem(server->URL("/a.html"));
    Run(first);
    EXPECT_EQ(first->State(), isSaved) << fetch.Status();
    TAVQItem *second = AddItem(server->URL("/b.html"));
    Run(second);
    EXPECT_EQ(second->State(), isSaved) << fetch.Status();
    EXPECT_EQ(ReadFile("site/" + test::ServerFolderOf(server->URL("/")) + "/a.html"), "secure page");
    EXPECT_EQ(ReadFile("site/" + test::ServerFolderOf(server->URL("/")) + "/b.html"), "second page");
    // Two HEADs and two GETs, one connection and one handshake.
    EXPECT_EQ(server->Requests().size(), 4u);
    EXPECT_EQ(server->ConnectionsUsed(), 1);

    // By name: the name goes out for the server to choose its certificate,
    // and the certificate must carry it.
    const std::string byName = "https://localhost:" + std::to_string(server->Port()) + "/a.html";
    TAVQItem *named = AddItem(byName);
    Run(named);
    EXPECT_EQ(named->State(), isSaved) << fetch.Status();
    EXPECT_EQ(ReadFile("site/localhost_" + std::to_string(server->Port()) + "/a.html"), "secure page");
}

TEST_F(SecureFetch, AnUntrustedCertificateEndsTheItemWithTheReasonUnlessAccepted)
{
    struct Case {
        TCertificate certificate;
        const char *status;
    };
    const Case cases[] = {
        {TCertificate::kExpired, "Certificate not trusted: certificate has expired (127.0.0.1)"},
        {TCertificate::kSelfSigned, "Certificate not trusted: self-signed certificate (127.0.0.1)"},
        {TCertificate::kWrongHost, "Certificate not trusted: IP address mismatch (127.0.0.1)"},
    };
    int number = 0;
    for (const Case &c : cases) {
        const std::string folder = "case" + std::to_string(++number) + "/";
        NewTask(folder);
        auto server = Serve(c.certificate);
        task->url = server->URL("/");
        fetch.AcceptInvalidCertificates = false;
        TAVQItem *item = AddItem(server->URL("/a.html"));
        Run(item);
        EXPECT_EQ(fetch.Status(), c.status);
        EXPECT_NE(item->State(), isSaved) << c.status;
        EXPECT_TRUE(server->Requests().empty()) << c.status;
        EXPECT_TRUE(test::FilesUnder(Path(folder)).empty()) << c.status;

        fetch.AcceptInvalidCertificates = true;
        Run(item);
        EXPECT_EQ(item->State(), isSaved) << c.status << ": " << fetch.Status();
        EXPECT_EQ(ReadFile(folder + test::ServerFolderOf(server->URL("/")) + "/a.html"), "secure page") << c.status;
    }
}

TEST_F(SecureFetch, ThroughTheProxyAnHttpsAddressAsksForATunnelWithTheProxysCredentials)
{
    test::TScriptedServer proxy({test::TScriptedReply("HTTP/1.1 407 Proxy Authentication Required\r\n\r\n")});
    task->url = "https://secure.example/";
    fetch.Proxy = proxy.Address();
    fetch.ProxyUsername = "me";
    fetch.ProxyPassword = "pw";
    TAVQItem *item = AddItem("https://secure.example:8443/a.html");
    Run(item);
    EXPECT_EQ(fetch.Status(), "The proxy refused the tunnel: HTTP/1.1 407 Proxy Authentication Required");
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(proxy.Requests()[0].rfind("CONNECT secure.example:8443 HTTP/1.1\r\nHost: secure.example:8443\r\n"
                                        "Proxy-Authorization: Basic bWU6cHc=\r\n",
                                        0),
              0u)
        << proxy.Requests()[0];
    EXPECT_TRUE(test::FilesUnder(Path("site/")).empty());
}

TEST_F(SecureFetch, AnHttpServerThatIsNotTlsFailsClearly)
{
    TNginxServer plain(Path("www"));
    ASSERT_TRUE(plain.Running()) << plain.Error();
    task->url = "https://" + plain.Address() + "/";
    TAVQItem *item = AddItem("https://" + plain.Address() + "/a.html");
    Run(item);
    EXPECT_EQ(fetch.Status().rfind("TLS error: ", 0), 0u) << fetch.Status();
    EXPECT_NE(fetch.Status().find("(127.0.0.1)"), std::string::npos) << fetch.Status();
    EXPECT_TRUE(test::FilesUnder(Path("site/")).empty());
}

} // namespace
} // namespace arvelo
