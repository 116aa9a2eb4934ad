#include "shell/Preferences.h"

#include "core/App.h"
#include "core/Desktop.h"
#include "core/Settings.h"
#include "net/Proxy.h"

#include <algorithm>
#include <charconv>

namespace arvelo {
namespace {

int32_t CounterOf(const std::string &text, int32_t fallback)
{
    const std::string trimmed = Trim(text);
    int32_t value = 0;
    auto [end, error] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    if (error != std::errc() || end != trimmed.data() + trimmed.size() || trimmed.empty())
        return fallback;
    return std::clamp(value, int32_t(0), int32_t(100));
}

} // namespace

StringList UserAgentNames() { return {"Arvelo", "Internet Explorer 4.01", "Netscape Navigator 4.05", "Anonymous"}; }

TPreferencesForm LoadPreferences(TAVApp &app)
{
    TPreferencesForm form;
    form.zipLast = ReadSetting(kSettingsKey, "Zip Last", false);
    form.zipPropertiesFirst = ReadSetting(kSettingsKey, "Zip Properties First", false);
    form.lastZipFolder = ReadSetting(kSettingsKey, "Last Zip Folder", false);
    form.lastUnzipFolder = ReadSetting(kSettingsKey, "Last Unzip Folder", false);
    form.beepOnCompletion = app.BeepOnCompletion();
    form.noAds = app.NoAds();
    form.tempFolder = app.TempFolder();
    form.zipFolder = ReadSetting(kSettingsKey, "Zip Folder", "");
    form.unzipFolder = ReadSetting(kSettingsKey, "Unzip Folder", "");
    form.downloadsFolder = app.DownloadsFolder();
    form.intranetFolder = app.LocalIntranetFolder();
    form.useProxy = app.UseProxy();
    form.proxyAddress = app.ProxyAddress();
    form.proxyPort = app.ProxyPort();
    const std::string &authorization = app.ProxyAuthorization();
    if (const size_t colon = authorization.find(':'); colon != std::string::npos) {
        form.proxyUserName = authorization.substr(0, colon);
        form.proxyPassword = authorization.substr(colon + 1);
    } else {
        form.proxyUserName = authorization;
    }
    form.userAgent = ReadSetting(kSettingsKey, "User Agent", "Arvelo");
    form.maxURLHistory = std::to_string(app.MaxURLHistory());
    form.maxFileHistory = std::to_string(app.MaxFileHistory());
    form.browsers = LoadSettingList(kBrowsersKey);
    if (form.browsers.empty()) {
        const std::string defaultBrowser = DefaultBrowserProgram();
        if (std::string other = SecondBrowserProgram(defaultBrowser); !other.empty())
            form.browsers.push_back(other);
        if (!defaultBrowser.empty() &&
            std::find(form.browsers.begin(), form.browsers.end(), defaultBrowser) == form.browsers.end())
            form.browsers.push_back(defaultBrowser);
    }
    form.browser = app.Browser();
    return form;
}

void ApplyPreferences(TAVApp &app, const TPreferencesForm &form)
{
    app.SetZipLast(form.zipLast);
    app.SetZipPropertiesFirst(form.zipPropertiesFirst);
    WriteSetting(kSettingsKey, "Last Zip Folder", form.lastZipFolder);
    WriteSetting(kSettingsKey, "Last Unzip Folder", form.lastUnzipFolder);
    if (!form.lastZipFolder)
        WriteSetting(kSettingsKey, "Zip Folder", form.zipFolder);
    if (!form.lastUnzipFolder)
        WriteSetting(kSettingsKey, "Unzip Folder", form.unzipFolder);
    app.SetNoAds(form.noAds);
    app.SetTempFolder(form.tempFolder);
    app.SetDownloadsFolder(form.downloadsFolder);
    app.SetLocalIntranetFolder(form.intranetFolder);
    app.SetBeepOnCompletion(form.beepOnCompletion);
    StoreProxyFields(app, form.useProxy, form.proxyAddress, form.proxyPort, form.proxyUserName, form.proxyPassword);
    app.SetUserAgent(form.userAgent);
    app.SetMaxURLHistory(CounterOf(form.maxURLHistory, 20));
    app.SetMaxFileHistory(CounterOf(form.maxFileHistory, 10));
    app.SetBrowser(form.browser);
    StringList browsers = form.browsers;
    if (browsers.size() > static_cast<size_t>(kMaxBrowsers))
        browsers.resize(kMaxBrowsers);
    SaveSettingList(kBrowsersKey, browsers);
}

std::string ProxyQuestion(const std::string &proxy)
{
    return "Arvelo has determined that your desktop uses the following proxy server to access the Internet\n" + proxy +
           "\n\nArvelo will most likely also need to use this proxy server to access the Internet\n"
           "Do you want to set this proxy server for Arvelo also?";
}

void SplitDetectedProxy(const std::string &proxy, std::string &address, std::string &port)
{
    const size_t colon = proxy.find(':');
    address = colon == std::string::npos ? std::string() : proxy.substr(0, colon);
    port = colon == std::string::npos ? proxy : proxy.substr(colon + 1);
}

} // namespace arvelo
