#include "net/HTTP.h"

#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "core/TextUtils.h"
#include "core/WindowThread.h"

#include <QByteArray>
#include <QStringDecoder>

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
    if (!StartsWithNoCase(value, "http://")) {
        if (report)
            RunInWindowThread([&] { Notifier().Error(SocketErrorText(seInvalidURL) + value); });
        RaiseSocketError(seInvalidURL);
    }
    url_ = value;
    std::string rest = value.substr(7);
    size_t slash = rest.find('/');
    if (slash != std::string::npos) {
        Server = rest.substr(0, slash);
        path_ = rest.substr(slash);
    } else {
        Server = rest;
        path_ = "/";
    }
    if (!proxy_.empty())
        SetProxy(proxy_);
}

void TagHTTP::SetProxy(const std::string &value)
{
    if (!value.empty() && value.find(':') == std::string::npos)
        RaiseSocketError(seProxyPortRequired);
    proxy_ = value;
    Server = value;
}

std::string TagHTTP::RequestText(const std::string &method, const std::string &credentials) const
{
    std::string target = RequestTarget(proxy_.empty() ? path_ : url_);
    if (target.empty())
        target = "/";
    std::string host = OneLine(Server);
    if (!proxy_.empty()) {
        if (target.find('/', 7) == std::string::npos)
            target += '/';
        size_t slash = target.find('/', 7);
        host = target.substr(7, slash - 7);
    }
    std::string text;
    auto line = [&](const std::string &content) { text += content + "\r\n"; };
    line(method + " " + target + " HTTP/1.0");
    line("Host: " + host);
    if (!credentials.empty())
        line("Authorization: Basic " + Base64Encode(credentials));
    if (!ProxyUserName.empty())
        line("Proxy-Authorization: Basic " + Base64Encode(ProxyUserName + ":" + ProxyPassword));
    line("Accept: */*");
    if (!UserAgent.empty())
        line("User-Agent: " + OneLine(UserAgent));
    if (Range > 0)
        line("Range:Bytes=" + std::to_string(Range) + "-");
    if (!IfModifiedSince.empty())
        line("If-Modified-Since: " + OneLine(IfModifiedSince));
    line("Connection: close");
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

int TagHTTP::Exchange(const std::string &method, const std::string &user, const std::string &password, bool body)
{
    Reset();
    Open();
    int status;
    try {
        Connect();
        SendRequest(method, user.empty() && password.empty() ? std::string() : user + ":" + password);
        status = ReadReply(body);
    } catch (...) {
        Close();
        throw;
    }
    Close();
    return status;
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
    if (Range > 0 && !ResumeFile.empty() && FileExists(ResumeFile)) {
        if (RangeAnswered())
            Body.LoadFile(ResumeFile, Range);
        else if (StatusCodeOf(Headers) == 206)
            RaiseSocketError(seUnexpectedRange);
    }
    if (IsChunked())
        ReadChunks();
    else
        ReceiveStream(Body, ParseCount(Headers.Value("Content-Length")));
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
            return;
        ReceiveStream(Body, size);
    }
}

} // namespace arvelo
