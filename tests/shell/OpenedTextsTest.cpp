#include "shell/OpenedTexts.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

using S = TOpenSource;
using K = TOpenKind;

TEST(OpenedTexts, DropsArgumentsAndSecondStarts)
{
    struct Case {
        std::vector<std::string> texts;
        S source;
        K kind;
        std::vector<std::string> result;
    } cases[] = {
        {{"http://www.site.example/"}, S::kDrop, K::kAddress, {"http://www.site.example/"}},
        {{"https://www.site.example/a"}, S::kDrop, K::kAddress, {"https://www.site.example/a"}},
        {{"/home/me/site.ZIP"}, S::kDrop, K::kArchive, {"/home/me/site.ZIP"}},
        {{"/home/me/site.avt"}, S::kDrop, K::kTask, {"/home/me/site.avt"}},
        // File managers drag files as file URLs: files, not addresses.
        {{"file:///home/me/My%20Site.zip"}, S::kDrop, K::kArchive, {"/home/me/My Site.zip"}},
        {{"file:///home/me/notes.txt"}, S::kDrop, K::kNothing, {}},
        {{"/home/me/notes.txt"}, S::kDrop, K::kNothing, {}},
        {{"file:///a/one.txt", "/a/two.gif"}, S::kDrop, K::kFiles, {"/a/one.txt", "/a/two.gif"}},
        {{}, S::kDrop, K::kNothing, {}},
        {{"HTTP://www.site.example/"}, S::kArgument, K::kAddress, {"HTTP://www.site.example/"}},
        {{"ftp://files.example/"}, S::kArgument, K::kNothing, {}},
        {{"/tmp/b.avt"}, S::kArgument, K::kTask, {"/tmp/b.avt"}},
        {{"/tmp/a.zip", "/tmp/b.avt"}, S::kArgument, K::kArchive, {"/tmp/a.zip"}}, // the first argument only
        {{"http://www.site.example/"}, S::kSecondInstance, K::kNothing, {}},
        {{"/tmp/a.zip"}, S::kSecondInstance, K::kArchive, {"/tmp/a.zip"}},
    };
    for (const Case &c : cases) {
        TOpened opened = ClassifyOpened(c.texts, c.source);
        std::string what = c.texts.empty() ? std::string("(none)") : c.texts.front();
        EXPECT_EQ(opened.kind, c.kind) << what;
        EXPECT_EQ(opened.texts, c.result) << what;
    }
}

} // namespace
} // namespace arvelo
