#include "core/TextUtils.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

const std::string P(kFieldSeparator);

TEST(TextUtils, FieldOfSplitsAtTheWholeSeparator)
{
    std::string line = "a" + P + "b" + P + P + "c";
    EXPECT_EQ(FieldOf(line, kFieldSeparator, 0), "a");
    EXPECT_EQ(FieldOf(line, kFieldSeparator, 1), "b");
    EXPECT_EQ(FieldOf(line, kFieldSeparator, 2), "");
    EXPECT_EQ(FieldOf(line, kFieldSeparator, 3), "c");
    EXPECT_EQ(FieldOf(line, kFieldSeparator, 4), "");
    // "Größe" and "中" hold bytes of the separator's second byte value alone.
    std::string text = "Gr\xC3\xB6\xC3\x9F" "e" + P + "\xE4\xB8\xB6";
    EXPECT_EQ(FieldOf(text, kFieldSeparator, 0), "Gr\xC3\xB6\xC3\x9F" "e");
    EXPECT_EQ(FieldOf(text, kFieldSeparator, 1), "\xE4\xB8\xB6");
}

struct ReplaceCase {
    const char *text, *find, *repl;
    int flags;
    const char *expected;
};

TEST(TextUtils, ReplaceTextRules)
{
    const ReplaceCase cases[] = {
        {"a///b", "//", "/", 4, "a//b"},
        {"X.ASP", ".asp", ".html", 0, "X.html"},
        {"X.ASP", ".asp", ".html", 2, "X.ASP"},
        {"a.asp b.asp", ".asp", ".htm", 0, "a.htm b.asp"},
        {"a.asp b.ASP", ".asp", ".htm", 4, "a.htm b.htm"},
        {"aaaa", "aa", "a", 4, "aa"},
        {"abc", "", "x", 4, "abc"},
        {"x=a x", "x", "y", 4 | 1, "y=a x"},
        {"ab ab", "ab", "Z", 1 | 4, "Z ab"},
        {"\xC3\xA4x \xC3\x84x", "\xC3\x84X", "-", 4, "- -"},
        {"ab\xC2\xA7" "ab", "ab", "Z", 1 | 4, "Z\xC2\xA7" "ab"},
        {"\xff" "abc\xfe", "B", "-", 0, "\xff" "a-c\xfe"},
    };
    for (const ReplaceCase &c : cases) {
        std::string text = c.text;
        ReplaceText(text, c.find, c.repl, c.flags);
        EXPECT_EQ(text, c.expected) << c.text << " / " << c.find << " / " << c.flags;
    }
}

TEST(TextUtils, Positions)
{
    EXPECT_EQ(PosFrom("b", "abcb", 1), 2);
    EXPECT_EQ(PosFrom("b", "abcb", 3), 4);
    EXPECT_EQ(PosFrom("b", "abcb", 5), 0);
    EXPECT_EQ(PosFrom("", "abc", 1), 0);
    EXPECT_EQ(LastPos("b", "abcb"), 4);
    EXPECT_EQ(LastPos("x", "abcb"), 0);
    EXPECT_EQ(SearchNoCase("HREF", "<a href=x>", 1), 4);
    EXPECT_EQ(SearchNoCase("href", "<a Href=x>", 5), 0);
    EXPECT_EQ(SearchNoCase("x", std::string("ab\0x", 4), 1), 0);
    EXPECT_EQ(ScanExact("abcabc", "bc", 3), 5);
}

TEST(TextUtils, Scans)
{
    EXPECT_EQ(ScanForward("<IMG SRC=a>", "src", 1), 0);
    EXPECT_EQ(ScanForward("<IMG SRC=a>", "src", -1), 6);
    EXPECT_EQ(ScanForward("<IMG SRC=a>", "S?C", 1), 6);
    EXPECT_EQ(ScanForward("abab", "ab", 2), 3);
    EXPECT_EQ(ScanBackward("abab", "ab", 0), 3);
    EXPECT_EQ(ScanBackward("abab", "ab", 3), 1);
    EXPECT_EQ(ScanBackward("abab", "ab", 4), 3);
    EXPECT_EQ(ScanBackward("ABab", "ab", -2), 1);
    EXPECT_EQ(ScanBackward("ab", "abc", 0), 0);
}

TEST(TextUtils, TextBetween)
{
    EXPECT_EQ(TextBetween("<title>Hi</title>", "<title>", "</title>"), "Hi");
    EXPECT_EQ(TextBetween("<title>Hi", "<title>", "</title>"), "");
    EXPECT_EQ(TextBetween("x]a[b]", "[", "]"), "b");
    EXPECT_EQ(TextBetweenTags("<TITLE>Hi</Title>", "<title>", "</title>"), "Hi");
    EXPECT_EQ(TextBetweenTags("</title><title>Hi</title>", "<title>", "</title>"), "");
}

TEST(TextUtils, CleanTextAndNumbers)
{
    EXPECT_EQ(CleanText("  a\r\nb" + P + "c \t"), "abc");
    EXPECT_EQ(CleanText("Gr\xC3\xB6\xC3\x9F" "e"), "Gr\xC3\xB6\xC3\x9F" "e");
    EXPECT_EQ(NumberWithoutCommas("1,234"), 1234);
    EXPECT_EQ(NumberWithoutCommas("1,234,567"), 1234567);
    EXPECT_EQ(NumberWithoutCommas("abc"), 0);
    EXPECT_EQ(ToIntDef(" 42 ", 0), 42);
    EXPECT_EQ(ToIntDef("-1", 0), -1);
    EXPECT_EQ(ToIntDef("4x", 7), 7);
    EXPECT_EQ(ToIntDef("99999999999", 7), 7);
}

TEST(TextUtils, DurationText)
{
    EXPECT_EQ(DurationText(TDateTime::FromTime(1, 2, 3)), "1 Hrs 2 Min 3 Sec");
    EXPECT_EQ(DurationText(TDateTime::FromTime(0, 2, 3)), "2 Min 3 Sec");
    EXPECT_EQ(WeekdayIndex(TDateTime::FromParts(2026, 12, 12)), 6);
}

TEST(TextUtils, ContainsTextIgnoresCase)
{
    EXPECT_TRUE(ContainsText("ARVELO", "/tmp/arvelo-tmp/"));
    EXPECT_TRUE(ContainsText("\xC3\xA4", "X\xC3\x84Y"));
    EXPECT_FALSE(ContainsText("b", "aaa"));
}

TEST(TextUtils, SameTextIgnoresCaseBeyondAscii)
{
    struct Case {
        const char *a, *b;
        bool same;
    } cases[] = {
        {"/Tasks/General/Site.avt", "/tasks/general/SITE.AVT", true}, {"abc", "abd", false}, {"abc", "ab", false},
        {"", "", true}, {"a[", "A{", false}, {"/x/Éclair", "/X/éCLAIR", true}, {"/x/É", "/x/e", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(SameText(c.a, c.b), c.same) << c.a << " " << c.b;
}

TEST(TextUtils, CommaTextRoundTrips)
{
    const std::vector<StringList> lists = {
        {},
        {".htm", ".html", ".gif"},
        {"[PL]cgi-bin,search"},
        {"[AL]all links, my site", "say \"hi\"", "tab\there"},
        {"", "x"},
    };
    for (const StringList &list : lists)
        EXPECT_EQ(FromCommaText(ToCommaText(list)), list) << ToCommaText(list);
    EXPECT_EQ(ToCommaText({"[PL]cgi-bin", "a b"}), "[PL]cgi-bin,\"a b\"");
    EXPECT_EQ(ToCommaText({"[AL]all links, my site"}), "\"[AL]all links, my site\"");
    EXPECT_EQ(FromCommaText("a b,c"), (StringList{"a", "b", "c"}));
    EXPECT_EQ(FromCommaText("\"unterminated"), (StringList{"unterminated"}));
}

} // namespace
} // namespace arvelo
