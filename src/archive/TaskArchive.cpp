#include "archive/TaskArchive.h"

#include "core/App.h"
#include "core/FileUtils.h"
#include "crawl/LocalNames.h"
#include "crawl/URL.h"
#include "model/DownloadItem.h"
#include "model/Task.h"

#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

namespace arvelo {

std::string ArchiveEntryName(const std::string &file, const std::string &tempFolder)
{
    std::string folder = ExcludeTrailingSlash(tempFolder);
    std::string path = file.size() > 1 ? ExcludeTrailingSlash(file) : file;
    if (path.size() >= folder.size() && SameText(path.substr(0, folder.size()), folder)) {
        if (path.size() == folder.size())
            return {};
        if (path[folder.size()] == '/')
            return path.substr(folder.size() + 1);
    }
    return path;
}

void TTaskArchive::Reset()
{
    pending_.clear();
    pendingBytes_ = archiveBytes_ = 0;
    archiveEntries_ = 0;
}

bool TTaskArchive::Tick(TAVTask &task, bool final)
{
    std::string temp = TAVApp::Instance()->TempFolder();
    for (auto &[file, item] : task.zipQueue.TakeAll()) {
        if (file.empty())
            continue;
        struct stat info;
        pendingBytes_ += ::stat(file.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
        std::string comment;
        if (item) {
            item->LoadFields();
            comment = item->LoadedText().title.substr(0, 255);
            item->ReleaseFields();
        }
        pending_.push_back({ArchiveEntryName(file, temp), std::move(comment)});
    }
    if (pending_.empty())
        return true;
    if (archiveEntries_ == 0 && archiveBytes_ == 0) {
        // What the archive already holds, once per run.
        struct stat info;
        if (::stat(task.destination.c_str(), &info) == 0) {
            zip_.ZipFileName = task.destination;
            archiveBytes_ = static_cast<uint64_t>(info.st_size);
            archiveEntries_ = static_cast<size_t>(zip_.GetEntryCount());
        }
    }
    if (final || (pendingBytes_ >= archiveBytes_ && pending_.size() >= archiveEntries_))
        Update(task);
    return pending_.empty();
}

void TTaskArchive::Update(TAVTask &task)
{
    std::string temp = TAVApp::Instance()->TempFolder();
    zip_.ZipFileName = task.destination;
    zip_.BaseDirectory = temp;
    zip_.UsePaths = true;
    zip_.Recurse = false;
    zip_.FilesToProcess.clear();
    std::unordered_map<std::string, std::string> comments;
    for (const TPending &pending : pending_) {
        zip_.FilesToProcess.push_back(pending.entry);
        comments[pending.entry] = pending.comment;
    }
    zip_.OnFileComment = [&](const std::string &entry) {
        auto found = comments.find(entry);
        return found == comments.end() ? std::string() : found->second;
    };
    ForceFolders(ExtractFilePath(task.destination));
    int code = zip_.Add(0);
    zip_.OnFileComment = nullptr;
    ++updates_;
    // A file that could not be added is not tried again.
    ClassifyZipResult(code, "adding");
    pending_.clear();
    pendingBytes_ = 0;
    struct stat info;
    archiveBytes_ = ::stat(task.destination.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
    archiveEntries_ = static_cast<size_t>(zip_.GetEntryCount());
}

void TTaskArchive::Requeue(TAVTask &task)
{
    std::unordered_set<std::string> entries;
    zip_.ZipFileName = task.destination;
    zip_.OnListing = [&](const TZipFileStats &stats) { entries.insert(stats.fileName); };
    if (FileExists(task.destination))
        zip_.List();
    zip_.OnListing = nullptr;
    std::string temp = TAVApp::Instance()->TempFolder();
    for (size_t i = 0; i < task.items.ItemCount(); ++i) {
        TAVQItem &item = *task.items.Item(i);
        bool parsedFirst = item.IsPage() || item.IsStyleSheet();
        if (item.State() != (parsedFirst ? isParsed : isSaved))
            continue;
        item.LoadFields();
        const std::string &url = item.LoadedText().URL;
        std::string file = LocalFileName(temp, URLDirectory(url), url);
        item.ReleaseFields();
        if (!entries.count(ArchiveEntryName(file, temp)) && FileExists(file))
            task.zipQueue.Append(file, &item);
    }
}

} // namespace arvelo
