#include "core/IniFile.h"

#include "core/FileUtils.h"
#include "support/TestHome.h"

namespace arvelo {
namespace {

TEST(IniFile, WritesSectionsAndKeysInOrderWithCrLf)
{
    TIniFile ini;
    ini.WriteString("Task", "B", "2");
    ini.WriteString("Task", "A", "1");
    ini.WriteBool("Profile", "On", true);
    ini.WriteString("Task", "b", "3");
    EXPECT_EQ(ini.ToText(), "[Task]\r\nB=3\r\nA=1\r\n\r\n[Profile]\r\nOn=1\r\n");
}

TEST(IniFile, ReadsLfFilesJunkAndMissingKeys)
{
    TIniFile ini = TIniFile::Parse("junk before\n[Task]\nURL=http://a/?x=1\n no equals here\n=novalue\n"
                                   "Status = 3\nStatus=4\n;comment=1\n[Other\nLost=1\n[task]\nMore=yes");
    EXPECT_EQ(ini.ReadString("Task", "URL"), "http://a/?x=1");
    EXPECT_EQ(ini.ReadInteger("TASK", "status", 0), 3);
    EXPECT_EQ(ini.ReadString("Task", "More"), "yes");
    EXPECT_EQ(ini.ReadString("Task", "Missing", "dflt"), "dflt");
    EXPECT_FALSE(ini.HasKey("Task", ";comment"));
    EXPECT_FALSE(ini.HasKey("Task", "Lost"));
    EXPECT_EQ(ini.ReadInteger("Task", "More", 9), 9);
}

TEST(IniFile, ValuesStayOnOneLine)
{
    TIniFile ini;
    ini.WriteString("S", "Comment", "two\r\nlines");
    EXPECT_EQ(TIniFile::Parse(ini.ToText()).ReadString("S", "Comment"), "two  lines");
}

TEST(IniFile, HostileBytesNeverBreakTheReader)
{
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk += static_cast<char>((i * 7919) & 0xFF);
    std::string longLine = "[S]\nK=" + std::string(1 << 20, 'x');
    std::string invalidUtf8 = "[S]\nK=\xff\xfe\xc3(\n";
    EXPECT_FALSE(TIniFile::Parse(junk).HasKey("S", "K"));
    EXPECT_EQ(TIniFile::Parse(longLine).ReadString("S", "K").size(), size_t(1) << 20);
    EXPECT_EQ(TIniFile::Parse(invalidUtf8).ReadString("S", "K"), "\xff\xfe\xc3(");
    EXPECT_EQ(TIniFile::Parse(std::string("[S]\nK=a\0b", 9)).ReadString("S", "K"), std::string("a\0b", 3));
}

using IniFiles = test::TestHome;

TEST_F(IniFiles, SaveCreatesFoldersAndRoundTrips)
{
    TIniFile ini;
    ini.WriteString("Task", "Name", "Größe");
    ini.Save(Path("a/b/t.avt"));
    TIniFile back = TIniFile::Load(Path("a/b/t.avt"));
    EXPECT_EQ(back.ReadString("Task", "Name"), "Größe");
    EXPECT_EQ(back.ToText(), ini.ToText());
    EXPECT_FALSE(TIniFile::Load(Path("missing.avt")).HasSection("Task"));
}

} // namespace
} // namespace arvelo
