#pragma once

#include "core/TextUtils.h"

#include <string>

namespace arvelo {

// The most of the clipboard "Paste URL..." takes.
inline constexpr size_t kMaxPastedAddress = 8 * 1024;

// The address in a pasted text: its first line that is not blank, trimmed, cut to at most
// kMaxPastedAddress bytes without splitting a character.
std::string PastedAddress(const std::string &clipboardText);

// The hints of the two default-mode buttons, naming where each mode saves.
std::string IntranetModeHint(const std::string &localIntranetFolder);
std::string ArveloModeHint(const std::string &downloadsFolder);

// The caption of File > New > Special for an archive named after the day.
std::string TodaysArchiveCaption(const std::string &shortDate);
// "My Arvelos for " + the date with "-" for "/" + ".zip" in the Downloads folder.
std::string TodaysArchivePath(const std::string &downloadsFolder, const std::string &shortDate);

// The most archives the downloads menu lists before "More...".
inline constexpr size_t kDownloadsMenuArchives = 25;

// The names of the "*.zip" files in the downloads folder for its menu:
// sorted without regard to case, at most kDownloadsMenuArchives.
StringList DownloadsMenuArchives(const std::string &downloadsFolder);

} // namespace arvelo
