#include "shell/TaskEdit.h"

#include "core/App.h"
#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "crawl/URL.h"
#include "model/ActiveTaskList.h"
#include "model/ItemList.h"
#include "model/Task.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace arvelo {
namespace {

namespace fs = std::filesystem;

TAVApp &App() { return *TAVApp::Instance(); }

// The rule controls of a task whose rules were never read from a file: the
// editor's own starting states, with every level.
TAVProfile InitialRules(const TAVProfile &profile)
{
    TAVProfile rules = profile;
    rules.depth = -1;
    rules.pageLocation = locStartDirectory;
    rules.resourceLocation = locStartSite;
    rules.aggressiveParser = 0;
    rules.convertFollowedLinks = 1;
    rules.convertUnfollowedLinks = 1;
    rules.urlFiltersExclude.clear();
    rules.urlFiltersInclude.clear();
    return rules;
}

// The category of a task file in the Tasks folder: its folder's name.
std::string CategoryOf(const TAVTask &task)
{
    const std::string &tasks = App().TasksFolder();
    if (task.taskFile.rfind(tasks, 0) == 0) {
        std::string rest = task.taskFile.substr(tasks.size());
        size_t slash = rest.find('/');
        if (slash != std::string::npos && slash > 0 && rest.find('/', slash + 1) == std::string::npos)
            return rest.substr(0, slash);
    }
    return task.category.empty() ? App().LastCategory() : task.category;
}

bool IsAbsolute(const std::string &path) { return !path.empty() && path.front() == '/'; }

// What the task's fields were before Apply, to put back when saving fails.
struct TTaskFields {
    explicit TTaskFields(const TAVTask &task)
        : taskName(task.taskName), taskFile(task.taskFile), category(task.category), url(task.url),
          userName(task.userName), password(task.password), destination(task.destination),
          intranetMode(task.intranetMode), status(task.status.load()), schedule(task.schedule),
          nextRun(task.nextRun), profile(task.profile)
    {
    }

    void Restore(TAVTask &task) const
    {
        task.taskName = taskName;
        task.taskFile = taskFile;
        task.category = category;
        task.url = url;
        task.userName = userName;
        task.password = password;
        task.destination = destination;
        task.intranetMode = intranetMode;
        task.status = status;
        task.schedule = schedule;
        task.nextRun = nextRun;
        task.profile = profile;
    }

    std::string taskName, taskFile, category, url, userName, password, destination;
    bool intranetMode;
    int32_t status;
    std::string schedule;
    TDateTime nextRun;
    TAVProfile profile;
};

} // namespace

const char *TaskEditCaption(TTaskEditTitle title)
{
    switch (title) {
    case TTaskEditTitle::kEdit:
        return "Edit Task";
    case TTaskEditTitle::kCreate:
        return "Create New Task";
    case TTaskEditTitle::kAdd:
        return "Add a Task";
    }
    return "";
}

TTaskEdit::TTaskEdit(TAVTask &task, TTaskEditTitle title) : task_(task), title_(title) {}

std::string TTaskEdit::TaskFileFor(const std::string &category, const std::string &name)
{
    return App().TasksFolder() + category + "/" + name + ".avt";
}

StringList TTaskEdit::Categories()
{
    StringList names;
    std::error_code error;
    for (fs::directory_iterator it(App().TasksFolder(), error), end; !error && it != end; it.increment(error))
        if (it->is_directory(error))
            names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TTaskForm TTaskEdit::Load() const
{
    TTaskForm form;
    form.name = task_.taskName;
    // The task's own category: one listed under another category is edited there.
    form.category = CategoryOf(task_);
    form.url = task_.url;
    if (!task_.userName.empty() && !task_.password.empty()) {
        form.needsPassword = true;
        form.userName = task_.userName;
        form.password = task_.password;
    }
    form.intranet = task_.intranetMode;
    form.intranetFolder = App().LocalIntranetFolder();
    (form.intranet ? form.intranetFolder : form.zipFile) = task_.destination;
    if (task_.schedule == "Now") {
        form.schedule = TScheduleChoice::kNow;
    } else if (!task_.schedule.empty()) {
        form.schedule = TScheduleChoice::kAt;
        form.at = {task_.schedule, task_.nextRun};
    }
    form.rules = task_.profile.file.empty() ? InitialRules(task_.profile) : task_.profile;
    return form;
}

void TTaskEdit::FollowAddress(TTaskForm &form) const
{
    if (!FollowsAddress())
        return;
    std::string category = ValidTaskName(form.category) ? form.category : App().LastCategory();
    // Named after the site, never after a user name or password in its address.
    std::string address = form.url, user, password;
    SplitCredentials(address, user, password);
    form.name = TAVTask::DefaultTaskName(App().TasksFolder() + category + "/", address);
    form.zipFile = UniqueFileName(App().DownloadsFolder() + TAVTask::SiteFileName(address) + ".zip");
}

TTaskFormProblem TTaskEdit::Validate(TTaskForm &form, const std::function<bool(const std::string &)> &isBusy) const
{
    using P = TTaskFormProblem;
    if (std::string user, password; SplitCredentials(form.url, user, password)) {
        // Typed into the address: they are the site's user name and password.
        form.needsPassword = true;
        form.userName = user;
        form.password = password;
    }
    if (!NormalizeURL(form.url))
        return {P::kError, "A valid Internet address (URL) is required", "cmbURL"};
    if (Trim(form.name).empty())
        return {P::kError, "A name for this Arvelo task is required.", "edTaskName"};
    // Either would put the task file outside its folder.
    if (!ValidTaskName(form.name))
        return {P::kError, ForbiddenNameText(), "edTaskName"};
    if (!ValidTaskName(form.category))
        return {P::kError, ForbiddenNameText(), "cmbTaskCategory"};

    const std::string file = TaskFileFor(form.category, form.name);
    const bool taken = file != task_.taskFile && (FileExists(file) || FolderExists(file));
    if (taken && title_ == TTaskEditTitle::kAdd) {
        if (isBusy && isBusy(file))
            return {P::kError, "The task \"" + form.name + "\" is running and cannot be replaced.", "edTaskName"};
        if (!replacing_)
            return {P::kReplaceQuestion, "A Task with this name already exists. Do you want to replace it?",
                    "edTaskName"};
    } else if (taken) {
        // Saving would overwrite another task.
        return {P::kError, RenameFailureText(file, true), "edTaskName"};
    }

    if (!form.intranet) {
        if (!CompleteZipFileName(form.zipFile))
            return {P::kWarning, kZipFileNameWarning, "edFileName"};
    } else if (!IsAbsolute(Trim(form.intranetFolder))) {
        return {P::kWarning,
                "A valid Intranet Folder is required.\nHint:  Arvelo requires the full path to the Intranet Folder.",
                "edIntranetFolder"};
    }
    return {};
}

bool TTaskEdit::Apply(const TTaskForm &form, std::string &error)
{
    const TTaskFields before(task_);
    const std::string oldFile = task_.taskFile;
    const std::string oldState = task_.StateFile();
    const std::string newFile = TaskFileFor(form.category, form.name);
    // Only an edited task has files of its own under the old name; a new
    // task's file name was a proposal, an added task's file is the user's.
    const bool moves = title_ == TTaskEditTitle::kEdit && !oldFile.empty() && oldFile != newFile;

    task_.taskName = form.name;
    task_.taskFile = newFile;
    task_.category = form.category;
    task_.url = form.url;
    task_.userName = form.needsPassword ? form.userName : std::string();
    task_.password = form.needsPassword ? form.password : std::string();
    if (form.intranet) {
        task_.destination = IncludeTrailingSlash(Trim(form.intranetFolder));
        task_.intranetMode = true;
    } else {
        task_.destination = form.zipFile;
        task_.intranetMode = false;
    }
    task_.status = tsScheduled;
    if (form.schedule == TScheduleChoice::kNow) {
        ScheduleNow(task_);
    } else if (form.schedule == TScheduleChoice::kAt && !form.at.text.empty()) {
        task_.schedule = form.at.text;
        task_.nextRun = form.at.nextRun;
    } else {
        task_.schedule.clear();
        task_.status = tsUnscheduled;
    }
    // The rules are the task's own copy, whichever profile they came from.
    const std::string profileFile = task_.profile.file;
    task_.profile = form.rules;
    task_.profile.file = profileFile;

    try {
        task_.Save();
    } catch (const EFileError &failure) {
        error = failure.what();
        before.Restore(task_);
        return false;
    }
    if (moves) {
        // The new file is written: only now does the old one go, with the
        // state file moving along.
        const std::string newState = task_.StateFile();
        if (FileExists(oldState) && std::rename(oldState.c_str(), newState.c_str()) != 0)
            Notifier().Error("Unable to move the download state to: " + newState + "\n" + oldState +
                             " is kept; the task starts afresh.");
        else
            TItemList::MoveJournals(oldState, newState);
        std::remove(oldFile.c_str());
        if (TAVApp *app = TAVApp::Instance(); app && app->ActiveTasks().Remove(oldFile))
            app->ActiveTasks().Save();
    }
    return true;
}

bool CompleteZipFileName(std::string &path)
{
    std::string zip = Trim(path);
    const std::string name = ExtractFileName(zip);
    if (!IsAbsolute(zip) || name.empty() || BaseFileName(name).empty() || name == "." || name == "..")
        return false;
    if (ExtractFileExt(name).empty())
        zip += ".zip";
    path = zip;
    return true;
}

} // namespace arvelo
