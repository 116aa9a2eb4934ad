#include "core/App.h"

#include "core/AppPaths.h"
#include "core/Desktop.h"
#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "core/Settings.h"
#include "core/Version.h"
#include "model/ActiveTaskList.h"
#include "model/Task.h"

#include <QStandardPaths>
#include <QString>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace arvelo {
namespace {

std::atomic<TAVApp *> instance{nullptr};

} // namespace

TPalette PaletteForColours(int64_t displayColours)
{
    if (displayColours > 256)
        return {{0x00663300, 0x00996633, 0x009C6531, 0x00BDCFCE}};
    return {{0x005f4000, 0x00804000, 0x00A16000, 0x00C0DCC0}};
}

std::string EffectiveUserAgent(const std::string &stored)
{
    if (stored == "Arvelo" || stored.empty())
        return std::string(kProductName) + "/" + kFullVersion + " (" + kHomePage + ")";
    if (stored == "Internet Explorer 4.01")
        return "Mozilla/4.0 (compatible; MSIE 4.01; Windows 95)";
    if (stored == "Netscape Navigator 4.05")
        return "Mozilla/4.05 [en] (Win95; I)";
    if (stored == "Anonymous")
        return {};
    return stored;
}

std::string TDefaultBrowserFinder::DefaultBrowser() const
{
    // The desktop's browser; without one, xdg-open hands an address to
    // whatever the desktop would open it with.
    std::string program = DefaultBrowserProgram();
    return !program.empty() ? program : QStandardPaths::findExecutable(QStringLiteral("xdg-open")).toStdString();
}

template <typename T>
T TAVApp::ReadPreference(const char *name, T fallback)
{
    try {
        return ReadSetting(kSettingsKey, name, fallback);
    } catch (const ESettingError &e) {
        // A hand-edited value of the wrong type falls back to the default; say so once.
        if (!typeErrorReported_)
            Notifier().Error(e.what());
        typeErrorReported_ = true;
        return fallback;
    }
}

TAVApp::TAVApp(int64_t displayColours, std::unique_ptr<TDefaultBrowserFinder> finder)
    : browserFinder_(finder ? std::move(finder) : std::make_unique<TDefaultBrowserFinder>())
{
    programFolder_ = DataFolder();
    tasksFolder_ = programFolder_ + "Tasks/";
    profilesFolder_ = programFolder_ + "Profiles/";

    beepOnCompletion_ = ReadPreference("Beep On Completion", false);
    zipPropertiesFirst_ = ReadPreference("Zip Properties First", false);
    connections_ = ReadPreference("Connections", int32_t(10));
    minimumRate_ = std::max(ReadPreference("Minimum Rate", int32_t(1024)), int32_t(0));
    priority_ = ReadPreference("Priority", int32_t(5));
    useProxy_ = ReadPreference("Use Proxy", false);
    acceptInvalidCertificates_ = ReadPreference("Accept Invalid Certificates", false);
    proxyAddress_ = ReadPreference("Proxy Address", std::string());
    proxyPort_ = ReadPreference("Proxy Port", std::string());
    proxyAuthorization_ = ReadPreference("Proxy Authorization", std::string());
    skin_ = ReadPreference("Skin", std::string("Default"));
    // Arvelo has no banner server: without one the banner is a broken frame.
    noAds_ = ReadPreference("No Ads", true);
    maxURLHistory_ = ReadPreference("Max URL History", int32_t(20));
    maxFileHistory_ = ReadPreference("Max File History", int32_t(10));
    lastCategory_ = ReadPreference("Last Category", std::string(kDefaultCategory));

    activeTasks_ = std::make_unique<TActiveTaskList>(tasksFolder_ + "ActiveTasks.lst");
    userAgent_ = EffectiveUserAgent(UserAgentSetting());
    browser_ = ReadPreference("Browser", std::string());
    if (browser_.empty())
        SetBrowser(browserFinder_->DefaultBrowser());
    palette_ = PaletteForColours(displayColours);

    TAVApp *expected = nullptr;
    instance.compare_exchange_strong(expected, this);
}

TAVApp::~TAVApp()
{
    TAVApp *expected = this;
    instance.compare_exchange_strong(expected, nullptr);
}

TAVApp *TAVApp::Instance() { return instance.load(); }

std::string TAVApp::FolderSetting(const char *name, const std::string &fallback, bool storeFallback)
{
    std::string folder = ReadPreference(name, std::string());
    if (folder.empty()) {
        folder = fallback;
        if (storeFallback)
            WriteSetting(kSettingsKey, name, folder);
    }
    folder = IncludeTrailingSlash(folder);
    if (!FolderExists(folder)) {
        try {
            ForceFolders(folder);
        } catch (const EFileError &e) {
            Notifier().Error(e.what());
        }
    }
    return folder;
}

std::string TAVApp::DownloadsFolder()
{
    return FolderSetting("Downloads Folder", programFolder_ + "Downloads/", true);
}

void TAVApp::SetDownloadsFolder(const std::string &path)
{
    WriteSetting(kSettingsKey, "Downloads Folder",
                 path.empty() ? programFolder_ + "Downloads/" : IncludeTrailingSlash(path));
}

std::string TAVApp::LocalIntranetFolder()
{
    return FolderSetting("Local Intranet Folder", programFolder_ + "My Intranet/", true);
}

void TAVApp::SetLocalIntranetFolder(const std::string &path)
{
    WriteSetting(kSettingsKey, "Local Intranet Folder",
                 path.empty() ? programFolder_ + "My Intranet/" : IncludeTrailingSlash(path));
}

std::string TAVApp::TempFolder()
{
    // The default lies in the system's temporary folder; it is per user, so
    // that one user never works in a folder another user made.
    std::string fallback = SystemTempFolder() + "Arvelo-" + std::to_string(::getuid()) + "/";
    std::string folder = FolderSetting("Temp Folder", fallback, false);
    if (folder == fallback)
        ::chmod(folder.c_str(), 0700);
    return folder;
}

void TAVApp::SetTempFolder(const std::string &path)
{
    if (path.empty())
        return;
    std::string folder = IncludeTrailingSlash(path);
    if (LowerAscii(folder).find("arvelo") == std::string::npos)
        folder += "Arvelo/";
    WriteSetting(kSettingsKey, "Temp Folder", folder);
}

std::string TAVApp::SkinsFolder() const { return programFolder_ + "Skins/" + skin_ + "/"; }

void TAVApp::SetBrowser(const std::string &program)
{
    browser_ = FileExists(program) ? program : browserFinder_->DefaultBrowser();
    WriteSetting(kSettingsKey, "Browser", browser_);
}

void TAVApp::SetLastCategory(const std::string &category)
{
    lastCategory_ = category.empty() ? std::string(kDefaultCategory) : category;
    WriteSetting(kSettingsKey, "Last Category", category);
}

int TAVApp::SaveMode() const
{
    // A fresh user starts in Personal Intranet mode: a folder tree opens in
    // any browser without further steps.
    try {
        return ReadSetting(kSettingsKey, "Save Mode", int32_t(1)) != 0 ? 1 : 0;
    } catch (const ESettingError &) {
        return 1;
    }
}

void TAVApp::SetSaveMode(int mode) { WriteSetting(kSettingsKey, "Save Mode", int32_t(mode != 0 ? 1 : 0)); }

void TAVApp::SetMinimumRate(int32_t bytesPerSecond)
{
    minimumRate_ = std::max(bytesPerSecond, int32_t(0));
    WriteSetting(kSettingsKey, "Minimum Rate", minimumRate_);
}

void TAVApp::SetBeepOnCompletion(bool on)
{
    beepOnCompletion_ = on;
    WriteSetting(kSettingsKey, "Beep On Completion", on);
}

void TAVApp::SetZipPropertiesFirst(bool on)
{
    zipPropertiesFirst_ = on;
    WriteSetting(kSettingsKey, "Zip Properties First", on);
}

void TAVApp::SetConnections(int32_t count)
{
    connections_ = count;
    WriteSetting(kSettingsKey, "Connections", count);
}

void TAVApp::SetPriority(int32_t priority)
{
    priority_ = priority;
    WriteSetting(kSettingsKey, "Priority", priority);
    if (currentTask_) {
        currentTask_->pagesDispatched = 0;
        currentTask_->otherFilesDispatched = 0;
    }
}

void TAVApp::SetUseProxy(bool on)
{
    useProxy_ = on;
    WriteSetting(kSettingsKey, "Use Proxy", on);
}

void TAVApp::SetAcceptInvalidCertificates(bool on)
{
    acceptInvalidCertificates_ = on;
    WriteSetting(kSettingsKey, "Accept Invalid Certificates", on);
}

void TAVApp::SetProxyAddress(const std::string &address)
{
    proxyAddress_ = address;
    WriteSetting(kSettingsKey, "Proxy Address", address);
}

void TAVApp::SetProxyPort(const std::string &port)
{
    proxyPort_ = port;
    WriteSetting(kSettingsKey, "Proxy Port", port);
}

void TAVApp::SetProxyAuthorization(const std::string &credentials)
{
    proxyAuthorization_ = credentials;
    WriteSetting(kSettingsKey, "Proxy Authorization", credentials);
}

void TAVApp::SetSkin(const std::string &skin)
{
    skin_ = skin;
    WriteSetting(kSettingsKey, "Skin", skin);
}

void TAVApp::SetNoAds(bool on)
{
    noAds_ = on;
    WriteSetting(kSettingsKey, "No Ads", on);
}

void TAVApp::SetMaxURLHistory(int32_t count)
{
    maxURLHistory_ = count;
    WriteSetting(kSettingsKey, "Max URL History", count);
}

void TAVApp::SetMaxFileHistory(int32_t count)
{
    maxFileHistory_ = count;
    WriteSetting(kSettingsKey, "Max File History", count);
}

bool TAVApp::ZipLast() const
{
    try {
        return ReadSetting(kSettingsKey, "Zip Last", false);
    } catch (const ESettingError &) {
        return false;
    }
}

void TAVApp::SetZipLast(bool on) { WriteSetting(kSettingsKey, "Zip Last", on); }

std::string TAVApp::UserAgentSetting() const
{
    try {
        return ReadSetting(kSettingsKey, "User Agent", std::string());
    } catch (const ESettingError &) {
        return {};
    }
}

void TAVApp::SetUserAgent(const std::string &nameOrText, bool store)
{
    userAgent_ = EffectiveUserAgent(nameOrText);
    if (store)
        WriteSetting(kSettingsKey, "User Agent", nameOrText);
}

bool TAVApp::RunFirstRun()
{
    std::string version;
    try {
        version = ReadSetting(kRootKey, "Version", std::string());
    } catch (const ESettingError &) {
    }
    if (version == kVersion && FolderExists(programFolder_ + "Skins/"))
        return false;
    WriteSetting(kRootKey, "Version", kVersion);

    std::string fileTypes = ShippedDataFolder() + "FTypes.reg";
    bool readable = false;
    TRegParseReport report = Settings().ImportFile(fileTypes, &readable);
    if (!readable)
        Notifier().Error("Unable to import the default file types from \"" + fileTypes + "\".");
    else if (report.Damaged())
        Notifier().Error(report.Describe(fileTypes));

    DownloadsFolder();
    MoveOldLayoutTasks();
    InstallShippedSkins();
    return true;
}

void TAVApp::MoveOldLayoutTasks()
{
    std::string general = tasksFolder_ + kDefaultCategory + "/";
    try {
        ForceFolders(general);
    } catch (const EFileError &e) {
        Notifier().Error(e.what());
        return;
    }
    for (const char *mask : {"*.avt", "*.dwn"})
        for (const std::string &name : FolderFiles(tasksFolder_, mask))
            RenameNoReplace(tasksFolder_ + name, general + name);
}

void TAVApp::InstallShippedSkins()
{
    namespace fs = std::filesystem;
    std::error_code error;
    std::string target = programFolder_ + "Skins/";
    fs::create_directories(target, error);
    std::string shipped = ShippedDataFolder() + "Skins/";
    if (FolderExists(shipped))
        fs::copy(shipped, target, fs::copy_options::recursive | fs::copy_options::skip_existing, error);
}

} // namespace arvelo
