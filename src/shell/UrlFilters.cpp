#include "shell/UrlFilters.h"

namespace arvelo {

std::string FilterScopeText(const std::string &scope, bool include)
{
    std::string links = scope == "[PL]" ? "Page links" : scope == "[RL]" ? "Resource links" : "All links";
    return links + (include ? " must contain..." : " must not contain...");
}

std::string FilterExplanation(const std::string &scope, bool include)
{
    std::string links = scope == "[PL]" ? "All PAGE links" : scope == "[RL]" ? "All RESOURCE links" : "All links";
    return links + (include ? " MUST contain all" : " MUST NOT contain any") +
           " of the following characters, words or phrases. Separate each with a comma.";
}

std::string FilterScopeOf(const std::string &line)
{
    for (const char *scope : kFilterScopes)
        if (line.rfind(scope, 0) == 0)
            return scope;
    return {};
}

} // namespace arvelo
