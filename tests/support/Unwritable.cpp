#include "support/Unwritable.h"

#include "core/FileUtils.h"

#include <csignal>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace arvelo::test {

TUnwritableFolder::TUnwritableFolder(const std::string &path, TKind kind) : path_(path)
{
    ForceFolders(IncludeTrailingSlash(path));
    if (::mount("tmpfs", path.c_str(), "tmpfs", kind == kReadOnly ? MS_RDONLY : 0, "size=64k,mode=0755") == 0) {
        mounted_ = true;
        return;
    }
    if (kind == kFull) {
        why_ = "a small file system cannot be mounted here";
        return;
    }
    ::chmod(path.c_str(), 0555);
    if (::access(path.c_str(), W_OK) == 0)
        why_ = "a read-only folder can neither be mounted nor made here";
}

TUnwritableFolder::~TUnwritableFolder()
{
    if (mounted_)
        ::umount2(path_.c_str(), MNT_DETACH);
    else
        ::chmod(path_.c_str(), 0755);
}

void TUnwritableFolder::MakeWritable()
{
    // Writable and roomy, keeping what it holds.
    if (mounted_)
        ::mount(nullptr, path_.c_str(), nullptr, MS_REMOUNT, "size=64m");
    else
        ::chmod(path_.c_str(), 0755);
}

TFileSizeLimit::TFileSizeLimit(rlim_t bytes)
{
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

TFileSizeLimit::~TFileSizeLimit()
{
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
}

} // namespace arvelo::test
