#pragma once

#include <string>
#include <sys/resource.h>

namespace arvelo::test {

// A folder where writing fails as it fails on a real disk. The test process
// mounts a small or a read-only tmpfs there when it may (as root, as in CI);
// otherwise a read-only folder is one without write permission (which does
// not stop root) and a full one is not to be had. Unmounted at the end,
// with what it holds.
class TUnwritableFolder {
public:
    enum TKind { kReadOnly, kFull };
    TUnwritableFolder(const std::string &path, TKind kind);
    ~TUnwritableFolder();
    TUnwritableFolder(const TUnwritableFolder &) = delete;
    TUnwritableFolder &operator=(const TUnwritableFolder &) = delete;

    // Whether writes there fail; the reason to skip a test when not.
    bool Ready() const { return why_.empty(); }
    const std::string &Why() const { return why_; }
    // Makes writes there succeed again (room, or write permission), keeping
    // what it holds.
    void MakeWritable();

private:
    std::string path_, why_;
    bool mounted_ = false;
};

// Limits the size of every file this process (and each process it starts
// meanwhile) writes, as a disk with little room does; writes beyond fail
// with "File too large" rather than a signal. The old limit is back at the end.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes);
    ~TFileSizeLimit();
    TFileSizeLimit(const TFileSizeLimit &) = delete;
    TFileSizeLimit &operator=(const TFileSizeLimit &) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

} // namespace arvelo::test
