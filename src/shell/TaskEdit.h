#pragma once

#include "core/TextUtils.h"
#include "model/Profile.h"
#include "schedule/Schedule.h"

#include <functional>
#include <string>

namespace arvelo {

class TAVTask;

// The three ways the task editor is opened, each with its title.
enum class TTaskEditTitle { kEdit, kCreate, kAdd };
const char *TaskEditCaption(TTaskEditTitle title);

enum class TScheduleChoice { kNow, kAt, kNone };

// What the task editor's controls hold.
struct TTaskForm {
    std::string name, category, url;
    bool needsPassword = false;
    std::string userName, password;
    bool intranet = true;
    std::string intranetFolder, zipFile;
    TScheduleChoice schedule = TScheduleChoice::kNone;
    TSchedule at; // the schedule box's text and the run it starts with
    // The rule controls, the profile box (profileName) and "Rename zip file
    // to start page title" (useStartPageTitle).
    TAVProfile rules;
};

// Why OK does not close the editor yet. A question asks whether the task of
// that name is to be replaced; the others are boxes with one button.
struct TTaskFormProblem {
    enum Kind { kNone, kError, kWarning, kReplaceQuestion };
    Kind kind = kNone;
    std::string text;
    // The objectName of the control to go back to.
    std::string control;

    explicit operator bool() const { return kind != kNone; }
};

// The task editor's rules, without its windows: what the controls show for a
// task, what follows the address, what OK checks and what it writes. The
// task is the caller's; Apply changes it only once everything was checked.
class TTaskEdit {
public:
    TTaskEdit(TAVTask &task, TTaskEditTitle title);

    TTaskEditTitle Title() const { return title_; }
    // The controls for the task (showing the editor, and "&Reset").
    TTaskForm Load() const;
    // The sub-folders of the Tasks folder, sorted.
    static StringList Categories();

    // Name and zip file follow the address and the category, except when
    // an existing task is edited.
    bool FollowsAddress() const { return title_ != TTaskEditTitle::kEdit; }
    void FollowAddress(TTaskForm &form) const;

    // The checks of OK, in order, up to the first problem. The address is
    // normalised and a zip file without extension gets ".zip" in place.
    // isBusy tells whether the task of a file is running or finishing; such
    // a task is never replaced.
    TTaskFormProblem Validate(TTaskForm &form, const std::function<bool(const std::string &)> &isBusy = {}) const;
    // The answer to a replace question was Yes: the caller replaces the task
    // of that name with this one.
    void AcceptReplacement() { replacing_ = true; }
    bool Replacing() const { return replacing_; }

    // Writes a validated form into the task and saves it. A task that moves
    // to another category or name takes its state file along and leaves
    // nothing under the old name. False, with the reason, when a file could
    // not be written; the task is then as it was.
    bool Apply(const TTaskForm &form, std::string &error);

    // "<Tasks folder><category>/<name>.avt".
    static std::string TaskFileFor(const std::string &category, const std::string &name);

private:
    TAVTask &task_;
    TTaskEditTitle title_;
    bool replacing_ = false;
};

// An archive's path as a user types it: a full path whose file name is more
// than an extension; ".zip" is added to a name without one. False, leaving
// the path alone, when it is no such path.
bool CompleteZipFileName(std::string &path);
inline constexpr const char *kZipFileNameWarning =
    "A valid Zip filename is required.\nHint:  Arvelo requires the full path and filename.";

} // namespace arvelo
