#pragma once

#include "core/TextUtils.h"
#include "model/Profile.h"

#include <functional>
#include <string>

namespace arvelo {

// The profile editor's rules, without its windows: the profile files of the
// Profiles folder, the one shown, whether its controls were changed, and
// saving, creating, renaming and deleting them. Failures come back as the
// text of their error box; an empty text is success.
class TProfileEdit {
public:
    explicit TProfileEdit(std::string profilesFolder);

    // The names of the "*.avp" files, sorted.
    StringList Names() const;

    // Reads the named profile and shows it; the changed flag clears.
    void Select(const std::string &name);
    bool HasProfile() const { return !shown_.file.empty(); }
    const TAVProfile &Shown() const { return shown_; }

    // A rule control changed. Ignored while the controls are being filled
    // or when no profile is shown.
    void NoteChange(bool loading);
    bool Changed() const { return changed_; }
    // Asked before another profile is shown and before the editor closes.
    std::string SaveQuestion() const;

    // Writes the controls' rules into the shown profile's file. The rules
    // this editor does not show (aggressive parser, conversions, size
    // limits, certificates) keep what the file holds.
    std::string Save(const TAVProfile &controls);
    // Leaves the changes unsaved (the answer No).
    void Discard() { changed_ = false; }

    // "New Profile", or "New Profile (1)", "(2)" ... when taken.
    std::string NewProfileName() const;
    // Creates a profile file of that name with the controls' rules and shows it.
    std::string Create(const std::string &name, const TAVProfile &controls);
    // Renames the shown profile: "<newName>.avp" is written with the
    // controls' rules and the old file removed. A taken name (or "Custom")
    // or one that cannot name a file is refused and nothing changes.
    std::string Rename(const std::string &newName, const TAVProfile &controls);
    // Moves the named profile's file to the desktop trash; with no trash,
    // confirm is asked whether it is deleted for good.
    std::string Delete(const std::string &name, const std::function<bool(const std::string &)> &confirm);

    std::string FileOf(const std::string &name) const { return folder_ + name + ".avp"; }

private:
    // The refusal of a name for a profile file, or empty.
    std::string Refusal(const std::string &name) const;
    // Writes the profile's file and shows it.
    std::string Store(const TAVProfile &profile);
    // The shown profile with the rules the editor shows taken from controls.
    TAVProfile WithControls(const TAVProfile &controls) const;

    std::string folder_;
    TAVProfile shown_;
    bool changed_ = false;
};

} // namespace arvelo
