#pragma once

#include "core/TextUtils.h"

#include <string>
#include <vector>

namespace arvelo {

class TAVProfile;

// "[AL]", "[PL]", "[RL]" or empty; a prefix found in the first term is
// taken off it together with the rest of its first four characters.
std::string FilterPrefix(StringList &terms);

// The rules of a profile that decide which links of a page are followed,
// with its filter lines split into terms once.
class TFollowRules {
public:
    TFollowRules(const TAVProfile &profile, std::string startDir);

    // The decision for a link's address, by its group ("HTML" for a page)
    // and its test level.
    bool FollowLink(const std::string &address, const std::string &kind, int testLevel) const;
    // True when the address lies on the start site, by http or by https.
    bool WithinStartSite(const std::string &address) const;

private:
    struct TFilter {
        std::string prefix;
        StringList terms;
        bool Concerns(bool page) const;
        bool AllOccurIn(const std::string &address) const;
    };
    static std::vector<TFilter> Parse(const StringList &lines);

    const TAVProfile &profile_;
    std::string startDir_, startSite_;
    // Both without their scheme ("//host/dir/").
    std::string startDirPlace_, startSitePlace_;
    std::vector<TFilter> exclude_, include_;
};

} // namespace arvelo
