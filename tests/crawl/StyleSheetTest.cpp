#include "crawl/StyleSheet.h"
#include "model/DownloadItem.h"
#include "model/Profile.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

class StyleSheet : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        ImportShippedFileTypes();
    }

    // The sheet at http://www.site.example/css/main.css, level 1.
    std::string Process(const std::string &text, std::vector<std::string> *queued = nullptr)
    {
        TStyleSheetProcessor processor(profile, "http://www.site.example/index.html",
                                       {"http://www.site.example/css/main.css", 1, imDownload, ""});
        processor.QueueItems = [&](std::vector<TCandidate> &batch) {
            for (const TCandidate &candidate : batch) {
                if (queued)
                    queued->push_back(candidate.url);
                EXPECT_EQ(candidate.level, 2);
                EXPECT_EQ(candidate.referrer, "http://www.site.example/css/main.css");
            }
            return static_cast<int>(batch.size());
        };
        return processor.Process(text);
    }

    TAVProfile profile;
};

TEST_F(StyleSheet, RewritesAndQueuesWhatItNames)
{
    struct Case {
        const char *in, *out;
        std::vector<std::string> queued;
    } cases[] = {
        {"a { background: url(bg.png) }", "a { background: url(bg.png) }", {"http://www.site.example/css/bg.png"}},
        {"a{background:URL( \"../img/a b.gif\" )}", "a{background:URL( \"../img/a%20b.gif\" )}",
         {"http://www.site.example/img/a b.gif"}},
        {"a{b:url( /img/x.png )}", "a{b:url( ../img/x.png )}", {"http://www.site.example/img/x.png"}},
        {"@import 'print.css';\n@import url(\"/x/y.css\");", "@import 'print.css';\n@import url(\"../x/y.css\");",
         {"http://www.site.example/css/print.css", "http://www.site.example/x/y.css"}},
        {"a{b:url(http://other.example/f.png)}", "a{b:url(../../other.example/f.png)}",
         {"http://other.example/f.png"}},
        {"a{b:url(data:image/png;base64,AAAA)} c{d:url(#svg)}", "a{b:url(data:image/png;base64,AAAA)} c{d:url(#svg)}", {}},
        {"/* url(old.png) */ a{}", "/* url(old.png) */ a{}", {}},
        {"a{b:url(one.png)} c{d:url(one.png)}", "a{b:url(one.png)} c{d:url(one.png)}",
         {"http://www.site.example/css/one.png"}},
        {"a{b:url(icons.svg#/menu?x)} c{d:url('../f/font.woff?v=2#iefix')}",
         "a{b:url(icons.svg#/menu?x)} c{d:url('../f/font.woff%C2%BFv=2.woff#iefix')}",
         {"http://www.site.example/css/icons.svg", "http://www.site.example/f/font.woff?v=2"}},
        {"a{b:url(cut.png", "a{b:url(cut.png", {}},
        {"", "", {}},
    };
    for (const Case &c : cases) {
        std::vector<std::string> queued;
        EXPECT_EQ(Process(c.in, &queued), c.out) << c.in;
        EXPECT_EQ(queued, c.queued) << c.in;
    }
}

TEST_F(StyleSheet, LeavesWhatTheRulesRefuse)
{
    profile.resourceLocation = locStartSite;
    profile.urlFiltersExclude = {"[RL]banner"};
    std::vector<std::string> queued;
    EXPECT_EQ(Process("a{b:url(http://other.example/f.png)} c{d:url(banner.gif)} e{f:url(ok.gif)}", &queued),
              "a{b:url(http://other.example/f.png)} c{d:url(banner.gif)} e{f:url(ok.gif)}");
    EXPECT_EQ(queued, std::vector<std::string>{"http://www.site.example/css/ok.gif"});
}

} // namespace
} // namespace arvelo
