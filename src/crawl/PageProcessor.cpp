#include "crawl/PageProcessor.h"

#include "core/TextUtils.h"
#include "crawl/LocalNames.h"
#include "crawl/Parser.h"
#include "crawl/StyleSheet.h"
#include "crawl/URL.h"
#include "model/DownloadItem.h"
#include "model/FileTypes.h"
#include "model/Profile.h"

#include <chrono>

namespace arvelo {

const char *const kAdBannerAddress = "https://www.arvelo.net/banner/468x60.html";

const TPageProcessor::TTagPass TPageProcessor::kTagPasses[21] = {
    {"FRAME", "SRC"},       {"A", "HREF"},        {"IMG", "SRC"},      {"INPUT", "SRC"},   {"META", "URL"},
    {"BODY", "BACKGROUND"}, {"BGSOUND", "SRC"},   {"AREA", "HREF"},    {"APPLET", "CODE"}, {"LINK", "HREF"},
    {"IFRAME", "SRC"},      {"SCRIPT", "SRC"},    {"EMBED", "SRC"},    {"OBJECT", "DATA"}, {"VIDEO", "SRC"},
    {"VIDEO", "POSTER"},    {"AUDIO", "SRC"},     {"SOURCE", "SRC"},   {"SOURCE", "SRCSET"}, {"TRACK", "SRC"},
    {"IMG", "SRCSET"},
};

namespace {

// The first tag with the name that is not inside a script block.
bool FindTagOutsideScripts(TAVParser &parser)
{
    while (parser.FindTag()) {
        size_t end;
        if (!parser.InsideScript(parser.TagStart, &end))
            return true;
        parser.ScanPos = end + 1;
    }
    return false;
}

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

std::string AdBannerBlock()
{
    const std::string crlf = "\r\n";
    return crlf + "<!-- Lindqvarn Arvelo Ad Banner Insert -->" + crlf +
           "<TABLE width=100% border=\"0\" cellpadding=\"0\" cellspacing=\"0\">" + crlf + "<TR>" + crlf + "<TD>" +
           crlf + "<ILAYER id=ad1 visibility=hidden height=60></ILAYER>" + crlf + "<NOLAYER>" + crlf +
           "<IFRAME SRC=\"" + kAdBannerAddress +
           "\" width=\"100%\" height=\"60\" marginwidth=0 marginheight=0 hspace=0 vspace=0 frameborder=0 "
           "scrolling=no></IFRAME>" + crlf + "</NOLAYER>" + crlf + "</TD>" + crlf + "</TR>" + crlf + "</TABLE>" +
           crlf + "<!-- End of Lindqvarn Arvelo Ad Banner Insert-->" + crlf;
}

std::string AdBannerLayer()
{
    return std::string("\r\n<layer src=\"") + kAdBannerAddress +
           "\" visibility=hidden id=a1 width=600 onload=\"moveToAbsolute(ad1.pageX,ad1.pageY); "
           "a1.clip.height=60;visibility='show';\"></layer>\r\n";
}

std::string InsertAdBanner(std::string page)
{
    {
        TAVParser body(page, "BODY", ">", "");
        if (FindTagOutsideScripts(body)) {
            size_t gt = page.find('>', body.TagStart);
            if (gt != std::string::npos)
                page.insert(gt + 1, AdBannerBlock());
        }
    }
    TAVParser end(page, "/BODY", ">", "");
    if (FindTagOutsideScripts(end) && page.find('>', end.TagStart) != std::string::npos)
        page.insert(end.TagStart, AdBannerLayer());
    return page;
}

TPageProcessor::TPageProcessor(const TAVProfile &profile, const std::string &startURL, TPageInfo page,
                               bool withBanner, const std::string &startRedirect)
    : profile_(profile), startURL_(startURL), startRedirect_(startRedirect),
      rules_(profile, URLDirectory(startURL), startRedirect.empty() ? std::string() : URLDirectory(startRedirect)),
      page_(std::move(page)),
      // Links are relative to the folder the page is saved in, which for an
      // address without an extension ("/about") is a folder of its own.
      pageDir_(URLDirectory(page_.url)), localLinker_(page_.url), withBanner_(withBanner)
{
}

std::string TPageProcessor::Process(std::string page)
{
    page = RemoveBase(std::move(page));
    size_t open = FindNoCase(page, "<TITLE>", 0), close = FindNoCase(page, "</TITLE>", 0);
    if (open != TAVParser::kNone && close != TAVParser::kNone && close >= open + 7)
        title_ = CleanText(std::string_view(page).substr(open + 7, close - open - 7));
    const TTagIndex index(page);
    linkCount_ = newLinkCount_ = 0;
    if (profile_.aggressiveParser != 2) {
        for (const TTagPass &pass : kTagPasses)
            ScanLinks(page, index, pass.tag, pass.attribute, 0);
        ScanStyles(page, index);
    }
    if (profile_.aggressiveParser != 0) {
        ScanLinks(page, index, "'", "", profile_.aggressiveParser);
        ScanLinks(page, index, "\"", "", profile_.aggressiveParser);
    }
    // The links go out in as few hand-overs as the batch size allows.
    if (!HoldLastBatch)
        Flush();
    Progress(true);
    std::vector<TAVParser::Replacement> all;
    all.reserve(replacements_.size());
    for (auto &entry : replacements_)
        all.push_back(std::move(entry.second));
    page = WithReplacements(page, all);
    if (withBanner_ && page_.frame != "Y")
        page = InsertAdBanner(std::move(page));
    return page;
}

bool TPageProcessor::AlreadyConverted(size_t start, size_t end) const
{
    auto after = replacements_.lower_bound(start);
    if (after != replacements_.end() && after->first < std::max(end, start + 1))
        return true;
    if (after == replacements_.begin())
        return false;
    auto before = std::prev(after);
    return before->first + before->second.length > start;
}

std::string TPageProcessor::RemoveBase(std::string page)
{
    TAVParser base(page, "BASE", ">", "HREF");
    std::string value = base.NextAttrValue();
    if (value.empty())
        return page;
    // Links resolve against the base's folder: a base that names a page
    // ("http://h/d/index.html") or carries a fragment stands for "http://h/d/".
    baseHref_ = URLDirectory(ResolveURL(StripFragment(value), pageDir_));
    page.erase(base.TagStart, base.TagEnd - base.TagStart + 1);
    return page;
}

void TPageProcessor::ScanLinks(const std::string &page, const TTagIndex &index, const std::string &tag,
                               const std::string &attribute, uint8_t mode)
{
    TAVParser parser(page, tag, mode == 0 ? ">" : tag, attribute, mode, &index);
    do {
        std::string value = parser.NextValue();
        // A value an earlier pass has converted was judged there already.
        // A quote inside an attribute's value is part of the address; in a
        // quoted string of a script it is code.
        if (!value.empty() && value[0] != '#' && FindNoCase(value, "mailto:", 0) == TAVParser::kNone &&
            (mode == 0 || value.find('\'') == std::string::npos) &&
            !AlreadyConverted(parser.ValueStart, parser.ValueEnd)) {
            if (attribute == "SRCSET")
                HandleSrcset(parser, tag);
            else
                HandleLink(parser, value, mode == 0 ? tag : std::string(), attribute);
        }
        Progress(false);
    } while (parser.More());
    if (OnPass)
        OnPass(page, parser);
    for (const TAVParser::Replacement &r : parser.Replacements())
        if (!AlreadyConverted(r.start, r.start + r.length))
            replacements_.emplace(r.start, r);
}

void TPageProcessor::HandleLink(TAVParser &parser, const std::string &value, const std::string &tag,
                                const std::string &attribute)
{
    // The fragment names a place in the target, never part of its file: it
    // goes back on the converted link as it was.
    auto [link, fragment] = SplitFragment(value);
    const std::string &pageBase = baseHref_.empty() ? pageDir_ : baseHref_;
    std::string codebase;
    if (attribute == "CODE") {
        TAVParser scan(parser.Text(), tag, ">", "CODEBASE");
        scan.ScanPos = parser.TagStart;
        std::string found = scan.NextAttrValue();
        if (!found.empty())
            codebase = ResolveURL(StripFragment(found), pageBase);
    }
    const std::string &base = codebase.empty() ? pageBase : codebase;
    // Most links of a page are judged the same way as one before them.
    TResolved computed;
    const TResolved *resolved = &computed;
    if (codebase.empty()) {
        auto [found, added] = resolved_.try_emplace(link);
        if (added) {
            found->second.url = ResolveHTTPURL(link, base);
            found->second.group = GroupOfURL(found->second.url);
        }
        resolved = &found->second;
    } else {
        computed.url = ResolveHTTPURL(link, base);
        computed.group = GroupOfURL(computed.url);
    }
    const std::string &url = resolved->url;
    const bool page = resolved->group == kPageGroup;
    int testLevel = page && (attribute == "SRC" || attribute == "URL") ? page_.level : page_.level + 1;

    if (!rules_.FollowLink(url, resolved->group, testLevel)) {
        if ((profile_.convertUnfollowedLinks == 1 && rules_.WithinStartSite(url)) ||
            (profile_.convertUnfollowedLinks == 2 && !url.empty()))
            ConvertLink(parser, url, fragment);
        return;
    }
    if (profile_.convertFollowedLinks == 1)
        ConvertLink(parser, url, fragment);
    ++linkCount_;
    if (!sent_.insert(url).second)
        return;
    TCandidate candidate;
    candidate.url = url;
    candidate.title = parser.LinkText();
    candidate.baseAddress = base;
    candidate.referrer = page_.url;
    candidate.frame = tag == "FRAME" || tag == "IFRAME" ? "Y" : "";
    candidate.level = page_.level + 1;
    candidate.group = resolved->group;
    candidate.mark = page_.mark;
    if (!page && candidate.mark == imMap)
        candidate.mark = imUnmarked;
    batch_.push_back(std::move(candidate));
    if (batch_.size() >= kBatchSize)
        Flush();
}

std::vector<TPageProcessor::TSrcsetCandidate> TPageProcessor::SrcsetCandidates(std::string_view value)
{
    // HTML's reading: an address runs to a blank; the descriptors after it
    // ("2x", "480w") run to a comma.
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; };
    std::vector<TSrcsetCandidate> candidates;
    size_t at = 0;
    while (at < value.size()) {
        while (at < value.size() && (blank(value[at]) || value[at] == ','))
            ++at;
        size_t end = at;
        while (end < value.size() && !blank(value[end]))
            ++end;
        size_t last = end;
        while (last > at && value[last - 1] == ',')
            --last;
        if (last > at)
            candidates.push_back({at, last - at, DecodeCharacterReferences(value.substr(at, last - at))});
        // The descriptors, unless the address itself ended at a comma.
        at = end;
        if (last == end)
            while (at < value.size() && value[at] != ',')
                ++at;
    }
    return candidates;
}

void TPageProcessor::HandleSrcset(TAVParser &parser, const std::string &tag)
{
    const size_t start = parser.ValueStart;
    const std::string raw(parser.Text().substr(start, parser.ValueEnd - start));
    for (const TSrcsetCandidate &candidate : SrcsetCandidates(raw)) {
        if (FindNoCase(candidate.url, "data:", 0) == 0)
            continue;
        parser.ValueStart = start + candidate.start;
        parser.ValueEnd = parser.ValueStart + candidate.length;
        parser.Value = candidate.url;
        HandleLink(parser, candidate.url, tag, "SRC");
    }
}

std::string TPageProcessor::ProcessStyle(std::string_view css)
{
    TStyleSheetProcessor sheet(profile_, startURL_, page_, startRedirect_);
    sheet.QueueItems = [this](std::vector<TCandidate> &found) {
        for (TCandidate &candidate : found) {
            ++linkCount_;
            if (sent_.insert(candidate.url).second)
                batch_.push_back(std::move(candidate));
        }
        if (batch_.size() >= kBatchSize)
            Flush();
        return 0;
    };
    return sheet.Process(std::string(css));
}

void TPageProcessor::ScanStyles(const std::string &page, const TTagIndex &index)
{
    auto replace = [&](size_t start, size_t end) {
        if (start >= end || AlreadyConverted(start, end))
            return;
        const std::string_view css = std::string_view(page).substr(start, end - start);
        if (FindNoCase(css, "url(", 0) == TAVParser::kNone && FindNoCase(css, "@import", 0) == TAVParser::kNone)
            return;
        std::string converted = ProcessStyle(css);
        if (converted != css)
            replacements_.emplace(start, TAVParser::Replacement{start, end - start, std::move(converted)});
    };
    // <style> blocks.
    TAVParser blocks(page, "STYLE", ">", "", 0, &index);
    while (blocks.FindTag()) {
        const size_t gt = page.find('>', blocks.TagStart);
        const size_t close = gt == std::string::npos ? TAVParser::kNone : FindNoCase(page, "</style", gt);
        if (close == TAVParser::kNone)
            break;
        replace(gt + 1, close);
        blocks.ScanPos = close + 1;
    }
    // style="..." attributes of any tag.
    TAVParser attributes(page, "", ">", "STYLE", 0);
    do {
        if (!attributes.NextValue().empty())
            replace(attributes.ValueStart, attributes.ValueEnd);
    } while (attributes.More());
}

void TPageProcessor::ConvertLink(TAVParser &parser, const std::string &url, const std::string &fragment)
{
    // Relative to the folder the page itself is saved in; every link to one
    // address shares its local path, whatever place in it the link names.
    auto [found, added] = localLinks_.try_emplace(url);
    if (added)
        found->second = EncodeLocalLink(localLinker_.PathOf(url));
    parser.ReplaceValue(found->second + fragment);
}

void TPageProcessor::Flush()
{
    if (batch_.empty())
        return;
    if (QueueItems)
        newLinkCount_ += QueueItems(batch_);
    batch_.clear();
}

void TPageProcessor::Progress(bool force)
{
    if (!ShowProgress)
        return;
    // A few times a second is enough for a status line.
    int64_t now = NowMs();
    if (!force && now - lastProgress_ < 200)
        return;
    lastProgress_ = now;
    ShowProgress(linkCount_, newLinkCount_);
}

} // namespace arvelo
