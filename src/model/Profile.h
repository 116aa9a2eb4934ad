#pragma once

#include "core/TextUtils.h"

#include <cstdint>
#include <string>

namespace arvelo {

class TIniFile;

inline constexpr const char *kCustomProfile = "Custom";
inline constexpr const char *kProfileSection = "Profile";

enum TLocation : uint8_t { locStartDirectory = 0, locStartSite = 1, locAnywhere = 2 };

// A named set of crawl rules, kept in a ".avp" file or inside a task file.
class TAVProfile {
public:
    std::string file;
    std::string profileName;
    StringList fileTypes;          // extensions with their dot; empty: every type
    uint8_t pageLocation = locStartSite;
    uint8_t resourceLocation = locAnywhere;
    int32_t depth = -1;            // -1 all levels, 0 this page only, N levels
    uint8_t aggressiveParser = 1;  // 0 off, 1 script blocks, 2 the whole page
    uint8_t convertFollowedLinks = 1;
    uint8_t convertUnfollowedLinks = 1; // 0 leave, 1 within the site, 2 all
    bool useStartPageTitle = true;
    StringList urlFiltersExclude;  // "[AL]", "[PL]" or "[RL]" + filter text
    StringList urlFiltersInclude;
    int32_t pageFileSizeMin = 0, pageFileSizeMax = 0;
    int32_t resourceFileSizeMin = 0, resourceFileSizeMax = 0;
    bool acceptInvalidCertificates = false; // https servers' certificates unchecked
    bool obeyRobots = true;                 // each server's robots.txt is read and obeyed

    // Back to the rules of a new profile (file and name kept).
    void ResetRules();

    // Reads the section "Profile" of file; a missing file gives the defaults.
    void Load();
    // Writes the section "Profile" into file, keeping the file's other sections.
    // Throws EFileError.
    void Save() const;

    void ReadFrom(const TIniFile &ini);
    void WriteTo(TIniFile &ini) const;

    bool operator==(const TAVProfile &) const = default;
};

// "Custom" followed by the names of the profile files of the folder, sorted.
StringList ProfileNames(const std::string &profilesFolder);
// The names of the profile files alone, without "Custom".
StringList ProfileFileNames(const std::string &profilesFolder);
// The profile chosen for a new task: "Custom" gives the default rules under
// that name; another name reads "<name>.avp" of the folder.
TAVProfile ProfileByName(const std::string &profilesFolder, const std::string &name);

} // namespace arvelo
