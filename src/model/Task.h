#pragma once

#include "core/DateTime.h"
#include "core/TextUtils.h"
#include "model/ItemList.h"
#include "model/Profile.h"
#include "model/ZipQueue.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace arvelo {

class TRobotsCache;

enum TTaskStatus : int32_t {
    tsUnscheduled = 0,
    tsScheduled = 1,
    tsDownloading = 2,
    tsStopped = 3,
    tsIncomplete = 4,
    tsComplete = 5,
    tsZipped = 6,
    tsTaskComplete = 7,
    tsDeleted = 8,
};

enum TRunMode : uint8_t { rmRestart = 0, rmResume = 1, rmRenovix = 2, rmSalvix = 3, rmMap = 4 };

inline constexpr const char *kDefaultCategory = "General";
inline constexpr const char *kTaskSection = "Task";

// One website copy: its start address, destination, rules, schedule and the
// counters of its last run, stored in "<Tasks>/<category>/<name>.avt".
// Created and changed on the window thread; the status and the run counters
// are also written by the dispatcher, so they are atomic.
class TAVTask {
public:
    TAVTask();
    ~TAVTask();
    TAVTask(const TAVTask &) = delete;
    TAVTask &operator=(const TAVTask &) = delete;

    TAVProfile profile;
    std::string taskName;
    std::string taskFile;
    std::string category;
    std::string url;
    std::string startPageTitle;
    // Where the start address led when it redirected to another host: that
    // host is the start site too.
    std::string startRedirect;
    // Why the run cannot write into its destination at all (a full or
    // read-only disk, a file where its folder should be); set by the first
    // write that found out, it ends the run. Window thread only.
    std::string destinationFailure;
    void DestinationFailed(const std::string &reason);
    std::string server;
    bool canUpdate = false;
    std::string destination;
    bool intranetMode = false;
    std::atomic<int32_t> status{tsUnscheduled};
    std::string schedule;
    std::string userAgentInUse;
    std::string userName, password;
    std::string comment;
    uint8_t runMode = rmRestart;
    bool zipLast = false;

    // 64 bits: a copy of many gigabytes, or of millions of files, still counts right.
    std::atomic<int64_t> pagesDispatched{0}, otherFilesDispatched{0};
    std::atomic<int64_t> pagesSaved{0}, resourcesSaved{0}, pageErrors{0}, resourceErrors{0};
    std::atomic<int64_t> totalPages{0}, totalResources{0}, totalBytes{0};
    TDateTime lastRun, nextRun, runStart, elapsedTime;

    // Fired after every save.
    std::function<void(TAVTask &)> OnSave;
    // Fired with no text when counters or item states change, and with a text,
    // a position and a total while a long operation runs.
    std::function<void(const std::string &text, int position, int total)> OnChange;
    // Fired when an item is added or published, for the view that lists them.
    std::function<void(TAVQItem &item)> OnItemChanged;

    // Saved files on their way into the archive (zip mode).
    TZipQueue zipQueue;

    // The robots.txt rules of the run's servers, when its profile obeys
    // them; made at the start of each run, read by its fetches.
    std::shared_ptr<TRobotsCache> robots;

    // The download items; declared last so that they go first.
    TItemList items{*this};

    // Reads the section "Task" and then the profile from taskFile.
    void Load();
    // Writes taskFile (its folder created when missing) and brings the active
    // list in line with the status. Throws EFileError.
    void Save();
    // Renames the task's files; on failure shows why and changes nothing.
    bool Rename(const std::string &newName);
    void Reset();
    void ClearItems();
    // The Destination in intranet mode, else the Temp folder; empty when
    // there is none, so that nothing is written relative to the working folder.
    std::string WorkFolder() const;
    const std::string &UserAgentInUse();
    // The ".dwn" file beside the task file.
    std::string StateFile() const;

    static std::string StatusText(int32_t code);

    // The unique name of a new task in a category folder, made from a name
    // derived from its address.
    static std::string UniqueTaskName(const std::string &categoryFolder, const std::string &name);
    // The site's short name of an address, as a file name.
    static std::string SiteFileName(const std::string &url);
    // The proposed name of a new task for an address: its site's short name,
    // made unique in the category folder.
    static std::string DefaultTaskName(const std::string &categoryFolder, const std::string &url);

private:
    void UpdateActiveList();
    void Changed(const std::string &text = {}, int position = 0, int total = 0);
};

// Whether a task or category name can name a file in its folder: not empty,
// not "." or "..", no separator or other character systems refuse.
bool ValidTaskName(const std::string &name);
// What a refused name is told.
std::string ForbiddenNameText();

// The message of a rename that failed.
std::string RenameFailureText(const std::string &newPath, bool exists);

} // namespace arvelo
