#include "shell/OpenedTexts.h"

#include "core/FileUtils.h"
#include "core/TextUtils.h"
#include "crawl/URL.h"

#include <QUrl>

namespace arvelo {
namespace {

bool IsFileURL(const std::string &text) { return LowerAscii(text.substr(0, 7)) == "file://"; }

bool HasExtension(const std::string &path, const char *extension)
{
    return LowerAscii(ExtractFileExt(path)) == extension;
}

// A single file: an archive or a task, by its extension.
TOpenKind KindOfFile(const std::string &path)
{
    if (HasExtension(path, ".zip"))
        return TOpenKind::kArchive;
    if (HasExtension(path, ".avt"))
        return TOpenKind::kTask;
    return TOpenKind::kNothing;
}

} // namespace

std::string LocalPathOf(const std::string &text)
{
    if (!IsFileURL(text))
        return text;
    QUrl url(QString::fromStdString(text));
    return url.isLocalFile() ? url.toLocalFile().toStdString() : text;
}

TOpened ClassifyOpened(const std::vector<std::string> &texts, TOpenSource source)
{
    TOpened opened;
    if (texts.empty())
        return opened;
    if (source == TOpenSource::kDrop && texts.size() > 1) {
        opened.kind = TOpenKind::kFiles;
        for (const std::string &text : texts)
            opened.texts.push_back(LocalPathOf(text));
        return opened;
    }
    const std::string &text = texts.front();
    const bool address = source == TOpenSource::kDrop
                             ? !IsFileURL(text) && !URLProtocol(text).empty()
                             : source == TOpenSource::kArgument && LowerAscii(text.substr(0, 7)) == "http://";
    if (address) {
        opened.kind = TOpenKind::kAddress;
        opened.texts = {text};
        return opened;
    }
    std::string path = LocalPathOf(text);
    opened.kind = KindOfFile(path);
    if (opened.kind != TOpenKind::kNothing)
        opened.texts = {path};
    return opened;
}

} // namespace arvelo
