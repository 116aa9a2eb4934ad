#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace arvelo::cli {

enum class TCommand { kHelp, kVersion, kCopy, kRun, kList, kSchedule, kReport };

// What the command line asks for.
struct TOptions {
    TCommand command = TCommand::kHelp;
    std::string address;     // copy
    std::string destination; // copy: the folder
    std::string task;        // run, report: a task file or a task name
    std::string name;
    std::string profile;
    std::optional<int> depth;
    std::optional<int> pageLocation, resourceLocation;
    std::optional<std::string> fileTypes;
    std::vector<std::string> include, exclude;
    std::optional<int> runMode;
    std::optional<int> connections;
    std::optional<int64_t> minRate; // bytes a second
    bool map = false;
    bool zip = false;         // copy into an archive
    std::string zipFile;      // its file, when given
    bool zipLast = false;
    bool quiet = false;
    bool verbose = false;     // a line per fetched address
    bool insecure = false;    // https certificates taken unchecked
    bool noRobots = false;    // robots.txt not read
    std::optional<std::string> userAgent;
    std::optional<int> timeout;         // seconds without progress
    std::optional<int> waitMs;          // between two requests of a connection
    std::optional<int64_t> limitRate;   // bytes a second, all connections together
    std::vector<std::string> headers;   // "Name: value"
    std::string logFile;                // a line per fetched address
};

// Reads the arguments after the program name; false with the reason in
// error when they make no sense.
bool ParseOptions(const std::vector<std::string> &args, TOptions &options, std::string &error);

const char *UsageText();

} // namespace arvelo::cli
