#pragma once

#include "cli/Options.h"

#include <cstdio>
#include <memory>
#include <string>

namespace arvelo {
class TAVApp;
class TAVQItem;
class TAVTask;
struct TRunEngine;
class TThreadSchedule;
class TTempFolderLease;
} // namespace arvelo

namespace arvelo::cli {

inline constexpr int kExitCompleted = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitInvalid = 2;
inline constexpr int kExitSomeFailed = 4; // completed, with addresses that failed

// One invocation of the command-line program over the engine: the
// application object, the slots, the three threads and run control.
class TSession {
public:
    explicit TSession(const TOptions &options);
    ~TSession();

    // Runs the command and its event loop; the exit status.
    int Run();

private:
    int Copy();
    int RunTask();
    int List();
    int Report();
    int Schedule();
    // Runs the task until it ends; the exit status.
    int Drive(TAVTask &task);
    std::string FindTaskFile(const std::string &given) const;
    void ShowProgress(bool final);
    // Prints the addresses of the task that failed, with their results and
    // the pages that linked to them, up to a screenful; how many there are.
    int ShowFailures(TAVTask &task) const;
    void Say(const std::string &text) const;
    // Sets up the slots and the log as the fetch options ask; false when
    // the log cannot be written.
    bool ApplyFetchOptions();
    // The line of a fetched address, in the log and, with --verbose, on the terminal.
    void ShowFetched(const TAVQItem &item);

    TOptions options_;
    std::unique_ptr<TAVApp> app_;
    std::unique_ptr<TTempFolderLease> tempLease_;
    std::unique_ptr<TRunEngine> engine_;
    std::unique_ptr<TThreadSchedule> scheduler_;
    struct TCloseFile {
        void operator()(std::FILE *file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, TCloseFile> log_;
    bool progressShown_ = false;
    bool terminal_ = false;
};

} // namespace arvelo::cli
