// The reply reader: any bytes a server sends end in a reply or a clear
// network error, within the bounds on lines, headers and body.
#include "FuzzSupport.h"

#include "core/AppPaths.h"
#include "core/FileUtils.h"
#include "net/ContentDecoder.h"
#include "net/HTTP.h"

#include <algorithm>

#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace arvelo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::PrepareHome();
    if (size == 0)
        return 0;
    // The first byte chooses whether the reply continues a partial file.
    bool resume = data[0] & 1;
    std::string reply(reinterpret_cast<const char *>(data) + 1, size - 1);
    static const std::string partial = DataFolder() + "partial.bin";
    if (resume && !FileExists(partial))
        SaveText(partial, "0123456789");

    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return 0;
    std::thread writer([&] {
        size_t sent = 0;
        while (sent < reply.size()) {
            ssize_t n = send(pair[1], reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<size_t>(n);
        }
        shutdown(pair[1], SHUT_WR);
    });

    TagHTTP http;
    http.SetTimeOut(5);
    http.Reset();
    if (resume) {
        http.Range = 9;
        http.ResumeFile = partial;
    }
    http.Attach(pair[0]);
    try {
        http.ReadReply(true);
    } catch (const ENetError &) {
    }
    http.Close();
    writer.join();
    close(pair[1]);

    if (http.Headers.lines.size() > TagHTTP::kMaxHeaderLines)
        fuzz::Fail("header count", std::to_string(http.Headers.lines.size()));
    for (const std::string &line : http.Headers.lines)
        if (line.size() > TagSocket::kMaxLine)
            fuzz::Fail("line length", std::to_string(line.size()));
    int64_t limit = static_cast<int64_t>(reply.size()) + (resume ? 10 : 0);
    // A compressed body grows, within the decoder's bounds.
    if (TContentDecoder::Supported(http.Headers.Value("Content-Encoding")))
        limit = std::max(limit * TContentDecoder::kMaxRatio, TContentDecoder::kMaxDecoded) +
                static_cast<int64_t>(TContentDecoder::kPieceSize);
    if (http.Body.Size() > limit)
        fuzz::Fail("body larger than its bound", std::to_string(http.Body.Size()));
    for (const char *name : {"Content-Length", "Transfer-Encoding", "Location", "Subject"})
        (void)http.Headers.Value(name);
    return 0;
}
