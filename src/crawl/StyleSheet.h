#pragma once

#include "crawl/FollowRules.h"
#include "crawl/LocalNames.h"
#include "crawl/PageProcessor.h"

#include <functional>
#include <string>
#include <vector>

namespace arvelo {

class TAVProfile;

// Whether an address names a style sheet, whose own links are followed too.
bool IsStyleSheetURL(const std::string &url);

// What is done to a saved style sheet: the addresses in its url(...) values
// and @import rules are judged by the follow rules as files the sheet needs,
// queued, and rewritten to the local copies of those that are followed.
class TStyleSheetProcessor {
public:
    TStyleSheetProcessor(const TAVProfile &profile, const std::string &startURL, TPageInfo sheet,
                         const std::string &startRedirect = {});

    std::function<int(std::vector<TCandidate> &batch)> QueueItems;

    std::string Process(const std::string &text);

private:
    // The new text of one reference, or the reference as it was.
    std::string Reference(const std::string &value);

    const TAVProfile &profile_;
    TFollowRules rules_;
    TPageInfo sheet_;
    std::string sheetDir_;
    TLocalLinks localLinker_;
    std::vector<TCandidate> batch_;
};

} // namespace arvelo
