#pragma once

#include "crawl/URL.h"

#include <string>
#include <vector>

// Where the copy of an address lives on disk, and the relative path from one
// saved page to another. A site is stored as one folder per host, then the
// address's folders, then a file name derived from its file name and query.
// Every name stays inside its root: "." and ".." segments are resolved
// within the host folder, control characters are replaced, and no name is
// longer than the file system allows.
namespace arvelo {

// Characters that stand in for ones a file name cannot hold (UTF-8).
inline constexpr const char *kSlashInQuery = "\xC2\xA1";   // inverted exclamation mark
inline constexpr const char *kQuestionMark = "\xC2\xBF";   // inverted question mark
inline constexpr const char *kColonOrBar = "\xC2\xA6";     // broken bar
inline constexpr const char *kAsterisk = "\xC2\xB0";       // degree sign

// The longest file name, in bytes, that a local name may have.
inline constexpr size_t kMaxNameBytes = 255;

std::string GroupOfURL(const std::string &url);
// The group of a local file by its extension; a file without one counts as a page (".htm").
std::string GroupOfFile(const std::string &fileName);
std::string UpLevels(const std::string &path);
std::string RelativeURLPath(const std::string &url, const std::string &baseDir);
std::string EscapeLocalName(const std::string &text);
// The folder of an address's server in a copy: its host, with "_" and the
// port when that is not its scheme's default ("127.0.0.1_8103").
std::string ServerFolder(const TlqURL &url);
// The relative local path, "/"-separated, from the folder of baseDir's copy to
// url's copy.
std::string LocalLinkPath(const std::string &url, const std::string &baseDir);
// The full local file name of url under root (which ends in "/").
// LocalLinkPath of many addresses seen from one folder, the folder's part
// worked out once.
class TLocalLinks {
public:
    // base: the folder's address, or the address of a page saved in it.
    explicit TLocalLinks(const std::string &base);
    std::string PathOf(const std::string &url) const;

private:
    TlqURL base_;
    std::vector<std::string> baseFolders_;
    std::string baseServer_;
};

std::string LocalFileName(const std::string &root, const std::string &baseDir, const std::string &url);
std::string SafeFileName(const std::string &text, char replacement);
// The hidden name beside a saved page under which its download is kept while
// its links are converted, until the page is recorded as converted: a crash
// in between leaves the download to convert again, never a converted page
// whose local links would be read as the server's.
std::string UnconvertedCopyName(const std::string &localFile);
// A local path written into a link so that every browser finds the file:
// bytes outside printable ASCII and the characters a link would take for
// syntax ("%", "#", "?", blanks, quotes, "<", ">", "\") are percent-encoded.
std::string EncodeLocalLink(const std::string &localPath);

} // namespace arvelo
