#include "crawl/FollowRules.h"

#include "crawl/LocalNames.h"
#include "core/FileUtils.h"
#include "crawl/URL.h"
#include "model/FileTypes.h"
#include "model/Profile.h"

#include <algorithm>

namespace arvelo {

std::string FilterPrefix(StringList &terms)
{
    if (terms.empty())
        return {};
    for (const char *prefix : {"[AL]", "[PL]", "[RL]"}) {
        if (terms[0].find(prefix) != std::string::npos) {
            terms[0].erase(0, std::min<size_t>(4, terms[0].size()));
            return prefix;
        }
    }
    return {};
}

bool TFollowRules::TFilter::Concerns(bool page) const
{
    if (prefix == "[PL]")
        return page;
    if (prefix == "[RL]")
        return !page;
    return true;
}

bool TFollowRules::TFilter::AllOccurIn(const std::string &address) const
{
    return std::all_of(terms.begin(), terms.end(),
                       [&](const std::string &term) { return address.find(term) != std::string::npos; });
}

std::vector<TFollowRules::TFilter> TFollowRules::Parse(const StringList &lines)
{
    std::vector<TFilter> filters;
    for (const std::string &line : lines) {
        TFilter filter;
        filter.terms = FromCommaText(line);
        // A line without terms means nothing; it is skipped.
        if (filter.terms.empty())
            continue;
        filter.prefix = FilterPrefix(filter.terms);
        filters.push_back(std::move(filter));
    }
    return filters;
}

TFollowRules::TFollowRules(const TAVProfile &profile, const std::string &startDir, const std::string &redirectDir)
    : profile_(profile), exclude_(Parse(profile.urlFiltersExclude)), include_(Parse(profile.urlFiltersInclude))
{
    for (const std::string &dir : {startDir, redirectDir}) {
        if (dir.empty())
            continue;
        startDirPlaces_.push_back(WithoutScheme(BackslashesToSlashes(dir)));
        startSitePlaces_.push_back(WithoutScheme(BackslashesToSlashes(URLAncestor(dir, 0))));
    }
}

bool TFollowRules::WithinStartSite(const std::string &address) const
{
    const std::string place = WithoutScheme(BackslashesToSlashes(address));
    return std::any_of(startSitePlaces_.begin(), startSitePlaces_.end(),
                       [&](const std::string &site) { return place.find(site) != std::string::npos; });
}

bool TFollowRules::FollowLink(const std::string &address, const std::string &kind, int testLevel) const
{
    // A backslash counts as a slash, as the address parser reads it.
    const std::string place = BackslashesToSlashes(address);
    if (!IsWebAddress(place))
        return false;
    std::string extension;
    if (!profile_.fileTypes.empty()) {
        extension = URLExtension(address);
        if (!extension.empty() && std::none_of(profile_.fileTypes.begin(), profile_.fileTypes.end(),
                                               [&](const std::string &type) { return SameText(type, extension); }))
            return false;
    }
    const bool page = kind == kPageGroup;
    if (page && profile_.depth >= 0 && profile_.depth < testLevel)
        return false;
    for (const TFilter &filter : exclude_)
        if (filter.AllOccurIn(address) && filter.Concerns(page))
            return false;
    if (!include_.empty() && std::none_of(include_.begin(), include_.end(), [&](const TFilter &filter) {
            return filter.AllOccurIn(address) || !filter.Concerns(page);
        }))
        return false;
    if (extension == ".js" || extension == ".css")
        return true;
    switch (page ? profile_.pageLocation : profile_.resourceLocation) {
    // The same host is the same site whichever of http and https it is reached by.
    case locStartSite: return WithinStartSite(place);
    case locStartDirectory:
        return std::any_of(startDirPlaces_.begin(), startDirPlaces_.end(), [&](const std::string &dir) {
            return WithoutScheme(place).rfind(dir, 0) == 0;
        });
    default: return true;
    }
}

} // namespace arvelo
