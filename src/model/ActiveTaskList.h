#pragma once

#include <string>
#include <vector>

namespace arvelo {

class TAVTask;

// The tasks whose status is 1 or 2, as full task file paths (compared
// ignoring letter case), each with its task object when one is loaded.
// Stored one path a line in "ActiveTasks.lst".
class TActiveTaskList {
public:
    struct Entry {
        std::string path;
        TAVTask *task = nullptr; // not owned
    };

    explicit TActiveTaskList(std::string fileName);

    const std::string &FileName() const { return fileName_; }
    // Reads the file; a missing or unreadable file is an empty list.
    void Load();
    // Replaces the file atomically; reports a failure through the notifier.
    void Save() const;

    int IndexOf(const std::string &path) const;
    bool Contains(const std::string &path) const { return IndexOf(path) >= 0; }
    const std::vector<Entry> &Entries() const { return entries_; }
    size_t Count() const { return entries_.size(); }

    void Add(const std::string &path, TAVTask *task);
    bool Remove(const std::string &path);
    // Points the entry of path at task (nullptr when the object goes away).
    void Attach(const std::string &path, TAVTask *task);
    void Detach(const TAVTask *task);

private:
    std::string fileName_;
    std::vector<Entry> entries_;
};

} // namespace arvelo
