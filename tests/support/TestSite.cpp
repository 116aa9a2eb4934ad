#include "support/TestSite.h"

#include "core/FileUtils.h"
#include "support/TestHome.h"

#include <QByteArray>

#include <algorithm>

namespace arvelo::test {
namespace {

std::string Page(const std::string &title, const std::string &body)
{
    return "<html><head><title>" + title + "</title></head>\n<body>\n" + body + "\n</body></html>\n";
}

std::string Binary(int size, int seed)
{
    std::string bytes;
    for (int i = 0; i < size; ++i)
        bytes += static_cast<char>((i * 31 + seed * 7) & 0xff);
    return bytes;
}

constexpr int kSlowFiles = 6;

} // namespace

const std::map<std::string, std::string> &SiteFiles()
{
    static const std::map<std::string, std::string> files = [] {
        std::map<std::string, std::string> site;
        std::string slowLinks;
        for (int i = 1; i <= kSlowFiles; ++i) {
            std::string name = "slow/b" + std::to_string(i) + ".bin";
            site[name] = Binary(48 * 1024, i);
            slowLinks += "<a href=\"" + name + "\">File " + std::to_string(i) + "</a>\n";
        }
        site["index.html"] = "<html><head><title>Test Site</title>\n"
                             "<link rel=\"stylesheet\" href=\"style.css\"></head>\n<body>\n"
                             "<h1>Home</h1><img src=\"logo.gif\">\n"
                             "<a href=\"about.html\">About</a> <a href=\"sub/page2.html\">Page 2</a>\n"
                             "<a href=\"frames.html\">Frames</a> <a href=\"refresh.html\">Refresh</a>\n"
                             "<a href=\"list.html?id=1\">One</a> <a href=\"list.html?id=2\">Two</a>\n"
                             "<a href=\"missing.html\">Missing</a> <a href=\"old.html\">Old</a>\n"
                             // Hash routes and fragments that hold "/" or "?".
                             "<a href=\"about.html#/tab\">Tab</a> <a href=\"sub/page2.html#sec?x\">Section</a>\n"
                             "<a href=\"list.html?id=1#!/top\">Top</a>\n"
                             "<a href=\"http://elsewhere.invalid/\">Elsewhere</a>\n"
                             "<a href=\"modern.html\">Modern</a>\n" +
                             slowLinks + "</body></html>\n";
        site["style.css"] = "@import \"print.css\";\n"
                            "body { color: black; background: url( 'images/bg.png' ) }\n"
                            "/* url(images/old.png) */\n";
        site["print.css"] = "h1 { background: url(images/photo.png) }\n";
        site["logo.gif"] = std::string("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01"
                                       "\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
                                       43);
        // A real 1x1 picture, so that a browser shows it.
        site["images/bg.png"] = "\x89PNG\r\n\x1a\n" + Binary(200, 3);
        site["images/photo.png"] = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR4"
                                                          "2mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJggg==")
                                       .toStdString();
        site["about.html"] = Page("About", "<img src=\"images/photo.png\"> <a href=\"index.html\">Home</a>");
        site["sub/page2.html"] =
            Page("Page 2", "<a href=\"../index.html\">Home</a> <img src=\"../logo.gif\">\n"
                           "<a href=\"deep/page3.html\">Deeper</a>");
        site["sub/deep/page3.html"] =
            Page("Page 3", "<a href=\"../page2.html\">Back</a> <a href=\"/about.html#top\">About</a>");
        site["frames.html"] = "<html><head><title>Frames</title></head>\n"
                              "<frameset cols=\"50%,50%\"><frame src=\"left.html\"><frame src=\"right.html\">"
                              "</frameset></html>\n";
        site["left.html"] = Page("Left", "<a href=\"index.html\" target=\"_top\">Home</a>");
        site["right.html"] = Page("Right", "Right frame");
        site["refresh.html"] = "<html><head><title>Moved</title>\n"
                               "<meta http-equiv=\"refresh\" content=\"0; url=new.html\"></head>\n"
                               "<body>Moved</body></html>\n";
        site["new.html"] = Page("New", "<a href=\"index.html\">Home</a>");
        site["list.html"] = Page("List", "<a href=\"index.html\">Home</a>");
        // A page written as sites write them today: every quoting form,
        // references in values, srcset, picture, iframe, inline styles,
        // names without an extension and server-side page names.
        // A 24 by 24 checkerboard, so that a picture in the wrong place shows.
        const std::string png = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAABgAAAAYCAIAAABvFaqvAAAALklEQVR42mPQiDqBhu4"
                                                       "EaKAhYtQwjBpER4PI04apZtQgeho0mrJH89qoQXQxCADxdfHf7e+L5AAAAABJRU5E"
                                                       "rkJggg==")
                                    .toStdString();
        site["modern.html"] =
            "<!doctype html><html><head><title>Modern</title>\n"
            "<link rel=stylesheet href='modern/m.css'>\n"
            // From another server of the host, whose files have the names of this one's.
            "<link rel=stylesheet href=\"http://127.0.0.1:1/style.css\">\n"
            "<style>.hero { height: 8px; background: url(\"modern/hero.png\") }</style></head>\n<body>\n"
            "<div class=hero></div><div class=annex></div>\n"
            "<a href='modern/single.html'>Single</a> <a href=modern/unquoted.html>Unquoted</a>\n"
            "<a href=\" modern/padded.html \">Padded</a> <a href=\"modern/q.html?a=1&amp;b=2\">Query</a>\n"
            "<img src=\"modern/s1.png\" srcset=\"modern/s1.png 1x, modern/s2.png 2x, modern/s3.png 3x\" alt=s>\n"
            "<picture><source srcset='modern/wide.png' media='(min-width: 10px)'><img src=modern/narrow.png alt=p>"
            "</picture>\n"
            "<iframe src=\"modern/frame.html\" width=100 height=40></iframe>\n"
            "<div style=\"height: 8px; background-image: url('modern/inline.png')\"></div>\n"
            "<a href=\"modern/about\">About us</a> <a href=\"modern/page.php\">PHP</a> "
            "<a href=\"modern/cart.aspx\">ASPX</a>\n"
            "</body></html>\n";
        site["modern/m.css"] = "body { margin: 4px }\n";
        for (const char *picture : {"hero", "s1", "s2", "s3", "wide", "narrow", "inline"})
            site["modern/" + std::string(picture) + ".png"] = png;
        for (const char *page : {"single", "unquoted", "padded", "q", "frame", "about"})
            site["modern/" + std::string(page) + ".html"] =
                Page(page, "<a href='../modern.html'>Back</a> <img src=../images/photo.png alt=x>");
        site["modern/page.php"] = Page("PHP", "<a href=\"../index.html\">Home</a> <a href=about>About</a>");
        site["modern/cart.aspx"] = Page("ASPX", "<a href=\"page.php\">PHP</a>");
        // The second server's files, at its root.
        site["annex/style.css"] = ".annex { height: 8px; background: url(images/photo.png) }\n";
        site["annex/images/photo.png"] = png;
        return site;
    }();
    return files;
}

namespace {
// The folder of the site server started last.
std::string siteFolder = "127.0.0.1";
// The folder of its second server.
std::string annexFolder = "127.0.0.1_1";
} // namespace

std::string ServerFolderOf(const std::string &address)
{
    // Written out rather than asked of the engine: "http://127.0.0.1:8103/x" -> "127.0.0.1_8103".
    const size_t host = address.find("://") + 3;
    const size_t end = address.find('/', host);
    std::string server = address.substr(host, end == std::string::npos ? std::string::npos : end - host);
    std::replace(server.begin(), server.end(), ':', '_');
    return server;
}

void SetSiteServerFolder(const std::string &folder) { siteFolder = folder; }

const std::map<std::string, std::string> &SiteLocalNames()
{
    static std::map<std::string, std::string> names;
    static std::string namesFolder;
    if (namesFolder == siteFolder + annexFolder && !names.empty())
        return names;
    namesFolder = siteFolder + annexFolder;
    // Written out rather than asked of the engine, so that a fault in its
    // naming cannot hide behind its own answer.
    names = [] {
        std::map<std::string, std::string> local = {
            {"index.html", "127.0.0.1/index.html"},
            {"style.css", "127.0.0.1/style.css"},
            {"print.css", "127.0.0.1/print.css"},
            {"logo.gif", "127.0.0.1/logo.gif"},
            {"images/bg.png", "127.0.0.1/images/bg.png"},
            {"images/photo.png", "127.0.0.1/images/photo.png"},
            {"about.html", "127.0.0.1/about.html"},
            {"sub/page2.html", "127.0.0.1/sub/page2.html"},
            {"sub/deep/page3.html", "127.0.0.1/sub/deep/page3.html"},
            {"frames.html", "127.0.0.1/frames.html"},
            {"left.html", "127.0.0.1/left.html"},
            {"right.html", "127.0.0.1/right.html"},
            {"refresh.html", "127.0.0.1/refresh.html"},
            {"new.html", "127.0.0.1/new.html"},
            {"old.html", "127.0.0.1/old.html"},
            {"list.html?id=1", "127.0.0.1/list.html\xC2\xBFid=1.html"},
            {"list.html?id=2", "127.0.0.1/list.html\xC2\xBFid=2.html"},
            {"missing.html", "127.0.0.1/missing.html"},
            {"modern.html", "127.0.0.1/modern.html"},
            {"modern/m.css", "127.0.0.1/modern/m.css"},
            {"modern/q.html?a=1&b=2", "127.0.0.1/modern/q.html\xC2\xBF" "a=1&b=2.html"},
            // Served by nginx from about.html; a page without an extension is a folder's page.
            {"modern/about", "127.0.0.1/modern/about/index.htm"},
            {"modern/page.php", "127.0.0.1/modern/page.php.htm"},
            {"modern/cart.aspx", "127.0.0.1/modern/cart.aspx.htm"},
        };
        for (const char *picture : {"hero", "s1", "s2", "s3", "wide", "narrow", "inline"})
            local["modern/" + std::string(picture) + ".png"] = "127.0.0.1/modern/" + std::string(picture) + ".png";
        for (const char *page : {"single", "unquoted", "padded", "frame"})
            local["modern/" + std::string(page) + ".html"] = "127.0.0.1/modern/" + std::string(page) + ".html";
        for (int i = 1; i <= kSlowFiles; ++i)
            local["slow/b" + std::to_string(i) + ".bin"] = "127.0.0.1/slow/b" + std::to_string(i) + ".bin";
        // Under the folder of the server that serves them.
        for (auto &[path, name] : local)
            name = siteFolder + name.substr(name.find('/'));
        local["annex/style.css"] = annexFolder + "/style.css";
        local["annex/images/photo.png"] = annexFolder + "/images/photo.png";
        return local;
    }();
    return names;
}

std::vector<std::string> SiteCopiedPaths()
{
    std::vector<std::string> paths;
    for (const auto &[path, name] : SiteLocalNames())
        if (path != "missing.html")
            paths.push_back(path);
    return paths;
}

std::vector<std::string> SiteExpectedFiles(const std::vector<std::string> &paths)
{
    std::vector<std::string> files;
    for (const std::string &path : paths)
        files.push_back(SiteLocalNames().at(path));
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> CopiedFilesUnder(const std::string &folder)
{
    std::vector<std::string> files = FilesUnder(folder);
    // A report may be under way: its temporary file is "." + its name + a suffix.
    std::erase_if(files, [](const std::string &file) {
        return file.starts_with('!') || file.starts_with(".!") || file.find("/!") != std::string::npos ||
               file.find("/.!") != std::string::npos;
    });
    return files;
}

std::string RequestTarget(const std::string &request)
{
    size_t start = request.find(' ') + 1;
    return request.substr(start, request.find(' ', start) - start);
}

void WriteSite(const std::string &folder)
{
    for (const auto &[path, bytes] : SiteFiles()) {
        ForceFolders(ExtractFilePath(folder + path));
        SaveText(folder + path, bytes);
    }
}

std::unique_ptr<TNginxServer> StartSiteServer(const std::string &folder, bool slow, const std::string &extraLines,
                                              std::optional<TCertificate> certificate)
{
    std::string lines = "    location = /old.html { return 302 /new.html; }\n"
                        // Names without an extension, and pages made by a server, as sites serve them.
                        "    location /modern/ { try_files $uri $uri.html =404; }\n"
                        "    location ~ \\.(php|aspx)$ { types { } default_type text/html; }\n"
                        // The modern page's links to the second server, whose port is known only now.
                        "    location = /modern.html { sub_filter 'http://127.0.0.1:1/' 'http://@second@/';\n"
                        "      sub_filter_once off; sub_filter_last_modified on; }\n" +
                        extraLines;
    if (slow)
        lines += "    location /slow/ { limit_rate 16k; }\n";
    auto server = std::make_unique<TNginxServer>(folder, lines, certificate, folder + (folder.ends_with('/') ? "" : "/") + "annex");
    if (server->Running()) {
        siteFolder = ServerFolderOf(server->URL("/"));
        annexFolder = ServerFolderOf(server->SecondURL("/"));
    }
    return server;
}

} // namespace arvelo::test
