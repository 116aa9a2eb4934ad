// Address parsing and resolution: never crashes, and the parts keep their shape.
#include "FuzzSupport.h"

#include "core/TextUtils.h"
#include "crawl/URL.h"

#include <string>

using namespace arvelo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::PrepareHome();
    std::string input(reinterpret_cast<const char *>(data), size);
    size_t split = input.find('\n');
    std::string link = input.substr(0, split);
    std::string base = split == std::string::npos ? "http://h/d/" : input.substr(split + 1);

    TlqURL parts(link);
    if (!parts.Path.empty() && parts.Path.back() != '/')
        fuzz::Fail("path does not end with a slash", link);
    if (parts.Extension.empty() && parts.Query.empty() && !parts.FileName.empty())
        fuzz::Fail("file name without extension or query", link);
    if (parts.Host.find_first_of("/:") != std::string::npos)
        fuzz::Fail("host holds a separator", link);

    std::string directory = URLDirectory(base);
    if (directory.empty() || directory.back() != '/')
        fuzz::Fail("directory does not end with a slash", base);
    URLAncestor(directory, static_cast<int>(size % 5));
    std::string resolved = ResolveHTTPURL(link, directory);
    if (!resolved.empty() && LowerAscii(resolved.substr(0, 7)) != "http://")
        fuzz::Fail("resolved to another scheme", resolved);
    if (resolved.find_first_of("\r\n") != std::string::npos)
        fuzz::Fail("resolved address holds a line break", resolved);
    std::string normal = link;
    NormalizeURL(normal);
    URLExtension(link);
    SiteShortName(link);
    StripFragment(link);
    return 0;
}
