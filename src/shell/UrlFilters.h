#pragma once

#include <string>

namespace arvelo {

// The scopes of a URL filter line, by the prefix the line starts with.
inline constexpr const char *kFilterScopes[3] = {"[AL]", "[PL]", "[RL]"};

// The "Add" menu's text of a scope for the include or exclude list:
// "Page links must contain...".
std::string FilterScopeText(const std::string &scope, bool include);
// The filter dialog's explanation of a scope: "All PAGE links MUST contain
// all of the following characters, words or phrases. Separate each with a comma."
std::string FilterExplanation(const std::string &scope, bool include);
// The scope prefix a filter line starts with, or empty.
std::string FilterScopeOf(const std::string &line);

} // namespace arvelo
