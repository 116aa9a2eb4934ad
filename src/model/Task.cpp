#include "model/Task.h"

#include "core/App.h"
#include "core/FileUtils.h"
#include "core/IniFile.h"
#include "core/Notifier.h"
#include "crawl/LocalNames.h"
#include "crawl/URL.h"
#include "model/ActiveTaskList.h"

namespace arvelo {
namespace {

constexpr std::string_view kForbiddenNameCharacters = "\\/:*?\"<>|";

TDateTime ReadDateTime(const TIniFile &ini, const char *key)
{
    return TDateTime::FromText(ini.ReadString(kTaskSection, key));
}

} // namespace

bool ValidTaskName(const std::string &name)
{
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(kForbiddenNameCharacters) == std::string::npos &&
           std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 32; });
}

std::string ForbiddenNameText()
{
    return "A file may not contain any of the following characters: \n" + std::string(kForbiddenNameCharacters);
}

TAVTask::TAVTask() { Reset(); }

TAVTask::~TAVTask()
{
    OnChange = nullptr;
    ClearItems();
    if (TAVApp *app = TAVApp::Instance()) {
        app->ActiveTasks().Detach(this);
        if (app->CurrentTask() == this)
            app->SetCurrentTask(nullptr);
    }
}

std::string TAVTask::StatusText(int32_t code)
{
    static const char *const kTexts[] = {"Unscheduled", "Scheduled", "Downloading...",
                                         "Download Stopped", "Incomplete", "Download Complete",
                                         "Zipped!", "Task Complete", "Deleted"};
    return code >= 0 && code <= 8 ? kTexts[code] : "Unknown";
}

void TAVTask::Load()
{
    TIniFile ini = TIniFile::Load(taskFile);
    taskName = ini.ReadString(kTaskSection, "Task Name", BaseFileName(taskFile));
    url = ini.ReadString(kTaskSection, "URL");
    startPageTitle = ini.ReadString(kTaskSection, "Start Page Title");
    server = ini.ReadString(kTaskSection, "Server");
    startRedirect = ini.ReadString(kTaskSection, "Start Redirect");
    canUpdate = ini.ReadBool(kTaskSection, "Can Update", false);
    userName = ini.ReadString(kTaskSection, "User Name");
    password = ini.ReadString(kTaskSection, "Password");
    comment = ini.ReadString(kTaskSection, "Comment");
    destination = ini.ReadString(kTaskSection, "Destination");
    intranetMode = ini.ReadBool(kTaskSection, "Intranet Mode", false);
    status = ini.ReadInteger(kTaskSection, "Status", 0);
    schedule = ini.ReadString(kTaskSection, "Schedule");
    totalBytes = ini.ReadInt64(kTaskSection, "Total Bytes", 0);
    totalPages = ini.ReadInt64(kTaskSection, "Total Pages", 0);
    totalResources = ini.ReadInt64(kTaskSection, "Total Resources", 0);
    pagesSaved = ini.ReadInt64(kTaskSection, "Pages Saved", 0);
    resourcesSaved = ini.ReadInt64(kTaskSection, "Resources Saved", 0);
    pageErrors = ini.ReadInt64(kTaskSection, "Page Errors", 0);
    resourceErrors = ini.ReadInt64(kTaskSection, "Resource Errors", 0);
    elapsedTime = ReadDateTime(ini, "Elapsed Time");
    lastRun = ReadDateTime(ini, "Last Run");
    nextRun = ReadDateTime(ini, "Next Run");
    profile.file = taskFile;
    profile.ReadFrom(ini);
}

void TAVTask::Save()
{
    TIniFile ini;
    ini.WriteString(kTaskSection, "Task Name", taskName);
    ini.WriteString(kTaskSection, "URL", url);
    ini.WriteString(kTaskSection, "Start Page Title", startPageTitle);
    ini.WriteString(kTaskSection, "Server", server);
    // Only when there is one, so that other task files keep their old form.
    if (!startRedirect.empty())
        ini.WriteString(kTaskSection, "Start Redirect", startRedirect);
    ini.WriteBool(kTaskSection, "Can Update", canUpdate);
    ini.WriteString(kTaskSection, "User Name", userName);
    ini.WriteString(kTaskSection, "Password", password);
    ini.WriteString(kTaskSection, "Comment", comment);
    // The destination keeps this system's separators.
    ini.WriteString(kTaskSection, "Destination", destination);
    ini.WriteBool(kTaskSection, "Intranet Mode", intranetMode);
    ini.WriteInteger(kTaskSection, "Status", status);
    ini.WriteString(kTaskSection, "Schedule", schedule);
    ini.WriteInt64(kTaskSection, "Total Bytes", totalBytes);
    ini.WriteInt64(kTaskSection, "Total Pages", totalPages);
    ini.WriteInt64(kTaskSection, "Total Resources", totalResources);
    ini.WriteInt64(kTaskSection, "Pages Saved", pagesSaved);
    ini.WriteInt64(kTaskSection, "Resources Saved", resourcesSaved);
    ini.WriteInt64(kTaskSection, "Page Errors", pageErrors);
    ini.WriteInt64(kTaskSection, "Resource Errors", resourceErrors);
    ini.WriteString(kTaskSection, "Elapsed Time", DateTimeTextOrEmpty(elapsedTime));
    ini.WriteString(kTaskSection, "Last Run", DateTimeTextOrEmpty(lastRun));
    ini.WriteString(kTaskSection, "Next Run", DateTimeTextOrEmpty(nextRun));
    profile.file = taskFile;
    profile.WriteTo(ini);
    ini.Save(taskFile, !password.empty());
    UpdateActiveList();
    if (OnSave)
        OnSave(*this);
}

void TAVTask::UpdateActiveList()
{
    TAVApp *app = TAVApp::Instance();
    if (!app)
        return;
    TActiveTaskList &list = app->ActiveTasks();
    bool active = status == tsScheduled || status == tsDownloading;
    bool listed = list.Contains(taskFile);
    if (active && !listed) {
        list.Add(taskFile, this);
        list.Save();
    } else if (!active && listed) {
        list.Remove(taskFile);
        list.Save();
    } else if (listed) {
        list.Attach(taskFile, this);
    }
}

std::string RenameFailureText(const std::string &newPath, bool exists)
{
    std::string text = "Unable to rename task to: " + newPath + "\n";
    if (exists)
        return text + "File already exists.";
    return text + ForbiddenNameText();
}

bool TAVTask::Rename(const std::string &newName)
{
    std::string folder = ExtractFilePath(taskFile);
    std::string newPath = folder + newName + ".avt";
    bool exists = FileExists(newPath) || FolderExists(newPath);
    if (exists || !ValidTaskName(newName) || !RenameNoReplace(taskFile, newPath)) {
        Notifier().Error(RenameFailureText(newPath, exists || FileExists(newPath)));
        return false;
    }
    std::string oldPath = taskFile;
    std::string oldState = StateFile();
    taskName = newName;
    taskFile = newPath;
    if (FileExists(oldState))
        RenameNoReplace(oldState, StateFile());
    // The journal of a run that was killed goes with its state file.
    TItemList::MoveJournals(oldState, StateFile());
    // The old path leaves the active list; Save lists the new one.
    if (TAVApp *app = TAVApp::Instance(); app && app->ActiveTasks().Remove(oldPath))
        app->ActiveTasks().Save();
    Save();
    return true;
}

void TAVTask::Reset()
{
    ClearItems();
    pagesSaved = resourcesSaved = pageErrors = resourceErrors = 0;
    totalPages = totalResources = totalBytes = 0;
    runStart = TDateTime();
    elapsedTime = TDateTime();
    TAVApp *app = TAVApp::Instance();
    zipLast = app ? app->ZipLast() : false;
}

void TAVTask::ClearItems()
{
    Changed("Clearing previous task...", 0, 0);
    zipQueue.Clear();
    items.Clear();
}

void TAVTask::DestinationFailed(const std::string &reason)
{
    if (destinationFailure.empty())
        destinationFailure = "Unable to write into " + WorkFolder() + " (" + reason + ")";
}

std::string TAVTask::WorkFolder() const
{
    if (intranetMode)
        return destination.empty() ? std::string() : IncludeTrailingSlash(destination);
    TAVApp *app = TAVApp::Instance();
    return app ? app->TempFolder() : std::string();
}

const std::string &TAVTask::UserAgentInUse()
{
    TAVApp *app = TAVApp::Instance();
    userAgentInUse = app ? app->UserAgent() : EffectiveUserAgent({});
    return userAgentInUse;
}

std::string TAVTask::StateFile() const { return ChangeFileExt(taskFile, ".dwn"); }

std::string TAVTask::UniqueTaskName(const std::string &categoryFolder, const std::string &name)
{
    std::string unique = ExtractFileName(UniqueFileName(IncludeTrailingSlash(categoryFolder) + name + ".avt"));
    return unique.substr(0, unique.size() - 4);
}

std::string TAVTask::SiteFileName(const std::string &url)
{
    // A name is a file name: no separators or characters other systems refuse.
    std::string name = Trim(SafeFileName(SiteShortName(url), '_'));
    if (name.empty() || name == "." || name == "..")
        name = "New Task";
    return name;
}

std::string TAVTask::DefaultTaskName(const std::string &categoryFolder, const std::string &url)
{
    return UniqueTaskName(categoryFolder, SiteFileName(url));
}

void TAVTask::Changed(const std::string &text, int position, int total)
{
    if (OnChange)
        OnChange(text, position, total);
}

} // namespace arvelo
