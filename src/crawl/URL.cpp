#include "crawl/URL.h"

#include <QByteArray>

#include "core/FileUtils.h"
#include "core/TextUtils.h"
#include "model/FileTypes.h"

#include <algorithm>
#include <vector>

namespace arvelo {
namespace {

bool StartsWithNoCase(const std::string &text, std::string_view prefix)
{
    return text.size() >= prefix.size() && LowerAscii(text.substr(0, prefix.size())) == LowerAscii(prefix);
}

void ReplaceAmpersands(std::string &url) { ReplaceText(url, "&amp;", "&", kReplaceAll); }

// Every prefix of a directory address that ends in a "/" at position 9 or later.
std::vector<std::string> DirectoryPrefixes(const std::string &dirURL)
{
    std::vector<std::string> prefixes;
    for (size_t i = 8; i < dirURL.size(); ++i)
        if (dirURL[i] == '/')
            prefixes.push_back(dirURL.substr(0, i + 1));
    return prefixes;
}

} // namespace

bool IsWebScheme(const std::string &protocol)
{
    std::string scheme = LowerAscii(protocol);
    return scheme == "http://" || scheme == "https://";
}

bool IsWebAddress(const std::string &url)
{
    return StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://");
}

bool IsSecureAddress(const std::string &url) { return StartsWithNoCase(url, "https://"); }

std::string WithoutScheme(const std::string &url)
{
    size_t colon = url.find(':');
    if (colon == std::string::npos || !IsWebScheme(url.substr(0, colon) + "://") || url.compare(colon, 3, "://") != 0)
        return url;
    return url.substr(colon + 1);
}

void TlqURL::SetURL(const std::string &text)
{
    URL = text;
    Protocol.clear(); Host.clear(); Port.clear(); Path.clear();
    FileName.clear(); Extension.clear(); Query.clear(); Fragment.clear();

    std::string rest = BackslashesToSlashes(text);
    size_t scheme = rest.find("://");
    if (scheme != std::string::npos) {
        Protocol = rest.substr(0, scheme + 3);
        rest.erase(0, scheme + 3);
    }
    size_t hostEnd = rest.find_first_of("/:");
    Host = rest.substr(0, hostEnd);
    rest.erase(0, hostEnd == std::string::npos ? rest.size() : hostEnd);
    if (Host == ".")
        Host.clear();
    if (rest.empty())
        return;
    if (rest[0] == ':') {
        size_t portEnd = rest.find('/', 1);
        Port = rest.substr(1, portEnd == std::string::npos ? std::string::npos : portEnd - 1);
        rest.erase(0, portEnd == std::string::npos ? rest.size() : portEnd);
    }
    size_t question = rest.find('?');
    if (question != std::string::npos) {
        Query = rest.substr(question);
        rest.erase(question);
    }
    size_t slash = rest.rfind('/');
    FileName = slash == std::string::npos ? rest : rest.substr(slash + 1);
    std::string path = slash == std::string::npos ? std::string() : rest.substr(0, slash + 1);
    if (!FileName.empty()) {
        size_t hash = FileName.find('#');
        if (hash != std::string::npos) {
            Fragment = FileName.substr(hash);
            FileName.erase(hash);
        }
        size_t dot = FileName.rfind('.');
        if (dot != std::string::npos && FileName.find(':', dot) == std::string::npos)
            Extension = FileName.substr(dot);
    }
    if (Extension.empty() && Query.empty()) {
        path += FileName;
        FileName.clear();
    }
    if (!path.empty() && path[0] == '/')
        path.erase(0, 1);
    if (!path.empty() && path.back() != '/')
        path += '/';
    Path = path;
}

std::string URLProtocol(const std::string &url) { return TlqURL(url).Protocol; }
std::string URLHost(const std::string &url) { return TlqURL(url).Host; }
std::string URLPath(const std::string &url) { return TlqURL(url).Path; }
std::string URLQuery(const std::string &url) { return TlqURL(url).Query; }
std::string URLFragment(const std::string &url) { return TlqURL(url).Fragment; }

std::string URLFileAndQuery(const std::string &url)
{
    TlqURL parts(url);
    return parts.FileName + parts.Query;
}

std::string URLExtension(const std::string &url) { return URLExtension(TlqURL(url)); }

std::string URLExtension(const TlqURL &parts)
{
    std::string own = LowerAscii(parts.Extension);
    if (parts.URL.find('?') == std::string::npos)
        return own;
    std::string group = own.empty() ? std::string() : GroupOfExtension(own);
    return !group.empty() && group != kPageGroup ? own : std::string(".html");
}

std::string SiteShortName(const std::string &url)
{
    std::string text = BackslashesToSlashes(url);
    size_t www = text.find("www.");
    if (www != std::string::npos) {
        std::string rest = text.substr(www + 4);
        size_t dot = rest.find('.');
        return dot == std::string::npos ? std::string() : rest.substr(0, dot);
    }
    std::string host = TlqURL(text).Host;
    size_t dot = host.find('.');
    if (dot != std::string::npos)
        host[dot] = '_';
    dot = host.find('.');
    return dot == std::string::npos ? host : host.substr(0, dot);
}

bool SplitCredentials(std::string &url, std::string &user, std::string &password)
{
    const size_t scheme = url.find("://");
    const size_t host = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t end = url.find_first_of("/?#", host);
    const size_t at = url.rfind('@', end == std::string::npos ? std::string::npos : end);
    if (at == std::string::npos || at < host)
        return false;
    const std::string userInfo = url.substr(host, at - host);
    const size_t colon = userInfo.find(':');
    user = QByteArray::fromPercentEncoding(QByteArray::fromStdString(userInfo.substr(0, colon))).toStdString();
    password = colon == std::string::npos
                   ? std::string()
                   : QByteArray::fromPercentEncoding(QByteArray::fromStdString(userInfo.substr(colon + 1))).toStdString();
    url.erase(host, at + 1 - host);
    return true;
}

bool NormalizeURL(std::string &url)
{
    url = BackslashesToSlashes(url);
    if (TlqURL(url).Protocol.empty())
        url = (url.size() > 1 && url[1] == ':' ? "file://" : "http://") + url;
    TlqURL parts(url);
    if (parts.Host.empty() && parts.Protocol != "file://")
        return false;
    if (!IsWebScheme(parts.Protocol))
        return false;
    // The server is asked for the address it published: only a bare host
    // gets its root's "/".
    const size_t pathStart = url.find('/', url.find("://") + 3);
    if (pathStart == std::string::npos)
        url += '/';
    else
        url = url.substr(0, pathStart) + WithoutDotSegments(url.substr(pathStart));
    ReplaceAmpersands(url);
    return true;
}

std::string WithoutDotSegments(const std::string &pathAndQuery)
{
    const size_t end = std::min(pathAndQuery.find('?'), pathAndQuery.find('#'));
    const std::string path = pathAndQuery.substr(0, end);
    if (path.find("/.") == std::string::npos)
        return pathAndQuery;
    // As browsers do: "." goes, ".." takes back a segment, and none climbs above the root.
    std::vector<std::string> segments;
    size_t at = 1;
    while (at <= path.size()) {
        size_t slash = path.find('/', at);
        if (slash == std::string::npos)
            slash = path.size();
        std::string segment = path.substr(at, slash - at);
        const bool last = slash == path.size();
        if (segment == ".") {
            if (last)
                segments.emplace_back();
        } else if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
            if (last)
                segments.emplace_back();
        } else {
            segments.push_back(std::move(segment));
        }
        at = slash + 1;
    }
    std::string out;
    for (const std::string &segment : segments)
        out += "/" + segment;
    if (out.empty())
        out = "/";
    return out + (end == std::string::npos ? std::string() : pathAndQuery.substr(end));
}

std::string URLDirectory(const std::string &url)
{
    size_t question = url.find('?');
    size_t p = question == std::string::npos ? url.size() : question + 1; // 1-based
    // The slashes of the scheme never end the directory.
    size_t scheme = url.find("://");
    size_t first = scheme == std::string::npos || scheme + 4 < 8 ? 8 : scheme + 4;
    for (size_t pos = p; pos >= first; --pos)
        if (pos <= url.size() && url[pos - 1] == '/')
            return url.substr(0, pos);
    return url + "/";
}

std::string URLAncestor(const std::string &dirURL, int n)
{
    std::vector<std::string> prefixes = DirectoryPrefixes(dirURL);
    if (prefixes.empty())
        return dirURL;
    int count = static_cast<int>(prefixes.size());
    if (n > 0 && n < count)
        return prefixes[static_cast<size_t>(count - n - 1)];
    return prefixes.front();
}

std::string ResolveURL(const std::string &link, const std::string &baseDir)
{
    static constexpr std::string_view kAbsolute[] = {"HTTP://", "FILE://", "FTP://", "HTTPS://", "NEWS://"};
    std::string result;
    if (std::any_of(std::begin(kAbsolute), std::end(kAbsolute),
                    [&](std::string_view scheme) { return StartsWithNoCase(link, scheme); })) {
        result = link;
    } else if (link.compare(0, 2, "//") == 0) {
        // A network-path reference names another host with the base's scheme.
        result = URLProtocol(baseDir) + link.substr(2);
    } else if (!link.empty() && link[0] == '/') {
        result = URLAncestor(baseDir, 0) + link.substr(1);
    } else if (link.compare(0, 3, "../") == 0) {
        size_t pos = 0;
        int levels = 0;
        while (link.compare(pos, 3, "../") == 0) {
            pos += 3;
            ++levels;
        }
        result = URLAncestor(baseDir, levels) + link.substr(pos);
    } else {
        result = baseDir + link;
    }
    for (size_t at = result.find("/./"); at != std::string::npos; at = result.find("/./"))
        result.erase(at, 2);
    std::erase_if(result, [](char c) { return c == '\r' || c == '\n'; });
    ReplaceAmpersands(result);
    return result;
}

std::string ResolveHTTPURL(const std::string &link, const std::string &baseDir)
{
    std::string result = ResolveURL(link, baseDir);
    return NormalizeURL(result) ? result : std::string();
}

std::string StripFragment(const std::string &url)
{
    size_t hash = url.find('#');
    return hash == std::string::npos ? url : url.substr(0, hash);
}

TLinkParts SplitFragment(const std::string &link)
{
    size_t hash = link.find('#');
    if (hash == std::string::npos)
        return {link, {}};
    return {link.substr(0, hash), link.substr(hash)};
}

} // namespace arvelo
