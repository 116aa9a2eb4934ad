#include "monitor/Resources.h"

#include "core/FileUtils.h"

#include <algorithm>
#include <charconv>

namespace arvelo {
namespace {

// The number of kilobytes on the line that begins with the key, -1 when none.
long long Field(std::string_view text, std::string_view key)
{
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
        if (line.substr(0, key.size()) == key && line.size() > key.size() && line[key.size()] == ':') {
            size_t digits = line.find_first_of("0123456789", key.size());
            long long value = -1;
            if (digits != std::string_view::npos)
                std::from_chars(line.data() + digits, line.data() + line.size(), value);
            return value;
        }
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return -1;
}

} // namespace

int FreeMemoryPercent(std::string_view meminfo)
{
    long long total = Field(meminfo, "MemTotal"), available = Field(meminfo, "MemAvailable");
    if (total <= 0 || available < 0)
        return -1;
    return static_cast<int>(std::min(available, total) * 100 / total);
}

int FreeMemoryPercent()
{
    bool ok = false;
    std::string text = ReadFileBytes("/proc/meminfo", &ok);
    return ok ? FreeMemoryPercent(text) : -1;
}

bool TResourceWatch::Check(int percent)
{
    if (percent < 0)
        return false;
    if (percent > kRearmAbove)
        warned_ = false;
    if (percent >= kWarnBelow || warned_)
        return false;
    warned_ = true;
    return true;
}

} // namespace arvelo
