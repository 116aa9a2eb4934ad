#include "core/TempFolder.h"

#include "core/FileUtils.h"
#include "core/TextUtils.h"
#include "core/Version.h"

#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace arvelo {

TTempFolderLease::TTempFolderLease(std::string folder) : folder_(std::move(folder))
{
    if (folder_.empty())
        return;
    std::string lock = IncludeTrailingSlash(folder_) + ".arvelo-lock";
    fd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0)
        ::flock(fd_, LOCK_SH);
}

TTempFolderLease::~TTempFolderLease()
{
    if (fd_ < 0)
        return;
    bool last = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    if (last && LowerAscii(folder_).find(LowerAscii(kProductName)) != std::string::npos) {
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }
    ::close(fd_);
}

} // namespace arvelo
