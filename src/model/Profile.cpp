#include "model/Profile.h"

#include "core/FileUtils.h"
#include "core/IniFile.h"

namespace arvelo {
namespace {

uint8_t ReadByte(const TIniFile &ini, const char *key, uint8_t fallback)
{
    int value = ini.ReadInteger(kProfileSection, key, fallback);
    return value >= 0 && value <= 255 ? static_cast<uint8_t>(value) : fallback;
}

void ReadList(const TIniFile &ini, const char *key, StringList &list)
{
    std::string text = ini.ReadString(kProfileSection, key);
    if (!text.empty())
        list = FromCommaText(text);
}

} // namespace

void TAVProfile::ResetRules()
{
    TAVProfile defaults;
    defaults.file = file;
    defaults.profileName = profileName;
    *this = defaults;
}

void TAVProfile::ReadFrom(const TIniFile &ini)
{
    profileName = ini.ReadString(kProfileSection, "Profile Name");
    ReadList(ini, "File Types", fileTypes);
    pageLocation = ReadByte(ini, "Page Location", locStartSite);
    resourceLocation = ReadByte(ini, "Resource Location", locAnywhere);
    depth = ini.ReadInteger(kProfileSection, "Depth", -1);
    aggressiveParser = ReadByte(ini, "Aggressive Parser", 1);
    convertFollowedLinks = ReadByte(ini, "Convert Followed Links", 1);
    convertUnfollowedLinks = ReadByte(ini, "Convert Unfollowed Links", 1);
    useStartPageTitle = ini.ReadBool(kProfileSection, "Use Start Page Title", true);
    ReadList(ini, "URL Filters Exclude", urlFiltersExclude);
    ReadList(ini, "URL Filters Include", urlFiltersInclude);
    pageFileSizeMin = ini.ReadInteger(kProfileSection, "Page File Size Min", 0);
    pageFileSizeMax = ini.ReadInteger(kProfileSection, "Page File Size Max", 0);
    resourceFileSizeMin = ini.ReadInteger(kProfileSection, "Resource File Size Min", 0);
    resourceFileSizeMax = ini.ReadInteger(kProfileSection, "Resource File Size Max", 0);
    acceptInvalidCertificates = ini.ReadBool(kProfileSection, "Accept Invalid Certificates", false);
    obeyRobots = ini.ReadBool(kProfileSection, "Obey robots.txt", true);
}

void TAVProfile::WriteTo(TIniFile &ini) const
{
    ini.EraseSection(kProfileSection);
    ini.WriteString(kProfileSection, "Profile Name", profileName);
    ini.WriteString(kProfileSection, "File Types", ToCommaText(fileTypes));
    ini.WriteInteger(kProfileSection, "Page Location", pageLocation);
    ini.WriteInteger(kProfileSection, "Resource Location", resourceLocation);
    ini.WriteInteger(kProfileSection, "Depth", depth);
    ini.WriteInteger(kProfileSection, "Aggressive Parser", aggressiveParser);
    ini.WriteInteger(kProfileSection, "Convert Followed Links", convertFollowedLinks);
    ini.WriteInteger(kProfileSection, "Convert Unfollowed Links", convertUnfollowedLinks);
    ini.WriteBool(kProfileSection, "Use Start Page Title", useStartPageTitle);
    ini.WriteString(kProfileSection, "URL Filters Exclude", ToCommaText(urlFiltersExclude));
    ini.WriteString(kProfileSection, "URL Filters Include", ToCommaText(urlFiltersInclude));
    ini.WriteInteger(kProfileSection, "Page File Size Min", pageFileSizeMin);
    ini.WriteInteger(kProfileSection, "Page File Size Max", pageFileSizeMax);
    ini.WriteInteger(kProfileSection, "Resource File Size Min", resourceFileSizeMin);
    ini.WriteInteger(kProfileSection, "Resource File Size Max", resourceFileSizeMax);
    // Written only when on, so that profiles without it keep their old form.
    if (acceptInvalidCertificates)
        ini.WriteBool(kProfileSection, "Accept Invalid Certificates", true);
    if (!obeyRobots)
        ini.WriteBool(kProfileSection, "Obey robots.txt", false);
}

void TAVProfile::Load() { ReadFrom(TIniFile::Load(file)); }

void TAVProfile::Save() const
{
    TIniFile ini = TIniFile::Load(file);
    WriteTo(ini);
    ini.Save(file);
}

StringList ProfileFileNames(const std::string &profilesFolder)
{
    StringList names;
    for (const std::string &name : FolderFiles(profilesFolder, "*.avp"))
        names.push_back(BaseFileName(name));
    return names;
}

StringList ProfileNames(const std::string &profilesFolder)
{
    StringList names = ProfileFileNames(profilesFolder);
    names.insert(names.begin(), kCustomProfile);
    return names;
}

TAVProfile ProfileByName(const std::string &profilesFolder, const std::string &name)
{
    TAVProfile profile;
    if (name == kCustomProfile) {
        profile.profileName = kCustomProfile;
        return profile;
    }
    profile.file = profilesFolder + name + ".avp";
    profile.Load();
    return profile;
}

} // namespace arvelo
