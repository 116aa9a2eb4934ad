#include "shell/ProfileEdit.h"

#include "core/FileUtils.h"
#include "core/IniFile.h"
#include "core/Trash.h"
#include "model/Task.h"

#include <algorithm>
#include <cstdio>

namespace arvelo {

TProfileEdit::TProfileEdit(std::string profilesFolder) : folder_(IncludeTrailingSlash(profilesFolder)) {}

StringList TProfileEdit::Names() const
{
    StringList names;
    for (const std::string &file : FolderFiles(folder_, "*.avp"))
        names.push_back(BaseFileName(file));
    std::sort(names.begin(), names.end());
    return names;
}

void TProfileEdit::Select(const std::string &name)
{
    shown_ = TAVProfile();
    shown_.file = FileOf(name);
    shown_.Load();
    changed_ = false;
}

void TProfileEdit::NoteChange(bool loading)
{
    if (!loading && HasProfile())
        changed_ = true;
}

std::string TProfileEdit::SaveQuestion() const
{
    return "Save changes to profile: " + BaseFileName(shown_.file) + "?";
}

TAVProfile TProfileEdit::WithControls(const TAVProfile &controls) const
{
    TAVProfile profile = shown_;
    profile.profileName = BaseFileName(shown_.file);
    profile.fileTypes = controls.fileTypes;
    profile.depth = controls.depth;
    profile.pageLocation = controls.pageLocation;
    profile.resourceLocation = controls.resourceLocation;
    profile.useStartPageTitle = controls.useStartPageTitle;
    profile.obeyRobots = controls.obeyRobots;
    profile.urlFiltersExclude = controls.urlFiltersExclude;
    profile.urlFiltersInclude = controls.urlFiltersInclude;
    return profile;
}

std::string TProfileEdit::Store(const TAVProfile &profile)
{
    try {
        profile.Save();
    } catch (const EFileError &error) {
        return error.what();
    }
    shown_ = profile;
    changed_ = false;
    return {};
}

std::string TProfileEdit::Save(const TAVProfile &controls)
{
    return HasProfile() ? Store(WithControls(controls)) : std::string();
}

std::string TProfileEdit::Refusal(const std::string &name) const
{
    if (!ValidTaskName(name))
        return "Unable to name the profile: " + name + "\n" + ForbiddenNameText();
    const StringList taken = Names();
    bool exists = SameText(name, kCustomProfile) || FileExists(FileOf(name)) ||
                  std::any_of(taken.begin(), taken.end(), [&](const std::string &t) { return SameText(t, name); });
    if (exists)
        return "A profile named \"" + name + "\" already exists.";
    return {};
}

std::string TProfileEdit::NewProfileName() const
{
    std::string name = "New Profile";
    for (int n = 1; !Refusal(name).empty(); ++n)
        name = "New Profile (" + std::to_string(n) + ")";
    return name;
}

std::string TProfileEdit::Create(const std::string &name, const TAVProfile &controls)
{
    if (std::string refusal = Refusal(name); !refusal.empty())
        return refusal;
    TAVProfile profile = controls;
    profile.file = FileOf(name);
    profile.profileName = name;
    return Store(profile);
}

std::string TProfileEdit::Rename(const std::string &newName, const TAVProfile &controls)
{
    if (!HasProfile())
        return {};
    const std::string oldFile = shown_.file;
    if (newName == BaseFileName(oldFile))
        return {};
    // Another case of its own name is this profile's, not a taken one.
    const bool ownName = SameText(newName, BaseFileName(oldFile)) && ValidTaskName(newName);
    if (std::string refusal = Refusal(newName); !refusal.empty() && !ownName)
        return refusal;
    TAVProfile profile = WithControls(controls);
    profile.file = FileOf(newName);
    profile.profileName = newName;
    try {
        // The new file first: a failure leaves the old one as it was.
        TIniFile ini = TIniFile::Load(oldFile);
        profile.WriteTo(ini);
        ini.Save(profile.file);
    } catch (const EFileError &error) {
        return error.what();
    }
    if (profile.file != oldFile)
        std::remove(oldFile.c_str());
    shown_ = profile;
    changed_ = false;
    return {};
}

std::string TProfileEdit::Delete(const std::string &name, const std::function<bool(const std::string &)> &confirm)
{
    const std::string file = FileOf(name);
    const TTrashResult result = MoveToTrash(file, confirm);
    if (result == TTrashResult::kFailed)
        return "Unable to delete file: " + file;
    if (result == TTrashResult::kKept)
        return {};
    if (shown_.file == file) {
        shown_ = TAVProfile();
        changed_ = false;
    }
    return {};
}

} // namespace arvelo
