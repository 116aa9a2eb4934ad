#include "shell/Preferences.h"

#include "core/App.h"
#include "core/FileUtils.h"
#include "core/Settings.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

class Preferences : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        app = std::make_unique<TAVApp>();
    }
    void TearDown() override
    {
        app.reset();
        TestHome::TearDown();
    }
    std::unique_ptr<TAVApp> app;
};

TEST_F(Preferences, WhatTheDialogStoresIsWhatTheProgramReads)
{
    TPreferencesForm form = LoadPreferences(*app);
    EXPECT_EQ(form.maxURLHistory, "20");
    EXPECT_EQ(form.userAgent, "Arvelo");
    form.useProxy = true;
    form.proxyAddress = "http://proxy.example";
    form.proxyPort = " 3128 ";
    form.proxyUserName = "me";
    form.proxyPassword = "";
    form.maxURLHistory = "x";
    form.maxFileHistory = "7 files";
    form.userAgent = "Netscape Navigator 4.05";
    form.browser = Path("no/such/browser");
    form.lastZipFolder = true;
    form.zipFolder = "/ignored/";
    form.unzipFolder = "/unzip/here/";
    ApplyPreferences(*app, form);
    EXPECT_TRUE(app->UseProxy());
    EXPECT_EQ(app->ProxyAddress(), "proxy.example");
    EXPECT_EQ(app->ProxyPort(), "3128");
    EXPECT_EQ(app->ProxyAuthorization(), "") << "a user without a password stores none";
    EXPECT_EQ(app->MaxURLHistory(), 20);
    EXPECT_EQ(app->MaxFileHistory(), 10);
    EXPECT_EQ(app->UserAgent(), "Mozilla/4.05 [en] (Win95; I)");
    EXPECT_NE(app->Browser(), Path("no/such/browser")) << "a missing program gives way to the default";
    EXPECT_FALSE(SettingExists(kSettingsKey, "Zip Folder"));
    EXPECT_EQ(ReadSetting(kSettingsKey, "Unzip Folder", ""), "/unzip/here/");

    form.proxyPassword = "secret";
    ApplyPreferences(*app, form);
    EXPECT_EQ(app->ProxyAuthorization(), "me:secret");
    const TPreferencesForm again = LoadPreferences(*app);
    EXPECT_EQ(again.proxyUserName, "me");
    EXPECT_EQ(again.proxyPassword, "secret");
    EXPECT_EQ(again.userAgent, "Netscape Navigator 4.05");
}

TEST_F(Preferences, ADetectedProxyIsSplitAtItsColon)
{
    std::string address, port;
    SplitDetectedProxy("proxy.example:8080", address, port);
    EXPECT_EQ(address, "proxy.example");
    EXPECT_EQ(port, "8080");
    SplitDetectedProxy("8080", address, port);
    EXPECT_EQ(address, "");
    EXPECT_EQ(port, "8080");
    EXPECT_EQ(ProxyQuestion("p:1"),
              "Arvelo has determined that your desktop uses the following proxy server to access the Internet\np:1\n\n"
              "Arvelo will most likely also need to use this proxy server to access the Internet\n"
              "Do you want to set this proxy server for Arvelo also?");
}

} // namespace
} // namespace arvelo
