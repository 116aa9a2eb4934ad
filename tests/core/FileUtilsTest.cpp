#include "core/FileUtils.h"

#include "support/TestHome.h"

namespace arvelo {
namespace {

using FileUtils = test::TestHome;

TEST_F(FileUtils, UniqueFileNameCountsFromZero)
{
    EXPECT_EQ(UniqueFileName(Path("site.zip")), Path("site.zip"));
    WriteFile("site.zip", "x");
    EXPECT_EQ(UniqueFileName(Path("site.zip")), Path("site(0).zip"));
    WriteFile("site(0).zip", "x");
    EXPECT_EQ(UniqueFileName(Path("site.zip")), Path("site(1).zip"));
}

TEST(FileNames, Parts)
{
    EXPECT_EQ(BaseFileName("/a/report.zip"), "report");
    EXPECT_EQ(BaseFileName("noext"), "noext");
    EXPECT_EQ(ExtractFileExt("/a.b/c"), "");
    EXPECT_EQ(ExtractFileExt("/a/c.TaR.gz"), ".gz");
    EXPECT_EQ(ExtractFilePath("/a/b/c.txt"), "/a/b/");
    EXPECT_EQ(ChangeFileExt("/a/t.avt", ".dwn"), "/a/t.dwn");
    EXPECT_EQ(IncludeTrailingSlash("/a"), "/a/");
    EXPECT_EQ(LastFolderName("/home/me/Sites/"), "Sites");
    EXPECT_EQ(PathPrefixes("a/b/c.txt"), (StringList{"a/", "a/b/"}));
    EXPECT_EQ(PathPrefixes("site/"), (StringList{"site/"}));
    EXPECT_EQ(SlashesToBackslashes("a/b"), "a\\b");
    EXPECT_EQ(BackslashesToSlashes("a\\b"), "a/b");
}

TEST_F(FileUtils, LoadTextEndsEveryLine)
{
    WriteFile("a.txt", "one\ntwo\r\nthree");
    EXPECT_EQ(LoadText(Path("a.txt")), "one\r\ntwo\r\nthree\r\n");
    WriteFile("empty.txt", "");
    EXPECT_EQ(LoadText(Path("empty.txt")), "");
    EXPECT_THROW(LoadText(Path("missing.txt")), EFileError);
}

TEST_F(FileUtils, AtomicWriteReplacesAndLeavesNoTemporaryFile)
{
    WriteFileAtomic(Path("state.dwn"), "old");
    WriteFileAtomic(Path("state.dwn"), std::string("new\0bytes", 9));
    EXPECT_EQ(ReadFile("state.dwn"), std::string("new\0bytes", 9));
    EXPECT_EQ(FolderFiles(Home(), "*"), (StringList{"state.dwn"}));
    EXPECT_THROW(WriteFileAtomic(Path("no/such/folder/x"), "x"), EFileError);
}

TEST_F(FileUtils, CopyFileForceCreatesFolders)
{
    WriteFile("src.txt", "data");
    EXPECT_TRUE(CopyFileForce(Path("src.txt"), Path("deep/er/dst.txt")));
    EXPECT_EQ(ReadFile("deep/er/dst.txt"), "data");
    WriteFile("src.txt", "newer");
    EXPECT_TRUE(CopyFileForce(Path("src.txt"), Path("deep/er/dst.txt")));
    EXPECT_EQ(ReadFile("deep/er/dst.txt"), "newer");
    EXPECT_FALSE(CopyFileForce(Path("missing"), Path("x")));
}

TEST_F(FileUtils, RenameNeverReplaces)
{
    WriteFile("a", "A");
    WriteFile("b", "B");
    EXPECT_FALSE(RenameNoReplace(Path("a"), Path("b")));
    EXPECT_EQ(ReadFile("b"), "B");
    EXPECT_TRUE(RenameNoReplace(Path("a"), Path("c")));
    EXPECT_EQ(ReadFile("c"), "A");
    EXPECT_FALSE(FileExists(Path("a")));
}

TEST_F(FileUtils, FolderListings)
{
    WriteFile("Tasks/b.AVT", "");
    WriteFile("Tasks/a.avt", "");
    WriteFile("Tasks/a.dwn", "");
    WriteFile("Tasks/General/c.avt", "");
    EXPECT_EQ(FolderFiles(Path("Tasks/"), "*.avt"), (StringList{"a.avt", "b.AVT"}));
    EXPECT_EQ(SubFolders(Path("Tasks/")), (StringList{"General"}));
    EXPECT_TRUE(FolderFiles(Path("none/"), "*").empty());
    EXPECT_THROW(ForceFolders(""), EFileError);
}

} // namespace
} // namespace arvelo
