#include "model/Profile.h"

#include "core/IniFile.h"
#include "support/TestHome.h"

namespace arvelo {
namespace {

using Profiles = test::TestHome;

TAVProfile SampleProfile(const std::string &file)
{
    TAVProfile profile;
    profile.file = file;
    profile.profileName = "Deep Site";
    profile.fileTypes = {".htm", ".html", ".gif"};
    profile.pageLocation = locStartDirectory;
    profile.resourceLocation = locStartSite;
    profile.depth = 3;
    profile.aggressiveParser = 2;
    profile.convertFollowedLinks = 0;
    profile.convertUnfollowedLinks = 2;
    profile.useStartPageTitle = false;
    profile.urlFiltersExclude = {"[PL]cgi-bin,search", "[AL]all links, my site"};
    profile.urlFiltersInclude = {"[RL]\"quoted\""};
    profile.pageFileSizeMin = 1;
    profile.pageFileSizeMax = 2;
    profile.resourceFileSizeMin = 3;
    profile.resourceFileSizeMax = 4;
    return profile;
}

TEST_F(Profiles, SaveAndLoadRoundTripByteForByte)
{
    TAVProfile profile = SampleProfile(Path("Profiles/Deep Site.avp"));
    profile.Save();
    std::string first = ReadFile("Profiles/Deep Site.avp");
    EXPECT_EQ(first, "[Profile]\r\n"
                     "Profile Name=Deep Site\r\n"
                     "File Types=.htm,.html,.gif\r\n"
                     "Page Location=0\r\n"
                     "Resource Location=1\r\n"
                     "Depth=3\r\n"
                     "Aggressive Parser=2\r\n"
                     "Convert Followed Links=0\r\n"
                     "Convert Unfollowed Links=2\r\n"
                     "Use Start Page Title=0\r\n"
                     "URL Filters Exclude=\"[PL]cgi-bin,search\",\"[AL]all links, my site\"\r\n"
                     "URL Filters Include=\"[RL]\"\"quoted\"\"\"\r\n"
                     "Page File Size Min=1\r\n"
                     "Page File Size Max=2\r\n"
                     "Resource File Size Min=3\r\n"
                     "Resource File Size Max=4\r\n");
    TAVProfile back;
    back.file = profile.file;
    back.Load();
    EXPECT_EQ(back, profile);
    back.Save();
    EXPECT_EQ(ReadFile("Profiles/Deep Site.avp"), first);

    back.acceptInvalidCertificates = true;
    back.Save();
    EXPECT_NE(ReadFile("Profiles/Deep Site.avp").find("Accept Invalid Certificates=1\r\n"), std::string::npos);
    TAVProfile insecure;
    insecure.file = profile.file;
    insecure.Load();
    EXPECT_TRUE(insecure.acceptInvalidCertificates);
}

TEST_F(Profiles, MissingOrJunkFileGivesTheDefaults)
{
    TAVProfile defaults;
    for (const char *bytes : {"", "\xff\xfe garbage\n[Profile\nDepth", "[Profile]\nDepth=deep\nPage Location=999\n"}) {
        WriteFile("p.avp", bytes);
        TAVProfile profile;
        profile.file = Path("p.avp");
        profile.Load();
        EXPECT_EQ(profile, [&] { TAVProfile d; d.file = Path("p.avp"); return d; }()) << bytes;
    }
    TAVProfile missing;
    missing.file = Path("none.avp");
    missing.Load();
    EXPECT_EQ(missing.depth, -1);
    EXPECT_EQ(missing.pageLocation, 1);
    EXPECT_EQ(missing.resourceLocation, 2);
    EXPECT_EQ(missing.aggressiveParser, 1);
    EXPECT_TRUE(missing.useStartPageTitle);
    EXPECT_TRUE(missing.fileTypes.empty());
}

TEST_F(Profiles, EmptyListKeyLeavesTheList)
{
    TAVProfile profile;
    profile.fileTypes = {".gif"};
    profile.ReadFrom(TIniFile::Parse("[Profile]\r\nFile Types=\r\n"));
    EXPECT_EQ(profile.fileTypes, StringList{".gif"});
}

TEST_F(Profiles, ChoiceAtTaskCreation)
{
    SampleProfile(Path("Profiles/Deep Site.avp")).Save();
    WriteFile("Profiles/Images.AVP", "[Profile]\r\nProfile Name=Images\r\n");
    WriteFile("Profiles/readme.txt", "");
    EXPECT_EQ(ProfileNames(Path("Profiles/")), (StringList{"Custom", "Deep Site", "Images"}));
    TAVProfile custom = ProfileByName(Path("Profiles/"), "Custom");
    EXPECT_EQ(custom.profileName, "Custom");
    EXPECT_EQ(custom.depth, -1);
    TAVProfile deep = ProfileByName(Path("Profiles/"), "Deep Site");
    EXPECT_EQ(deep.depth, 3);
    EXPECT_EQ(deep.urlFiltersExclude[1], "[AL]all links, my site");
}

} // namespace
} // namespace arvelo
