#pragma once

#include "net/BodyStream.h"
#include "net/Socket.h"

#include <atomic>
#include <string>
#include <vector>

namespace arvelo {

// The lines of a reply: the status line, every header line as received and
// the empty line that ended them.
class TmsHeaders {
public:
    std::vector<std::string> lines;

    void Clear() { lines.clear(); }
    // The value of the first header of that name (letter case ignored), with
    // its continuation lines; MIME encoded words are decoded except in
    // "Content-Type" and "X-UIDL". Empty when there is none.
    std::string Value(std::string name) const;
};

// The standard Base64 encoding with "=" padding and no line breaks.
std::string Base64Encode(const std::string &bytes);
// Decodes the MIME encoded words ("=?charset?B|Q?text?=") of a header value.
std::string DecodeEncodedWords(const std::string &value);
// The number of a chunk-size line (extensions after ";" ignored), or -1 when
// it is not a hexadecimal number that fits; lines are trimmed first.
int64_t ParseChunkSize(const std::string &line);

// The HTTP/1.1 client for http and https addresses. A connection stays open
// after a reply that allows it and serves the next request to the same
// server; one the server has closed meanwhile is replaced without the
// caller noticing. An https address through the proxy goes through a
// CONNECT tunnel.
class TagHTTP : public TagSocket {
public:
    // What a reply may make us hold before it is refused.
    static constexpr size_t kMaxHeaderLines = 500;
    static constexpr int64_t kMaxChunkSize = int64_t(1) << 31;

    TagHTTP();

    const std::string &URL() const { return url_; }
    // Raises "Invalid URL" for an address that does not begin with "http://"
    // or "https://"; with report, a message box says which address it was.
    void SetURL(const std::string &value, bool report = true);
    const std::string &Path() const { return path_; }
    const std::string &Proxy() const { return proxy_; }
    // Raises "Proxy port is required" for a proxy without ":".
    void SetProxy(const std::string &value);

    std::string ProxyUserName, ProxyPassword;
    std::string UserAgent;
    // Header lines ("Name: value") sent with every request; one of them
    // replaces our own Accept, Accept-Encoding or User-Agent line.
    std::vector<std::string> ExtraHeaders;
    // Takes an https server's certificate without checking it.
    bool AcceptInvalidCertificates = false;
    int64_t Range = 0;
    std::string IfModifiedSince;
    std::string ResumeFile;
    TmsHeaders Headers;
    TBodyStream Body;
    // Set to 1 by the fetch worker when it has finished.
    std::atomic<int> Tag{0};
    TNotifyEvent OnSending;

    int Head(const std::string &user = {}, const std::string &password = {});
    int Get(const std::string &user = {}, const std::string &password = {});

    // The request text of a method with credentials ("user:password" or empty).
    std::string RequestText(const std::string &method, const std::string &credentials) const;
    bool IsChunked() const;
    // Whether the connection may serve another request after the reply
    // just read whole.
    bool KeepsConnection() const;
    // Reads the status and header lines and, with body, the body; returns
    // the status code.
    int ReadReply(bool body);

private:
    int Exchange(const std::string &method, const std::string &user, const std::string &password, bool body);
    // Where the next request goes: proxy, scheme and server.
    std::string ConnectionKey() const;
    void OpenConnection();
    // The CONNECT through the proxy to the https server.
    void Tunnel();
    void SendRequest(const std::string &method, const std::string &credentials);
    int ReadHeaders();
    void ReadBody();
    void ReadChunks();
    // True when a ranged request was answered by the range it asked for.
    bool RangeAnswered() const;

    // The server of the address with its port ("host:443"), and its host
    // alone, without brackets, as the certificate names it.
    std::string Authority() const;
    std::string HostName() const;

    std::string url_, path_, proxy_, server_;
    bool secure_ = false;
    std::string connectionKey_;
    bool keepAlive_ = false;
    bool reused_ = false;
};

} // namespace arvelo
