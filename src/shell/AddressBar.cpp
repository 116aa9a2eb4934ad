#include "shell/AddressBar.h"

#include "core/FileUtils.h"
#include "core/TextUtils.h"

#include <algorithm>

namespace arvelo {

std::string PastedAddress(const std::string &clipboardText)
{
    // The first line that holds more than blanks.
    std::string line;
    for (size_t start = 0; line.empty() && start < clipboardText.size();) {
        size_t end = std::min(clipboardText.find_first_of("\r\n", start), clipboardText.size());
        line = Trim(std::string_view(clipboardText).substr(start, end - start));
        start = end + 1;
    }
    if (line.size() <= kMaxPastedAddress)
        return line;
    size_t end = kMaxPastedAddress;
    // Back to the start of a character: continuation bytes are 10xxxxxx.
    while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
        --end;
    return Trim(line.substr(0, end));
}

std::string IntranetModeHint(const std::string &localIntranetFolder)
{
    return "Set Default: Personal Intranet Mode.\nDownloaded websites are stored directly\non your hard disk within  \n" +
           localIntranetFolder;
}

std::string ArveloModeHint(const std::string &downloadsFolder)
{
    return "Set Default: Arvelo Mode.\nDownloaded websites are stored within a single compressed\nZip file which is "
           "saved on your hard disk within  \n" +
           downloadsFolder;
}

std::string TodaysArchiveCaption(const std::string &shortDate) { return "New - My Arvelo's for " + shortDate; }

std::string TodaysArchivePath(const std::string &downloadsFolder, const std::string &shortDate)
{
    std::string date = shortDate;
    std::replace(date.begin(), date.end(), '/', '-');
    return IncludeTrailingSlash(downloadsFolder) + "My Arvelos for " + date + ".zip";
}


StringList DownloadsMenuArchives(const std::string &downloadsFolder)
{
    StringList names = FolderFiles(downloadsFolder, "*.zip");
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string &a, const std::string &b) { return LowerAscii(a) < LowerAscii(b); });
    if (names.size() > kDownloadsMenuArchives)
        names.resize(kDownloadsMenuArchives);
    return names;
}

} // namespace arvelo
