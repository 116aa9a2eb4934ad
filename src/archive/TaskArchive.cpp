#include "archive/TaskArchive.h"

#include "core/ThreadPriority.h"
#include "core/Settings.h"
#include "core/App.h"
#include "core/FileUtils.h"
#include "core/WindowThread.h"
#include "crawl/LocalNames.h"
#include "crawl/URL.h"
#include "model/DownloadItem.h"
#include "model/Task.h"

#include <sys/stat.h>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace arvelo {
namespace {

uint64_t FileSize(const std::string &file)
{
    struct stat info;
    return ::stat(file.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

} // namespace

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

TTaskArchive::~TTaskArchive()
{
    if (worker_.joinable())
        worker_.join();
}

void TTaskArchive::Reset()
{
    if (worker_.joinable()) {
        worker_.join();
        Finished();
    }
    pending_.clear();
    pendingBytes_ = archiveBytes_ = 0;
    archiveEntries_ = 0;
    archiveKnown_ = false;
}

void TTaskArchive::Finished()
{
    // A file that could not be added is not tried again.
    ClassifyZipResult(result_, "adding");
    updating_.clear();
}

bool TTaskArchive::Tick(TAVTask &task, bool final)
{
    tempFolder_ = TAVApp::Instance()->TempFolder();
    for (auto &[file, item] : task.zipQueue.TakeAll()) {
        if (file.empty())
            continue;
        pendingBytes_ += FileSize(file);
        std::string comment;
        if (item) {
            item->LoadFields();
            comment = item->LoadedText().title.substr(0, 255);
            item->ReleaseFields();
        }
        pending_.push_back({ArchiveEntryName(file, tempFolder_), std::move(comment)});
    }
    if (busy_)
        return false;
    if (worker_.joinable()) {
        worker_.join();
        Finished();
    }
    if (pending_.empty())
        return true;
    if (!archiveKnown_) {
        // What the archive already holds, once per run.
        archiveKnown_ = true;
        if (FileExists(task.destination)) {
            zip_.ZipFileName = task.destination;
            archiveBytes_ = FileSize(task.destination);
            archiveEntries_ = static_cast<size_t>(zip_.GetEntryCount());
        }
    }
    // An update copies what the archive holds, so it waits until the files
    // waiting weigh a quarter of that: the copies of a run add up to a few
    // times its archive, however many files it has.
    auto weight = [](uint64_t bytes, size_t entries) { return bytes + kEntryWeight * entries; };
    if (final || 4 * weight(pendingBytes_, pending_.size()) >= weight(archiveBytes_, archiveEntries_))
        StartUpdate(task.destination);
    return false;
}

void TTaskArchive::StartUpdate(const std::string &archive)
{
    updating_.swap(pending_);
    pending_.clear();
    pendingBytes_ = 0;
    ++updates_;
    busy_ = true;
    ForceFolders(ExtractFilePath(archive));
    zip_.ZipFileName = archive;
    zip_.BaseDirectory = tempFolder_;
    // A copy keeps its folders whatever the file zip wizard last chose;
    // the compression is the user's.
    zip_.UsePaths = true;
    zip_.Recurse = false;
    zip_.Compression = std::clamp(ReadSetting(kSettingsKey, "Compression", 6), 0, 9);
    zip_.FilesToProcess.clear();
    for (const TPending &file : updating_)
        zip_.FilesToProcess.push_back(file.entry);
    worker_ = std::thread([this, archive] {
        LowerThisThreadPriority();
        std::unordered_map<std::string, std::string> comments;
        for (const TPending &file : updating_)
            comments[file.entry] = file.comment;
        zip_.OnFileComment = [&](const std::string &entry) {
            auto found = comments.find(entry);
            return found == comments.end() ? std::string() : found->second;
        };
        result_ = zip_.Add(0);
        zip_.OnFileComment = nullptr;
        archiveBytes_ = FileSize(archive);
        archiveEntries_ = static_cast<size_t>(zip_.GetEntryCount());
        busy_ = false;
        if (OnUpdateDone)
            OnUpdateDone();
    });
}

void TTaskArchive::Flush(TAVTask &task)
{
    while (!Tick(task, true))
        PumpEventsUntil([this] { return !busy_.load(); });
}

void TTaskArchive::Requeue(TAVTask &task)
{
    std::unordered_set<std::string> entries;
    TZipArchive reader;
    reader.ZipFileName = task.destination;
    reader.OnListing = [&](const TZipFileStats &stats) { entries.insert(stats.fileName); };
    if (FileExists(task.destination))
        reader.List();
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
