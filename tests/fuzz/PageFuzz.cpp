// Page processing: any page is processed without crashing or hanging, and
// the processed page differs from the page only inside link values, by the
// removed base tag and by the banner.
#include "FuzzSupport.h"

#include "crawl/PageProcessor.h"
#include "crawl/Parser.h"
#include "model/Profile.h"

#include <string>
#include <string_view>

using namespace arvelo;

namespace {

std::string Process(const TAVProfile &profile, const std::string &page, bool banner, bool check)
{
    TPageProcessor processor(profile, "http://www.site.example/docs/index.htm",
                             TPageInfo{"http://www.site.example/docs/guide/p.htm", 1, 1, ""}, banner);
    processor.QueueItems = [](std::vector<TCandidate> &batch) { return static_cast<int>(batch.size()); };
    if (check)
        processor.OnPass = [](std::string_view input, const TAVParser &parser) {
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
