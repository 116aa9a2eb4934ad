#pragma once

#include "net/ContentDecoder.h"

#include <cstdint>
#include <memory>
#include <string>

namespace arvelo {

// A reply body. It is held in memory up to a limit and beyond it in a
// temporary file in the folder it will be saved in, so that a large file
// never fills memory and is moved into place in one step when complete.
// Writes go to the current position, overwriting and extending.
class TBodyStream {
public:
    static constexpr int64_t kDefaultMemoryLimit = 4 << 20;

    explicit TBodyStream(int64_t memoryLimit = kDefaultMemoryLimit);
    ~TBodyStream();
    TBodyStream(const TBodyStream &) = delete;
    TBodyStream &operator=(const TBodyStream &) = delete;

    // The folder of the temporary file; empty for the system's temporary folder.
    void SetSpillFolder(const std::string &folder) { spillFolder_ = folder; }
    void Clear();
    // Starts from the bytes of a file, positioned at the offset (at most its
    // size). False when the file cannot be read; the stream is then empty.
    bool LoadFile(const std::string &fileName, int64_t position);
    // Throws EFileError when the temporary file cannot be written, and
    // EDecodeError when a decoder refuses the bytes.
    void Write(const char *data, size_t count);
    // From now on written bytes are decoded first (until Clear).
    void SetDecoder(std::unique_ptr<TContentDecoder> decoder) { decoder_ = std::move(decoder); }
    // The encoded body has ended; throws EDecodeError when it was cut short.
    void FinishDecoding();
    int64_t Size() const { return size_; }
    int64_t Position() const { return position_; }
    void Rewind() { position_ = 0; }
    bool InMemory() const { return spillFd_ < 0; }
    // The whole content.
    std::string ReadAll() const;
    // Puts the content into the file, replacing it; the stream is empty
    // afterwards. Throws EFileError.
    void SaveTo(const std::string &fileName);

private:
    void Spill();
    void Store(const char *data, size_t count);
    void DropSpillFile();

    int64_t memoryLimit_;
    std::string memory_;
    std::string spillFolder_;
    std::string spillName_;
    int spillFd_ = -1;
    int64_t size_ = 0, position_ = 0;
    std::unique_ptr<TContentDecoder> decoder_;
};

} // namespace arvelo
