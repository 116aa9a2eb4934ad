#include "net/ContentDecoder.h"

#include "core/TextUtils.h"

#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>

namespace arvelo {

namespace {

// windowBits of inflateInit2: 16 added reads the gzip wrapper, a negative
// value raw deflate data without any wrapper.
constexpr int kGzipWindow = 15 + 16;
constexpr int kZlibWindow = 15;
constexpr int kRawWindow = -15;

// avail_in is 32 bits wide; larger writes are taken in slices.
constexpr size_t kMaxSlice = size_t(1) << 30;

unsigned Octet(char c) { return static_cast<unsigned char>(c); }

bool IsGzipMagic(const std::string &two) { return Octet(two[0]) == 0x1f && Octet(two[1]) == 0x8b; }

// The zlib wrapper starts with method 8 and a window of at most 32 KiB, and
// its two bytes make a multiple of 31. Servers that send raw deflate data
// under "deflate" are common enough that both must be read.
bool IsZlibHeader(const std::string &two)
{
    unsigned cmf = Octet(two[0]), flg = Octet(two[1]);
    return (cmf & 0x0f) == 8 && (cmf >> 4) <= 7 && (cmf * 256 + flg) % 31 == 0;
}

std::string SizeText(int64_t bytes)
{
    if (bytes > 0 && bytes % (int64_t(1) << 20) == 0)
        return std::to_string(bytes >> 20) + " MB";
    return std::to_string(bytes) + " bytes";
}

} // namespace

void TContentDecoder::TStreamDeleter::operator()(z_stream_s *stream) const
{
    inflateEnd(stream);
    delete stream;
}

TContentDecoder::TContentDecoder(const std::string &contentEncoding, int64_t maxDecoded)
    : encoding_(EncodingOf(contentEncoding)), name_(LowerAscii(Trim(contentEncoding))), maxDecoded_(maxDecoded)
{
}

TContentDecoder::~TContentDecoder() = default;

TContentDecoder::TEncoding TContentDecoder::EncodingOf(const std::string &contentEncoding)
{
    std::string name = LowerAscii(Trim(contentEncoding));
    if (name.empty() || name == "identity")
        return TEncoding::Identity;
    if (name == "gzip" || name == "x-gzip")
        return TEncoding::Gzip;
    if (name == "deflate")
        return TEncoding::Deflate;
    return TEncoding::Unknown;
}

void TContentDecoder::Fail(const std::string &text)
{
    state_ = TState::Failed;
    error_ = text;
    stream_.reset();
    throw EDecodeError(text);
}

void TContentDecoder::Write(const char *data, size_t count, const TSink &sink)
{
    if (state_ == TState::Failed)
        throw EDecodeError(error_);
    if (count == 0)
        return;
    if (encoding_ == TEncoding::Unknown)
        Fail("Content-Encoding " + name_ + " is not supported");
    bytesIn_ += static_cast<int64_t>(count);
    if (encoding_ == TEncoding::Identity) {
        Deliver(data, count, sink);
        return;
    }
    while (count > 0 && state_ != TState::Done) {
        if (state_ == TState::Inflating) {
            size_t used = Inflate(data, std::min(count, kMaxSlice), sink);
            // zlib always takes input while it has room for output; a stall
            // would loop for ever.
            if (used == 0 && state_ == TState::Inflating)
                Fail("Content-Encoding " + name_ + ": the data is damaged");
            data += used;
            count -= used;
            continue;
        }
        // The two bytes may come in separate writes.
        size_t take = std::min(count, 2 - header_.size());
        header_.append(data, take);
        data += take;
        count -= take;
        if (header_.size() < 2)
            break;
        if (encoding_ == TEncoding::Gzip && !IsGzipMagic(header_)) {
            if (members_ == 0)
                Fail("Content-Encoding " + name_ + ": the data is not gzip");
            // Not another member: padding or junk after the last one.
            state_ = TState::Done;
            break;
        }
        StartStream();
        std::string first;
        first.swap(header_);
        Inflate(first.data(), first.size(), sink);
    }
}

void TContentDecoder::Finish()
{
    if (state_ == TState::Failed)
        throw EDecodeError(error_);
    if (encoding_ != TEncoding::Gzip && encoding_ != TEncoding::Deflate)
        return;
    // A lone byte after a complete gzip member is junk, not a new member.
    bool partial = state_ == TState::Inflating || (state_ == TState::Header && !header_.empty() && members_ == 0);
    if (partial)
        Fail("Compressed reply is cut short");
}

void TContentDecoder::StartStream()
{
    state_ = TState::Inflating;
    if (stream_) {
        // The next gzip member.
        if (inflateReset(stream_.get()) != Z_OK)
            Fail("Content-Encoding gzip: the data is damaged");
        return;
    }
    int window = encoding_ == TEncoding::Gzip ? kGzipWindow : IsZlibHeader(header_) ? kZlibWindow : kRawWindow;
    stream_.reset(new z_stream_s{});
    if (inflateInit2(stream_.get(), window) != Z_OK)
        Fail("Not enough memory to decode the reply");
    output_.resize(kPieceSize);
}

size_t TContentDecoder::Inflate(const char *data, size_t count, const TSink &sink)
{
    z_stream_s &z = *stream_;
    z.next_in = reinterpret_cast<const Bytef *>(data);
    z.avail_in = static_cast<uInt>(count);
    for (;;) {
        z.next_out = reinterpret_cast<Bytef *>(output_.data());
        z.avail_out = static_cast<uInt>(output_.size());
        int rc = inflate(&z, Z_NO_FLUSH);
        size_t produced = output_.size() - z.avail_out;
        if (produced > 0) {
            // Checked before the piece goes out, so a bomb yields no more
            // than the limit.
            int64_t in = consumed_ + static_cast<int64_t>(count - z.avail_in);
            int64_t out = bytesOut_ + static_cast<int64_t>(produced);
            if (out > maxDecoded_ && out > kMaxRatio * in)
                Fail("Compressed reply is too large (more than " + std::to_string(kMaxRatio) + " times its size and " +
                     SizeText(maxDecoded_) + ")");
            Deliver(output_.data(), produced, sink);
        }
        if (rc == Z_STREAM_END) {
            ++members_;
            state_ = encoding_ == TEncoding::Gzip ? TState::Header : TState::Done;
            break;
        }
        if (rc == Z_MEM_ERROR)
            Fail("Not enough memory to decode the reply");
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            Fail("Content-Encoding " + name_ + ": the data is damaged");
        // Z_BUF_ERROR: no progress until more input comes.
        if (rc == Z_BUF_ERROR || (z.avail_out != 0 && z.avail_in == 0))
            break;
    }
    size_t used = count - z.avail_in;
    consumed_ += static_cast<int64_t>(used);
    return used;
}

void TContentDecoder::Deliver(const char *data, size_t count, const TSink &sink)
{
    while (count > 0) {
        size_t piece = std::min(count, kPieceSize);
        bytesOut_ += static_cast<int64_t>(piece);
        sink(data, piece);
        data += piece;
        count -= piece;
    }
}

} // namespace arvelo
