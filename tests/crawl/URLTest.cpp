#include "crawl/URL.h"

#include "core/AppPaths.h"
#include "core/Settings.h"
#include "support/TestHome.h"

namespace arvelo {
namespace {

struct ParseCase {
    const char *url, *protocol, *host, *port, *path, *fileName, *extension, *query, *fragment;
};

TEST(URL, Parsing)
{
    const ParseCase cases[] = {
        {"http://www.site.example:8080/docs/guide/page.htm#top", "http://", "www.site.example", "8080",
         "docs/guide/", "page.htm", ".htm", "", "#top"},
        {"http://host", "http://", "host", "", "", "", "", "", ""},
        {"http://host/dir", "http://", "host", "", "dir/", "", "", "", ""},
        {"http://host/dir/", "http://", "host", "", "dir/", "", "", "", ""},
        {"http://host:8080/a/b.gif", "http://", "host", "8080", "a/", "b.gif", ".gif", "", ""},
        {"http://host/a/b.htm?x=1#y", "http://", "host", "", "a/", "b.htm", ".htm", "?x=1#y", ""},
        {"http://host/a/b.htm#y", "http://", "host", "", "a/", "b.htm", ".htm", "", "#y"},
        {"http://host/cgi?a=1", "http://", "host", "", "", "cgi", "", "?a=1", ""},
        {"dir/page.htm", "", "dir", "", "", "page.htm", ".htm", "", ""},
        {"http:\\\\host\\a\\b.htm", "http://", "host", "", "a/", "b.htm", ".htm", "", ""},
        {"http://./a/", "http://", "", "", "a/", "", "", "", ""},
        {"http://host/a.b:c", "http://", "host", "", "a.b:c/", "", "", "", ""},
        {"http://host/dir#frag", "http://", "host", "", "dir/", "", "", "", "#frag"},
        {"http://host//x//y.htm", "http://", "host", "", "/x//", "y.htm", ".htm", "", ""},
        {"", "", "", "", "", "", "", "", ""},
    };
    for (const ParseCase &c : cases) {
        TlqURL url(c.url);
        EXPECT_EQ(url.URL, c.url);
        EXPECT_EQ(url.Protocol, c.protocol) << c.url;
        EXPECT_EQ(url.Host, c.host) << c.url;
        EXPECT_EQ(url.Port, c.port) << c.url;
        EXPECT_EQ(url.Path, c.path) << c.url;
        EXPECT_EQ(url.FileName, c.fileName) << c.url;
        EXPECT_EQ(url.Extension, c.extension) << c.url;
        EXPECT_EQ(url.Query, c.query) << c.url;
        EXPECT_EQ(url.Fragment, c.fragment) << c.url;
    }
    TlqURL reused("http://a:1/b/c.htm?q#f");
    reused.SetURL("http://z");
    EXPECT_EQ(reused.Port, "");
    EXPECT_EQ(reused.Query, "");
}

TEST(URL, Normalize)
{
    struct Case {
        const char *in, *out;
        bool http;
    };
    const Case cases[] = {
        {"www.site.example", "http://www.site.example/", true},
        {"http://site.example/dir/page", "http://site.example/dir/page", true},
        {"http://site.example/dir/page.htm", "http://site.example/dir/page.htm", true},
        {"http://site.example/list.asp?a=1&AMP;b=2", "http://site.example/list.asp?a=1&b=2", true},
        {"HTTP://Site.example", "HTTP://Site.example/", true},
        {"ftp://files.example/", "ftp://files.example/", false},
        {"c:\\web\\index.htm", "file://c:/web/index.htm", false},
        {"news://server/group", "news://server/group", false},
        {"https://secure.example/", "https://secure.example/", true},
        {"HTTPS://Secure.example/a", "HTTPS://Secure.example/a", true},
        {"https:///x", "https:///x", false},
        {"http:///x", "http:///x", false},
        // Dot segments go as browsers drop them, never above the root.
        {"http://h/a/../../b.htm", "http://h/b.htm", true},
        {"http://h/../x/./y.htm?p=/../q", "http://h/x/y.htm?p=/../q", true},
        {"http://h/a/b/..", "http://h/a/", true},
    };
    for (const Case &c : cases) {
        std::string url = c.in;
        EXPECT_EQ(NormalizeURL(url), c.http) << c.in;
        EXPECT_EQ(url, c.out) << c.in;
    }
}

TEST(URL, CredentialsComeOutOfTheAddress)
{
    struct Case {
        const char *in, *out, *user, *password;
        bool found;
    } cases[] = {
        {"http://u:p%40ss@h:81/x.htm", "http://h:81/x.htm", "u", "p@ss", true},
        {"https://only@h/", "https://h/", "only", "", true},
        {"u:p@h/a", "h/a", "u", "p", true},
        {"http://h/a@b.htm", "http://h/a@b.htm", "", "", false},
        {"http://h/?mail=a@b", "http://h/?mail=a@b", "", "", false},
    };
    for (const Case &c : cases) {
        std::string url = c.in, user, password;
        EXPECT_EQ(SplitCredentials(url, user, password), c.found) << c.in;
        EXPECT_EQ(url, c.out) << c.in;
        EXPECT_EQ(user, c.user) << c.in;
        EXPECT_EQ(password, c.password) << c.in;
    }
}

TEST(URL, DirectoriesAndAncestors)
{
    EXPECT_EQ(URLDirectory("http://host/a/b.htm"), "http://host/a/");
    EXPECT_EQ(URLDirectory("http://host"), "http://host/");
    EXPECT_EQ(URLDirectory("http://host/q?x=1/2"), "http://host/");
    EXPECT_EQ(URLDirectory("http://host/a/b"), "http://host/a/");
    EXPECT_EQ(URLDirectory("http://host/a/"), "http://host/a/");
    EXPECT_EQ(URLDirectory("https://host"), "https://host/");
    EXPECT_EQ(URLDirectory("https://host/a/b.htm"), "https://host/a/");
    EXPECT_EQ(URLDirectory("x"), "x/");
    EXPECT_EQ(URLAncestor("http://host/", 0), "http://host/");
    EXPECT_EQ(URLAncestor("http://host/a/b/", 1), "http://host/a/");
    EXPECT_EQ(URLAncestor("http://host/a/b/", 2), "http://host/");
    EXPECT_EQ(URLAncestor("http://host/a/b/", 3), "http://host/");
    EXPECT_EQ(URLAncestor("http://host/a/b/", 0), "http://host/");
    EXPECT_EQ(URLAncestor("http:/", 1), "http:/");
}

TEST(URL, WorkedResolutions)
{
    const std::string base = "http://www.site.example/docs/guide/";
    const std::pair<const char *, const char *> cases[] = {
        {"page2.htm", "http://www.site.example/docs/guide/page2.htm"},
        {"../index.html", "http://www.site.example/docs/index.html"},
        {"../../../x.htm", "http://www.site.example/x.htm"},
        {"/img/logo.gif", "http://www.site.example/img/logo.gif"},
        {"sub", "http://www.site.example/docs/guide/sub"},
        {"page.htm#sec", "http://www.site.example/docs/guide/page.htm#sec"},
        {"?q=1", "http://www.site.example/docs/guide/?q=1"},
        {"list.asp?a=1&amp;b=2", "http://www.site.example/docs/guide/list.asp?a=1&b=2"},
        {"HTTP://Other.example/A.html", "HTTP://Other.example/A.html"},
        {"https://secure.example/", "https://secure.example/"},
        {"//cdn.site.example/a.js", "http://cdn.site.example/a.js"},
        {"x/../../../../y.htm", "http://www.site.example/y.htm"},
        {"ftp://files.example/x.zip", ""},
    };
    for (const auto &[link, expected] : cases)
        EXPECT_EQ(ResolveHTTPURL(link, base), expected) << link;
}

TEST(URL, ResolveKeepsTheTextualRules)
{
    EXPECT_EQ(ResolveURL("./a.htm", "http://h/d/"), "http://h/d/a.htm");
    EXPECT_EQ(ResolveURL("sub/../c.htm", "http://h/d/"), "http://h/d/sub/../c.htm");
    EXPECT_EQ(ResolveURL("a/././b.htm", "http://h/d/"), "http://h/d/a/b.htm");
    EXPECT_EQ(ResolveURL("pa\r\nge.htm", "http://h/d/"), "http://h/d/page.htm");
    EXPECT_EQ(ResolveURL("news://server/group", "http://h/d/"), "news://server/group");
    EXPECT_EQ(ResolveURL("mailto:me@h", "http://h/d/"), "http://h/d/mailto:me@h");
    EXPECT_EQ(ResolveURL("../../../x.htm", "http://h/a/b/"), "http://h/x.htm");
    // A network-path reference keeps the base's scheme and names its own host.
    EXPECT_EQ(ResolveURL("//cdn.example/x.js", "http://h/d/"), "http://cdn.example/x.js");
    EXPECT_EQ(ResolveHTTPURL("//cdn.example", "http://h/d/"), "http://cdn.example/");
}

TEST(URL, FragmentsAndParts)
{
    EXPECT_EQ(StripFragment("http://host/a/b.htm#y"), "http://host/a/b.htm");
    EXPECT_EQ(StripFragment("http://host/a/b.htm"), "http://host/a/b.htm");
    EXPECT_EQ(URLFragment("http://host/a/b.htm#y"), "#y");
    EXPECT_EQ(URLFileAndQuery("http://host/a/b.asp?x=1"), "b.asp?x=1");
    EXPECT_EQ(URLHost("http://host:81/"), "host");
    EXPECT_EQ(URLProtocol("http://host/"), "http://");
    EXPECT_EQ(URLPath("http://host/a/b/c.htm"), "a/b/");
    EXPECT_EQ(URLQuery("http://host/?a"), "?a");
}

TEST(URL, SiteShortNames)
{
    const std::pair<const char *, const char *> cases[] = {
        {"http://www.site.example/", "site"},
        {"http://site.example/x", "site_example"},
        {"http://sub.site.example/", "sub_site"},
        {"http://localhost/", "localhost"},
        {"http://host/www.page.htm", "page"},
        {"http://www.nodot", ""},
        {"http://WWW.Site.example/", "WWW_Site"},
    };
    for (const auto &[url, name] : cases)
        EXPECT_EQ(SiteShortName(url), name) << url;
}

class URLTypes : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        ImportShippedFileTypes();
    }
};

TEST_F(URLTypes, Extensions)
{
    EXPECT_EQ(URLExtension("http://host/Pic.GIF"), ".gif");
    EXPECT_EQ(URLExtension("http://host/cgi?a=1"), ".html");
    EXPECT_EQ(URLExtension("http://host/dir/"), "");
    EXPECT_EQ(URLExtension("http://host/list.asp?a=1"), ".html");
    EXPECT_EQ(URLExtension("http://host/x.unknown?a=1"), ".html");
    // Resources keep their type despite a cache-defeating query.
    EXPECT_EQ(URLExtension("http://host/_static/theme.css?2022.1"), ".css");
    EXPECT_EQ(URLExtension("http://host/app.JS?v=3"), ".js");
    EXPECT_EQ(URLExtension("http://host/logo.png?x"), ".png");
}

} // namespace
} // namespace arvelo
