// Local names: every file stays under its root, within the name limits,
// free of control characters and with whole characters, and a link from a page's folder reaches the
// file that the same address is saved in.
#include "FuzzSupport.h"

#include "core/FileUtils.h"
#include "core/Utf8.h"
#include "crawl/LocalNames.h"
#include "crawl/URL.h"

#include <filesystem>
#include <string>

using namespace arvelo;

namespace {

const std::string kRoot = "/root/of/site/";

void CheckName(const std::string &file, const std::string &url)
{
    std::string normal = std::filesystem::path(file).lexically_normal().string();
    if (normal.rfind(kRoot, 0) != 0 || normal.size() <= kRoot.size())
        fuzz::Fail("outside the root", url + " -> " + file);
    if (normal != file)
        fuzz::Fail("dot or empty segments", url + " -> " + file);
    for (size_t start = kRoot.size(), end; start < file.size(); start = end + 1) {
        end = file.find('/', start);
        if (end == std::string::npos)
            end = file.size();
        if (end - start > kMaxNameBytes || end == start)
            fuzz::Fail("name length", url + " -> " + file);
    }
    for (unsigned char c : file)
        if (c < 32 || c == 127)
            fuzz::Fail("control character", url);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::PrepareHome();
    std::string input(reinterpret_cast<const char *>(data), size);
    size_t split = input.find('\n');
    std::string url = "http://" + input.substr(0, split);
    std::string base = URLDirectory("http://" + (split == std::string::npos ? std::string("h/") : input.substr(split + 1)));

    std::string file = LocalFileName(kRoot, URLDirectory(url), url);
    CheckName(file, url);
    // Shortened names keep whole characters.
    if (utf8::IsValid(url) && !utf8::IsValid(file))
        fuzz::Fail("a character cut in half", url + " -> " + file);
    std::string baseFile = LocalFileName(kRoot, base, base);
    CheckName(baseFile, base);
    EscapeLocalName(input);
    GroupOfURL(url);

    if (!URLHost(url).empty() && !URLHost(base).empty()) {
        std::string link = LocalLinkPath(url, base);
        std::string reached = std::filesystem::path(ExtractFilePath(baseFile) + link).lexically_normal().string();
        if (reached != file)
            fuzz::Fail("link and file disagree", url + " from " + base + ": " + link + " reaches " + reached +
                                                     " instead of " + file);
        EncodeLocalLink(link);
    }
    return 0;
}
