#include "shell/ProfileEdit.h"

#include "core/FileUtils.h"
#include "core/IniFile.h"
#include "model/Task.h"
#include "support/TestHome.h"

#include <cstdlib>

namespace arvelo {
namespace {

class ProfileEditing : public test::TestHome {
protected:
    std::string Folder() const { return Path("Profiles/"); }

    // A profile file as the user left it, with rules this editor does not show.
    void WriteProfile(const std::string &name, int aggressive = 2)
    {
        TAVProfile profile;
        profile.file = Folder() + name + ".avp";
        profile.profileName = name;
        profile.fileTypes = {".html", ".gif"};
        profile.depth = 3;
        profile.aggressiveParser = static_cast<uint8_t>(aggressive);
        profile.convertUnfollowedLinks = 2;
        profile.pageFileSizeMax = 500;
        ForceFolders(Folder());
        profile.Save();
    }

    TAVProfile Read(const std::string &name) const
    {
        TAVProfile profile;
        profile.file = Folder() + name + ".avp";
        profile.Load();
        return profile;
    }
};

TEST_F(ProfileEditing, SavingKeepsWhatTheEditorDoesNotShowAndWritesAllAsNoTypes)
{
    WriteProfile("Docs");
    TProfileEdit edit(Folder());
    edit.Select("Docs");
    TAVProfile controls = edit.Shown();
    EXPECT_EQ(controls.depth, 3);

    // Filling the controls is not a change; a change while a profile is shown is.
    edit.NoteChange(true);
    EXPECT_FALSE(edit.Changed());
    controls.depth = 0;
    controls.fileTypes.clear(); // "All"
    controls.aggressiveParser = 0;
    controls.pageFileSizeMax = 0;
    edit.NoteChange(false);
    EXPECT_TRUE(edit.Changed());
    EXPECT_EQ(edit.SaveQuestion(), "Save changes to profile: Docs?");
    EXPECT_EQ(edit.Save(controls), "");
    EXPECT_FALSE(edit.Changed());

    TAVProfile saved = Read("Docs");
    EXPECT_EQ(saved.depth, 0);
    EXPECT_TRUE(saved.fileTypes.empty());
    EXPECT_EQ(TIniFile::Load(Folder() + "Docs.avp").ReadString(kProfileSection, "File Types", "?"), "");
    EXPECT_EQ(saved.aggressiveParser, 2);
    EXPECT_EQ(saved.convertUnfollowedLinks, 2);
    EXPECT_EQ(saved.pageFileSizeMax, 500);

    // No: the file stays as it was.
    const std::string before = ReadFile("Profiles/Docs.avp");
    controls.depth = 7;
    edit.NoteChange(false);
    edit.Discard();
    EXPECT_FALSE(edit.Changed());
    EXPECT_EQ(ReadFile("Profiles/Docs.avp"), before);
}

TEST_F(ProfileEditing, RenamesMoveTheFileAndTakenNamesAreRefused)
{
    WriteProfile("Docs");
    WriteProfile("Pictures", 1);
    const std::string pictures = ReadFile("Profiles/Pictures.avp");
    TProfileEdit edit(Folder());
    edit.Select("Docs");
    TAVProfile controls = edit.Shown();

    EXPECT_EQ(edit.Rename("Manuals", controls), "");
    EXPECT_EQ(edit.Names(), (StringList{"Manuals", "Pictures"}));
    EXPECT_EQ(Read("Manuals").profileName, "Manuals");
    EXPECT_EQ(Read("Manuals").aggressiveParser, 2);

    struct Case {
        std::string name, refusal;
    } refused[] = {
        {"Pictures", "A profile named \"Pictures\" already exists."},
        {"pictures", "A profile named \"pictures\" already exists."},
        {"Custom", "A profile named \"Custom\" already exists."},
        {"a/b", "Unable to name the profile: a/b\n" + ForbiddenNameText()},
        {"..", "Unable to name the profile: ..\n" + ForbiddenNameText()},
        {"", "Unable to name the profile: \n" + ForbiddenNameText()},
    };
    for (const Case &c : refused) {
        EXPECT_EQ(edit.Rename(c.name, controls), c.refusal) << c.name;
        EXPECT_EQ(edit.Names(), (StringList{"Manuals", "Pictures"})) << c.name;
    }
    EXPECT_EQ(ReadFile("Profiles/Pictures.avp"), pictures);
    // Another case of its own name is still its own.
    EXPECT_EQ(edit.Rename("MANUALS", controls), "");
    EXPECT_EQ(edit.Names(), (StringList{"MANUALS", "Pictures"}));
}

TEST_F(ProfileEditing, NewProfilesGetUniqueNamesAndDeletedOnesGoToTheTrash)
{
    TProfileEdit edit(Folder());
    ForceFolders(Folder());
    TAVProfile controls;
    EXPECT_EQ(edit.NewProfileName(), "New Profile");
    EXPECT_EQ(edit.Create(edit.NewProfileName(), controls), "");
    EXPECT_EQ(edit.NewProfileName(), "New Profile (1)");
    EXPECT_EQ(edit.Create(edit.NewProfileName(), controls), "");
    EXPECT_EQ(edit.NewProfileName(), "New Profile (2)");
    EXPECT_EQ(edit.Create("New Profile", controls), "A profile named \"New Profile\" already exists.");

    EXPECT_EQ(edit.Delete("New Profile", [](const std::string &) { return false; }), "");
    EXPECT_EQ(edit.Names(), StringList{"New Profile (1)"});
    const std::string trash = std::getenv("XDG_DATA_HOME") + std::string("/Trash/files/New Profile.avp");
    EXPECT_TRUE(FileExists(trash)) << "the file went to the test's own trash";
}

} // namespace
} // namespace arvelo
