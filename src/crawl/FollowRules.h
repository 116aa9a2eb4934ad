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
    // redirectDir: the directory the start address redirected to on another
    // host, or empty; its host is the start site as well.
    TFollowRules(const TAVProfile &profile, const std::string &startDir, const std::string &redirectDir = {});

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
    // Without their scheme ("//host/dir/"): the start's, and the
    // redirected start's when there is one.
    std::vector<std::string> startDirPlaces_, startSitePlaces_;
    std::vector<TFilter> exclude_, include_;
};

} // namespace arvelo
