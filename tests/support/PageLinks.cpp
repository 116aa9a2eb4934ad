#include "support/PageLinks.h"

#include "core/FileUtils.h"
#include "core/TextUtils.h"
#include "support/TestHome.h"

#include <QDir>
#include <QUrl>

#include <cctype>
#include <regex>

namespace arvelo::test {

namespace {

// The value of the attribute whose name ends just before at ("href" of
// href="a"), in each quoting form; empty when no "=" follows.
std::string ValueAfter(const std::string &page, size_t at)
{
    auto skipBlanks = [&] {
        while (at < page.size() && std::isspace(static_cast<unsigned char>(page[at])))
            ++at;
    };
    skipBlanks();
    if (at >= page.size() || page[at] != '=')
        return {};
    ++at;
    skipBlanks();
    if (at < page.size() && (page[at] == '"' || page[at] == '\'')) {
        const size_t end = page.find(page[at], at + 1);
        return end == std::string::npos ? std::string() : page.substr(at + 1, end - at - 1);
    }
    const size_t end = page.find_first_of(" \t\r\n>\"'", at);
    return page.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

} // namespace

std::vector<TPageLink> PageLinksUnder(const std::string &folder)
{
    std::vector<TPageLink> links;
    for (const std::string &name : FilesUnder(folder)) {
        const std::string ext = LowerAscii(name.substr(name.rfind('.') + 1));
        if (ext != "html" && ext != "htm")
            continue;
        const std::string page = ReadFileBytes(folder + name), lower = LowerAscii(page);
        for (const std::string attribute : {"href", "src"})
            for (size_t at = lower.find(attribute); at != std::string::npos; at = lower.find(attribute, at + 1)) {
                const std::string link = Trim(ValueAfter(page, at + attribute.size()));
                if (!link.empty() && link[0] != '#')
                    links.push_back({name, link});
            }
    }
    return links;
}

std::set<std::string> MissingLinkTargets(const std::string &folder)
{
    static const std::regex kScheme("^[A-Za-z][A-Za-z0-9+.-]*:");
    const QDir root(QString::fromStdString(folder));
    std::set<std::string> missing;
    for (const auto &[page, link] : PageLinksUnder(folder)) {
        if (std::regex_search(link, kScheme))
            continue;
        const QUrl target = QUrl::fromLocalFile(QString::fromStdString(folder + page))
                                .resolved(QUrl(QString::fromStdString(link)));
        const QString path = target.adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery).toLocalFile();
        if (!QFileInfo::exists(path))
            missing.insert(root.relativeFilePath(path).toStdString());
    }
    return missing;
}

} // namespace arvelo::test
