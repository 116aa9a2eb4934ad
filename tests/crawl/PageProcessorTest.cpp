#include "crawl/LocalNames.h"
#include "crawl/PageProcessor.h"
#include "crawl/URL.h"
#include "model/DownloadItem.h"
#include "model/Profile.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <set>

namespace arvelo {
namespace {

class PageProcessor : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        ImportShippedFileTypes();
        profile.pageLocation = locStartSite;
        profile.resourceLocation = locAnywhere;
        profile.aggressiveParser = 0;
    }

    // Processes the page found at the address and gathers what it queues.
    std::string Process(const std::string &page, const std::string &url, int level = 1, bool banner = false,
                        const std::string &frame = {})
    {
        TPageProcessor processor(profile, start, TPageInfo{url, level, imDownload, frame}, banner);
        processor.QueueItems = [&](std::vector<TCandidate> &batch) {
            int added = 0;
            for (TCandidate &c : batch)
                if (known.insert(c.url).second) {
                    queued.push_back(c);
                    ++added;
                }
            return added;
        };
        std::string out = processor.Process(page);
        title = processor.Title();
        links = processor.LinkCount();
        return out;
    }

    std::vector<std::string> QueuedURLs() const
    {
        std::vector<std::string> urls;
        for (const TCandidate &c : queued)
            urls.push_back(c.url);
        return urls;
    }

    TAVProfile profile;
    std::string start = "http://www.site.example/docs/index.htm";
    std::set<std::string> known;
    std::vector<TCandidate> queued;
    std::string title;
    int links = 0;
};

TEST_F(PageProcessor, ConversionOfFollowedAndUnfollowedLinks)
{
    struct Case {
        const char *name;
        std::string page, url;
        uint8_t unfollowed;
        std::string expected;
    };
    const std::string guide = "http://www.site.example/docs/guide/intro.htm";
    const Case cases[] = {
        {"server page with a query", "<A HREF=\"../faq.asp?id=3\">", guide, 1,
         "<A HREF=\"../faq.asp%C2%BFid=3.html\">"},
        {"fragment kept", "<A HREF=\"page.htm#sec\">", guide, 1, "<A HREF=\"page.htm#sec\">"},
        {"javascript", "<A HREF=\"javascript:pop('../big.asp')\">", guide, 1,
         "<A HREF=\"javascript:pop('../big.asp.htm')\">"},
        {"absolute link to the site", "<A HREF=\"http://www.site.example/docs/guide/b.htm\">", guide, 1,
         "<A HREF=\"b.htm\">"},
        {"other site left", "<A HREF=\"http://other.example/\">", "http://www.site.example/docs/p.htm", 1,
         "<A HREF=\"http://other.example/\">"},
        {"other site converted", "<A HREF=\"http://other.example/x.htm\">", guide, 2,
         "<A HREF=\"../../../other.example/x.htm\">"},
        {"ftp kept", "<A HREF=\"ftp://files.example/x.zip\">", guide, 2, "<A HREF=\"ftp://files.example/x.zip\">"},
        {"mailto kept", "<A HREF=\"MAILTO:x@y\"><A HREF=\"#top\">", guide, 2, "<A HREF=\"MAILTO:x@y\"><A HREF=\"#top\">"},
    };
    for (const Case &c : cases) {
        profile.convertUnfollowedLinks = c.unfollowed;
        EXPECT_EQ(Process(c.page, c.url), c.expected) << c.name;
    }

    // Unfollowed links of the start site point to where they would be stored.
    profile.pageLocation = locStartDirectory;
    profile.convertUnfollowedLinks = 1;
    EXPECT_EQ(Process("<A HREF=\"http://www.site.example/shop/buy.asp\">", "http://www.site.example/docs/p.htm"),
              "<A HREF=\"../shop/buy.asp.htm\">");
    std::vector<std::string> urls = QueuedURLs();
    EXPECT_EQ(std::find(urls.begin(), urls.end(), "http://www.site.example/shop/buy.asp"), urls.end());
}

TEST_F(PageProcessor, FragmentsGoBackOnTheLocalPathAsTheyWere)
{
    // Hash routes and fragments with "/" or "?" name places in a page, never its file.
    const std::pair<const char *, const char *> cases[] = {
        {"p.htm#one", "p.htm#one"},
        {"p.htm#two", "p.htm#two"},
        {"d.htm#x/y.htm", "d.htm#x/y.htm"},
        {"page.htm#/tab", "page.htm#/tab"},
        {"q.htm#sec?x", "q.htm#sec?x"},
        {"r.htm#!/x?y=1", "r.htm#!/x?y=1"},
        {"r.htm#a&amp;b", "r.htm#a&amp;b"},
        {"q.asp?a=1#f", "q.asp%C2%BFa=1.html#f"},
        {"q.asp?a=1#g/h?i", "q.asp%C2%BFa=1.html#g/h?i"},
        {"sub/#/route", "sub/index.htm#/route"},
        {"../faq.asp?id=3#top/x", "../faq.asp%C2%BFid=3.html#top/x"},
        {"http://www.site.example/docs/guide/b.htm#c/d", "b.htm#c/d"},
        {"e.htm#", "e.htm#"},
    };
    std::string page, expected;
    for (const auto &[link, local] : cases) {
        page += "<A HREF=\"" + std::string(link) + "\">";
        expected += "<A HREF=\"" + std::string(local) + "\">";
    }
    EXPECT_EQ(Process(page, "http://www.site.example/docs/guide/intro.htm"), expected);
    const std::string dir = "http://www.site.example/docs/guide/";
    EXPECT_EQ(QueuedURLs(), (std::vector<std::string>{dir + "p.htm", dir + "d.htm", dir + "page.htm", dir + "q.htm",
                                                      dir + "r.htm", dir + "q.asp?a=1", dir + "sub/",
                                                      "http://www.site.example/docs/faq.asp?id=3", dir + "b.htm",
                                                      dir + "e.htm"}));
}

TEST_F(PageProcessor, WithoutConversionOnlyTheBaseTagGoes)
{
    profile.convertFollowedLinks = 0;
    profile.convertUnfollowedLinks = 0;
    const std::string page = "<HTML><HEAD><BASE HREF=\"http://mirror.example/x/\"><TITLE>\r\n Mirror </TITLE></HEAD>"
                             "<BODY><A HREF=\"a.htm\">a</A><IMG SRC=\"i/p.gif\"></BODY></HTML>\r\n";
    profile.pageLocation = locAnywhere;
    EXPECT_EQ(Process(page, "http://www.site.example/docs/p.htm"),
              "<HTML><HEAD><TITLE>\r\n Mirror </TITLE></HEAD><BODY><A HREF=\"a.htm\">a</A><IMG SRC=\"i/p.gif\"></BODY>"
              "</HTML>\r\n");
    EXPECT_EQ(title, "Mirror");
    EXPECT_EQ(QueuedURLs(), (std::vector<std::string>{"http://mirror.example/x/a.htm", "http://mirror.example/x/i/p.gif"}));
}

TEST_F(PageProcessor, ABaseThatNamesAPageStandsForItsFolder)
{
    profile.pageLocation = locAnywhere;
    profile.convertFollowedLinks = 0;
    const struct {
        const char *base, *folder;
    } cases[] = {
        {"http://mirror.example/x/", "http://mirror.example/x/"},
        {"http://mirror.example/x/index.html", "http://mirror.example/x/"},
        {"http://mirror.example/x/page.php?id=1", "http://mirror.example/x/"},
        {"http://mirror.example/x/#top", "http://mirror.example/x/"},
        {"../other/", "http://www.site.example/other/"},
        {"http://mirror.example", "http://mirror.example/"},
    };
    for (const auto &c : cases) {
        queued.clear();
        known.clear();
        TPageProcessor processor(profile, start, TPageInfo{"http://www.site.example/docs/p.htm", 1, imDownload, ""},
                                 false);
        processor.QueueItems = [&](std::vector<TCandidate> &batch) {
            for (TCandidate &candidate : batch)
                queued.push_back(candidate);
            return static_cast<int>(batch.size());
        };
        processor.Process("<BASE HREF=\"" + std::string(c.base) + "\"><A HREF=\"a.htm\">a</A>");
        EXPECT_EQ(processor.BaseHref(), c.folder) << c.base;
        EXPECT_EQ(QueuedURLs(), std::vector<std::string>{std::string(c.folder) + "a.htm"}) << c.base;
    }
}

TEST_F(PageProcessor, CandidatesCarryTheirLinkAndLevel)
{
    profile.pageLocation = locAnywhere;
    const std::string page = "<FRAMESET><FRAME SRC=\"left.htm\"></FRAMESET>"
                             "<A HREF=\"next.htm#part\">Next page</A><AREA HREF=\"m.htm\">"
                             "<APPLET CODE=\"A.class\" CODEBASE=\"classes/\"></APPLET>"
                             "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"0; URL=next.htm\">"
                             "<A HREF=\"NEXT.htm\">";
    Process(page, "http://h/d/p.htm", 2);
    ASSERT_EQ(queued.size(), 5u);
    EXPECT_EQ(queued[0].url, "http://h/d/left.htm");
    EXPECT_EQ(queued[0].frame, "Y");
    EXPECT_EQ(queued[0].level, 3);
    EXPECT_EQ(queued[1].url, "http://h/d/next.htm");
    EXPECT_EQ(queued[1].title, "Next page");
    EXPECT_EQ(queued[1].referrer, "http://h/d/p.htm");
    EXPECT_EQ(queued[2].url, "http://h/d/m.htm");
    EXPECT_EQ(queued[3].url, "http://h/d/NEXT.htm");
    EXPECT_EQ(queued[4].url, "http://h/d/classes/A.class");
    EXPECT_EQ(queued[4].baseAddress, "http://h/d/classes/");
}

TEST_F(PageProcessor, DepthKeepsFramesAndRefreshesOnTheirPagesLevel)
{
    profile.depth = 1;
    profile.pageLocation = locAnywhere;
    const std::string page = "<FRAME SRC=\"f.htm\"><A HREF=\"a.htm\"><META CONTENT=\"1; URL=r.htm\"><IMG SRC=\"i.gif\">";
    Process(page, "http://h/p.htm", 1);
    EXPECT_EQ(QueuedURLs(), (std::vector<std::string>{"http://h/f.htm", "http://h/i.gif", "http://h/r.htm"}));
}

TEST_F(PageProcessor, ScriptLinks)
{
    profile.pageLocation = locAnywhere;
    profile.aggressiveParser = 1;
    Process("<P>\"page2.htm\"</P><SCRIPT>w.open('pop.htm'); x=\"it's/here.htm\";</SCRIPT>", "http://h/p.htm");
    EXPECT_EQ(QueuedURLs(), std::vector<std::string>{"http://h/pop.htm"});
    queued.clear();
    known.clear();
    profile.aggressiveParser = 2;
    EXPECT_EQ(Process("<A HREF=page.htm><A HREF='q.htm'><A HREF=\"r.htm\">", "http://h/p.htm"),
              "<A HREF=page.htm><A HREF='q.htm'><A HREF=\"r.htm\">");
    EXPECT_EQ(QueuedURLs(), (std::vector<std::string>{"http://h/q.htm", "http://h/r.htm"}));

    // A script's own paths stay as they are and are never asked for.
    queued.clear();
    known.clear();
    profile.aggressiveParser = 1;
    const std::string script = "<SCRIPT>var o = {\"data-url_root\": \"../\", \"wgPageName\":\"a/b\"};"
                               "window.open('popup.htm');</SCRIPT>";
    const std::string out = Process(script, "http://h/d/p.htm");
    EXPECT_EQ(QueuedURLs(), std::vector<std::string>{"http://h/d/popup.htm"});
    EXPECT_NE(out.find("\"data-url_root\": \"../\", \"wgPageName\":\"a/b\""), std::string::npos) << out;
}

TEST_F(PageProcessor, TodaysPagesGiveUpEveryFileTheyLoad)
{
    profile.pageLocation = locAnywhere;
    const std::string page =
        "<html><head><link rel=stylesheet href=s.css><script src='app.js'></script>"
        "<style>body { background: url(\"bg.png\") } @import 'more.css';</style></head><body>"
        "<iframe src=frame.html></iframe>"
        "<img src=a.png srcset=\"a-1x.png 1x, a-2x.png 2x,a-3x.png 3x\">"
        "<picture><source srcset='p.webp 480w, p-big.webp 960w' type=image/webp><img src=p.jpg></picture>"
        "<video src=v.mp4 poster=v.jpg><track src=v.vtt><source src=v.webm></video>"
        "<audio src=s.mp3></audio><embed src=f.swf><object data=o.svg></object>"
        "<div style=\"background-image: url('div.png')\">x</div>"
        "<img srcset=\"data:image/png;base64,AAAA 1x\">"
        "</body></html>";
    const std::string out = Process(page, "http://h/d/p.htm");
    const std::vector<std::string> urls = QueuedURLs();
    const std::set<std::string> files(urls.begin(), urls.end());
    for (const char *name : {"s.css", "app.js", "bg.png", "more.css", "frame.html", "a.png", "a-1x.png", "a-2x.png",
                             "a-3x.png", "p.webp", "p-big.webp", "p.jpg", "v.mp4", "v.jpg", "v.vtt", "v.webm", "s.mp3",
                             "f.swf", "o.svg", "div.png"})
        EXPECT_EQ(files.count("http://h/d/" + std::string(name)), 1u) << name;
    EXPECT_EQ(files.size(), 20u);
    // Each converted where it stands, with its quotes and descriptors.
    for (const char *kept : {"url(\"bg.png\")", "@import 'more.css'", "src=frame.html", "a-2x.png 2x,a-3x.png 3x",
                             "srcset='p.webp 480w, p-big.webp 960w'", "url('div.png')", "data:image/png;base64,AAAA 1x"})
        EXPECT_NE(out.find(kept), std::string::npos) << kept;
    for (const TCandidate &c : queued)
        EXPECT_EQ(c.frame, c.url == "http://h/d/frame.html" ? "Y" : "") << c.url;

    // As HTML reads it: a comma inside an address is part of it; trailing ones end it.
    EXPECT_EQ(TPageProcessor::SrcsetCandidates(" a.png 1x,b,c.png,, d.png 2x "),
              (std::vector<TPageProcessor::TSrcsetCandidate>{{1, 5, "a.png"}, {10, 7, "b,c.png"}, {20, 5, "d.png"}}));
}

TEST_F(PageProcessor, BannerGoesAfterTheBodyOutsideScripts)
{
    const std::string page = "<HTML><SCRIPT>document.write('<BODY>')</SCRIPT><BODY BGCOLOR=\"white\">text</BODY></HTML>";
    std::string out = Process(page, "http://h/p.htm", 1, true);
    size_t banner = out.find("<!-- Lindqvarn Arvelo Ad Banner Insert -->");
    ASSERT_NE(banner, std::string::npos);
    EXPECT_EQ(out.substr(0, banner), page.substr(0, page.find("text")) + "\r\n");
    EXPECT_NE(out.find("<IFRAME SRC=\"" + std::string(kAdBannerAddress) + "\""), std::string::npos);
    EXPECT_NE(out.find("</layer>\r\n</BODY></HTML>"), std::string::npos);
    EXPECT_NE(out.find("text\r\n<layer src="), std::string::npos);

    EXPECT_EQ(Process(page, "http://h/p.htm", 1, true, "Y"), page);
    EXPECT_EQ(Process(page, "http://h/p.htm", 1, false), page);
    const std::string scriptOnly = "<SCRIPT>document.write('<BODY>')</SCRIPT>";
    EXPECT_EQ(Process(scriptOnly, "http://h/p.htm", 1, true), scriptOnly);
}

} // namespace
} // namespace arvelo
