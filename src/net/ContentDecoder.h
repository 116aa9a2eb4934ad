#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

struct z_stream_s;

namespace arvelo {

// A reply body that cannot be decoded; what() is the text shown for the file.
class EDecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Undoes the Content-Encoding of a reply body as it arrives, so that a large
// body is never held whole. gzip (several members in a row included),
// deflate (with or without the zlib wrapper) and identity are known.
class TContentDecoder {
public:
    enum class TEncoding { Identity, Gzip, Deflate, Unknown };
    using TSink = std::function<void(const char *, size_t)>;

    // Ordinary files compress far less than 200 to 1, so a reply that grows
    // beyond both limits is taken for a decompression bomb.
    static constexpr int64_t kMaxRatio = 200;
    static constexpr int64_t kMaxDecoded = int64_t(64) << 20;
    // The most bytes the sink gets at once.
    static constexpr size_t kPieceSize = size_t(64) << 10;

    // The value of the Content-Encoding header; case and blanks around it
    // do not matter. maxDecoded replaces kMaxDecoded.
    explicit TContentDecoder(const std::string &contentEncoding, int64_t maxDecoded = kMaxDecoded);
    ~TContentDecoder();
    TContentDecoder(const TContentDecoder &) = delete;
    TContentDecoder &operator=(const TContentDecoder &) = delete;

    static TEncoding EncodingOf(const std::string &contentEncoding);
    static bool Supported(const std::string &contentEncoding)
    {
        return EncodingOf(contentEncoding) != TEncoding::Unknown;
    }

    TEncoding Encoding() const { return encoding_; }
    bool Known() const { return encoding_ != TEncoding::Unknown; }

    // Decodes the next bytes of the body and hands what comes out to the
    // sink, in pieces of at most kPieceSize. Bytes after the end of the
    // compressed data are ignored. Throws EDecodeError, also for an unknown
    // encoding, and again on every call after an error.
    void Write(const char *data, size_t count, const TSink &sink);
    // The body is complete; throws EDecodeError when the compressed data
    // stopped before its end. Write has already handed over every byte, so
    // nothing more comes out. An empty body is fine under every encoding.
    void Finish();

    // Bytes given to Write so far.
    int64_t BytesIn() const { return bytesIn_; }
    // Bytes handed to the sink so far.
    int64_t BytesOut() const { return bytesOut_; }

private:
    enum class TState { Header, Inflating, Done, Failed };
    struct TStreamDeleter {
        void operator()(z_stream_s *stream) const;
    };

    [[noreturn]] void Fail(const std::string &text);
    void StartStream();
    size_t Inflate(const char *data, size_t count, const TSink &sink);
    void Deliver(const char *data, size_t count, const TSink &sink);

    TEncoding encoding_;
    // The header value, trimmed and in lower case, for the error texts.
    std::string name_;
    int64_t maxDecoded_;
    TState state_ = TState::Header;
    std::unique_ptr<z_stream_s, TStreamDeleter> stream_;
    std::string output_;
    // The first two bytes of a stream or gzip member, which tell what follows.
    std::string header_;
    int members_ = 0;
    std::string error_;
    int64_t bytesIn_ = 0, bytesOut_ = 0;
    // Compressed bytes taken by zlib; trailing bytes never count towards the ratio.
    int64_t consumed_ = 0;
};

} // namespace arvelo
