#include "core/FileUtils.h"
#include "shell/Skin.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

class Skin : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        for (const char *file : {"user/Default/go.bmp", "user/Default/new.bmp", "user/Dark/new.bmp",
                                 "shipped/Default/go.bmp", "shipped/Default/help.bmp", "shipped/Dark/open.bmp",
                                 "shipped/Light/new.bmp"})
            WriteFile(file, "picture");
        ForceFolders(Path("user/Empty/"));
    }
    std::vector<std::string> Folders() const { return {Path("user/"), Path("shipped/")}; }
};

TEST_F(Skin, APictureComesFromTheSkinThenFromTheDefaultSkin)
{
    const TSkin dark(Folders(), "Dark");
    EXPECT_EQ(dark.Name(), "Dark");
    // The skin's own, in the user's folder before the shipped one.
    EXPECT_EQ(dark.PictureFiles("new.bmp"), (std::vector<std::string>{Path("user/Dark/new.bmp"), Path("user/Default/new.bmp")}));
    EXPECT_EQ(dark.PictureFiles("open.bmp"), std::vector<std::string>{Path("shipped/Dark/open.bmp")});
    // Missing from the skin: the Default skin's, wherever it lies.
    EXPECT_EQ(dark.PictureFiles("go.bmp"), (std::vector<std::string>{Path("user/Default/go.bmp"), Path("shipped/Default/go.bmp")}));
    EXPECT_EQ(dark.PictureFiles("help.bmp"), std::vector<std::string>{Path("shipped/Default/help.bmp")});
    EXPECT_TRUE(dark.PictureFiles("stop.bmp").empty());
    EXPECT_EQ(TSkin(Folders(), "Empty").PictureFiles("go.bmp").front(), Path("user/Default/go.bmp"));
}

TEST_F(Skin, ANameThatNamesNoFolderOrLeavesTheSkinsFolderIsTheDefaultSkin)
{
    WriteFile("secret/go.bmp", "not a skin");
    for (const char *name : {"", "Nowhere", "..", ".", "../secret", "Dark/../../secret", "/tmp", "Dark\\x"}) {
        const TSkin skin(Folders(), name);
        EXPECT_EQ(skin.Name(), "Default") << name;
        for (const std::string &file : skin.PictureFiles("go.bmp"))
            EXPECT_EQ(file.find("secret"), std::string::npos) << name;
    }
    EXPECT_EQ(SkinNames(Folders()), (std::vector<std::string>{"Dark", "Default", "Empty", "Light"}));
}

} // namespace
} // namespace arvelo
