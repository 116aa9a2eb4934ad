#pragma once

#include <stdexcept>
#include <string>

namespace arvelo {

// The program's own error codes, raised through the same path as the
// socket system's numbers (10004 to 11004).
enum TSocketErrorCode : int {
    seInterrupted = 10004,
    seWouldBlock = 10035,
    seConnectionReset = 10054,
    seTimedOutConnect = 10060,
    seConnectionRefused = 10061,
    seHostNotFound = 11001,
    seTimedOut = 57000,
    seCanceled = 57001,
    seServerRequired = 57002,
    seInvalidVersion = 57003,
    seResolveFailed = 57004,
    seServiceRequired = 57005,
    seProxyPortRequired = 57006,
    seInvalidURL = 57007,
    seNotConnected = 57008,
    seFunctionNotFound = 57010,
    seNotLoaded = 57011,
    seLibraryNotFound = 57012,
    // Bounds on what a server can make us hold.
    seHostNameTooLong = 57020,
    seLineTooLong = 57021,
    seTooManyHeaders = 57022,
    seBadChunkSize = 57023,
    seBodyCut = 57024,
    seTooManyRedirects = 57025,
    seUnexpectedRange = 57026,
    seNoReply = 57027,
    // TLS: the texts name the host and the reason.
    seTlsFailed = 57030,
    seCertificateRefused = 57031,
    seProxyRefused = 57032,
    // The text is the decoder's.
    seDecodeFailed = 57033,
    // A body that arrives slower than the minimum rate.
    seTooSlow = 57034,
};

// The text of an error code: its table entry, else "Error #" and the number.
std::string SocketErrorText(int code);
// The code of an errno value from a socket call (0 stays 0).
int SocketErrorFromErrno(int error);
// The code of a getaddrinfo result.
int SocketErrorFromResolver(int error);

// Every network failure; what() is the text shown for the connection.
class ENetError : public std::runtime_error {
public:
    ENetError(int code, const std::string &text) : std::runtime_error(text), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

class ESocketError : public ENetError {
public:
    using ENetError::ENetError;
    explicit ESocketError(int code) : ENetError(code, SocketErrorText(code)) {}
};

class ETimedOutError : public ENetError {
public:
    ETimedOutError() : ENetError(seTimedOut, SocketErrorText(seTimedOut)) {}
};

class ECanceledError : public ENetError {
public:
    ECanceledError() : ENetError(seCanceled, SocketErrorText(seCanceled)) {}
};

} // namespace arvelo
