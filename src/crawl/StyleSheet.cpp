#include "crawl/StyleSheet.h"

#include "core/TextUtils.h"
#include "crawl/URL.h"
#include "model/DownloadItem.h"
#include "model/FileTypes.h"
#include "model/Profile.h"

#include <cctype>
#include <unordered_set>

namespace arvelo {
namespace {

bool StartsAtNoCase(const std::string &text, size_t at, std::string_view word)
{
    if (text.size() - at < word.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[at + i])) != word[i])
            return false;
    return true;
}

// References that name no file to fetch.
bool NamesNoFile(const std::string &value)
{
    return value.empty() || value[0] == '#' || StartsAtNoCase(value, 0, "data:") ||
           StartsAtNoCase(value, 0, "about:") || StartsAtNoCase(value, 0, "javascript:");
}

} // namespace

bool IsStyleSheetURL(const std::string &url) { return URLExtension(url) == ".css"; }

TStyleSheetProcessor::TStyleSheetProcessor(const TAVProfile &profile, const std::string &startURL, TPageInfo sheet,
                                           const std::string &startRedirect)
    : profile_(profile),
      rules_(profile, URLDirectory(startURL), startRedirect.empty() ? std::string() : URLDirectory(startRedirect)),
      sheet_(std::move(sheet)),
      sheetDir_(URLDirectory(sheet_.url)), localLinker_(sheet_.url)
{
}

std::string TStyleSheetProcessor::Reference(const std::string &value)
{
    if (NamesNoFile(value))
        return value;
    auto [link, fragment] = SplitFragment(value);
    std::string url = ResolveHTTPURL(link, sheetDir_);
    std::string group = GroupOfURL(url);
    // What a sheet names belongs with it, like the pictures of a page.
    if (url.empty() || !rules_.FollowLink(url, group, sheet_.level))
        return value;
    TCandidate candidate;
    candidate.url = url;
    candidate.baseAddress = sheetDir_;
    candidate.referrer = sheet_.url;
    candidate.level = sheet_.level + 1;
    candidate.group = group;
    candidate.mark = sheet_.mark == imMap && group != kPageGroup ? uint8_t(imUnmarked) : sheet_.mark;
    std::string local = EncodeLocalLink(localLinker_.PathOf(url)) + fragment;
    batch_.push_back(std::move(candidate));
    return profile_.convertFollowedLinks == 1 ? local : value;
}

std::string TStyleSheetProcessor::Process(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    auto quotedOrBare = [&](size_t start, char closing, size_t &end) {
        // The value between quotes, or up to the closing character.
        size_t at = start;
        while (at < text.size() && IsMarkupBlank(text[at]))
            ++at;
        char quote = at < text.size() && (text[at] == '"' || text[at] == '\'') ? text[at] : 0;
        size_t valueStart = quote ? at + 1 : at;
        size_t valueEnd = text.find(quote ? quote : closing, valueStart);
        if (valueEnd == std::string::npos)
            return false;
        end = valueEnd;
        std::string value = text.substr(valueStart, valueEnd - valueStart);
        out.append(text, i, valueStart - i);
        if (quote) {
            out += Reference(value);
        } else {
            // Blanks around a bare value stay where they were.
            size_t first = 0, last = value.size();
            while (first < last && IsMarkupBlank(value[first]))
                ++first;
            while (last > first && IsMarkupBlank(value[last - 1]))
                --last;
            out += value.substr(0, first) + Reference(value.substr(first, last - first)) + value.substr(last);
        }
        i = valueEnd;
        return true;
    };
    while (i < text.size()) {
        if (text.compare(i, 2, "/*") == 0) {
            size_t end = text.find("*/", i + 2);
            end = end == std::string::npos ? text.size() : end + 2;
            out.append(text, i, end - i);
            i = end;
        } else if (StartsAtNoCase(text, i, "url(")) {
            size_t end = 0;
            size_t open = i + 4;
            out.append(text, i, 4);
            i = open;
            if (!quotedOrBare(open, ')', end))
                break;
        } else if (StartsAtNoCase(text, i, "@import")) {
            size_t at = i + 7;
            while (at < text.size() && IsMarkupBlank(text[at]))
                ++at;
            if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
                size_t end = 0;
                if (!quotedOrBare(at, ';', end))
                    break;
            } else {
                out.append(text, i, at - i);
                i = at;
            }
        } else {
            out += text[i++];
        }
    }
    out.append(text, std::min(i, text.size()), std::string::npos);
    if (QueueItems && !batch_.empty()) {
        // One candidate per address.
        std::unordered_set<std::string> seen;
        std::vector<TCandidate> unique;
        for (TCandidate &candidate : batch_)
            if (seen.insert(candidate.url).second)
                unique.push_back(std::move(candidate));
        QueueItems(unique);
    }
    batch_.clear();
    return out;
}

} // namespace arvelo
