#include "net/HTTP.h"

#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "core/TextUtils.h"
#include "core/WindowThread.h"

#include <QByteArray>
#include <QStringDecoder>

#include <algorithm>
#include <charconv>

namespace arvelo {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

// A whole non-negative decimal number, or -1.
int64_t ParseCount(const std::string &text)
{
    std::string digits = Trim(text);
    int64_t value = -1;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty() || value < 0)
        return -1;
    return value;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Line breaks in a value would start a header of their own.
std::string OneLine(const std::string &value)
{
    std::string out;
    for (char c : value)
        if (c != '\r' && c != '\n')
            out += c;
    return out;
}

// A request target as the request line carries it: blanks and control
// characters, which would break the line, percent-encoded.
std::string RequestTarget(const std::string &target)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : target) {
        if (c <= 32 || c == 127) {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string DecodeWord(const std::string &charset, char encoding, const std::string &text, bool &ok)
{
    QByteArray bytes;
    ok = true;
    if (encoding == 'B' || encoding == 'b') {
        auto result = QByteArray::fromBase64Encoding(QByteArray::fromStdString(text),
                                                     QByteArray::AbortOnBase64DecodingErrors);
        ok = static_cast<bool>(result);
        bytes = *result;
    } else {
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '_') {
                bytes += ' ';
            } else if (text[i] == '=' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
                       HexDigit(text[i + 2]) >= 0) {
                bytes += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
                i += 2;
            } else {
                bytes += text[i];
            }
        }
    }
    if (!ok)
        return {};
    QStringDecoder decoder(charset.c_str());
    if (!decoder.isValid())
        return bytes.toStdString();
    QString decoded = decoder.decode(bytes);
    return decoded.toStdString();
}

// The number after the first blank of a status line, or -1.
int StatusCodeOf(const TmsHeaders &headers)
{
    if (headers.lines.empty())
        return -1;
    const std::string &status = headers.lines.front();
    size_t blank = status.find(' ');
    if (blank == std::string::npos)
        return -1;
    std::string rest = Trim(std::string_view(status).substr(blank + 1));
    return ToIntDef(rest.substr(0, rest.find(' ')), -1);
}

} // namespace

std::string Base64Encode(const std::string &bytes)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 2]);
        out += alphabet[(group >> 18) & 63];
        out += alphabet[(group >> 12) & 63];
        out += i + 1 < bytes.size() ? alphabet[(group >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[group & 63] : '=';
    }
    return out;
}

std::string DecodeEncodedWords(const std::string &value)
{
    std::string out;
    size_t pos = 0;
    bool lastWasWord = false;
    while (pos < value.size()) {
        size_t start = value.find("=?", pos);
        if (start == std::string::npos)
            break;
        size_t q1 = value.find('?', start + 2);
        size_t q2 = q1 == std::string::npos ? q1 : value.find('?', q1 + 1);
        size_t end = q2 == std::string::npos ? q2 : value.find("?=", q2 + 1);
        if (end == std::string::npos || q2 != q1 + 2) {
            out.append(value, pos, start + 2 - pos);
            pos = start + 2;
            lastWasWord = false;
            continue;
        }
        bool ok = false;
        std::string decoded;
        char encoding = value[q1 + 1];
        if (encoding == 'B' || encoding == 'b' || encoding == 'Q' || encoding == 'q')
            decoded = DecodeWord(value.substr(start + 2, q1 - start - 2), encoding,
                                 value.substr(q2 + 1, end - q2 - 1), ok);
        std::string between = value.substr(pos, start - pos);
        // Blanks between two encoded words belong to neither.
        if (!(ok && lastWasWord && Trim(between).empty()))
            out += between;
        if (ok)
            out += decoded;
        else
            out.append(value, start, end + 2 - start);
        lastWasWord = ok;
        pos = end + 2;
    }
    out.append(value, std::min(pos, value.size()));
    return out;
}

int64_t ParseChunkSize(const std::string &line)
{
    std::string size = Trim(line.substr(0, line.find(';')));
    if (size.empty())
        return -1;
    int64_t value = 0;
    for (char c : size) {
        int digit = HexDigit(c);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
        if (value > TagHTTP::kMaxChunkSize)
            return -1;
    }
    return value;
}

std::string TmsHeaders::Value(std::string name) const
{
    if (name.empty() || name.back() != ':')
        name += ':';
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!StartsWithNoCase(lines[i], name))
            continue;
        std::string value = Trim(std::string_view(lines[i]).substr(name.size()));
        for (size_t next = i + 1; next < lines.size(); ++next) {
            const std::string &line = lines[next];
            if (line.empty() || (line[0] != ' ' && line[0] != '\t'))
                break;
            value += ' ' + Trim(line);
        }
        if (!SameText(name, "Content-Type:") && !SameText(name, "X-UIDL:"))
            value = DecodeEncodedWords(value);
        return value;
    }
    return {};
}

TagHTTP::TagHTTP()
{
    DefaultPort = 80;
    Service = "http";
    SetTimeOut(60);
}

void TagHTTP::SetURL(const std::string &value, bool report)
{
    const bool secure = StartsWithNoCase(value, "https://");
    if (!secure && !StartsWithNoCase(value, "http://")) {
        if (report)
            RunInWindowThread([&] { Notifier().Error(SocketErrorText(seInvalidURL) + value); });
        RaiseSocketError(seInvalidURL);
    }
    url_ = value;
    secure_ = secure;
    std::string rest = value.substr(secure ? 8 : 7);
    size_t slash = rest.find('/');
    if (slash != std::string::npos) {
        server_ = rest.substr(0, slash);
        path_ = rest.substr(slash);
    } else {
        server_ = rest;
        path_ = "/";
    }
    Server = server_;
    DefaultPort = secure ? 443 : 80;
    Service = secure ? "https" : "http";
    if (!proxy_.empty())
        SetProxy(proxy_);
}

void TagHTTP::SetProxy(const std::string &value)
{
    if (!value.empty() && value.find(':') == std::string::npos)
        RaiseSocketError(seProxyPortRequired);
    proxy_ = value;
    Server = value.empty() ? server_ : value;
    if (!value.empty()) {
        // The proxy itself speaks plain http, also for an https address.
        DefaultPort = 80;
        Service = "http";
    }
}

std::string TagHTTP::HostName() const
{
    if (!server_.empty() && server_[0] == '[')
        return server_.substr(1, server_.find(']') - 1);
    return server_.substr(0, server_.find(':'));
}

std::string TagHTTP::Authority() const
{
    size_t close = server_.empty() || server_[0] != '[' ? 0 : server_.find(']');
    if (close != std::string::npos && server_.find(':', close) != std::string::npos)
        return server_;
    return server_ + (secure_ ? ":443" : ":80");
}

std::string TagHTTP::RequestText(const std::string &method, const std::string &credentials) const
{
    // Through the proxy an http request names the whole address; an https
    // one goes through the tunnel as it would to the server itself.
    const bool absoluteForm = !proxy_.empty() && !secure_;
    std::string target = RequestTarget(absoluteForm ? url_ : path_);
    if (target.empty())
        target = "/";
    if (absoluteForm && target.find('/', 7) == std::string::npos)
        target += '/';
    std::string text;
    auto line = [&](const std::string &content) { text += content + "\r\n"; };
    line(method + " " + target + " HTTP/1.1");
    line("Host: " + OneLine(server_));
    if (!credentials.empty())
        line("Authorization: Basic " + Base64Encode(credentials));
    // Inside the tunnel the server would read the proxy's credentials.
    if (absoluteForm && !ProxyUserName.empty())
        line("Proxy-Authorization: Basic " + Base64Encode(ProxyUserName + ":" + ProxyPassword));
    auto given = [&](std::string_view name) {
        return std::any_of(ExtraHeaders.begin(), ExtraHeaders.end(), [&](const std::string &header) {
            return header.size() > name.size() && header[name.size()] == ':' &&
                   SameText(header.substr(0, name.size()), name);
        });
    };
    if (!given("Accept"))
        line("Accept: */*");
    // A resumed body continues the bytes as they are on disk, which are
    // the decoded ones: the rest is asked for without compression.
    if (Range <= 0 && !given("Accept-Encoding"))
        line("Accept-Encoding: gzip, deflate");
    if (!UserAgent.empty() && !given("User-Agent"))
        line("User-Agent: " + OneLine(UserAgent));
    for (const std::string &header : ExtraHeaders)
        line(OneLine(header));
    if (Range > 0)
        line("Range:Bytes=" + std::to_string(Range) + "-");
    if (!IfModifiedSince.empty())
        line("If-Modified-Since: " + OneLine(IfModifiedSince));
    line("Connection: keep-alive");
    line("");
    return text;
}

int TagHTTP::Head(const std::string &user, const std::string &password)
{
    return Exchange("HEAD", user, password, false);
}

int TagHTTP::Get(const std::string &user, const std::string &password)
{
    return Exchange("GET", user, password, true);
}

std::string TagHTTP::ConnectionKey() const
{
    return (secure_ ? "https://" : "http://") + LowerAscii(server_) + " via " + proxy_ +
           (AcceptInvalidCertificates ? " unverified" : "");
}

void TagHTTP::OpenConnection()
{
    Open();
    Connect();
    if (secure_) {
        if (!proxy_.empty())
            Tunnel();
        StartTls(HostName(), !AcceptInvalidCertificates);
    }
}

void TagHTTP::Tunnel()
{
    const std::string authority = OneLine(Authority());
    std::string text = "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n";
    if (!ProxyUserName.empty())
        text += "Proxy-Authorization: Basic " + Base64Encode(ProxyUserName + ":" + ProxyPassword) + "\r\n";
    if (!UserAgent.empty())
        text += "User-Agent: " + OneLine(UserAgent) + "\r\n";
    SendStream(text + "\r\n");
    int status = ReadHeaders();
    if (status < 200 || status > 299)
        RaiseSocketError(seProxyRefused, SocketErrorText(seProxyRefused) + ": " +
                                             (Headers.lines.empty() ? std::string() : Headers.lines.front()));
}

namespace {

// Replies that never carry a body, whatever their headers say.
bool ReplyHasBody(int status) { return !(status / 100 == 1 || status == 204 || status == 304); }

} // namespace

int TagHTTP::Exchange(const std::string &method, const std::string &user, const std::string &password, bool body)
{
    const std::string credentials = user.empty() && password.empty() ? std::string() : user + ":" + password;
    const std::string key = ConnectionKey();
    reused_ = keepAlive_ && connectionKey_ == key && StillOpen();
    for (;;) {
        Reset();
        keepAlive_ = false;
        Headers.Clear();
        // A kept connection the server closes as the request goes out is no
        // failure: the request goes again on a new one, unheard of.
        bool muted = false;
        int status;
        try {
            if (!reused_) {
                Close();
                OpenConnection();
                connectionKey_ = key;
            }
            muted = reused_;
            ReportErrors(!muted);
            SendRequest(method, credentials);
            status = ReadHeaders();
            muted = false;
            ReportErrors(true);
            if (reused_ && status < 0 && Headers.lines.size() == 1 && AtEnd()) {
                reused_ = false;
                continue;
            }
            if (body) {
                if (ReplyHasBody(status))
                    ReadBody();
                else
                    Body.Clear();
            }
        } catch (const ENetError &error) {
            ReportErrors(true);
            Close();
            if (muted && !Canceled() && error.Code() != seTimedOut &&
                (Headers.lines.empty() || (Headers.lines.size() == 1 && Headers.lines.front().empty()))) {
                reused_ = false;
                continue;
            }
            if (muted)
                ReportError(error.what());
            throw;
        } catch (...) {
            ReportErrors(true);
            Close();
            throw;
        }
        keepAlive_ = KeepsConnection();
        if (!keepAlive_)
            Close();
        return status;
    }
}

bool TagHTTP::KeepsConnection() const
{
    if (!IsOpen() || AtEnd() || Headers.lines.empty())
        return false;
    const std::string connection = LowerAscii(Headers.Value("Connection"));
    if (connection.find("close") != std::string::npos)
        return false;
    return Headers.lines.front().rfind("HTTP/1.1", 0) == 0 || connection.find("keep-alive") != std::string::npos;
}

int TagHTTP::ReadReply(bool body)
{
    int status = ReadHeaders();
    if (body)
        ReadBody();
    return status;
}

void TagHTTP::SendRequest(const std::string &method, const std::string &credentials)
{
    if (OnSending)
        OnSending(*this);
    SendStream(RequestText(method, credentials));
}

int TagHTTP::ReadHeaders()
{
    Headers.Clear();
    // The whole header must arrive within the time-out.
    LimitWaits(true);
    std::string line;
    do {
        if (Headers.lines.size() >= kMaxHeaderLines)
            RaiseSocketError(seTooManyHeaders);
        ReadLine(line);
        Headers.lines.push_back(line);
    } while (!line.empty());
    LimitWaits(false);
    return StatusCodeOf(Headers);
}

bool TagHTTP::IsChunked() const { return LowerAscii(Headers.Value("Transfer-Encoding")).find("chunked") != std::string::npos; }

bool TagHTTP::RangeAnswered() const
{
    if (StatusCodeOf(Headers) != 206)
        return false;
    std::string range = LowerAscii(Headers.Value("Content-Range"));
    if (range.rfind("bytes", 0) != 0)
        return false;
    size_t first = range.find_first_not_of(" =", 5);
    size_t dash = range.find('-', first);
    if (first == std::string::npos || dash == std::string::npos)
        return false;
    return ParseCount(range.substr(first, dash - first)) == Range;
}

void TagHTTP::ReadBody()
{
    Body.Clear();
    const std::string encoding = Headers.Value("Content-Encoding");
    const bool encoded = TContentDecoder::EncodingOf(encoding) != TContentDecoder::TEncoding::Identity;
    if (Range > 0 && !ResumeFile.empty() && FileExists(ResumeFile)) {
        // A part of a compressed body cannot be decoded on its own.
        if (RangeAnswered() && !encoded)
            Body.LoadFile(ResumeFile, Range);
        else if (StatusCodeOf(Headers) == 206)
            RaiseSocketError(seUnexpectedRange);
    }
    // An encoding we cannot undo is kept as it came.
    if (encoded && TContentDecoder::Supported(encoding))
        Body.SetDecoder(std::make_unique<TContentDecoder>(encoding));
    try {
        if (IsChunked())
            ReadChunks();
        else
            ReceiveStream(Body, ParseCount(Headers.Value("Content-Length")));
        Body.FinishDecoding();
    } catch (const EDecodeError &error) {
        // Nothing of a body that does not decode is kept, not even as a part.
        Body.Clear();
        Close();
        RaiseSocketError(seDecodeFailed, error.what());
    }
    Body.Rewind();
}

void TagHTTP::ReadChunks()
{
    std::string line;
    for (;;) {
        ReadLine(line);
        if (line.empty()) {
            // The line break that ends the data of the previous chunk.
            if (AtEnd())
                RaiseSocketError(seBodyCut);
            ReadLine(line);
            if (line.empty() && AtEnd())
                RaiseSocketError(seBodyCut);
        }
        int64_t size = ParseChunkSize(line);
        if (size < 0)
            RaiseSocketError(seBadChunkSize);
        if (size == 0)
            break;
        ReceiveStream(Body, size);
    }
    // The trailer, up to its empty line, so that a kept connection starts
    // its next reply clean.
    for (size_t lines = 0;; ++lines) {
        ReadLine(line);
        if (line.empty())
            break;
        if (lines >= kMaxHeaderLines)
            RaiseSocketError(seTooManyHeaders);
    }
}

} // namespace arvelo
