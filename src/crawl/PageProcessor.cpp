#include "crawl/PageProcessor.h"

#include "core/TextUtils.h"
#include "crawl/LocalNames.h"
#include "crawl/Parser.h"
#include "crawl/URL.h"
#include "model/DownloadItem.h"
#include "model/FileTypes.h"
#include "model/Profile.h"

#include <chrono>

namespace arvelo {

const char *const kAdBannerAddress = "https://www.arvelo.net/banner/468x60.html";

const TPageProcessor::TTagPass TPageProcessor::kTagPasses[10] = {
    {"FRAME", "SRC"},  {"A", "HREF"},       {"IMG", "SRC"},     {"INPUT", "SRC"}, {"META", "URL"},
    {"BODY", "BACKGROUND"}, {"BGSOUND", "SRC"}, {"AREA", "HREF"}, {"APPLET", "CODE"}, {"LINK", "HREF"},
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
                               bool withBanner)
    : profile_(profile), rules_(profile, URLDirectory(startURL)), page_(std::move(page)),
      pageDir_(URLDirectory(page_.url)), withBanner_(withBanner)
{
}

std::string TPageProcessor::Process(std::string page)
{
    page = RemoveBase(std::move(page));
    size_t open = FindNoCase(page, "<TITLE>", 0), close = FindNoCase(page, "</TITLE>", 0);
    if (open != TAVParser::kNone && close != TAVParser::kNone && close >= open + 7)
        title_ = CleanLinkText(std::string_view(page).substr(open + 7, close - open - 7));
    if (profile_.aggressiveParser != 2)
        for (const TTagPass &pass : kTagPasses)
            page = ScanLinks(page, pass.tag, pass.attribute, 0);
    if (profile_.aggressiveParser != 0) {
        page = ScanLinks(page, "'", "", profile_.aggressiveParser);
        page = ScanLinks(page, "\"", "", profile_.aggressiveParser);
    }
    if (withBanner_ && page_.frame != "Y")
        page = InsertAdBanner(std::move(page));
    return page;
}

std::string TPageProcessor::RemoveBase(std::string page)
{
    TAVParser base(page, "BASE", ">", "HREF");
    std::string value = base.NextAttrValue();
    if (value.empty())
        return page;
    baseHref_ = ResolveURL(value, pageDir_);
    page.erase(base.TagStart, base.TagEnd - base.TagStart + 1);
    return page;
}

std::string TPageProcessor::ScanLinks(const std::string &page, const std::string &tag, const std::string &attribute,
                                      uint8_t mode)
{
    linkCount_ = newLinkCount_ = 0;
    TAVParser parser(page, tag, mode == 0 ? ">" : tag, attribute, mode);
    do {
        std::string value = parser.NextValue();
        if (!value.empty() && value[0] != '#' && LowerAscii(value).find("mailto:") == std::string::npos &&
            value.find('\'') == std::string::npos)
            HandleLink(parser, value, mode == 0 ? tag : std::string(), attribute);
        Progress(false);
    } while (parser.More());
    Flush();
    Progress(true);
    if (OnPass)
        OnPass(page, parser);
    return parser.Result();
}

void TPageProcessor::HandleLink(TAVParser &parser, const std::string &value, const std::string &tag,
                                const std::string &attribute)
{
    TCandidate candidate;
    candidate.title = parser.LinkText();
    candidate.baseAddress = baseHref_.empty() ? pageDir_ : baseHref_;
    candidate.referrer = page_.url;
    if (attribute == "CODE") {
        TAVParser codebase(parser.Text(), tag, ">", "CODEBASE");
        codebase.ScanPos = parser.TagStart;
        std::string found = codebase.NextAttrValue();
        if (!found.empty())
            candidate.baseAddress = ResolveURL(found, candidate.baseAddress);
    }
    if (tag == "FRAME")
        candidate.frame = "Y";
    candidate.level = page_.level + 1;
    std::string url;
    if (candidate.baseAddress == pageDir_ || candidate.baseAddress == baseHref_) {
        auto [found, added] = resolved_.try_emplace(value);
        if (added) {
            found->second.url = ResolveHTTPURL(value, candidate.baseAddress);
            found->second.group = GroupOfURL(found->second.url);
        }
        url = found->second.url;
        candidate.group = found->second.group;
    } else {
        url = ResolveHTTPURL(value, candidate.baseAddress);
        candidate.group = GroupOfURL(url);
    }
    candidate.mark = page_.mark;
    if (candidate.group != kPageGroup && candidate.mark == imMap)
        candidate.mark = imUnmarked;
    const bool page = candidate.group == kPageGroup;
    int testLevel = page && (attribute == "SRC" || attribute == "URL") ? page_.level : page_.level + 1;

    if (rules_.FollowLink(url, candidate.group, testLevel)) {
        if (profile_.convertFollowedLinks == 1)
            ConvertLink(parser, url);
        candidate.url = StripFragment(url);
        if (sent_.insert(candidate.url).second) {
            batch_.push_back(std::move(candidate));
            if (batch_.size() >= kBatchSize)
                Flush();
        }
        ++linkCount_;
    } else if ((profile_.convertUnfollowedLinks == 1 && url.find(rules_.StartSite()) != std::string::npos) ||
               (profile_.convertUnfollowedLinks == 2 && !url.empty())) {
        ConvertLink(parser, url);
    }
}

void TPageProcessor::ConvertLink(TAVParser &parser, const std::string &url)
{
    // Relative to the folder the page itself is saved in.
    auto [found, added] = localLinks_.try_emplace(url);
    if (added)
        found->second = EncodeLocalLink(LocalLinkPath(url, pageDir_)) + URLFragment(url);
    parser.ReplaceValue(found->second);
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
