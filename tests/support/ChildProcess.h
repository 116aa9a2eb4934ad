#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace arvelo::test {

// A program run by a test, with its output kept in files; killed at the end
// when still running.
class TChildProcess {
public:
    // The environment is this process's, with ARVELO_HOME and TMPDIR as the
    // test set them; it starts in the given folder, else in this one's.
    explicit TChildProcess(const std::vector<std::string> &argv, const std::string &folder = {});
    ~TChildProcess();
    TChildProcess(const TChildProcess &) = delete;
    TChildProcess &operator=(const TChildProcess &) = delete;

    bool Started() const { return pid_ > 0; }
    // The exit status, or -1 when it did not end in time (or ended by a signal).
    int Wait(double seconds = 60);
    void Signal(int signal);
    std::string Output() const;
    std::string Errors() const;

private:
    pid_t pid_ = -1;
    bool ended_ = false;
    std::string outFile_, errFile_;
};

} // namespace arvelo::test
