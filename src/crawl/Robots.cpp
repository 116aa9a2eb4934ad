#include "crawl/Robots.h"

#include "core/TextUtils.h"
#include "crawl/URL.h"

namespace arvelo {
namespace {

// Whether the whole path matches the pattern, "*" matching any run of
// characters. Backtracks to the last "*" only, so that a hostile pattern
// costs at most pattern times path steps.
bool WholeMatch(std::string_view pattern, std::string_view path)
{
    size_t p = 0, s = 0, star = std::string_view::npos, resume = 0;
    while (s < path.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = s;
        } else if (p < pattern.size() && pattern[p] == path[s]) {
            ++p;
            ++s;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            s = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// A rule's pattern matches the start of the path, or the whole path when
// it ends in "$".
bool Matches(const std::string &pattern, std::string_view path)
{
    if (pattern.ends_with('$'))
        return WholeMatch(std::string_view(pattern).substr(0, pattern.size() - 1), path);
    return WholeMatch(pattern + "*", path);
}

std::string Lower(std::string_view text) { return LowerAscii(std::string(text)); }

} // namespace

TRobotsRules::TRobotsRules(std::string_view text, const std::string &userAgent)
{
    const std::string agent = Lower(userAgent);
    // The groups of the file: their agent names and their rules, a group
    // being the rules after one or more User-agent lines.
    struct TGroup {
        std::vector<std::string> agents;
        std::vector<TRule> rules;
    };
    std::vector<TGroup> groups;
    bool inAgents = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        line = line.substr(0, line.find('#'));
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string key = Lower(Trim(line.substr(0, colon)));
        const std::string value = Trim(line.substr(colon + 1));
        if (key == "user-agent") {
            if (!inAgents)
                groups.emplace_back();
            groups.back().agents.push_back(Lower(value));
            inAgents = true;
        } else if (key == "allow" || key == "disallow") {
            inAgents = false;
            // An empty Disallow allows everything: no rule.
            if (!groups.empty() && !value.empty())
                groups.back().rules.push_back({value, key == "allow"});
        } else {
            inAgents = false;
        }
    }
    // The group naming the agent most precisely, else every "*" group.
    size_t longest = 0;
    for (const TGroup &group : groups)
        for (const std::string &name : group.agents)
            if (name != "*" && name.size() > longest && agent.find(name) != std::string::npos)
                longest = name.size();
    for (const TGroup &group : groups) {
        bool applies = false;
        for (const std::string &name : group.agents)
            applies |= longest ? name.size() == longest && agent.find(name) != std::string::npos : name == "*";
        if (applies)
            rules_.insert(rules_.end(), group.rules.begin(), group.rules.end());
    }
}

bool TRobotsRules::Allows(const std::string &pathAndQuery) const
{
    if (pathAndQuery == "/robots.txt")
        return true;
    const TRule *decisive = nullptr;
    for (const TRule &rule : rules_) {
        if (!Matches(rule.pattern, pathAndQuery))
            continue;
        if (!decisive || rule.pattern.size() > decisive->pattern.size() ||
            (rule.pattern.size() == decisive->pattern.size() && rule.allow))
            decisive = &rule;
    }
    return !decisive || decisive->allow;
}

bool TRobotsCache::Allows(const std::string &url, const TFetch &fetch, const std::function<void()> &checkCanceled)
{
    const TlqURL parts(url);
    const std::string server = Lower(parts.Protocol + parts.Host) + (parts.Port.empty() ? "" : ":" + parts.Port);
    const std::string path = "/" + parts.Path + parts.FileName + parts.Query;
    std::unique_lock lock(mutex_);
    for (;;) {
        auto found = servers_.find(server);
        if (found == servers_.end())
            break;
        if (found->second.known)
            return found->second.rules.Allows(path);
        lock.unlock();
        checkCanceled();
        lock.lock();
        known_.wait_for(lock, std::chrono::milliseconds(100));
    }
    servers_.try_emplace(server);
    lock.unlock();
    TRobotsRules rules;
    try {
        std::string text = fetch(server + "/robots.txt");
        if (text.size() > kMaxFileBytes)
            text.resize(kMaxFileBytes);
        rules = TRobotsRules(text, userAgent_);
    } catch (...) {
        lock.lock();
        servers_.erase(server);
        known_.notify_all();
        throw;
    }
    lock.lock();
    TServer &entry = servers_[server];
    entry.rules = std::move(rules);
    entry.known = true;
    known_.notify_all();
    return entry.rules.Allows(path);
}

} // namespace arvelo
