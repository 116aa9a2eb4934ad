#pragma once

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace arvelo::bench {

// Resident memory of this process in kilobytes.
inline long ResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        std::getline(status, key);
    }
    return 0;
}

class Stopwatch {
public:
    Stopwatch() : start_(std::chrono::steady_clock::now()) {}
    double Seconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_;
};

inline void Report(const char *what, double value, const char *unit)
{
    std::printf("%-52s %12.3f %s\n", what, value, unit);
}

} // namespace arvelo::bench
