#include "core/AppPaths.h"
#include "core/FileUtils.h"
#include "e2e/BrowserCheck.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

class ShippedPages : public test::TestHome {};

// The start page, the release notes and the help pages load whole in a
// real browser, without reaching for anything that is not there.
TEST_F(ShippedPages, LoadInChromiumWithNoFailedRequest)
{
    std::vector<std::string> pages = {ShippedDataFolder() + "Home.htm", ShippedDataFolder() + "Release_Notes.htm"};
    for (const std::string &name : FolderFiles(ShippedDataFolder() + "help/", "*.htm"))
        pages.push_back(ShippedDataFolder() + "help/" + name);
    EXPECT_GE(pages.size(), 7u);
    for (const std::string &page : pages)
        ASSERT_TRUE(FileExists(page)) << page;
    ForceFolders(Path("harness/"));
    bool available = false;
    const std::vector<std::string> failures = test::FailedLoadsInChromium(pages, Path("harness/"), available);
    if (!available)
        GTEST_SKIP() << "chromium is not installed";
    EXPECT_EQ(failures, std::vector<std::string>());
}

} // namespace
} // namespace arvelo
