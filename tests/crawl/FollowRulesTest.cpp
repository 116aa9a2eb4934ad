#include "crawl/FollowRules.h"
#include "model/Profile.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

const std::string kStartDir = "http://www.site.example/docs/";

struct FollowCase {
    std::string address;
    const char *kind; // "HTML" for a page
    int testLevel;
    bool followed;
};

void Check(const TAVProfile &profile, const std::vector<FollowCase> &cases, const char *what)
{
    TFollowRules rules(profile, kStartDir);
    for (const FollowCase &c : cases)
        EXPECT_EQ(rules.FollowLink(c.address, c.kind, c.testLevel), c.followed) << what << ": " << c.address;
}

TEST(FollowRules, FilterPrefixComesOffTheFirstTerm)
{
    StringList terms = {"[PL]cgi-bin", "x"};
    EXPECT_EQ(FilterPrefix(terms), "[PL]");
    EXPECT_EQ(terms, (StringList{"cgi-bin", "x"}));
    terms = {"ab[RL]cd"};
    EXPECT_EQ(FilterPrefix(terms), "[RL]");
    EXPECT_EQ(terms, StringList{"L]cd"});
    terms = {"plain"};
    EXPECT_EQ(FilterPrefix(terms), "");
}

TEST(FollowRules, Locations)
{
    TAVProfile profile;
    profile.pageLocation = locStartDirectory;
    Check(profile,
          {{"http://www.site.example/docs/a/b.htm", "HTML", 1, true},
           {"http://www.site.example/other.htm", "HTML", 1, false},
           // The start directory elsewhere in the address is not being in it.
           {"http://www.site.example/other.htm?from=http://www.site.example/docs/", "HTML", 1, false},
           {"http://mirror.example/http://www.site.example/docs/a.htm", "HTML", 1, false},
           {"http://www.site.example/docs", "HTML", 1, false},
           {"http://WWW.site.example/docs/c.htm", "HTML", 1, false},
           // Either scheme reaches the same place.
           {"https://www.site.example/docs/s.htm", "HTML", 1, true},
           {"HTTPS://www.site.example/docs/s.htm", "HTML", 1, true},
           {"https://www.site.example/other.htm", "HTML", 1, false},
           {"ftp://www.site.example/docs/s.htm", "HTML", 1, false},
           {"", "HTML", 1, false}},
          "start directory");
    profile.pageLocation = locStartSite;
    Check(profile,
          {{"http://www.site.example/other.htm", "HTML", 1, true},
           {"http://mirror.example/?from=http://www.site.example/", "HTML", 1, true},
           {"https://www.site.example/other.htm", "HTML", 1, true},
           {"http://site.example/x.htm", "HTML", 1, false}},
          "start site");
    // A start address reached by https takes the http links of its host in.
    TFollowRules secure(profile, "https://www.site.example/docs/");
    EXPECT_TRUE(secure.FollowLink("http://www.site.example/other.htm", "HTML", 1));
    EXPECT_TRUE(secure.WithinStartSite("http://www.site.example/a.gif"));
    EXPECT_FALSE(secure.WithinStartSite("https://site.example/a.gif"));
    profile.pageLocation = locAnywhere;
    Check(profile, {{"http://anywhere.example/x.htm", "HTML", 1, true}}, "anywhere");

    profile.resourceLocation = locStartDirectory;
    profile.fileTypes = {".htm", ".css"};
    Check(profile, {{"http://cdn.example/style.css", "Scripts and Styles", 1, true}}, "style shortcut");
    profile.fileTypes.clear();
    Check(profile, {{"http://cdn.example/style.css", "Scripts and Styles", 1, false}}, "no shortcut");
}

TEST(FollowRules, DepthLimitsPagesOnly)
{
    TAVProfile profile;
    profile.depth = 0;
    Check(profile,
          {{"http://www.site.example/docs/p.htm", "HTML", 1, false},
           {"http://www.site.example/docs/frame.htm", "HTML", 0, true},
           {"http://www.site.example/docs/i.gif", "Images", 1, true}},
          "depth 0");
    profile.depth = 1;
    Check(profile,
          {{"http://www.site.example/docs/p.htm", "HTML", 1, true},
           {"http://www.site.example/docs/q.htm", "HTML", 2, false}},
          "depth 1");
}

TEST(FollowRules, FileTypes)
{
    TAVProfile profile;
    profile.pageLocation = profile.resourceLocation = locAnywhere;
    profile.fileTypes = {".htm", ".GIF"};
    Check(profile,
          {{"http://h/a.jpg", "Images", 1, false},
           {"http://h/a.gif", "Images", 1, true},
           {"http://h/dir/", "HTML", 1, true},
           {"http://h/cgi?x=1", "HTML", 1, false}},
          "types");
    profile.fileTypes.push_back(".html");
    Check(profile, {{"http://h/cgi?x=1", "HTML", 1, true}}, "query as a page");
}

TEST(FollowRules, ExcludeAndIncludeFilters)
{
    TAVProfile profile;
    profile.pageLocation = profile.resourceLocation = locAnywhere;
    profile.urlFiltersExclude = {"[PL]cgi-bin", "print,.htm", ""};
    Check(profile,
          {{"http://h/cgi-bin/x.htm", "HTML", 1, false},
           {"http://h/cgi-bin/x.gif", "Images", 1, true},
           {"http://h/print/a.htm", "HTML", 1, false},
           {"http://h/print/a.gif", "Images", 1, true}},
          "exclude");
    profile.urlFiltersExclude.clear();
    profile.urlFiltersInclude = {"[RL]images", "docs"};
    Check(profile,
          {{"http://h/docs/a.htm", "HTML", 1, true},
           {"http://h/x/a.gif", "Images", 1, false},
           {"http://h/images/a.gif", "Images", 1, true},
           {"http://h/x/a.htm", "HTML", 1, true}},
          "include");
    profile.urlFiltersInclude = {"\"two words\",x"};
    Check(profile, {{"http://h/two words/x.htm", "HTML", 1, true}, {"http://h/two/x.htm", "HTML", 1, false}},
          "quoted terms");
}

} // namespace
} // namespace arvelo
