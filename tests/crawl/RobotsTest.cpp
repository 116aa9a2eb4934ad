#include "crawl/Robots.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace arvelo {
namespace {

constexpr const char *kAgent = "Arvelo/2.61.125 (https://www.arvelo.example/)";

TEST(RobotsRules, WorkedFiles)
{
    struct Case {
        const char *name;
        const char *file;
        const char *path;
        bool allowed;
    } cases[] = {
        {"no file", "", "/a.html", true},
        {"a folder", "User-agent: *\nDisallow: /private/\n", "/private/a.html", false},
        {"outside it", "User-agent: *\nDisallow: /private/\n", "/public/a.html", true},
        {"a prefix, not a folder", "User-agent: *\nDisallow: /p\n", "/page.html", false},
        {"everything", "User-agent: *\nDisallow: /\n", "/", false},
        {"an empty Disallow", "User-agent: *\nDisallow:\n", "/a.html", true},
        {"the longer Allow wins", "User-agent: *\nDisallow: /a/\nAllow: /a/open/\n", "/a/open/x", true},
        {"the longer Disallow wins", "User-agent: *\nAllow: /a/\nDisallow: /a/shut/\n", "/a/shut/x", false},
        {"Allow on a tie", "User-agent: *\nDisallow: /a\nAllow: /a\n", "/a", true},
        {"a wildcard", "User-agent: *\nDisallow: /*.pdf\n", "/docs/x.pdf", false},
        {"an end anchor", "User-agent: *\nDisallow: /*.pdf$\n", "/docs/x.pdf?v=2", true},
        {"a query", "User-agent: *\nDisallow: /*?id=2\n", "/list.html?id=2", false},
        {"another query", "User-agent: *\nDisallow: /*?id=2\n", "/list.html?id=1", true},
        {"comments and CR LF", "# hi\r\nUser-agent: * # all\r\nDisallow: /x # not x\r\n", "/x", false},
        {"letter case of keys", "USER-AGENT: *\nDISALLOW: /x\n", "/x", false},
        {"the group naming us", "User-agent: *\nDisallow: /\n\nUser-agent: arvelo\nDisallow: /x\n", "/a", true},
        {"its rules alone", "User-agent: *\nDisallow: /a\n\nUser-agent: Arvelo\nDisallow: /x\n", "/x", false},
        {"another agent's group", "User-agent: OtherBot\nDisallow: /\n", "/a", true},
        {"a group of two agents", "User-agent: OtherBot\nUser-agent: Arvelo\nDisallow: /\n", "/a", false},
        {"rules before any group", "Disallow: /\n", "/a", true},
        {"robots.txt itself", "User-agent: *\nDisallow: /\n", "/robots.txt", true},
        {"binary garbage", "\x01\xFF:\x00:\n::::\nUser-agent\n", "/a", true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TRobotsRules(c.file, kAgent).Allows(c.path), c.allowed) << c.name;
}

TEST(RobotsRules, AHostilePatternCostsLittle)
{
    // Backtracking to every "*" would take ages on these.
    std::string pattern = "/";
    for (int i = 0; i < 200; ++i)
        pattern += "*a";
    TRobotsRules rules("User-agent: *\nDisallow: " + pattern + "b\n", kAgent);
    EXPECT_TRUE(rules.Allows("/" + std::string(5000, 'a')));
    EXPECT_FALSE(rules.Allows("/" + std::string(5000, 'a') + "b"));
}

TEST(RobotsCache, EachServerIsAskedOnceWhileTheOthersWait)
{
    TRobotsCache cache(kAgent);
    std::atomic<int> fetches{0};
    auto fetch = [&](const std::string &url) {
        ++fetches;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return url == "http://a.example:8080/robots.txt" ? std::string("User-agent: *\nDisallow: /no/\n")
                                                          : std::string();
    };
    std::vector<std::thread> threads;
    std::atomic<int> allowed{0};
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&, i] {
            allowed += cache.Allows(i % 2 ? "http://A.example:8080/no/x.html" : "http://a.example:8080/yes.html",
                                    fetch, [] {});
        });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(fetches, 1);
    EXPECT_EQ(allowed, 4);
    // Another port, another scheme: other servers.
    EXPECT_TRUE(cache.Allows("http://a.example/no/x.html", fetch, [] {}));
    EXPECT_TRUE(cache.Allows("https://a.example:8080/no/x.html", fetch, [] {}));
    EXPECT_EQ(fetches, 3);
}

TEST(RobotsCache, AFetchThatFailsIsTriedAgainByTheNext)
{
    TRobotsCache cache(kAgent);
    int fetches = 0;
    auto failing = [&](const std::string &) -> std::string {
        ++fetches;
        throw std::runtime_error("cancelled");
    };
    EXPECT_THROW(cache.Allows("http://a.example/x", failing, [] {}), std::runtime_error);
    auto working = [&](const std::string &) {
        ++fetches;
        return std::string("User-agent: *\nDisallow: /x\n");
    };
    EXPECT_FALSE(cache.Allows("http://a.example/x", working, [] {}));
    EXPECT_EQ(fetches, 2);
}

} // namespace
} // namespace arvelo
