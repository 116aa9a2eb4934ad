// Page processing: any page is processed without crashing or hanging, the
// processed page differs from the page only inside link values, by the
// removed base tag and by the banner, and every converted link opens the file
// its address is saved in, with its fragment as it was.
#include "FuzzSupport.h"

#include "core/TextUtils.h"
#include "crawl/LocalNames.h"
#include "crawl/PageProcessor.h"
#include "crawl/Parser.h"
#include "crawl/URL.h"
#include "model/Profile.h"

#include <string>
#include <string_view>

using namespace arvelo;

namespace {

const std::string kPageURL = "http://www.site.example/docs/guide/p.htm";
const std::string kRoot = "/r/";

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string PercentDecoded(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        int high = i + 2 < text.size() && text[i] == '%' ? HexValue(text[i + 1]) : -1;
        int low = high >= 0 ? HexValue(text[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The file a converted link opens, as a browser finds it from the folder
// the page is saved in; empty when it climbs out of the root.
std::string FileReached(const std::string &link)
{
    std::string pageFile = LocalFileName(kRoot, URLDirectory(kPageURL), kPageURL);
    std::vector<std::string> segments;
    for (size_t start = kRoot.size(), end; (end = pageFile.find('/', start)) != std::string::npos; start = end + 1)
        segments.push_back(pageFile.substr(start, end - start));
    for (size_t start = 0;;) {
        size_t end = link.find('/', start);
        std::string segment = PercentDecoded(link.substr(start, end == std::string::npos ? end : end - start));
        if (segment == "..") {
            if (segments.empty())
                return {};
            segments.pop_back();
        } else if (segment != ".") {
            segments.push_back(segment);
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    std::string file = kRoot;
    for (size_t i = 0; i < segments.size(); ++i)
        file += (i ? "/" : "") + segments[i];
    return file;
}

// A converted link and the file its address is saved in never disagree, and
// its fragment goes back as it was.
void CheckConversion(std::string_view input, const TAVParser::Replacement &r, const std::string &base)
{
    auto [oldLink, oldFragment] = SplitFragment(std::string(input.substr(r.start, r.length)));
    auto [newLink, newFragment] = SplitFragment(r.text);
    if (newFragment != oldFragment)
        fuzz::Fail("the fragment changed", oldFragment + " -> " + newFragment);
    // The address the value stands for, its character references read.
    std::string url = ResolveHTTPURL(DecodeCharacterReferences(oldLink), base);
    std::string file = LocalFileName(kRoot, URLDirectory(url), url);
    if (url.empty() || FileReached(newLink) != file)
        fuzz::Fail("link and file disagree", oldLink + " -> " + newLink + " reaches " + FileReached(newLink) +
                                                 " instead of " + file);
}

std::string Process(const TAVProfile &profile, const std::string &page, bool banner, bool check)
{
    TPageProcessor processor(profile, "http://www.site.example/docs/index.htm", TPageInfo{kPageURL, 1, 1, ""}, banner);
    processor.QueueItems = [](std::vector<TCandidate> &batch) { return static_cast<int>(batch.size()); };
    // An applet's code base moves the base of its link alone.
    bool ownBases = FindNoCase(page, "CODEBASE", 0) != TAVParser::kNone;
    if (check)
        processor.OnPass = [&](std::string_view input, const TAVParser &parser) {
            const std::string base = processor.BaseHref().empty() ? URLDirectory(kPageURL) : processor.BaseHref();
            size_t end = 0;
            for (const TAVParser::Replacement &r : parser.Replacements()) {
                if (r.start < end || r.start + r.length > input.size())
                    fuzz::Fail("replacement out of order or out of the page", std::to_string(r.start));
                end = r.start + r.length;
                if (input.substr(r.start, r.length).find('>') != std::string_view::npos)
                    fuzz::Fail("replaced text crosses a tag end", std::string(input.substr(r.start, r.length)));
                // The new text is a local path, encoded, and the old fragment as it was.
                std::string_view old = input.substr(r.start, r.length);
                size_t kept = 0;
                while (kept < old.size() && kept < r.text.size() &&
                       old[old.size() - 1 - kept] == r.text[r.text.size() - 1 - kept])
                    ++kept;
                if (r.text.substr(0, r.text.size() - kept).find_first_of("<>\"") != std::string::npos)
                    fuzz::Fail("new link text adds markup", r.text);
                if (!ownBases)
                    CheckConversion(input, r, base);
            }
        };
    return processor.Process(page);
}

// The page without its base tag, as processing leaves it when nothing is converted.
std::string WithoutBase(const std::string &page)
{
    TAVParser base(page, "BASE", ">", "HREF");
    if (base.NextAttrValue().empty())
        return page;
    std::string out = page;
    out.erase(base.TagStart, base.TagEnd - base.TagStart + 1);
    return out;
}

void EraseOnce(std::string &text, const std::string &fragment)
{
    size_t at = text.find(fragment);
    if (at != std::string::npos)
        text.erase(at, fragment.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::PrepareHome();
    if (size == 0)
        return 0;
    TAVProfile profile;
    profile.pageLocation = data[0] & 1 ? locAnywhere : locStartSite;
    profile.aggressiveParser = static_cast<uint8_t>((data[0] >> 1) % 3);
    profile.convertUnfollowedLinks = static_cast<uint8_t>((data[0] >> 3) % 3);
    const std::string page(reinterpret_cast<const char *>(data) + 1, size - 1);

    TAVProfile unchanged = profile;
    unchanged.convertFollowedLinks = unchanged.convertUnfollowedLinks = 0;
    if (Process(unchanged, page, false, false) != WithoutBase(page))
        fuzz::Fail("a page without conversions changed", page);

    std::string converted = Process(profile, page, false, true);
    std::string withBanner = Process(profile, page, true, false);
    EraseOnce(withBanner, AdBannerBlock());
    EraseOnce(withBanner, AdBannerLayer());
    if (withBanner != converted)
        fuzz::Fail("the banner changed more than its own text", page);
    return 0;
}
