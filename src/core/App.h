#pragma once

#include "core/TextUtils.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace arvelo {

class TAVTask;
class TActiveTaskList;

// Colours as the settings write them, $00BBGGRR.
struct TPalette {
    uint32_t colour[4];
};
// The four colours for a display that shows the given number of colours.
TPalette PaletteForColours(int64_t displayColours);
// What a display without a known depth counts as.
inline constexpr int64_t kManyColours = int64_t(1) << 24;

// The header text sent for a stored "User Agent" value (a name or a literal text).
std::string EffectiveUserAgent(const std::string &stored);

// Finds the desktop's default web browser program.
class TDefaultBrowserFinder {
public:
    virtual ~TDefaultBrowserFinder() = default;
    virtual std::string DefaultBrowser() const;
};

// The one application object: every preference the engine reads, the
// program's folders, the list of active tasks and the task the main window
// shows. Setters store the value and write it to the settings at once.
// Everything runs on the window thread, except the reads of Priority by the
// dispatcher.
class TAVApp {
public:
    explicit TAVApp(int64_t displayColours = kManyColours,
                    std::unique_ptr<TDefaultBrowserFinder> finder = nullptr);
    ~TAVApp();
    TAVApp(const TAVApp &) = delete;
    TAVApp &operator=(const TAVApp &) = delete;

    // The one instance, or nullptr outside its life.
    static TAVApp *Instance();

    // Folders, each ending in "/"; the getters create the folder when missing.
    const std::string &ProgramFolder() const { return programFolder_; }
    const std::string &TasksFolder() const { return tasksFolder_; }
    const std::string &ProfilesFolder() const { return profilesFolder_; }
    std::string DownloadsFolder();
    void SetDownloadsFolder(const std::string &path);
    std::string LocalIntranetFolder();
    void SetLocalIntranetFolder(const std::string &path);
    std::string TempFolder();
    void SetTempFolder(const std::string &path);
    std::string SkinsFolder() const;

    const std::string &Browser() const { return browser_; }
    void SetBrowser(const std::string &program);
    const std::string &LastCategory() const { return lastCategory_; }
    void SetLastCategory(const std::string &category);
    int SaveMode() const;
    void SetSaveMode(int mode);
    bool BeepOnCompletion() const { return beepOnCompletion_; }
    void SetBeepOnCompletion(bool on);
    bool ZipPropertiesFirst() const { return zipPropertiesFirst_; }
    void SetZipPropertiesFirst(bool on);
    int32_t Connections() const { return connections_; }
    void SetConnections(int32_t count);
    // Bytes a second below which a transfer is given up (over a minute), 0 for none.
    int32_t MinimumRate() const { return minimumRate_; }
    void SetMinimumRate(int32_t bytesPerSecond);
    int32_t Priority() const { return priority_.load(std::memory_order_relaxed); }
    void SetPriority(int32_t priority);
    bool UseProxy() const { return useProxy_; }
    void SetUseProxy(bool on);
    const std::string &ProxyAddress() const { return proxyAddress_; }
    void SetProxyAddress(const std::string &address);
    const std::string &ProxyPort() const { return proxyPort_; }
    void SetProxyPort(const std::string &port);
    const std::string &ProxyAuthorization() const { return proxyAuthorization_; }
    void SetProxyAuthorization(const std::string &credentials);
    // Takes https servers' certificates without checking them.
    bool AcceptInvalidCertificates() const { return acceptInvalidCertificates_; }
    void SetAcceptInvalidCertificates(bool on);
    const std::string &Skin() const { return skin_; }
    void SetSkin(const std::string &skin);
    bool NoAds() const { return noAds_; }
    void SetNoAds(bool on);
    int32_t MaxURLHistory() const { return maxURLHistory_; }
    void SetMaxURLHistory(int32_t count);
    int32_t MaxFileHistory() const { return maxFileHistory_; }
    void SetMaxFileHistory(int32_t count);
    bool ZipLast() const;
    void SetZipLast(bool on);
    int32_t AutosaveThreshold() const { return 10; }
    // The stored choice and the text that requests send.
    std::string UserAgentSetting() const;
    const std::string &UserAgent() const { return userAgent_; }
    // With store off, for this process only.
    void SetUserAgent(const std::string &nameOrText, bool store = true);
    const TPalette &Palette() const { return palette_; }

    TActiveTaskList &ActiveTasks() { return *activeTasks_; }
    TAVTask *CurrentTask() const { return currentTask_; }
    void SetCurrentTask(TAVTask *task) { currentTask_ = task; }

    // The routine of a first start or a new version: stores the version,
    // imports the shipped file types, creates the Downloads folder, installs
    // the shipped skins and moves task files of the old flat layout into
    // "Tasks/General/". Does nothing when this version has run it already.
    // True when this start was the version's first.
    bool RunFirstRun();

private:
    template <typename T>
    T ReadPreference(const char *name, T fallback);
    std::string FolderSetting(const char *name, const std::string &fallback, bool storeFallback);
    void MoveOldLayoutTasks();
    void InstallShippedSkins();

    std::unique_ptr<TDefaultBrowserFinder> browserFinder_;
    std::string browser_;
    TAVTask *currentTask_ = nullptr;
    std::unique_ptr<TActiveTaskList> activeTasks_;
    std::string programFolder_, tasksFolder_, profilesFolder_;
    std::string lastCategory_;
    bool beepOnCompletion_ = false, zipPropertiesFirst_ = false;
    int32_t minimumRate_ = 1024;
    int32_t connections_ = 10;
    std::atomic<int32_t> priority_{5};
    bool useProxy_ = false;
    bool acceptInvalidCertificates_ = false;
    std::string proxyAddress_, proxyPort_, proxyAuthorization_;
    std::string skin_;
    bool noAds_ = false;
    int32_t maxURLHistory_ = 20, maxFileHistory_ = 10;
    std::string userAgent_;
    TPalette palette_{};
    bool typeErrorReported_ = false;
};

} // namespace arvelo
