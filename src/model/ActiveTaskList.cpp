#include "model/ActiveTaskList.h"

#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "core/TextUtils.h"

namespace arvelo {

TActiveTaskList::TActiveTaskList(std::string fileName) : fileName_(std::move(fileName)) {}

void TActiveTaskList::Load()
{
    entries_.clear();
    bool ok = false;
    std::string bytes = ReadFileBytes(fileName_, &ok);
    size_t pos = 0;
    while (ok && pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        std::string_view raw = std::string_view(bytes).substr(pos, end == std::string::npos ? end : end - pos);
        pos = end == std::string::npos ? bytes.size() : end + 1;
        // A line with a NUL byte is damage, never a path.
        if (raw.find('\0') != std::string_view::npos)
            continue;
        std::string line = Trim(raw);
        if (!line.empty() && !Contains(line))
            entries_.push_back(Entry{line, nullptr});
    }
}

void TActiveTaskList::Save() const
{
    std::string text;
    for (const Entry &entry : entries_)
        text += entry.path + "\r\n";
    try {
        std::string folder = ExtractFilePath(fileName_);
        if (!FolderExists(folder))
            ForceFolders(folder);
        WriteFileAtomic(fileName_, text);
    } catch (const EFileError &e) {
        Notifier().Error(e.what());
    }
}

int TActiveTaskList::IndexOf(const std::string &path) const
{
    for (size_t i = 0; i < entries_.size(); ++i)
        if (SameText(entries_[i].path, path))
            return static_cast<int>(i);
    return -1;
}

void TActiveTaskList::Add(const std::string &path, TAVTask *task)
{
    if (!Contains(path))
        entries_.push_back(Entry{path, task});
}

bool TActiveTaskList::Remove(const std::string &path)
{
    int index = IndexOf(path);
    if (index < 0)
        return false;
    entries_.erase(entries_.begin() + index);
    return true;
}

void TActiveTaskList::Attach(const std::string &path, TAVTask *task)
{
    int index = IndexOf(path);
    if (index >= 0)
        entries_[static_cast<size_t>(index)].task = task;
}

void TActiveTaskList::Detach(const TAVTask *task)
{
    for (Entry &entry : entries_)
        if (entry.task == task)
            entry.task = nullptr;
}

} // namespace arvelo
