#pragma once

#include <set>
#include <string>
#include <vector>

namespace arvelo::test {

// A link of a saved page as a browser reads it: the page's name below the
// folder walked, and the href or src value without the blanks around it.
struct TPageLink {
    std::string page, link;
};

// Every href and src of every page (".html", ".htm") below the folder, in
// each quoting form ("a", 'a' and a); fragments-only links are left out.
std::vector<TPageLink> PageLinksUnder(const std::string &folder);

// The local links below the folder that lead to no file: the file each one
// names, relative to the folder ("a/b.html", or "../x" above it). Links with
// a scheme ("http:", "mailto:") are not local.
std::set<std::string> MissingLinkTargets(const std::string &folder);

} // namespace arvelo::test
