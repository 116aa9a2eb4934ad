#pragma once

#include <string>

typedef struct ssl_st SSL;
typedef struct ssl_session_st SSL_SESSION;

namespace arvelo {

// The client side of a TLS session over a connected non-blocking socket.
// It never waits itself: each call says whether it needs the socket to
// become readable or writable first, so the caller keeps its own
// cancellable waits and time-out.
class TTlsChannel {
public:
    // What a call answers besides a byte count.
    static constexpr int kWantRead = -1;
    static constexpr int kWantWrite = -2;
    static constexpr int kFailed = -3;

    // An extra trusted certificate authority file (PEM), read once, for the
    // test servers; the system's trust store is always used.
    static constexpr const char *kExtraCAVariable = "ARVELO_EXTRA_CA_FILE";

    TTlsChannel() = default;
    ~TTlsChannel();
    TTlsChannel(const TTlsChannel &) = delete;
    TTlsChannel &operator=(const TTlsChannel &) = delete;

    // Starts a session for the host (a name or a numeric address) on the
    // socket; with verify, the server's certificate must chain to a trusted
    // authority and name the host. False when no session could be made.
    bool Begin(int socket, const std::string &host, bool verify);
    bool Active() const { return ssl_ != nullptr; }
    // One step of the handshake: 0 when it is complete, else kWantRead,
    // kWantWrite or kFailed.
    int Handshake();
    // Bytes read (> 0), 0 when the peer has closed, or kWant... / kFailed.
    int Read(char *buffer, int size);
    // Bytes written (> 0), or kWant... / kFailed.
    int Write(const char *buffer, int size);
    // Ends the session without waiting for the peer; a session ticket is
    // kept so that the next connection to the same host resumes cheaply.
    void End();
    // Why the last call failed: the certificate's fault with the host, or
    // the library's reason.
    const std::string &ErrorText() const { return error_; }
    // True when the last failure was the certificate's.
    bool CertificateRefused() const { return certificateRefused_; }
    // The errno of a failure of the socket itself (ErrorText is then empty).
    int SystemError() const { return systemError_; }

private:
    int Outcome(int result);

    SSL *ssl_ = nullptr;
    SSL_SESSION *session_ = nullptr;
    std::string host_, sessionKey_, sessionHost_;
    std::string error_;
    bool certificateRefused_ = false;
    int systemError_ = 0;
};

} // namespace arvelo
