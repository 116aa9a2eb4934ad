#include "shell/RecentList.h"

#include "core/Settings.h"

#include <algorithm>

namespace arvelo {

TRecentList::TRecentList(std::string key, int maximum) : key_(std::move(key)), maximum_(std::max(0, maximum)) {}

void TRecentList::Load()
{
    entries_.clear();
    for (const std::string &entry : LoadSettingList(key_))
        if (!entry.empty() && std::find(entries_.begin(), entries_.end(), entry) == entries_.end())
            entries_.push_back(entry);
    Trim();
}

void TRecentList::Save() const { SaveSettingList(key_, entries_); }

void TRecentList::Add(const std::string &text)
{
    if (text.empty())
        return;
    Remove(text);
    entries_.insert(entries_.begin(), text);
    Trim();
}

void TRecentList::Remove(const std::string &text)
{
    entries_.erase(std::remove(entries_.begin(), entries_.end(), text), entries_.end());
}

void TRecentList::SetMaximum(int maximum)
{
    maximum_ = std::max(0, maximum);
    Trim();
}

void TRecentList::Trim()
{
    if (entries_.size() > static_cast<size_t>(maximum_))
        entries_.resize(static_cast<size_t>(maximum_));
}

} // namespace arvelo
