#pragma once

#include "core/TextUtils.h"

#include <string>

namespace arvelo {

// A most-recently-used list kept in the settings (the address history, the
// archive history): newest first, no repeats, at most a set number.
class TRecentList {
public:
    TRecentList(std::string key, int maximum);

    void Load();
    void Save() const;
    // Puts the text first (moving it when it is there already) and trims.
    void Add(const std::string &text);
    void Remove(const std::string &text);
    // A new maximum drops the oldest entries beyond it.
    void SetMaximum(int maximum);
    int Maximum() const { return maximum_; }
    const StringList &Entries() const { return entries_; }

private:
    void Trim();

    std::string key_;
    int maximum_;
    StringList entries_;
};

} // namespace arvelo
