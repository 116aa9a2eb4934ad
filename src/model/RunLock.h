#pragma once

#include <memory>
#include <string>

class QLockFile;

namespace arvelo {

// The lock a running task holds: a ".lock" file beside its task file, so
// that a second program (a window and a terminal, two terminals) never runs
// it at once, and a task whose run was killed is known by its stale lock.
class TRunLock {
public:
    TRunLock();
    ~TRunLock();
    TRunLock(const TRunLock &) = delete;
    TRunLock &operator=(const TRunLock &) = delete;

    // Takes the task's lock, taking over one left by a process that is gone.
    // False, with the reason in Error(), when a live process holds it.
    bool Acquire(const std::string &taskFile);
    void Release();
    const std::string &Error() const { return error_; }

    // Whether another live process runs the task now.
    static bool HeldElsewhere(const std::string &taskFile);
    static std::string LockFileOf(const std::string &taskFile);

private:
    std::unique_ptr<QLockFile> lock_;
    std::string error_;
};

} // namespace arvelo
