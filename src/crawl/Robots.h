#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace arvelo {

// What one server's robots.txt allows an agent: the rules of the group that
// names the agent (the longest name found in its User-agent text), else of
// the "*" group. The longest pattern that matches a path decides, "Allow"
// on a tie; "*" matches any run of characters and a final "$" the end.
class TRobotsRules {
public:
    TRobotsRules() = default; // allows everything
    TRobotsRules(std::string_view text, const std::string &userAgent);
    // pathAndQuery: as in the request ("/a/b?c"). "/robots.txt" is always allowed.
    bool Allows(const std::string &pathAndQuery) const;

private:
    struct TRule {
        std::string pattern;
        bool allow;
    };
    std::vector<TRule> rules_;
};

// The robots rules of every server a run fetches from, each server's file
// fetched once, by the first fetch that needs it; the others wait for it.
class TRobotsCache {
public:
    // The file's text, empty when the server has none or it could not be read.
    using TFetch = std::function<std::string(const std::string &robotsURL)>;
    // Robots files beyond this many bytes are read up to it.
    static constexpr size_t kMaxFileBytes = 512 * 1024;

    explicit TRobotsCache(std::string userAgent) : userAgent_(std::move(userAgent)) {}

    // Whether the address may be fetched; any thread. checkCanceled is
    // called while waiting for another fetch of the file, and raises when
    // the fetch that waits has been cancelled; what fetch raises is passed on,
    // and the file is fetched by the next that asks.
    bool Allows(const std::string &url, const TFetch &fetch, const std::function<void()> &checkCanceled);

private:
    struct TServer {
        bool known = false;
        TRobotsRules rules;
    };
    const std::string userAgent_;
    std::mutex mutex_;
    std::condition_variable known_;
    std::map<std::string, TServer> servers_;
};

// The text an item excluded by robots.txt shows as its result.
inline constexpr const char *kRobotsExcluded = "Excluded by robots.txt";

} // namespace arvelo
