#include "core/App.h"

#include "core/AppPaths.h"
#include "core/FileUtils.h"
#include "core/Settings.h"
#include "model/Task.h"
#include "support/TestHome.h"

#include <filesystem>

namespace arvelo {
namespace {

class FixedBrowser : public TDefaultBrowserFinder {
public:
    std::string DefaultBrowser() const override { return "/usr/bin/default-browser"; }
};

class App : public test::TestHome {
protected:
    std::unique_ptr<TAVApp> MakeApp(int64_t colours = kManyColours)
    {
        return std::make_unique<TAVApp>(colours, std::make_unique<FixedBrowser>());
    }
};

TEST_F(App, FreshUserDefaults)
{
    auto app = MakeApp();
    EXPECT_EQ(app->Connections(), 10);
    EXPECT_EQ(app->Priority(), 5);
    EXPECT_FALSE(app->BeepOnCompletion());
    EXPECT_FALSE(app->ZipPropertiesFirst());
    EXPECT_FALSE(app->UseProxy());
    EXPECT_EQ(app->ProxyAddress(), "");
    EXPECT_EQ(app->ProxyPort(), "");
    EXPECT_EQ(app->ProxyAuthorization(), "");
    EXPECT_EQ(app->Skin(), "Default");
    EXPECT_TRUE(app->NoAds()) << "no banner server: no banner";
    EXPECT_EQ(app->MaxURLHistory(), 20);
    EXPECT_EQ(app->MaxFileHistory(), 10);
    EXPECT_EQ(app->LastCategory(), "General");
    EXPECT_EQ(app->AutosaveThreshold(), 10);
    EXPECT_FALSE(app->ZipLast());
    EXPECT_EQ(app->SaveMode(), 1);
    EXPECT_EQ(app->UserAgent(), "Arvelo/2.61.125 (https://www.arvelo.net/)");
    EXPECT_EQ(app->TasksFolder(), Home() + "Tasks/");
    EXPECT_EQ(app->ProfilesFolder(), Home() + "Profiles/");
    EXPECT_EQ(app->SkinsFolder(), Home() + "Skins/Default/");
    // The default browser is found and stored.
    EXPECT_EQ(app->Browser(), "/usr/bin/default-browser");
    EXPECT_EQ(ReadSetting(kSettingsKey, "Browser", ""), "/usr/bin/default-browser");
    EXPECT_EQ(TAVApp::Instance(), app.get());
    EXPECT_TRUE(notifier.errors.empty());
    // A stored choice stands.
    app->SetNoAds(false);
    app.reset();
    EXPECT_FALSE(MakeApp()->NoAds());
}

TEST_F(App, FoldersAreCreatedAndStoredBesideTheProgram)
{
    auto app = MakeApp();
    EXPECT_EQ(app->DownloadsFolder(), Home() + "Downloads/");
    EXPECT_TRUE(FolderExists(Home() + "Downloads/"));
    EXPECT_EQ(ReadSetting(kSettingsKey, "Downloads Folder", ""), Home() + "Downloads/");
    EXPECT_EQ(app->LocalIntranetFolder(), Home() + "My Intranet/");
    EXPECT_TRUE(FolderExists(Home() + "My Intranet/"));
    EXPECT_EQ(ReadSetting(kSettingsKey, "Local Intranet Folder", ""), Home() + "My Intranet/");
    std::string temp = app->TempFolder();
    EXPECT_EQ(temp.rfind(SystemTempFolder(), 0), 0u);
    EXPECT_NE(LowerAscii(temp).find("arvelo"), std::string::npos);
    EXPECT_TRUE(FolderExists(temp));
    EXPECT_FALSE(SettingExists(kSettingsKey, "Temp Folder"));
}

struct FolderCase {
    const char *given, *stored;
};

TEST_F(App, FolderSetters)
{
    auto app = MakeApp();
    const FolderCase temps[] = {
        {"/data/Work", "/data/Work/Arvelo/"},
        {"/data/arvelo-tmp", "/data/arvelo-tmp/"},
        {"/data/ARVELO/", "/data/ARVELO/"},
    };
    for (const FolderCase &c : temps) {
        app->SetTempFolder(c.given);
        EXPECT_EQ(ReadSetting(kSettingsKey, "Temp Folder", ""), c.stored) << c.given;
    }
    app->SetTempFolder("");
    EXPECT_EQ(ReadSetting(kSettingsKey, "Temp Folder", ""), "/data/ARVELO/");

    app->SetDownloadsFolder(Home() + "zips");
    EXPECT_EQ(app->DownloadsFolder(), Home() + "zips/");
    EXPECT_TRUE(FolderExists(Home() + "zips/"));
    app->SetDownloadsFolder("");
    EXPECT_EQ(ReadSetting(kSettingsKey, "Downloads Folder", ""), Home() + "Downloads/");
    app->SetLocalIntranetFolder(Home() + "sites");
    EXPECT_EQ(app->LocalIntranetFolder(), Home() + "sites/");
    app->SetLocalIntranetFolder("");
    EXPECT_EQ(app->LocalIntranetFolder(), Home() + "My Intranet/");
}

TEST_F(App, SettersWriteAtOnce)
{
    {
        auto app = MakeApp();
        app->SetConnections(4);
        app->SetPriority(8);
        app->SetBeepOnCompletion(true);
        app->SetZipPropertiesFirst(true);
        app->SetUseProxy(true);
        app->SetProxyAddress("proxy.lan");
        app->SetProxyPort("3128");
        app->SetProxyAuthorization("me:secret");
        app->SetSkin("Blue");
        app->SetNoAds(true);
        app->SetMaxURLHistory(30);
        app->SetMaxFileHistory(5);
        app->SetSaveMode(0);
        app->SetZipLast(true);
        app->SetLastCategory("Work");
    }
    auto app = MakeApp();
    EXPECT_EQ(app->Connections(), 4);
    EXPECT_EQ(app->Priority(), 8);
    EXPECT_TRUE(app->BeepOnCompletion());
    EXPECT_TRUE(app->ZipPropertiesFirst());
    EXPECT_TRUE(app->UseProxy());
    EXPECT_EQ(app->ProxyAddress(), "proxy.lan");
    EXPECT_EQ(app->ProxyPort(), "3128");
    EXPECT_EQ(app->ProxyAuthorization(), "me:secret");
    EXPECT_EQ(app->Skin(), "Blue");
    EXPECT_TRUE(app->NoAds());
    EXPECT_EQ(app->MaxURLHistory(), 30);
    EXPECT_EQ(app->MaxFileHistory(), 5);
    EXPECT_EQ(app->SaveMode(), 0);
    EXPECT_TRUE(app->ZipLast());
    EXPECT_EQ(app->LastCategory(), "Work");
    EXPECT_EQ(app->SkinsFolder(), Home() + "Skins/Blue/");
    EXPECT_EQ(ReadSetting(kSettingsKey, "Save Mode", int32_t(-1)), 0);
    app->SetSaveMode(5);
    EXPECT_EQ(ReadSetting(kSettingsKey, "Save Mode", int32_t(-1)), 1);
}

TEST_F(App, EmptyLastCategoryIsGeneralInMemoryOnly)
{
    auto app = MakeApp();
    app->SetLastCategory("");
    EXPECT_EQ(app->LastCategory(), "General");
    EXPECT_EQ(ReadSetting(kSettingsKey, "Last Category", "x"), "");
}

TEST_F(App, BrowserSetterTakesOnlyExistingPrograms)
{
    auto app = MakeApp();
    WriteFile("bin/mybrowser", "#!/bin/sh\n");
    app->SetBrowser(Path("bin/mybrowser"));
    EXPECT_EQ(app->Browser(), Path("bin/mybrowser"));
    app->SetBrowser(Path("bin/missing"));
    EXPECT_EQ(app->Browser(), "/usr/bin/default-browser");
}

TEST_F(App, PrioritySetterRestartsTheBalance)
{
    auto app = MakeApp();
    TAVTask task;
    task.pagesDispatched = 7;
    task.otherFilesDispatched = 3;
    app->SetCurrentTask(&task);
    app->SetPriority(2);
    EXPECT_EQ(task.pagesDispatched, 0);
    EXPECT_EQ(task.otherFilesDispatched, 0);
}

struct AgentCase {
    const char *stored, *effective;
};

TEST_F(App, UserAgentNames)
{
    const AgentCase cases[] = {
        {"Arvelo", "Arvelo/2.61.125 (https://www.arvelo.net/)"},
        {"", "Arvelo/2.61.125 (https://www.arvelo.net/)"},
        {"Internet Explorer 4.01", "Mozilla/4.0 (compatible; MSIE 4.01; Windows 95)"},
        {"Netscape Navigator 4.05", "Mozilla/4.05 [en] (Win95; I)"},
        {"Anonymous", ""},
        {"MyBot/1.0", "MyBot/1.0"},
    };
    for (const AgentCase &c : cases) {
        EXPECT_EQ(EffectiveUserAgent(c.stored), c.effective);
        WriteSetting(kSettingsKey, "User Agent", c.stored);
        EXPECT_EQ(MakeApp()->UserAgent(), c.effective) << c.stored;
    }
    auto app = MakeApp();
    app->SetUserAgent("Anonymous");
    EXPECT_EQ(app->UserAgent(), "");
    EXPECT_EQ(app->UserAgentSetting(), "Anonymous");
}

TEST_F(App, PaletteFollowsTheColourCount)
{
    EXPECT_EQ(MakeApp(1 << 24)->Palette().colour[0], 0x00663300u);
    EXPECT_EQ(MakeApp(257)->Palette().colour[3], 0x00BDCFCEu);
    TPalette few = PaletteForColours(256);
    EXPECT_EQ(few.colour[0], 0x005f4000u);
    EXPECT_EQ(few.colour[1], 0x00804000u);
    EXPECT_EQ(few.colour[2], 0x00A16000u);
    EXPECT_EQ(few.colour[3], 0x00C0DCC0u);
}

TEST_F(App, PreferenceOfTheWrongTypeFallsBackAndIsReportedOnce)
{
    WriteSetting(kSettingsKey, "Connections", "many");
    WriteSetting(kSettingsKey, "Skin", int32_t(1));
    auto app = MakeApp();
    EXPECT_EQ(app->Connections(), 10);
    EXPECT_EQ(app->Skin(), "Default");
    ASSERT_EQ(notifier.errors.size(), 1u);
    EXPECT_EQ(notifier.errors[0], "Invalid data type for 'Connections'");
}

TEST_F(App, FirstRunImportsFileTypesAndMovesOldTasks)
{
    WriteFile("Tasks/old.avt", "[Task]\r\n");
    WriteFile("Tasks/old.dwn", "state");
    WriteFile("Tasks/kept.avt", "outer");
    WriteFile("Tasks/General/kept.avt", "inner");
    auto app = MakeApp();
    app->RunFirstRun();
    EXPECT_TRUE(notifier.errors.empty()) << notifier.errors[0];
    EXPECT_EQ(ReadSetting(kRootKey, "Version", ""), "2.61");
    EXPECT_EQ(ReadSetting(kFileTypesKey, "Images", "").rfind(".gif;.jpg;.jpeg;", 0), 0u);
    EXPECT_NE(ReadSetting(kFileTypesKey, "HTML", "").find(".php;"), std::string::npos);
    EXPECT_TRUE(FolderExists(Home() + "Downloads/"));
    EXPECT_TRUE(FolderExists(Home() + "Skins/"));
    EXPECT_EQ(ReadFile("Tasks/General/old.avt"), "[Task]\r\n");
    EXPECT_EQ(ReadFile("Tasks/General/old.dwn"), "state");
    EXPECT_FALSE(FileExists(Path("Tasks/old.avt")));
    EXPECT_EQ(ReadFile("Tasks/kept.avt"), "outer");
    EXPECT_EQ(ReadFile("Tasks/General/kept.avt"), "inner");
}

TEST_F(App, FirstRunRunsOncePerVersionWhileSkinsExist)
{
    auto app = MakeApp();
    app->RunFirstRun();
    WriteSetting(kFileTypesKey, "HTML", ".htm;");
    app->RunFirstRun();
    EXPECT_EQ(ReadSetting(kFileTypesKey, "HTML", ""), ".htm;");
    // Without the skins folder it runs again and imports the file types again.
    std::filesystem::remove_all(Home() + "Skins");
    app->RunFirstRun();
    EXPECT_NE(ReadSetting(kFileTypesKey, "HTML", ""), ".htm;");
}

TEST_F(App, FirstRunWithoutTheShippedFileTypesSaysSo)
{
    ::setenv("ARVELO_SHARE", Path("nowhere").c_str(), 1);
    MakeApp()->RunFirstRun();
    ::unsetenv("ARVELO_SHARE");
    ASSERT_EQ(notifier.errors.size(), 1u);
    EXPECT_NE(notifier.errors[0].find("FTypes.reg"), std::string::npos);
}

} // namespace
} // namespace arvelo
