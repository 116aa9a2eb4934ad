#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace arvelo {

class TAVQItem;

// The saved files of a zip-mode task waiting to go into its archive, each
// with its item. The dispatcher (on the window thread) and the parser
// thread append; the window thread takes them.
class TZipQueue {
public:
    using Entry = std::pair<std::string, TAVQItem *>;

    void Append(std::string file, TAVQItem *item)
    {
        std::lock_guard lock(mutex_);
        entries_.emplace_back(std::move(file), item);
    }
    std::vector<Entry> TakeAll()
    {
        std::lock_guard lock(mutex_);
        std::vector<Entry> taken(std::make_move_iterator(entries_.begin()), std::make_move_iterator(entries_.end()));
        entries_.clear();
        return taken;
    }
    bool Empty() const
    {
        std::lock_guard lock(mutex_);
        return entries_.empty();
    }
    void Clear()
    {
        std::lock_guard lock(mutex_);
        entries_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::deque<Entry> entries_;
};

} // namespace arvelo
