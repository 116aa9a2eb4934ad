#pragma once

#include "crawl/FollowRules.h"
#include "crawl/LocalNames.h"
#include "crawl/Parser.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace arvelo {

class TAVProfile;

// A link the follow rules took, on its way to becoming an item of the task.
struct TCandidate {
    std::string url; // never with a fragment
    std::string title, baseAddress, referrer, frame, group;
    int32_t level = 0;
    uint8_t mark = 0;
};

// The page being processed, as its item describes it.
struct TPageInfo {
    std::string url;
    int32_t level = 0;
    uint8_t mark = 0;
    std::string frame;
};

// The address of the advertisement page the banner shows.
extern const char *const kAdBannerAddress;

// The two fragments of the banner: the block after the body tag and the
// layer before its end.
std::string AdBannerBlock();
std::string AdBannerLayer();

// Puts the banner after the first BODY tag and its layer before the first
// /BODY tag that are not inside script blocks.
std::string InsertAdBanner(std::string page);

// Everything done to one saved page before it is written back: the base
// tag taken out, the title read, the links found, judged, queued and
// converted, the banner inserted. It touches no task list itself: followed
// links go out in batches through QueueItems, which says how many were new.
class TPageProcessor {
public:
    // One row of the tag passes: tag name and attribute.
    struct TTagPass {
        const char *tag, *attribute;
    };
    static const TTagPass kTagPasses[21];
    static constexpr size_t kBatchSize = 512;

    // startRedirect: where the start address led on another host, or empty.
    TPageProcessor(const TAVProfile &profile, const std::string &startURL, TPageInfo page, bool withBanner,
                   const std::string &startRedirect = {});

    std::function<int(std::vector<TCandidate> &batch)> QueueItems;
    std::function<void(int links, int newLinks)> ShowProgress;
    // Sees the text each scan pass started from and the pass's parser with
    // its replacements (for checks of what a pass may change).
    std::function<void(std::string_view passInput, const TAVParser &parser)> OnPass;

    // Set by a caller that queues the page's last links together with the
    // page's own outcome: they stay for TakeUnqueued instead of going out
    // through QueueItems as Process ends.
    bool HoldLastBatch = false;

    std::string Process(std::string page);
    // The addresses of a srcset value: each candidate's place in the value
    // (start and length) and its address.
    struct TSrcsetCandidate {
        size_t start, length;
        std::string url;
        bool operator==(const TSrcsetCandidate &) const = default;
    };
    static std::vector<TSrcsetCandidate> SrcsetCandidates(std::string_view value);
    std::vector<TCandidate> TakeUnqueued() { return std::exchange(batch_, {}); }

    const std::string &Title() const { return title_; }
    const std::string &BaseHref() const { return baseHref_; }
    // Followed links of the whole page, and how many of them were new.
    int LinkCount() const { return linkCount_; }
    int NewLinkCount() const { return newLinkCount_; }

private:
    std::string RemoveBase(std::string page);
    void ScanLinks(const std::string &page, const TTagIndex &index, const std::string &tag,
                   const std::string &attribute, uint8_t mode);
    // True when an earlier pass has already converted text in the range.
    bool AlreadyConverted(size_t start, size_t end) const;
    void HandleLink(TAVParser &parser, const std::string &value, const std::string &tag, const std::string &attribute);
    void ConvertLink(TAVParser &parser, const std::string &url, const std::string &fragment);
    // Each address of a srcset value is a link of its own.
    void HandleSrcset(TAVParser &parser, const std::string &tag);
    // The style sheets written into the page: <style> blocks and style
    // attributes, read as saved style sheets are.
    void ScanStyles(const std::string &page, const TTagIndex &index);
    std::string ProcessStyle(std::string_view css);
    void Flush();
    void Progress(bool force);

    const TAVProfile &profile_;
    const std::string startURL_, startRedirect_;
    TFollowRules rules_;
    TPageInfo page_;
    std::string pageDir_;
    TLocalLinks localLinker_;
    bool withBanner_;
    std::string baseHref_, title_;
    int linkCount_ = 0, newLinkCount_ = 0;
    std::vector<TCandidate> batch_;
    std::unordered_set<std::string> sent_;
    // A page names many addresses more than once: what they resolve to and
    // their local links are worked out once per page.
    struct TResolved {
        std::string url, group;
    };
    std::unordered_map<std::string, TResolved> resolved_;
    std::unordered_map<std::string, std::string> localLinks_;
    // Every pass reads the same text; the new link texts of all passes are
    // put in once at the end, by position.
    std::map<size_t, TAVParser::Replacement> replacements_;
    int64_t lastProgress_ = 0;
};

} // namespace arvelo
