#pragma once

#include <string>

namespace arvelo {

// Marks the Temp folder as in use by this program for the lease's life. The
// last program to leave it removes it, and only when its path holds the
// product's name, so that a folder the user chose for other things stays.
class TTempFolderLease {
public:
    explicit TTempFolderLease(std::string folder);
    ~TTempFolderLease();
    TTempFolderLease(const TTempFolderLease &) = delete;
    TTempFolderLease &operator=(const TTempFolderLease &) = delete;

private:
    std::string folder_;
    int fd_ = -1;
};

} // namespace arvelo
