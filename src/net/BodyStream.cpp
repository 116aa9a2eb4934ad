#include "net/BodyStream.h"

#include "core/FileUtils.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace arvelo {

namespace {

[[noreturn]] void FailWriting(const std::string &fileName) { ThrowFileError("Unable to write file: " + fileName); }

void WriteAllAt(int fd, const char *data, size_t count, int64_t offset, const std::string &fileName)
{
    while (count > 0) {
        ssize_t n = pwrite(fd, data, count, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            FailWriting(fileName);
        data += n;
        count -= static_cast<size_t>(n);
        offset += n;
    }
}

// A new temporary file in the folder, opened for reading and writing.
int CreateTemporary(const std::string &folder, std::string &name)
{
    ForceFolders(folder);
    std::string pattern = IncludeTrailingSlash(folder) + ".arvelo-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0)
        ThrowFileError("Error: Failed to create file: " + pattern);
    fchmod(fd, 0644);
    name = buffer.data();
    return fd;
}

} // namespace

TBodyStream::TBodyStream(int64_t memoryLimit) : memoryLimit_(memoryLimit) {}

TBodyStream::~TBodyStream() { DropSpillFile(); }

void TBodyStream::DropSpillFile()
{
    if (spillFd_ >= 0) {
        close(spillFd_);
        unlink(spillName_.c_str());
    }
    spillFd_ = -1;
    spillName_.clear();
}

void TBodyStream::Clear()
{
    DropSpillFile();
    decoder_.reset();
    memory_.clear();
    memory_.shrink_to_fit();
    size_ = position_ = 0;
}

bool TBodyStream::LoadFile(const std::string &fileName, int64_t position)
{
    Clear();
    int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::vector<char> block(1 << 16);
    bool ok = true;
    for (;;) {
        ssize_t n = read(fd, block.data(), block.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ok = false;
        if (n <= 0)
            break;
        Write(block.data(), static_cast<size_t>(n));
    }
    close(fd);
    if (!ok) {
        Clear();
        return false;
    }
    position_ = std::min(position, size_);
    return true;
}

void TBodyStream::Spill()
{
    std::string folder = spillFolder_.empty() ? QDir::tempPath().toStdString() : spillFolder_;
    spillFd_ = CreateTemporary(folder, spillName_);
    WriteAllAt(spillFd_, memory_.data(), memory_.size(), 0, spillName_);
    memory_.clear();
    memory_.shrink_to_fit();
}

void TBodyStream::Write(const char *data, size_t count)
{
    if (decoder_)
        decoder_->Write(data, count, [this](const char *decoded, size_t size) { Store(decoded, size); });
    else
        Store(data, count);
}

void TBodyStream::FinishDecoding()
{
    if (decoder_)
        decoder_->Finish();
}

void TBodyStream::Store(const char *data, size_t count)
{
    int64_t end = position_ + static_cast<int64_t>(count);
    if (InMemory() && end > memoryLimit_)
        Spill();
    if (InMemory()) {
        if (static_cast<size_t>(end) > memory_.size())
            memory_.resize(static_cast<size_t>(end));
        std::memcpy(memory_.data() + position_, data, count);
    } else {
        WriteAllAt(spillFd_, data, count, position_, spillName_);
    }
    position_ = end;
    size_ = std::max(size_, end);
}

std::string TBodyStream::ReadAll() const
{
    if (InMemory())
        return memory_;
    std::string content(static_cast<size_t>(size_), '\0');
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = pread(spillFd_, content.data() + done, content.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    content.resize(done);
    return content;
}

void TBodyStream::SaveTo(const std::string &fileName)
{
    if (InMemory()) {
        try {
            CreateOrReplaceFile(fileName, memory_);
        } catch (const EFileError &error) {
            throw EFileError("Error: Failed to create file: " + fileName + " (" + error.Reason() + ")",
                             error.SystemError());
        }
        Clear();
        return;
    }
    close(spillFd_);
    spillFd_ = -1;
    if (rename(spillName_.c_str(), fileName.c_str()) != 0) {
        int error = errno;
        bool copied = error == EXDEV && CopyFileForce(spillName_, fileName);
        if (!copied && error == EXDEV)
            error = errno;
        unlink(spillName_.c_str());
        spillName_.clear();
        if (!copied)
            throw EFileError("Error: Failed to create file: " + fileName + " (" + std::strerror(error) + ")", error);
    }
    spillName_.clear();
    Clear();
}

} // namespace arvelo
