#include "crawl/LocalNames.h"

#include "core/FileUtils.h"
#include "core/TextUtils.h"
#include "crawl/URL.h"
#include "model/FileTypes.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace arvelo {
namespace {

// A page made by the server under a name a browser does not render from disk.
bool IsServerSidePage(const std::string &extension)
{
    static const char *const kServerSide[] = {".php", ".php3", ".php4", ".php5", ".phtml", ".asp", ".aspx",
                                              ".jsp", ".jspx", ".cgi", ".pl",   ".cfm",  ".shtml"};
    const std::string lower = LowerAscii(extension);
    return std::any_of(std::begin(kServerSide), std::end(kServerSide), [&](const char *e) { return lower == e; }) &&
           GroupOfFile("x" + lower) == kPageGroup;
}

std::string ExtensionForQuery(const TlqURL &url)
{
    // A file whose own type is not a page keeps it despite its query.
    std::string own = URLExtension(url);
    if (own != ".html" && !IsServerSidePage(own))
        return own;
    if (url.URL.find("=gif") != std::string::npos)
        return ".gif";
    if (url.URL.find("=jpg") != std::string::npos)
        return ".jpg";
    return {};
}

// The last segment of a "/"-separated text.
std::string LastSegment(const std::string &text)
{
    size_t slash = text.rfind('/');
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

uint32_t Fnv1a(const std::string &text)
{
    uint32_t hash = 2166136261u;
    for (unsigned char c : text)
        hash = (hash ^ c) * 16777619u;
    return hash;
}

// Cut at most limit bytes without splitting a UTF-8 sequence.
std::string Utf8Prefix(const std::string &text, size_t limit)
{
    if (text.size() <= limit)
        return text;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

// One name of a local path made safe to create: no control characters, never
// "." or "..", and no longer than the file system allows. A shortened name
// keeps its extension and carries a hash of the whole name, so that two long
// names that share their beginning stay apart.
std::string SafeSegment(const std::string &segment)
{
    std::string name;
    name.reserve(segment.size());
    for (char c : segment) {
        unsigned char u = static_cast<unsigned char>(c);
        name += (u < 32 || u == 127) ? '_' : c;
    }
    if (name == "." || name == "..")
        return std::string(name.size(), '_');
    if (name.size() <= kMaxNameBytes)
        return name;
    std::string extension = ExtractFileExt(name);
    if (extension.size() > 16)
        extension.clear();
    char tag[16];
    std::snprintf(tag, sizeof tag, "~%08x", Fnv1a(segment));
    std::string stem = name.substr(0, name.size() - extension.size());
    return Utf8Prefix(stem, kMaxNameBytes - extension.size() - 9) + tag + extension;
}

// The local folders of an address's path: escaped, empty and "." segments
// dropped, ".." taking back the folder before it but never climbing out of
// the host folder.
std::vector<std::string> LocalFolders(const std::string &path)
{
    std::vector<std::string> folders;
    std::string escaped = EscapeLocalName(path);
    size_t start = 0;
    while (start <= escaped.size()) {
        size_t end = escaped.find('/', start);
        if (end == std::string::npos)
            end = escaped.size();
        std::string segment = escaped.substr(start, end - start);
        start = end + 1;
        if (segment.empty() || segment == ".")
            continue;
        if (segment == "..") {
            if (!folders.empty())
                folders.pop_back();
            continue;
        }
        folders.push_back(SafeSegment(segment));
    }
    return folders;
}

// The local file name of an address (its folders aside).
std::string LocalFileSegment(const TlqURL &url)
{
    std::string name = url.FileName + url.Query;
    if (!url.Query.empty()) {
        std::string extension = ExtensionForQuery(url);
        name += extension.empty() ? std::string(".html") : extension;
    } else if (IsServerSidePage(url.Extension)) {
        name += ".htm"; // "page.php.htm": rendered from disk as the page it is
    }
    name = EscapeLocalName(name);
    // A file name never holds a separator: what the escapes leave of one goes.
    name = LastSegment(name);
    if (name.empty())
        return "index.htm";
    return SafeSegment(name);
}

std::string HostFolder(const std::string &host) { return SafeSegment(EscapeLocalName(host)); }

// A server's own port, as its scheme has it.
bool DefaultPort(const TlqURL &url)
{
    return url.Port.empty() || url.Port == (LowerAscii(url.Protocol) == "https://" ? "443" : "80");
}

std::string Join(const std::vector<std::string> &folders, size_t from = 0)
{
    std::string out;
    for (size_t i = from; i < folders.size(); ++i)
        out += folders[i] + "/";
    return out;
}

std::string Repeat(const std::string &text, size_t count)
{
    std::string out;
    for (size_t i = 0; i < count; ++i)
        out += text;
    return out;
}

} // namespace

std::string GroupOfURL(const std::string &address)
{
    TlqURL url(address);
    std::string extension = URLExtension(url);
    if (extension.empty())
        extension = ".htm";
    if (!url.Query.empty()) {
        extension = ExtensionForQuery(url);
        if (extension.empty())
            extension = ".htm";
    }
    return GroupOfExtension(extension);
}

std::string GroupOfFile(const std::string &fileName)
{
    std::string extension = LowerAscii(ExtractFileExt(fileName));
    return GroupOfExtension(extension.empty() ? std::string(".htm") : extension);
}

std::string UpLevels(const std::string &path)
{
    return Repeat("../", static_cast<size_t>(std::count(path.begin(), path.end(), '/')));
}

std::string RelativeURLPath(const std::string &url, const std::string &baseDir)
{
    if (!url.empty() && url[0] == '/')
        return UpLevels(URLPath(baseDir)) + url.substr(1);
    if (URLHost(url) != URLHost(baseDir))
        return url;
    std::string a = URLPath(url), b = URLPath(baseDir), f = URLFileAndQuery(url);
    auto firstSegment = [](const std::string &path) {
        size_t slash = path.find('/');
        return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    };
    while (!b.empty()) {
        std::string segment = firstSegment(b);
        if (segment.empty() || firstSegment(a) != segment)
            break;
        a.erase(0, segment.size());
        b.erase(0, segment.size());
    }
    return UpLevels(b) + a + f;
}

std::string ServerFolder(const TlqURL &url)
{
    // Two servers of one host never share a folder.
    return HostFolder(DefaultPort(url) ? url.Host : url.Host + "_" + url.Port);
}

std::string EscapeLocalName(const std::string &text)
{
    std::string out = text;
    size_t question = out.find('?');
    if (question != std::string::npos) {
        std::string query = out.substr(question);
        ReplaceText(query, "/", kSlashInQuery, kReplaceAll | kReplaceExactCase);
        ReplaceText(query, "?", kQuestionMark, kReplaceAll | kReplaceExactCase);
        out = out.substr(0, question) + query;
    }
    ReplaceText(out, "%20", " ", kReplaceAll);
    // "caf%C3%A9.html" and "café.html" are one file.
    out = DecodeNeedlessEscapes(out);
    ReplaceText(out, "&amp;", "&", kReplaceAll);
    ReplaceText(out, "%3A", kColonOrBar, kReplaceAll);
    ReplaceText(out, "|", kColonOrBar, kReplaceAll);
    ReplaceText(out, "*", kAsterisk, kReplaceAll);
    ReplaceText(out, ":", kColonOrBar, kReplaceAll);
    ReplaceText(out, "//", "/", kReplaceAll);
    return out;
}

TLocalLinks::TLocalLinks(const std::string &base)
    : base_(base), baseFolders_(LocalFolders(base_.Path)), baseServer_(ServerFolder(base_))
{
}

std::string TLocalLinks::PathOf(const std::string &address) const
{
    TlqURL url(address);
    std::string file = LocalFileSegment(url);
    std::vector<std::string> target = LocalFolders(url.Path);
    const std::string server = ServerFolder(url);
    if (server != baseServer_)
        return "../" + Repeat("../", baseFolders_.size()) + server + "/" + Join(target) + file;
    size_t common = 0;
    while (common < baseFolders_.size() && common < target.size() && baseFolders_[common] == target[common])
        ++common;
    return Repeat("../", baseFolders_.size() - common) + Join(target, common) + file;
}

std::string LocalLinkPath(const std::string &address, const std::string &baseDir)
{
    return TLocalLinks(baseDir).PathOf(address);
}

std::string UnconvertedCopyName(const std::string &localFile)
{
    // A long name is shortened to fit the file system's limit, with a hash
    // of the whole name so that two pages never share a kept download.
    std::string name = ExtractFileName(localFile);
    if (name.size() > 200) {
        uint32_t hash = 2166136261u;
        for (unsigned char c : name)
            hash = (hash ^ c) * 16777619u;
        char suffix[10];
        std::snprintf(suffix, sizeof suffix, "~%08x", hash);
        name = name.substr(0, 180) + suffix;
    }
    return ExtractFilePath(localFile) + "." + name + ".unconverted";
}

std::string LocalFileName(const std::string &root, const std::string &baseDir, const std::string &url)
{
    (void)baseDir; // the file name depends on the address alone
    TlqURL parts(url);
    std::string folders = Join(LocalFolders(parts.Path));
    return root + (parts.Host.empty() ? std::string() : ServerFolder(parts) + "/") + folders +
           LocalFileSegment(parts);
}

std::string SafeFileName(const std::string &text, char replacement)
{
    std::string out = text;
    for (char &c : out)
        if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
            c = replacement;
    return out;
}

std::string EncodeLocalLink(const std::string &localPath)
{
    static constexpr std::string_view kReserved = "%#? \"<>\\'`^{}|[]";
    std::string out;
    out.reserve(localPath.size());
    for (char c : localPath) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u <= 32 || u >= 127 || kReserved.find(c) != std::string_view::npos) {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace arvelo
