#pragma once

#include <string>
#include <string_view>

namespace arvelo {

// Free memory stands in for the free system resources that the status
// panel's small gauge shows: MemAvailable of MemTotal, in percent.
// -1 when the text gives no such figures.
int FreeMemoryPercent(std::string_view meminfo);
// The same for this machine, from /proc/meminfo.
int FreeMemoryPercent();

// The warning when free memory runs low: given once, and again only after
// the memory has recovered above a fifth and dropped once more.
class TResourceWatch {
public:
    static constexpr int kWarnBelow = 10;
    static constexpr int kRearmAbove = 20;
    static constexpr const char *kWarning =
        "System resources for have dropped to below 10%.  Please close some windows you aren't using now.\n"
        "If you don't your computer may stop working.";

    // True when the warning is to be shown for this reading.
    bool Check(int percent);
    // The gauge's hint for a reading.
    static std::string Hint(int percent) { return "Free memory: " + std::to_string(percent) + "%"; }

private:
    bool warned_ = false;
};

} // namespace arvelo
