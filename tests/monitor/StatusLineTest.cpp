#include "monitor/StatusLine.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

// Each case posts its messages ("" clears the line), then takes what the
// line shows at each flush until nothing is pending.
TEST(StatusLine, ShowsWhatGoesOnAndEndsOnTheLatest)
{
    struct Case {
        const char *name;
        std::vector<std::string> posted;
        std::vector<std::string> shown;
    } cases[] = {
        {"one message", {"Starting Task..."}, {"Starting Task..."}},
        {"the last of several", {"Loading Page: a", "Parsing...", "Saving Changes: a"}, {"Saving Changes: a"}},
        // The parser clears the line after each page: the page's last
        // message shows first, then the cleared line once nothing follows.
        {"cleared between pages", {"Loading Page: a", "Saving Changes: a", ""}, {"Saving Changes: a", ""}},
        {"only cleared", {""}, {""}},
        {"ends on a message", {"Stopping Task...", "", "Ready"}, {"Ready"}},
    };
    for (const Case &c : cases) {
        TStatusLine line;
        for (const std::string &text : c.posted)
            line.Post({text, 0, 0});
        std::vector<std::string> shown;
        for (int flush = 0; line.Pending() && flush < 5; ++flush)
            shown.push_back(line.Take().text);
        EXPECT_EQ(shown, c.shown) << c.name;
    }
}

TEST(StatusLine, KeepsTheProgressOfItsMessage)
{
    TStatusLine line;
    line.Post({"Opening task....", 40, 100});
    line.Post({"", 0, 0});
    EXPECT_EQ(line.Take(), (TStatusMessage{"Opening task....", 40, 100}));
    EXPECT_TRUE(line.Pending());
    line.Post({"Opening task....", 90, 100});
    EXPECT_EQ(line.Take(), (TStatusMessage{"Opening task....", 90, 100}));
    EXPECT_FALSE(line.Pending());
}

} // namespace
} // namespace arvelo
