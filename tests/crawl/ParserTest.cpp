#include "crawl/Parser.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

// Every value a whole pass finds.
std::vector<std::string> Values(const std::string &text, const std::string &tag, const std::string &attribute,
                                uint8_t mode = 0)
{
    TAVParser parser(text, tag, mode == 0 ? ">" : tag, attribute, mode);
    std::vector<std::string> values;
    do {
        std::string value = parser.NextValue();
        if (!value.empty())
            values.push_back(value);
    } while (parser.More());
    return values;
}

using Found = std::vector<std::string>;

struct TagCase {
    const char *name;
    std::string text, tag, attribute;
    Found expected;
};

TEST(Parser, TagModeFindsQuotedAndUnquotedValues)
{
    const TagCase cases[] = {
        {"first character", "<A HREF=\"x.htm\">x</A>", "A", "HREF", {"x.htm"}},
        {"name before href", "<A NAME=\"top\">t</A> text <A HREF=\"b.htm\">b</A>", "A", "HREF", {"b.htm"}},
        {"lower case", "<a href=\"B.HTM\">", "A", "HREF", {"B.HTM"}},
        {"blanks around =", "<A HREF = \"a.htm\">", "A", "HREF", {"a.htm"}},
        {"unquoted", "<A HREF=b.htm>", "A", "HREF", {"b.htm"}},
        {"unquoted before another attribute", "<A HREF=b.htm class=x>", "A", "HREF", {"b.htm"}},
        {"single quoted", "<A HREF='b.htm'>", "A", "HREF", {"b.htm"}},
        {"single quote inside double quotes", "<A HREF=\"it's.htm\">", "A", "HREF", {"it's.htm"}},
        {"double quote inside single quotes", "<IMG SRC='a\"b.gif'>", "IMG", "SRC", {"a\"b.gif"}},
        {"blanks inside the quotes", "<A HREF=\" \n https://h/x.htm\t \">", "A", "HREF", {"https://h/x.htm"}},
        {"character references", "<A HREF=\"a.htm?x=1&amp;y=&#47;z&#x2F;\">", "A", "HREF", {"a.htm?x=1&y=/z/"}},
        {"unknown reference kept", "<A HREF=\"a.htm?x&copy;=1&y\">", "A", "HREF", {"a.htm?x&copy;=1&y"}},
        {"refresh, single-quoted address", "<META HTTP-EQUIV=Refresh CONTENT=\"0; URL='n.htm'\">", "META", "URL",
         {"n.htm"}},
        {"javascript in single quotes", "<A HREF='javascript:openWin(\"pop.htm\")'>", "A", "HREF", {"pop.htm"}},
        {"no value", "<A HREF>x</A> <A HREF=>y</A>", "A", "HREF", {}},
        {"lowsrc first", "<IMG LOWSRC=\"low.gif\" SRC=\"hi.gif\">", "IMG", "SRC", {"low.gif"}},
        {"prefix tag names", "<AREA HREF=\"m.htm\"><ADDRESS><APPLET CODE=\"x\">", "A", "HREF", {"m.htm"}},
        {"refresh", "<META HTTP-EQUIV=\"Refresh\" CONTENT=\"0; URL=next.htm\">", "META", "URL", {"next.htm"}},
        {"javascript", "<A HREF=\"javascript:openWin('pop.htm')\">", "A", "HREF", {"pop.htm"}},
        {"javascript without quotes", "<A HREF=\"javascript:void(0)\">", "A", "HREF", {}},
        {"no terminator", "<A HREF=\"a.htm\"", "A", "HREF", {}},
        {"value runs past the tag", "<A HREF=\"a.htm>x</A>\"", "A", "HREF", {}},
        {"attribute in a later tag", "<A NAME=x> <B HREF=\"no.htm\"> <A HREF=\"yes.htm\">", "A", "HREF", {"yes.htm"}},
        {"frameset and frame", "<FRAMESET><FRAME SRC=\"left.htm\"><FRAME SRC=\"right.htm\">", "FRAME", "SRC",
         {"left.htm", "right.htm"}},
        {"blanks after <", "< A HREF=\"s.htm\">", "A", "HREF", {"s.htm"}},
        {"empty page", "", "A", "HREF", {}},
        {"lone <", "<", "A", "HREF", {}},
    };
    for (const TagCase &c : cases)
        EXPECT_EQ(Values(c.text, c.tag, c.attribute), c.expected) << c.name;
}

TEST(Parser, LinkTextIsTheTextAfterTheTag)
{
    TAVParser parser("<A HREF=\"x.htm\">\r\n Next page </A><A HREF=\"y.htm\"><IMG SRC=\"i.gif\"></A>", "A", ">",
                     "HREF");
    EXPECT_EQ(parser.NextValue(), "x.htm");
    EXPECT_EQ(parser.LinkText(), "Next page");
    EXPECT_EQ(parser.NextValue(), "y.htm");
    EXPECT_EQ(parser.LinkText(), "");
}

TEST(Parser, QuotedStringsThatLookLikeAddresses)
{
    const std::string tail = " >";
    const std::pair<std::string, Found> cases[] = {
        {"window.open('popup.htm')" + tail, {"popup.htm"}},
        {"location = 'http://www.site.example/x.htm'" + tail, {"http://www.site.example/x.htm"}},
        {"'a.b'" + tail, {"a.b"}},
        {"alert('Done; thanks')" + tail, {}},
        {"'<B>bold</B>'" + tail, {}},
        {"'mailto:me'" + tail, {}},
        {"'text/javascript'" + tail, {}},
        {"'nodot'" + tail, {}},
        {"'>' + 'next.htm'" + tail, {}},
        {"'>'next.htm'" + tail, {"next.htm"}},
        {"'no closing quote" + tail, {}},
        {"'no.tag.after'", {}},
        // Only strings that name files: the script's own paths are code.
        {"data-url_root='../'" + tail, {}},
        {"'cpp/container/vector'" + tail, {}},
        {"'docs/page.html?x=a/b'" + tail, {"docs/page.html?x=a/b"}},
        {"'dir.d/noext'" + tail, {}},
        {"'https://h.example/'" + tail, {"https://h.example/"}},
        {"'file.'" + tail, {}},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(Values(text, "'", "", 2), expected) << text;

    EXPECT_EQ(Values("img.src = \"images/over.gif\"; >", "\"", "", 2), Found{"images/over.gif"});
    EXPECT_EQ(Values("<IFRAME SRC=\"frame2.htm\">", "\"", "", 2), Found{"frame2.htm"});
    EXPECT_EQ(Values("<SCRIPT LANGUAGE=\"JavaScript\">", "\"", "", 2), Found{});
    EXPECT_EQ(Values("<SCRIPT TYPE=\"text/javascript\">", "\"", "", 2), Found{});
}

TEST(Parser, ScriptModeTakesStringsInsideScriptBlocksOnly)
{
    const std::string page = "<P>\"page2.htm\" is text</P><SCRIPT>var a = \"page3.htm\";</SCRIPT>"
                             "<P>\"page4.htm\"</P>";
    EXPECT_EQ(Values(page, "\"", "", 1), Found{"page3.htm"});
    EXPECT_EQ(Values(page, "\"", "", 2), (Found{"page2.htm", "page3.htm", "page4.htm"}));
}

TEST(Parser, ReplacementsKeepTheRestOfThePage)
{
    std::string page = "<A HREF=\"a.htm\">A</A> <A HREF=\"javascript:pop('../big.asp')\">B</A> <A HREF=\"c.htm\">";
    TAVParser parser(page, "A", ">", "HREF");
    parser.NextValue();
    parser.ReplaceValue("local/a.htm");
    parser.NextValue();
    parser.ReplaceValue("../big.html");
    parser.NextValue();
    parser.ReplaceValue("c.htm");
    EXPECT_EQ(parser.Result(),
              "<A HREF=\"local/a.htm\">A</A> <A HREF=\"javascript:pop('../big.html')\">B</A> <A HREF=\"c.htm\">");
    EXPECT_EQ(parser.Replacements().size(), 2u);

    // Each quoting form keeps its quotes and the blanks around the address;
    // the raw text of a value with references is what goes.
    TAVParser forms("<a href=' x.htm '> <a href=b.htm class=c> <a href=\"a&amp;b.htm\">", "A", ">", "HREF");
    for (const char *local : {"L1", "L2", "L3"}) {
        forms.NextValue();
        forms.ReplaceValue(local);
    }
    EXPECT_EQ(forms.Result(), "<a href=' L1 '> <a href=L2 class=c> <a href=\"L3\">");
}

TEST(Parser, ScriptBlocks)
{
    TAVParser parser("<SCRIPT>document.write('<BODY>')</SCRIPT><BODY>", "BODY", ">", "");
    size_t end = 0;
    ASSERT_TRUE(parser.FindTag());
    EXPECT_TRUE(parser.InsideScript(parser.TagStart, &end));
    parser.ScanPos = end + 1;
    ASSERT_TRUE(parser.FindTag());
    EXPECT_FALSE(parser.InsideScript(parser.TagStart));
    EXPECT_EQ(parser.TagStart, 41u);
}

} // namespace
} // namespace arvelo
