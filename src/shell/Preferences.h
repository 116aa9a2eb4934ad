#pragma once

#include "core/TextUtils.h"

#include <string>

namespace arvelo {

class TAVApp;

// What the Preferences dialog shows and stores: its controls' values.
struct TPreferencesForm {
    std::string maxURLHistory = "20", maxFileHistory = "10";
    bool zipLast = false, noAds = true, zipPropertiesFirst = false, beepOnCompletion = false;
    std::string tempFolder, downloadsFolder, intranetFolder;
    bool lastZipFolder = false, lastUnzipFolder = false;
    std::string zipFolder, unzipFolder;
    bool useProxy = false;
    std::string proxyAddress, proxyPort, proxyUserName, proxyPassword;
    std::string userAgent = "Arvelo";
    std::string browser;
    StringList browsers; // the history of browser programs
};

// The agent names the list offers, "Arvelo" first.
StringList UserAgentNames();
// The browser programs' history, kept under its own key.
inline constexpr const char *kBrowsersKey = "\\Software\\Lindqvarn\\Arvelo\\Browsers";
inline constexpr int kMaxBrowsers = 20;

// The form as the stored preferences fill it; an empty browser history is
// seeded with the other browser found and the default one.
TPreferencesForm LoadPreferences(TAVApp &app);
// Stores the form, in the dialog's order; a counter that is no number
// stores 20 (addresses) or 10 (files).
void ApplyPreferences(TAVApp &app, const TPreferencesForm &form);

// The question offering the desktop's proxy, and the address and port of
// a detected "host:port" (no colon: all of it is the port).
std::string ProxyQuestion(const std::string &proxy);
void SplitDetectedProxy(const std::string &proxy, std::string &address, std::string &port);

} // namespace arvelo
