#include "net/Tls.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

namespace arvelo {

namespace {

// The library's own socket I/O writes with write(), which raises SIGPIPE on
// a connection the peer has closed; these use MSG_NOSIGNAL instead.
int SocketWrite(BIO *bio, const char *data, int size)
{
    int socket = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
    BIO_clear_retry_flags(bio);
    ssize_t sent = send(socket, data, static_cast<size_t>(size), MSG_NOSIGNAL);
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_write(bio);
    return static_cast<int>(sent);
}

int SocketRead(BIO *bio, char *data, int size)
{
    int socket = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
    BIO_clear_retry_flags(bio);
    ssize_t received = recv(socket, data, static_cast<size_t>(size), 0);
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_read(bio);
    return static_cast<int>(received);
}

long SocketControl(BIO *, int command, long, void *) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

int SocketCreate(BIO *bio)
{
    BIO_set_init(bio, 1);
    return 1;
}

BIO_METHOD *SocketMethod()
{
    static BIO_METHOD *method = [] {
        BIO_METHOD *m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "arvelo socket");
        BIO_meth_set_write(m, SocketWrite);
        BIO_meth_set_read(m, SocketRead);
        BIO_meth_set_ctrl(m, SocketControl);
        BIO_meth_set_create(m, SocketCreate);
        return m;
    }();
    return method;
}

SSL_CTX *ClientContext()
{
    static SSL_CTX *context = [] {
        SSL_CTX *c = SSL_CTX_new(TLS_client_method());
        if (!c)
            return c;
        SSL_CTX_set_default_verify_paths(c);
        if (const char *extra = std::getenv(TTlsChannel::kExtraCAVariable); extra && *extra)
            SSL_CTX_load_verify_locations(c, extra, nullptr);
        // Many servers close without a close_notify; a body's own length
        // tells whether it arrived whole.
        SSL_CTX_set_options(c, SSL_OP_IGNORE_UNEXPECTED_EOF);
        SSL_CTX_set_mode(c, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        return c;
    }();
    return context;
}

bool IsNumericHost(const std::string &host)
{
    unsigned char address[16];
    return inet_pton(AF_INET, host.c_str(), address) == 1 || inet_pton(AF_INET6, host.c_str(), address) == 1;
}

std::string LibraryReason()
{
    unsigned long code = ERR_get_error();
    const char *reason = code ? ERR_reason_error_string(code) : nullptr;
    return reason ? reason : "connection failed";
}

} // namespace

TTlsChannel::~TTlsChannel()
{
    End();
    if (session_)
        SSL_SESSION_free(session_);
}

bool TTlsChannel::Begin(int socket, const std::string &host, bool verify)
{
    End();
    error_.clear();
    certificateRefused_ = false;
    host_ = host;
    SSL_CTX *context = ClientContext();
    ssl_ = context ? SSL_new(context) : nullptr;
    BIO *bio = ssl_ ? BIO_new(SocketMethod()) : nullptr;
    if (!bio) {
        error_ = "TLS error: " + LibraryReason() + " (" + host + ")";
        End();
        return false;
    }
    BIO_set_data(bio, reinterpret_cast<void *>(static_cast<intptr_t>(socket)));
    SSL_set_bio(ssl_, bio, bio);
    const bool numeric = IsNumericHost(host);
    // A server name goes out for the server to pick its certificate; an
    // address is not a name.
    if (!numeric)
        SSL_set_tlsext_host_name(ssl_, host.c_str());
    if (verify) {
        SSL_set_verify(ssl_, SSL_VERIFY_PEER, nullptr);
        if (numeric)
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host.c_str());
        else
            SSL_set1_host(ssl_, host.c_str());
    } else {
        SSL_set_verify(ssl_, SSL_VERIFY_NONE, nullptr);
    }
    // A session resumed skips the certificate check: only one made under
    // the same rule for the same host is taken up again.
    sessionKey_ = host + (verify ? "" : " unverified");
    if (session_ && sessionHost_ == sessionKey_)
        SSL_set_session(ssl_, session_);
    SSL_set_connect_state(ssl_);
    return true;
}

int TTlsChannel::Outcome(int result)
{
    switch (SSL_get_error(ssl_, result)) {
    case SSL_ERROR_WANT_READ: return kWantRead;
    case SSL_ERROR_WANT_WRITE: return kWantWrite;
    case SSL_ERROR_ZERO_RETURN: return 0;
    case SSL_ERROR_SYSCALL:
        if (ERR_peek_error() == 0) {
            // The socket itself failed; errno tells how.
            systemError_ = errno;
            error_.clear();
            return kFailed;
        }
        [[fallthrough]];
    default: {
        long verified = SSL_get_verify_result(ssl_);
        if (verified != X509_V_OK) {
            certificateRefused_ = true;
            error_ = std::string("Certificate not trusted: ") + X509_verify_cert_error_string(verified) + " (" +
                     host_ + ")";
        } else {
            error_ = "TLS error: " + LibraryReason() + " (" + host_ + ")";
        }
        ERR_clear_error();
        return kFailed;
    }
    }
}

int TTlsChannel::Handshake()
{
    // The certificate store is shared, and its lookups cache what they find:
    // the steps of the handshakes (each a short run on the processor, never
    // a wait for the network) go one at a time, so that no two verifications
    // meet in that cache.
    static std::mutex handshakes;
    std::unique_lock lock(handshakes);
    ERR_clear_error();
    int result = SSL_connect(ssl_);
    lock.unlock();
    if (result == 1)
        return 0;
    int outcome = Outcome(result);
    // A handshake the peer ends is a failure, not an empty reply.
    if (outcome == 0) {
        error_ = "TLS error: the server closed the connection (" + host_ + ")";
        return kFailed;
    }
    return outcome;
}

int TTlsChannel::Read(char *buffer, int size)
{
    ERR_clear_error();
    int result = SSL_read(ssl_, buffer, size);
    return result > 0 ? result : Outcome(result);
}

int TTlsChannel::Write(const char *buffer, int size)
{
    ERR_clear_error();
    int result = SSL_write(ssl_, buffer, size);
    return result > 0 ? result : Outcome(result);
}

void TTlsChannel::End()
{
    if (!ssl_)
        return;
    if (SSL_SESSION *session = SSL_get1_session(ssl_)) {
        if (SSL_SESSION_is_resumable(session)) {
            if (session_)
                SSL_SESSION_free(session_);
            session_ = session;
            sessionHost_ = sessionKey_;
        } else {
            SSL_SESSION_free(session);
        }
    }
    SSL_free(ssl_);
    ssl_ = nullptr;
    ERR_clear_error();
}

} // namespace arvelo
