#pragma once

#include <string>
#include <vector>

namespace arvelo::test {

// Loads every page in headless Chromium from disk, each in a frame of a
// harness page written into harnessFolder, and answers what failed to load:
// images, style sheets and frames, as "page: what". Sets available false
// when Chromium is not installed.
std::vector<std::string> FailedLoadsInChromium(const std::vector<std::string> &pageFiles,
                                               const std::string &harnessFolder, bool &available);

// Headless Chromium's picture of a page (an address or a file) at 800 by
// 600 pixels, written as PNG; false, with available set, when it cannot.
bool ScreenshotInChromium(const std::string &page, const std::string &pngFile, const std::string &harnessFolder,
                          bool &available);

} // namespace arvelo::test
