#include "model/FileTypes.h"

#include "core/AppPaths.h"
#include "core/Settings.h"
#include "support/TestHome.h"

namespace arvelo {
namespace {

class FileTypes : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        WriteSetting(kFileTypesKey, "HTML", ".htm;.html;");
        WriteSetting(kFileTypesKey, "Images", ".gif;.jpg;.JPEG;.png;");
        WriteSetting(kFileTypesKey, "Web", ".html;.css;");
    }
};

TEST_F(FileTypes, LookupLowerCasesAndTakesTheFirstGroup)
{
    EXPECT_EQ(GroupOfExtension(".HTML"), "HTML");
    EXPECT_EQ(GroupOfExtension(".html"), "HTML");
    EXPECT_EQ(GroupOfExtension(".shtml"), "");
    EXPECT_EQ(GroupOfExtension(".htm"), "HTML");
    EXPECT_EQ(GroupOfExtension(".ht"), "");
    EXPECT_EQ(GroupOfExtension(".css"), "Web");
    // Stored with capitals, never matched.
    EXPECT_EQ(GroupOfExtension(".jpeg"), "");
    EXPECT_EQ(GroupOfExtension(""), "");
}

TEST_F(FileTypes, EmptyStoreMakesEveryAddressAResource)
{
    Settings().DeleteKey(KeyAt(kCurrentUser, kFileTypesKey));
    EXPECT_EQ(GroupOfExtension(".htm"), "");
    EXPECT_TRUE(FileTypeGroups().empty());
}

TEST_F(FileTypes, Editing)
{
    WriteFileTypeGroup("Audio", ".mp3;.ogg");
    EXPECT_EQ(ReadSetting(kFileTypesKey, "Audio", ""), ".mp3;.ogg;");
    EXPECT_EQ(SplitExtensions(".mp3;.ogg;"), (StringList{".mp3", ".ogg"}));
    ASSERT_EQ(FileTypeGroups().size(), 4u);
    EXPECT_EQ(FileTypeGroups()[3].name, "Audio");

    EXPECT_TRUE(DeleteFileTypeExtension("Images", ".png"));
    EXPECT_EQ(ReadSetting(kFileTypesKey, "Images", ""), ".gif;.jpg;.JPEG;");
    EXPECT_FALSE(DeleteFileTypeExtension("Images", ".gif"));
    EXPECT_FALSE(DeleteFileTypeExtension("Images", ".bmp"));
    EXPECT_FALSE(DeleteFileTypeExtension("Nothing", ".bmp"));
    EXPECT_TRUE(DeleteFileTypeExtension("Audio", ".ogg"));
    EXPECT_EQ(ReadSetting(kFileTypesKey, "Audio", ""), ".mp3;");

    EXPECT_FALSE(DeleteFileTypeGroup("HTML"));
    EXPECT_FALSE(DeleteFileTypeGroup("Images"));
    EXPECT_TRUE(DeleteFileTypeGroup("Audio"));
    EXPECT_FALSE(SettingExists(kFileTypesKey, "Audio"));

    EXPECT_EQ(DeleteExtensionQuestion(".mp3"), "Are you sure you want to delete the .mp3 file type?");
    EXPECT_EQ(DeleteGroupQuestion("Audio"), "Are you sure you want to delete the Audio file type group?");
}

TEST_F(FileTypes, ShippedGroupsHoldTheProtectedExtensions)
{
    Settings().DeleteKey(KeyAt(kCurrentUser, kFileTypesKey));
    bool readable = false;
    EXPECT_FALSE(Settings().ImportFile(ShippedDataFolder() + "FTypes.reg", &readable).Damaged());
    ASSERT_TRUE(readable);
    for (const char *page : {".htm", ".html", ".shtm", ".shtml", ".asp", ".php", ".aspx", ".jsp", ".cfm", ".xhtml"})
        EXPECT_EQ(GroupOfExtension(page), "HTML") << page;
    for (const char *image : {".gif", ".jpg", ".jpeg", ".png", ".webp", ".svg", ".ico", ".bmp"})
        EXPECT_EQ(GroupOfExtension(image), "Images") << image;
    for (const char *other : {".css", ".js", ".mp3", ".mp4", ".pdf", ".zip"})
        EXPECT_NE(GroupOfExtension(other), "") << other;
}

TEST(FileTypeDialog, StoresLowerCasedExtensionsWithTheirDotsAndRefusesEmptyEntries)
{
    struct Case {
        std::string typed, stored;
    } cases[] = {
        {".htm;.html;", ".htm;.html;"},
        {" HTM; .Php", ".htm;.php;"},
        {".PDF", ".pdf;"},
        {";;  ;.;", ""},
        {"", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FileTypeExtensions(c.typed), c.stored) << c.typed;
    EXPECT_EQ(FileTypeRefusal("Docs", ".pdf"), "");
    EXPECT_EQ(FileTypeRefusal("  ", ".pdf"), "A name for the file type is required.");
    EXPECT_EQ(FileTypeRefusal("Docs", " ; "), "Enter one or more file extensions separated by semicolons.");
}

} // namespace
} // namespace arvelo
