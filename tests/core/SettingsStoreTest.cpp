#include "core/SettingsStore.h"

#include "core/FileUtils.h"
#include "core/Settings.h"
#include "support/TestHome.h"

namespace arvelo {
namespace {

using SettingsStore = test::TestHome;

const std::string kKey = "\\Software\\Lindqvarn\\Arvelo\\Settings";

TEST_F(SettingsStore, ReadsGiveTheDefaultAndNeverCreateKeys)
{
    EXPECT_EQ(ReadSetting(kKey, "Connections", int32_t(10)), 10);
    EXPECT_EQ(ReadSetting(kKey, "Skin", "Default"), "Default");
    EXPECT_TRUE(ReadSetting(kKey, "Use Proxy", true));
    EXPECT_FALSE(ReadBinaryFlag(kKey, "Flag", false));
    EXPECT_FALSE(Settings().KeyExists(KeyAt(kCurrentUser, kKey)));
    EXPECT_FALSE(FileExists(Path("settings.reg")));
}

TEST_F(SettingsStore, TypedValuesRoundTripThroughTheFile)
{
    WriteSetting(kKey, "Connections", int32_t(-7));
    WriteSetting(kKey, "Skin", "Blue \"sky\" \\ Größe");
    WriteSetting(kKey, "Use Proxy", true);
    WriteSetting(kKey, "Ratio", 2.5);
    WriteSetting(kKey, "When", TDateTime::FromParts(2026, 12, 9, 8, 0, 0));
    WriteSetting(kKey, "Lines", "a\r\nb");
    WriteBinarySetting(kKey, "Flag", std::string("\x01\x00", 2));
    ReloadSettings();
    EXPECT_EQ(ReadSetting(kKey, "Connections", int32_t(0)), -7);
    EXPECT_EQ(ReadSetting(kKey, "skin", ""), "Blue \"sky\" \\ Größe");
    EXPECT_TRUE(ReadSetting(kKey, "Use Proxy", false));
    EXPECT_EQ(ReadSetting(kKey, "Ratio", 0.0), 2.5);
    EXPECT_EQ(ReadSetting(kKey, "When", TDateTime()).ToText(), "12/09/2026 08:00:00");
    EXPECT_EQ(ReadSetting(kKey, "Lines", ""), "a\r\nb");
    EXPECT_TRUE(ReadBinaryFlag(kKey, "Flag", false));
    EXPECT_TRUE(notifier.errors.empty());
}

TEST_F(SettingsStore, FileIsReadableRegistryText)
{
    WriteSetting(kKey, "Connections", int32_t(10));
    WriteSetting(kKey, "Skin", "Default");
    WriteSetting(kKey, "Beep On Completion", false);
    EXPECT_EQ(ReadFile("settings.reg"),
              "REGEDIT4\n\n"
              "[HKEY_CURRENT_USER\\Software\\Lindqvarn\\Arvelo\\Settings]\n"
              "\"Connections\"=dword:0000000a\n"
              "\"Skin\"=\"Default\"\n"
              "\"Beep On Completion\"=dword:00000000\n");
}

TEST_F(SettingsStore, ValuesKeepTheOrderTheyWereFirstWritten)
{
    WriteSetting("\\Software\\Test", "Zeta", "1");
    WriteSetting("\\Software\\Test", "Alpha", "2");
    WriteSetting("\\Software\\Test", "zeta", "3");
    ReloadSettings();
    EXPECT_EQ(ValueNames("\\Software\\Test"), (StringList{"Zeta", "Alpha"}));
    EXPECT_EQ(ValueStrings("\\Software\\Test"), (StringList{"3", "2"}));
    EXPECT_TRUE(ValueNames("\\Software\\Missing").empty());
    SaveSettingList("\\Software\\Test", {"x", "y"});
    EXPECT_EQ(ValueNames("\\Software\\Test"), (StringList{"F0", "F1"}));
    EXPECT_EQ(LoadSettingList("\\Software\\Test"), (StringList{"x", "y"}));
}

TEST_F(SettingsStore, WrongTypeIsAnError)
{
    WriteSetting(kKey, "Connections", "ten");
    WriteSetting(kKey, "Skin", int32_t(3));
    try {
        ReadSetting(kKey, "Connections", int32_t(10));
        FAIL();
    } catch (const ESettingError &e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'Connections'");
    }
    EXPECT_THROW(ReadSetting(kKey, "Skin", ""), ESettingError);
    EXPECT_THROW(ReadSetting(kKey, "Skin", 1.0), ESettingError);
    EXPECT_THROW(ReadBinaryFlag(kKey, "Skin", false), ESettingError);
    EXPECT_TRUE(SettingExists(kKey, "Skin"));
    EXPECT_FALSE(SettingExists(kKey, "Nothing"));
}

struct DamagedCase {
    const char *name;
    std::string bytes;
};

TEST_F(SettingsStore, DamagedFileKeepsWhatCanBeReadAndReportsOnce)
{
    const std::string good = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Lindqvarn\\Arvelo\\Settings]\n"
                             "\"Connections\"=dword:00000004\n";
    std::string binary;
    for (int i = 0; i < 2000; ++i)
        binary += static_cast<char>((i * 131) & 0xFF);
    const DamagedCase cases[] = {
        {"truncated string", good + "\"Skin\"=\"Blu"},
        {"truncated name", good + "\"Sk"},
        {"binary junk", good + binary + "\n"},
        {"huge line", good + std::string(1 << 20, 'z') + "\n"},
        {"bad dword", good + "\"X\"=dword:zz\n"},
        {"bad hex", good + "\"X\"=hex:0g,1\n"},
        {"truncated hex continuation", good + "\"X\"=hex:01,02,\\"},
        {"value before any key", "REGEDIT4\n\"A\"=\"b\"\n" + good.substr(9)},
        {"no header", good.substr(9)},
    };
    for (const DamagedCase &c : cases) {
        ReloadSettings();
        notifier.errors.clear();
        WriteFile("settings.reg", c.bytes);
        EXPECT_EQ(ReadSetting(kKey, "Connections", int32_t(0)), 4) << c.name;
        EXPECT_EQ(ReadSetting(kKey, "Priority", int32_t(5)), 5) << c.name;
        ASSERT_EQ(notifier.errors.size(), 1u) << c.name;
        EXPECT_NE(notifier.errors[0].find("is damaged"), std::string::npos) << c.name;
        EXPECT_EQ(ReadFile("settings.reg.damaged"), c.bytes) << c.name;
        // Later reads and writes do not report it again.
        WriteSetting(kKey, "Priority", int32_t(3));
        EXPECT_EQ(ReadSetting(kKey, "Priority", int32_t(5)), 3) << c.name;
        EXPECT_EQ(notifier.errors.size(), 1u) << c.name;
    }
}

TEST_F(SettingsStore, ImportMergesRegistryExports)
{
    WriteSetting("\\Software\\Lindqvarn\\Arvelo\\File Types", "Old", ".old;");
    std::string version5Name = std::string("\"Wide\"=hex(1):57,00,69,00,00,00\n");
    TRegParseReport report = Settings().Import(
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Lindqvarn\\Arvelo\\File Types]\r\n"
        "\"HTML\"=\".htm;.html;\"\r\n"
        "\"Old\"=-\r\n"
        "\"Count\"=hex(4):02,01,00,00\r\n"
        "\"Bytes\"=hex:01,02,\\\r\n  03\r\n" + version5Name +
        "@=\"default\"\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Gone]\r\n");
    EXPECT_FALSE(report.Damaged());
    auto values = Settings().Values("HKEY_CURRENT_USER\\Software\\Lindqvarn\\Arvelo\\File Types");
    ASSERT_EQ(values.size(), 5u);
    EXPECT_EQ(values[0].text, ".htm;.html;");
    EXPECT_EQ(values[1].integer, 0x102);
    EXPECT_EQ(values[2].bytes, "\x01\x02\x03");
    EXPECT_EQ(values[3].text, "Wi");
    EXPECT_EQ(values[4].name, "");
    // What was imported is saved and reads back the same.
    std::string saved = Settings().ExportText();
    ReloadSettings();
    EXPECT_EQ(Settings().ExportText(), saved);
}

TEST_F(SettingsStore, DeletingKeysTakesTheirSubKeys)
{
    WriteSetting("\\Software\\A\\B", "x", "1");
    WriteSetting("\\Software\\AB", "y", "2");
    Settings().DeleteKey("HKEY_CURRENT_USER\\Software\\A");
    EXPECT_FALSE(SettingExists("\\Software\\A\\B", "x"));
    EXPECT_TRUE(SettingExists("\\Software\\AB", "y"));
    EXPECT_TRUE(DeleteSetting("\\Software\\AB", "Y"));
    EXPECT_FALSE(DeleteSetting("\\Software\\AB", "y"));
}

TEST_F(SettingsStore, EveryWriteLeavesACompleteFile)
{
    for (int i = 0; i < 50; ++i)
        WriteSetting(kKey, "V" + std::to_string(i), int32_t(i));
    EXPECT_EQ(FolderFiles(Home(), "*"), (StringList{"settings.reg"}));
    TSettingsStore copy(Path("settings.reg"));
    EXPECT_FALSE(copy.Load().Damaged());
    EXPECT_EQ(copy.Values(KeyAt(kCurrentUser, kKey)).size(), 50u);
}

} // namespace
} // namespace arvelo
