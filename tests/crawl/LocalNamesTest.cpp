#include "crawl/LocalNames.h"
#include "core/FileUtils.h"

#include "core/AppPaths.h"
#include "core/Settings.h"
#include "core/Utf8.h"
#include "crawl/URL.h"
#include "model/FileTypes.h"
#include "support/TestHome.h"

#include <filesystem>

namespace arvelo {
namespace {

class LocalNames : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        ImportShippedFileTypes();
    }
    static std::string FileOf(const std::string &url)
    {
        return LocalFileName("/Sites/", URLDirectory(url), url);
    }
};

TEST_F(LocalNames, WorkedLocalFiles)
{
    const std::pair<const char *, const char *> cases[] = {
        {"http://www.site.example/", "/Sites/www.site.example/index.htm"},
        {"http://www.site.example/docs/", "/Sites/www.site.example/docs/index.htm"},
        {"http://www.site.example/docs/guide/index.html", "/Sites/www.site.example/docs/guide/index.html"},
        {"http://www.site.example/docs/page.asp", "/Sites/www.site.example/docs/page.asp.htm"},
        {"http://www.site.example/inc/file.shtml", "/Sites/www.site.example/inc/file.shtml.htm"},
        {"http://www.site.example/shop/cart.aspx", "/Sites/www.site.example/shop/cart.aspx.htm"},
        {"http://www.site.example/view.jsp?id=2", "/Sites/www.site.example/view.jsp\u00BFid=2.html"},
        {"http://www.site.example/about", "/Sites/www.site.example/about/index.htm"},
        {"http://www.site.example/caf%C3%A9.html", "/Sites/www.site.example/caf\u00E9.html"},
        {"http://www.site.example/a%2Fb%20c.html", "/Sites/www.site.example/a%2Fb c.html"},
        {"http://www.site.example/cgi-bin/search?q=a/b&x=1",
         "/Sites/www.site.example/cgi-bin/search\u00BFq=a\u00A1b&x=1.html"},
        {"http://www.site.example/show.php?img=gif", "/Sites/www.site.example/show.php\u00BFimg=gif.gif"},
        {"http://www.site.example/a%20b/c%3Ad.htm", "/Sites/www.site.example/a b/c\u00A6d.htm"},
        {"http://www.site.example:8080/x/y.gif", "/Sites/www.site.example_8080/x/y.gif"},
        {"http://www.site.example:80/x/y.gif", "/Sites/www.site.example/x/y.gif"},
        {"https://www.site.example:443/x/y.gif", "/Sites/www.site.example/x/y.gif"},
        {"https://www.site.example:80/x/y.gif", "/Sites/www.site.example_80/x/y.gif"},
    };
    for (const auto &[url, file] : cases)
        EXPECT_EQ(FileOf(url), file) << url;
}

TEST_F(LocalNames, WorkedRelativeLinks)
{
    const std::string base = "http://www.site.example/docs/guide/";
    const std::pair<const char *, const char *> cases[] = {
        {"chapter1.htm", "chapter1.htm"},
        {"page.htm#sec", "page.htm"},
        {"sub/", "sub/index.htm"},
        {"../", "../index.htm"},
        {"/images/logo.gif", "../../images/logo.gif"},
        {"http://www.site.example/", "../../index.htm"},
        {"../faq.asp?id=3", "../faq.asp\u00BFid=3.html"},
        {"search.cgi?q=a/b", "search.cgi\u00BFq=a\u00A1b.html"},
        {"chart.php?type=gif", "chart.php\u00BFtype=gif.gif"},
        {"http://other.example/x/y.htm", "../../../other.example/x/y.htm"},
    };
    for (const auto &[link, path] : cases) {
        std::string url = ResolveHTTPURL(link, base);
        ASSERT_FALSE(url.empty()) << link;
        EXPECT_EQ(LocalLinkPath(StripFragment(url), base), path) << link;
        // The link from the page's folder reaches the target's own file.
        std::string fromPage = "/Sites/www.site.example/docs/guide/" + LocalLinkPath(StripFragment(url), base);
        std::string target = FileOf(StripFragment(url));
        EXPECT_EQ(std::filesystem::path(fromPage).lexically_normal().string(), target) << link;
    }
}

TEST_F(LocalNames, PortsAndLetterCase)
{
    // Two servers of one host never overwrite each other's files.
    EXPECT_NE(FileOf("http://h:81/a/b.gif"), FileOf("http://h:82/a/b.gif"));
    EXPECT_EQ(LocalLinkPath("http://h:82/a/b.gif", "http://h:81/a/"), "../../h_82/a/b.gif");
    EXPECT_EQ(LocalLinkPath("http://h:81/c.gif", "http://h:81/a/"), "../c.gif");
    EXPECT_EQ(FileOf("http://h/a/B.htm"), "/Sites/h/a/B.htm");
    EXPECT_EQ(FileOf("http://h/a/b.htm"), "/Sites/h/a/b.htm");
    EXPECT_EQ(FileOf("http://h/x.ASP"), "/Sites/h/x.ASP.htm");
}

TEST_F(LocalNames, StylesScriptsAndImagesKeepTheirTypeDespiteAQuery)
{
    EXPECT_EQ(FileOf("http://h/_static/theme.css?2022.1"), "/Sites/h/_static/theme.css\u00BF2022.1.css");
    EXPECT_EQ(GroupOfURL("http://h/_static/theme.css?2022.1"), "Scripts and Styles");
    EXPECT_EQ(FileOf("http://h/app.js?v=3"), "/Sites/h/app.js\u00BFv=3.js");
    EXPECT_EQ(FileOf("http://h/logo.png?w=2"), "/Sites/h/logo.png\u00BFw=2.png");
    EXPECT_EQ(GroupOfURL("http://h/logo.png?w=2"), "Images");
    EXPECT_EQ(FileOf("http://h/list.php?x=1"), "/Sites/h/list.php\u00BFx=1.html");
    EXPECT_EQ(GroupOfURL("http://h/list.php?x=1"), "HTML");
}

TEST_F(LocalNames, Groups)
{
    EXPECT_EQ(GroupOfURL("http://h/img?id=5"), GroupOfExtension(".htm"));
    EXPECT_EQ(GroupOfURL("http://h/img?f=gif"), GroupOfExtension(".gif"));
    EXPECT_EQ(GroupOfURL("http://h/"), GroupOfExtension(".htm"));
    EXPECT_EQ(GroupOfURL("http://h/a.HTML"), "HTML");
    EXPECT_EQ(GroupOfURL("http://h/a.zip"), "Archives");
    EXPECT_EQ(GroupOfURL("http://h/a.qqq"), "");
    EXPECT_EQ(GroupOfFile("/Sites/h/index.htm"), "HTML");
    EXPECT_EQ(GroupOfFile("/Sites/h/LOGO.GIF"), "Images");
    EXPECT_EQ(GroupOfFile("/Sites/h/README"), "HTML");
}

TEST(LocalNameText, EscapesAndHelpers)
{
    EXPECT_EQ(EscapeLocalName("a///b"), "a//b");
    EXPECT_EQ(EscapeLocalName("s?q=a//b?c"), "s\u00BFq=a\u00A1\u00A1b\u00BFc");
    EXPECT_EQ(EscapeLocalName("a*b|c:d%3ae&AMP;f%20g"), "a\u00B0b\u00A6c\u00A6d\u00A6e&f g");
    EXPECT_EQ(UpLevels("docs/guide/"), "../../");
    EXPECT_EQ(UpLevels(""), "");
    EXPECT_EQ(SafeFileName("A: B/C?", ' '), "A  B C ");
    EXPECT_EQ(RelativeURLPath("http://h/a/b/c.htm", "http://h/a/x/"), "../b/c.htm");
    EXPECT_EQ(RelativeURLPath("/top.htm", "http://h/a/x/"), "../../top.htm");
    EXPECT_EQ(RelativeURLPath("http://o/a.htm", "http://h/a/"), "http://o/a.htm");
    EXPECT_EQ(EncodeLocalLink("a b/\u00BFq=1%20#.html"), "a%20b/%C2%BFq=1%2520%23.html");
}

TEST_F(LocalNames, LongNamesStayWithinTheLimitAndApart)
{
    std::string longName(300, 'n');
    std::string a = FileOf("http://h/" + longName + ".htm");
    std::string b = FileOf("http://h/" + longName + "x.htm");
    std::string nameA = a.substr(a.rfind('/') + 1), nameB = b.substr(b.rfind('/') + 1);
    EXPECT_LE(nameA.size(), kMaxNameBytes);
    EXPECT_EQ(nameA.substr(0, 200), longName.substr(0, 200));
    EXPECT_EQ(nameA.substr(nameA.size() - 4), ".htm");
    EXPECT_NE(nameA, nameB);
    // So are the hidden names under which a page's download is kept.
    std::string keptA = UnconvertedCopyName(a), keptB = UnconvertedCopyName(b);
    EXPECT_EQ(ExtractFilePath(keptA), ExtractFilePath(a));
    EXPECT_LE(ExtractFileName(keptA).size(), kMaxNameBytes);
    EXPECT_NE(keptA, keptB);
    EXPECT_EQ(UnconvertedCopyName("/Sites/h/a.htm"), "/Sites/h/.a.htm.unconverted");
    // Multi-byte characters are never cut in half, directories are limited too.
    std::string wide;
    for (int i = 0; i < 200; ++i)
        wide += "\u00E9";
    std::string c = FileOf("http://h/" + wide + "/" + wide + ".gif");
    for (size_t start = std::string("/Sites/").size(), end; start < c.size(); start = end + 1) {
        end = c.find('/', start);
        if (end == std::string::npos)
            end = c.size();
        EXPECT_LE(end - start, kMaxNameBytes);
    }
    EXPECT_EQ(LocalLinkPath("http://h/" + wide + "/" + wide + ".gif", "http://h/"),
              c.substr(std::string("/Sites/h/").size()));
}

TEST_F(LocalNames, LongNamesAreCutBetweenCharacters)
{
    // Characters of two, three and four bytes, shifted by up to three ASCII
    // bytes so that the cut falls at every offset inside a character.
    const std::string characters[] = {"\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80"};
    for (const std::string &character : characters) {
        for (size_t shift = 0; shift < 4; ++shift) {
            std::string stem(shift, 'a');
            while (stem.size() < 300)
                stem += character;
            for (const std::string &extension : {std::string(".htm"), std::string()}) {
                std::string file = FileOf("http://h/" + stem + extension + (extension.empty() ? "/x.htm" : ""));
                std::string name = file.substr(std::string("/Sites/h/").size());
                name = name.substr(0, name.find('/'));
                // What is kept of the stem: whole characters, as many as fit
                // beside the "~" and eight hex digits of the hash, and the extension.
                size_t room = kMaxNameBytes - 9 - extension.size();
                size_t kept = shift + (room - shift) / character.size() * character.size();
                SCOPED_TRACE(std::to_string(character.size()) + " bytes, shift " + std::to_string(shift) +
                             (extension.empty() ? ", folder" : ", file"));
                EXPECT_LE(name.size(), kMaxNameBytes);
                EXPECT_TRUE(utf8::IsValid(name)) << name;
                EXPECT_EQ(name.substr(0, kept), stem.substr(0, kept));
                EXPECT_EQ(name[kept], '~') << name;
                EXPECT_EQ(name.substr(kept + 9), extension);
            }
        }
    }
}

TEST_F(LocalNames, NamesNeverLeaveTheRoot)
{
    const char *hostile[] = {
        "http://h/../../etc/passwd",
        "http://h/a/../../../../x.htm",
        "http://h/a\\..\\..\\..\\x.htm",
        "http://../x.htm",
        "http://h/..",
        "http://h/a/..?x=1",
        "http://h/%2e%2e/%2E%2E/x.htm",
        "http://h/./././x.htm",
        "http://h/a\x01/b\x7f.htm",
        "http://h/..%2f..%2fx.htm",
        "http://h/?/../../x",
    };
    for (const char *url : hostile) {
        std::string file = FileOf(url);
        std::string normal = std::filesystem::path(file).lexically_normal().string();
        EXPECT_EQ(normal.rfind("/Sites/", 0), 0u) << url << " -> " << file;
        EXPECT_EQ(normal, file) << url;
        EXPECT_EQ(file.find_first_of("\x01\x7f"), std::string::npos) << url;
    }
    EXPECT_EQ(FileOf("http://h/a/../b/c.htm"), "/Sites/h/b/c.htm");
    EXPECT_EQ(LocalLinkPath("http://h/a/../b/c.htm", "http://h/b/"), "c.htm");
}

TEST_F(LocalNames, ServerPageDirectoriesKeepTheirNames)
{
    // Only a file name changes its extension; folders keep theirs, and the
    // link reaches the file either way.
    std::string url = "http://h/app.asp/page.shtml";
    EXPECT_EQ(FileOf(url), "/Sites/h/app.asp/page.shtml.htm");
    EXPECT_EQ(LocalLinkPath(url, "http://h/"), "app.asp/page.shtml.htm");
    EXPECT_EQ(LocalLinkPath("http://h/x.htm", "http://h/app.asp/"), "../x.htm");
}

} // namespace
} // namespace arvelo
