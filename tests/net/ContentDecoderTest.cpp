#include "net/ContentDecoder.h"

#define ZLIB_CONST
#include <zlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace arvelo {
namespace {

using TEncoding = TContentDecoder::TEncoding;

constexpr int kGzipBits = 15 + 16, kZlibBits = 15, kRawBits = -15;

// The whole of data compressed; windowBits picks the wrapper as deflateInit2 does.
std::string Compress(const std::string &data, int windowBits, int level = Z_DEFAULT_COMPRESSION)
{
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 64, '\0');
    z.next_in = reinterpret_cast<const Bytef *>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string Gzip(const std::string &data) { return Compress(data, kGzipBits); }
std::string Zlib(const std::string &data) { return Compress(data, kZlibBits); }
std::string RawDeflate(const std::string &data) { return Compress(data, kRawBits); }
std::string Unchanged(const std::string &data) { return data; }

// Markup-like text that compresses about as well as a page does.
std::string SampleText(size_t size)
{
    static const char *const words[] = {"<p>", "</p>", "the", "offline", "copy", "<a href=\"", "\">", "</a>",
                                        "page", "index.html", "style", "\n", "image", "of", "site"};
    std::string text;
    uint32_t seed = 12345;
    while (text.size() < size) {
        seed = seed * 1103515245 + 12345;
        text += words[(seed >> 16) % std::size(words)];
        text += ' ';
        text += std::to_string((seed >> 8) % 1000);
    }
    text.resize(size);
    return text;
}

// Bytes that do not compress.
std::string NoiseBytes(size_t size)
{
    std::string bytes(size, '\0');
    uint32_t seed = 777;
    for (char &c : bytes) {
        seed = seed * 1664525 + 1013904223;
        c = static_cast<char>(seed >> 24);
    }
    return bytes;
}

struct TDecoded {
    std::string output;
    size_t pieces = 0, largestPiece = 0;
    std::string error;
    bool errorAtFinish = false;
    int64_t bytesIn = 0, bytesOut = 0;
};

// Feeds the body in writes of step bytes (0: all in one write), then finishes.
TDecoded Decode(const std::string &encoding, const std::string &body, size_t step = 0,
                int64_t maxDecoded = TContentDecoder::kMaxDecoded)
{
    TDecoded result;
    TContentDecoder decoder(encoding, maxDecoded);
    auto sink = [&](const char *data, size_t count) {
        result.output.append(data, count);
        ++result.pieces;
        result.largestPiece = std::max(result.largestPiece, count);
    };
    try {
        if (step == 0) {
            decoder.Write(body.data(), body.size(), sink);
        } else {
            for (size_t at = 0; at < body.size(); at += step)
                decoder.Write(body.data() + at, std::min(step, body.size() - at), sink);
        }
        result.errorAtFinish = true;
        decoder.Finish();
    } catch (const EDecodeError &e) {
        result.error = e.what();
    }
    if (result.error.empty())
        result.errorAtFinish = false;
    result.bytesIn = decoder.BytesIn();
    result.bytesOut = decoder.BytesOut();
    return result;
}

const size_t kSteps[] = {0, 1, 7, 4096};

struct TCodec {
    const char *label;
    const char *contentEncoding;
    std::string (*encode)(const std::string &);
};

const TCodec kCodecs[] = {
    {"gzip", "gzip", Gzip},
    {"x-gzip", "X-Gzip", Gzip},
    {"zlib deflate", "deflate", Zlib},
    {"raw deflate", " Deflate ", RawDeflate},
    {"identity", "identity", Unchanged},
    {"no encoding", "", Unchanged},
};

TEST(ContentDecoder, HeaderValues)
{
    const std::pair<const char *, TEncoding> cases[] = {
        {"gzip", TEncoding::Gzip},         {" GZip\t", TEncoding::Gzip},          {"x-gzip", TEncoding::Gzip},
        {"X-GZIP", TEncoding::Gzip},       {"deflate", TEncoding::Deflate},       {"\r DEFLATE", TEncoding::Deflate},
        {"identity", TEncoding::Identity}, {"Identity ", TEncoding::Identity},    {"", TEncoding::Identity},
        {"   ", TEncoding::Identity},      {"br", TEncoding::Unknown},            {"compress", TEncoding::Unknown},
        {"zstd", TEncoding::Unknown},      {"gzip, br", TEncoding::Unknown},      {"gzipped", TEncoding::Unknown},
        {"x-deflate", TEncoding::Unknown},
    };
    for (auto [value, encoding] : cases) {
        EXPECT_EQ(TContentDecoder::EncodingOf(value), encoding) << '"' << value << '"';
        EXPECT_EQ(TContentDecoder::Supported(value), encoding != TEncoding::Unknown) << '"' << value << '"';
        TContentDecoder decoder(value);
        EXPECT_EQ(decoder.Encoding(), encoding) << '"' << value << '"';
        EXPECT_EQ(decoder.Known(), encoding != TEncoding::Unknown) << '"' << value << '"';
    }
}

TEST(ContentDecoder, UnknownEncodingRefusesData)
{
    TContentDecoder decoder(" BR ");
    EXPECT_FALSE(decoder.Known());
    auto sink = [](const char *, size_t) { ADD_FAILURE() << "no output expected"; };
    try {
        decoder.Write("abc", 3, sink);
        ADD_FAILURE() << "no error";
    } catch (const EDecodeError &e) {
        EXPECT_STREQ(e.what(), "Content-Encoding br is not supported");
    }
    EXPECT_THROW(decoder.Finish(), EDecodeError);
    EXPECT_EQ(decoder.BytesOut(), 0);
}

// Every way of splitting the body yields the same bytes, in bounded pieces.
TEST(ContentDecoder, DecodesEveryKnownEncodingInAnyWrites)
{
    const std::string inputs[] = {"", "x", "Hello, world!\n", SampleText(300000)};
    for (const TCodec &codec : kCodecs) {
        for (const std::string &input : inputs) {
            std::string body = codec.encode(input);
            for (size_t step : kSteps) {
                SCOPED_TRACE(std::string(codec.label) + ", " + std::to_string(input.size()) + " bytes, step " +
                             std::to_string(step));
                TDecoded decoded = Decode(codec.contentEncoding, body, step);
                EXPECT_EQ(decoded.error, "");
                EXPECT_TRUE(decoded.output == input);
                EXPECT_EQ(decoded.bytesIn, static_cast<int64_t>(body.size()));
                EXPECT_EQ(decoded.bytesOut, static_cast<int64_t>(input.size()));
                EXPECT_LE(decoded.largestPiece, TContentDecoder::kPieceSize);
                if (input.size() > 2 * TContentDecoder::kPieceSize) {
                    EXPECT_GT(decoded.pieces, 2u);
                }
            }
        }
    }
}

TEST(ContentDecoder, EmptyBodyUnderAnyEncoding)
{
    for (const TCodec &codec : kCodecs) {
        TDecoded decoded = Decode(codec.contentEncoding, "");
        EXPECT_EQ(decoded.error, "") << codec.label;
        EXPECT_EQ(decoded.pieces, 0u) << codec.label;
    }
}

// Stored blocks start with bytes quite unlike a zlib header; fast and best
// levels start differently again. Each must be read as raw data.
TEST(ContentDecoder, RawDeflateAtEveryLevel)
{
    std::string input = SampleText(20000);
    for (int level : {0, 1, 6, 9}) {
        for (int bits : {kRawBits, kZlibBits}) {
            SCOPED_TRACE("level " + std::to_string(level) + ", window bits " + std::to_string(bits));
            TDecoded decoded = Decode("deflate", Compress(input, bits, level), 1);
            EXPECT_EQ(decoded.error, "");
            EXPECT_TRUE(decoded.output == input);
        }
    }
}

TEST(ContentDecoder, GzipMembersInARow)
{
    std::string first = SampleText(100000), second = "second member", third = NoiseBytes(70000);
    std::string body = Gzip(first) + Gzip("") + Gzip(second) + Gzip(third);
    for (size_t step : kSteps) {
        TDecoded decoded = Decode("gzip", body, step);
        EXPECT_EQ(decoded.error, "") << step;
        EXPECT_TRUE(decoded.output == first + second + third) << step;
    }
}

TEST(ContentDecoder, BytesAfterTheEndAreIgnored)
{
    std::string input = SampleText(5000);
    const std::pair<const char *, std::string> cases[] = {
        {"gzip", Gzip(input) + std::string(16, '\0')},
        {"gzip", Gzip(input) + "\x1f"},
        {"gzip", Gzip(input) + "\x1f junk"},
        {"gzip", Gzip(input) + "<html>junk</html>"},
        {"deflate", Zlib(input) + "junk"},
        {"deflate", Zlib(input) + Zlib("not read")},
        {"deflate", RawDeflate(input) + std::string(5, '\0')},
    };
    for (const auto &[encoding, body] : cases) {
        for (size_t step : kSteps) {
            TDecoded decoded = Decode(encoding, body, step);
            EXPECT_EQ(decoded.error, "") << encoding << ", step " << step;
            EXPECT_TRUE(decoded.output == input) << encoding << ", step " << step;
            EXPECT_EQ(decoded.bytesIn, static_cast<int64_t>(body.size()));
        }
    }
}

TEST(ContentDecoder, CutShortIsAnErrorAtTheEnd)
{
    std::string input = SampleText(50000);
    struct TCase {
        const char *encoding;
        std::string body, whole;
    };
    const TCase cases[] = {
        {"gzip", Gzip(input), input},
        {"deflate", Zlib(input), input},
        {"deflate", RawDeflate(input), input},
        {"gzip", Gzip("complete member") + Gzip(input), "complete member" + input},
    };
    for (const TCase &c : cases) {
        for (size_t length : {size_t(1), size_t(2), size_t(5), c.body.size() / 2, c.body.size() - 4, c.body.size() - 1}) {
            for (size_t step : {size_t(0), size_t(1)}) {
                SCOPED_TRACE(std::string(c.encoding) + ", " + std::to_string(length) + " of " +
                             std::to_string(c.body.size()) + " bytes, step " + std::to_string(step));
                TDecoded decoded = Decode(c.encoding, c.body.substr(0, length), step);
                EXPECT_EQ(decoded.error, "Compressed reply is cut short");
                EXPECT_TRUE(decoded.errorAtFinish);
                // What came out before the end is right as far as it goes.
                EXPECT_EQ(c.whole.compare(0, decoded.output.size(), decoded.output), 0);
            }
        }
    }
}

TEST(ContentDecoder, DataThatIsNotGzip)
{
    const std::pair<const char *, std::string> cases[] = {
        {"gzip", "<!DOCTYPE html><html><body>Plain page</body></html>"},
        {"gzip", Zlib("zlib is not gzip")},
        {"gzip", RawDeflate("nor is raw deflate")},
        {"x-gzip", "\x1f"
                   "A"},
    };
    for (const auto &[encoding, body] : cases) {
        for (size_t step : {size_t(0), size_t(1)}) {
            TDecoded decoded = Decode(encoding, body, step);
            EXPECT_EQ(decoded.error, std::string("Content-Encoding ") + encoding + ": the data is not gzip") << body;
            EXPECT_FALSE(decoded.errorAtFinish);
            EXPECT_EQ(decoded.bytesOut, 0);
        }
    }
}

TEST(ContentDecoder, DamagedData)
{
    std::string input = SampleText(40000);
    std::string badCrc = Gzip(input);
    badCrc[badCrc.size() - 6] ^= 1;
    std::string badLength = Gzip(input);
    badLength[badLength.size() - 2] ^= 1;
    std::string badAdler = Zlib(input);
    badAdler.back() ^= 1;
    const std::pair<const char *, std::string> cases[] = {
        {"gzip", badCrc},
        {"gzip", badLength},
        {"deflate", badAdler},
        {"gzip", Gzip("good") + "\x1f\x8b junk that looks like a member"},
    };
    for (const auto &[encoding, body] : cases) {
        for (size_t step : {size_t(0), size_t(1)}) {
            TDecoded decoded = Decode(encoding, body, step);
            EXPECT_EQ(decoded.error, std::string("Content-Encoding ") + encoding + ": the data is damaged");
            EXPECT_FALSE(decoded.errorAtFinish);
        }
    }
    // A plain page under deflate cannot be told from raw data by its first
    // bytes; it fails on the way or at the end, never silently.
    TDecoded plain = Decode("deflate", "<!DOCTYPE html><html><body>Plain page</body></html>");
    EXPECT_NE(plain.error, "");
}

TEST(ContentDecoder, ErrorRepeatsOnLaterCalls)
{
    TContentDecoder decoder("gzip");
    auto sink = [](const char *, size_t) {};
    EXPECT_THROW(decoder.Write("plain", 5, sink), EDecodeError);
    std::string body = Gzip("valid");
    EXPECT_THROW(decoder.Write(body.data(), body.size(), sink), EDecodeError);
    EXPECT_THROW(decoder.Finish(), EDecodeError);
    EXPECT_EQ(decoder.BytesOut(), 0);
}

// 100 MB of zeros, compressed as it is made and decoded as it is compressed,
// so that neither side is ever held whole.
TEST(ContentDecoder, BombStopsAtTheDefaultLimit)
{
    TContentDecoder decoder("gzip");
    int64_t received = 0;
    size_t largestPiece = 0;
    auto sink = [&](const char *, size_t count) {
        received += static_cast<int64_t>(count);
        largestPiece = std::max(largestPiece, count);
    };
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, kGzipBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
    const std::vector<char> zeros(1 << 20, '\0');
    std::vector<char> compressed(1 << 16);
    std::string error;
    int64_t fed = 0;
    for (int megabyte = 0; megabyte < 100 && error.empty(); ++megabyte) {
        z.next_in = reinterpret_cast<const Bytef *>(zeros.data());
        z.avail_in = static_cast<uInt>(zeros.size());
        int flush = megabyte == 99 ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = reinterpret_cast<Bytef *>(compressed.data());
            z.avail_out = static_cast<uInt>(compressed.size());
            deflate(&z, flush);
            size_t count = compressed.size() - z.avail_out;
            fed += static_cast<int64_t>(count);
            try {
                decoder.Write(compressed.data(), count, sink);
            } catch (const EDecodeError &e) {
                error = e.what();
                break;
            }
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    EXPECT_EQ(error, "Compressed reply is too large (more than 200 times its size and 64 MB)");
    // Far below the ratio limit, so the size limit is what stopped it.
    EXPECT_LT(fed * TContentDecoder::kMaxRatio, TContentDecoder::kMaxDecoded / 2);
    EXPECT_GE(received, TContentDecoder::kMaxDecoded - static_cast<int64_t>(TContentDecoder::kPieceSize));
    EXPECT_LE(received, TContentDecoder::kMaxDecoded + static_cast<int64_t>(TContentDecoder::kPieceSize));
    EXPECT_EQ(received, decoder.BytesOut());
    EXPECT_LE(largestPiece, TContentDecoder::kPieceSize);
}

// Only a body beyond both limits is refused: a large body that compresses
// little passes, and so does a small one that compresses very well.
TEST(ContentDecoder, LimitNeedsBothSizeAndRatio)
{
    constexpr int64_t kLimit = int64_t(1) << 20;
    const std::string zeros(4 << 20, '\0');
    struct TCase {
        const char *label;
        const char *encoding;
        std::string body;
        int64_t limit;
        // The decoded size; 0 when the body is refused.
        int64_t size;
    };
    const TCase cases[] = {
        {"zeros beyond the size", "gzip", Gzip(zeros), kLimit, 0},
        {"zeros beyond the size, raw deflate", "deflate", RawDeflate(zeros), kLimit, 0},
        {"zeros within the size", "gzip", Gzip(zeros.substr(0, kLimit / 2)), kLimit, kLimit / 2},
        {"noise beyond the size", "gzip", Gzip(NoiseBytes(4 << 20)), kLimit, 4 << 20},
        {"text beyond the size", "deflate", Zlib(SampleText(4 << 20)), kLimit, 4 << 20},
        {"text with no size limit", "gzip", Gzip(SampleText(1 << 20)), 0, 1 << 20},
        {"zeros with no size limit", "gzip", Gzip(zeros.substr(0, 1 << 20)), 0, 0},
        // Padding after the stream is not compressed data and buys no room.
        {"zeros with long padding", "gzip", Gzip(zeros) + std::string(1 << 20, '\0'), kLimit, 0},
    };
    for (const TCase &c : cases) {
        for (size_t step : {size_t(0), size_t(1000)}) {
            SCOPED_TRACE(std::string(c.label) + ", step " + std::to_string(step));
            TDecoded decoded = Decode(c.encoding, c.body, step, c.limit);
            if (c.size == 0) {
                EXPECT_EQ(decoded.error.rfind("Compressed reply is too large (more than 200 times its size and ", 0),
                          0u)
                    << decoded.error;
                EXPECT_FALSE(decoded.errorAtFinish);
                EXPECT_LE(decoded.bytesOut, std::max(c.limit, decoded.bytesIn * TContentDecoder::kMaxRatio) +
                                                static_cast<int64_t>(TContentDecoder::kPieceSize));
                EXPECT_TRUE(decoded.output == std::string(decoded.output.size(), '\0'));
            } else {
                EXPECT_EQ(decoded.error, "");
                EXPECT_EQ(decoded.bytesOut, c.size);
            }
        }
    }
    EXPECT_EQ(Decode("gzip", Gzip(zeros), 0, kLimit).error,
              "Compressed reply is too large (more than 200 times its size and 1 MB)");
}

TEST(ContentDecoder, IdentityPassesLargeBodiesInPieces)
{
    std::string input = NoiseBytes(1 << 20);
    TDecoded decoded = Decode("identity", input, 0, 0);
    EXPECT_EQ(decoded.error, "");
    EXPECT_TRUE(decoded.output == input);
    EXPECT_EQ(decoded.pieces, (input.size() + TContentDecoder::kPieceSize - 1) / TContentDecoder::kPieceSize);
    EXPECT_EQ(decoded.largestPiece, TContentDecoder::kPieceSize);
}

} // namespace
} // namespace arvelo
