#include "core/Settings.h"
#include "shell/AddressBar.h"
#include "shell/RecentList.h"
#include "shell/WindowPlacement.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

TEST(AddressBar, PastedAddressIsTheFirstLineThatIsNotBlank)
{
    struct Case {
        std::string clipboard, address;
    } cases[] = {
        {"http://a.example/", "http://a.example/"},
        {"  http://a.example/x \r\nsecond line", "http://a.example/x"},
        {"\n\n \t\nhttp://b.example/\nhttp://c.example/", "http://b.example/"},
        {"", ""},
        {" \r\n ", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PastedAddress(c.clipboard), c.address) << c.clipboard;

    // A huge clipboard is cut to 8 KiB, never inside a character.
    std::string huge = "http://a.example/" + std::string(kMaxPastedAddress, 'x');
    EXPECT_EQ(PastedAddress(huge).size(), kMaxPastedAddress);
    std::string accents = "http://a.example/";
    while (accents.size() < kMaxPastedAddress + 10)
        accents += "\xC3\xA9"; // é
    std::string cut = PastedAddress(accents);
    EXPECT_LE(cut.size(), kMaxPastedAddress);
    EXPECT_NE(static_cast<unsigned char>(cut.back()), 0xC3) << "a character was split";
}

TEST(AddressBar, ModeHintsNameTheFolders)
{
    EXPECT_EQ(IntranetModeHint("/home/u/Intranet/"), "Set Default: Personal Intranet Mode.\nDownloaded websites are "
                                                     "stored directly\non your hard disk within  \n/home/u/Intranet/");
    EXPECT_EQ(ArveloModeHint("/d/"), "Set Default: Arvelo Mode.\nDownloaded websites are stored within a single "
                                     "compressed\nZip file which is saved on your hard disk within  \n/d/");
}

class RecentListTest : public test::TestHome {};

TEST_F(RecentListTest, NewestFirstWithoutRepeatsTrimmedAndKept)
{
    const std::string key = std::string(kRootKey) + "\\Recent URLs";
    TRecentList urls(key, 3);
    for (const char *address : {"http://a/", "http://b/", "http://c/", "http://a/", "http://d/"})
        urls.Add(address);
    EXPECT_EQ(urls.Entries(), (StringList{"http://d/", "http://a/", "http://c/"}));
    urls.Add("");
    EXPECT_EQ(urls.Entries().size(), 3u);
    urls.SetMaximum(2);
    EXPECT_EQ(urls.Entries(), (StringList{"http://d/", "http://a/"}));
    urls.Save();

    TRecentList again(key, 20);
    again.Load();
    EXPECT_EQ(again.Entries(), (StringList{"http://d/", "http://a/"}));
    // A store edited by hand with repeats, blanks and too many entries.
    SaveSettingList(key, {"x", "", "y", "x", "z"});
    TRecentList edited(key, 2);
    edited.Load();
    EXPECT_EQ(edited.Entries(), (StringList{"x", "y"}));
}

class WindowPlacementTest : public test::TestHome {};

TEST_F(WindowPlacementTest, SavedValuesAndTheirDefaults)
{
    const std::string key = std::string(kSettingsKey) + "\\FormArvelo";
    EXPECT_EQ(ReadWindowPlacement(key), QRect(0, 0, 640, 480));
    WriteWindowPlacement(key, QRect(-20, 30, 800, 600));
    EXPECT_EQ(ReadWindowPlacement(key), QRect(-20, 30, 800, 600));
    WriteSetting(key, "Left", "abc");
    WriteSetting(key, "Width", int32_t(900)); // another type than a text
    EXPECT_EQ(ReadWindowPlacement(key), QRect(0, 30, 640, 600));
}

TEST(WindowPlacement, OffScreenPlacesAreCentred)
{
    const QSize minimum(540, 400);
    const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    struct Case {
        QRect saved, placed;
    } cases[] = {
        {{100, 100, 800, 600}, {100, 100, 800, 600}},
        {{2000, 50, 800, 600}, {2000, 50, 800, 600}},        // on the second screen
        {{-700, 100, 800, 600}, {-700, 100, 800, 600}},      // 100 pixels still show
        {{5000, 100, 800, 600}, {560, 240, 800, 600}},       // right of every screen
        {{100, -500, 800, 600}, {560, 240, 800, 600}},       // title bar above the top
        {{100, 100, 200, 100}, {100, 100, 540, 400}},        // below the minimum
        {{0, 0, 9000, 9000}, {0, 0, 1920, 1080}},            // larger than any screen
    };
    for (const Case &c : cases)
        EXPECT_EQ(PlaceOnScreens(c.saved, screens, minimum), c.placed) << c.saved.x() << "," << c.saved.y();
    EXPECT_EQ(PlaceOnScreens(QRect(5000, 5000, 640, 480), {}, minimum), QRect(5000, 5000, 640, 480));
}

} // namespace
} // namespace arvelo

namespace arvelo {
namespace {

class DownloadsMenuTest : public test::TestHome {};

TEST_F(DownloadsMenuTest, TwentyFiveArchivesByNameWithoutCase)
{
    for (int i = 0; i < 30; ++i)
        WriteFile("dl/" + std::string(i % 2 ? "a" : "B") + std::to_string(100 + i) + ".zip", "");
    WriteFile("dl/notes.txt", "");
    WriteFile("dl/Upper.ZIP", "");
    StringList names = DownloadsMenuArchives(Path("dl/"));
    ASSERT_EQ(names.size(), kDownloadsMenuArchives);
    EXPECT_EQ(names.front(), "a101.zip");
    EXPECT_EQ(names[15], "B100.zip");
    for (size_t i = 1; i < names.size(); ++i)
        EXPECT_LT(LowerAscii(names[i - 1]), LowerAscii(names[i]));
    EXPECT_TRUE(DownloadsMenuArchives(Path("none/")).empty());
}

} // namespace
} // namespace arvelo
