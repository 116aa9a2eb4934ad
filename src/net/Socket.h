#pragma once

#include "net/NameLookup.h"
#include "net/RateLimit.h"
#include "net/SocketError.h"
#include "net/TimeCounter.h"
#include "net/Tls.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace arvelo {

class TBodyStream;

// A TCP client connection driven by sequential calls from one worker thread:
// Reset, Open, Connect, then SendStream / ReadLine / ReceiveStream, then
// Close (always, also after an exception). Every wait polls the socket
// together with a wake-up descriptor, so Cancel from another thread ends it
// at once, and lasts at most TimeOut seconds without progress. Every failure
// leaves by an ENetError whose text OnError has seen first.
class TagSocket {
public:
    using TNotifyEvent = std::function<void(TagSocket &sender)>;
    using TmsProgressEvent = std::function<void(TagSocket &sender, int percent, int64_t transferred)>;
    using TmsErrorEvent = std::function<void(TagSocket &sender, std::string &message)>;

    // Longest host name and reply line accepted.
    static constexpr size_t kMaxHostName = 253;
    static constexpr size_t kMaxLine = 16384;

    TagSocket();
    virtual ~TagSocket();
    TagSocket(const TagSocket &) = delete;
    TagSocket &operator=(const TagSocket &) = delete;

    // Host or address, optionally ":" and a port; an IPv6 address in brackets.
    std::string Server;
    std::string Service;
    uint16_t DefaultPort = 0;
    uint16_t Port = 0;
    TSocketAddress RemoteAddress;

    // The least a reply must bring, in bytes a second over every window of
    // MinRateWindow seconds from its request on, so that a peer that trickles
    // its body cannot hold the connection for ever; 0 for no minimum.
    int64_t MinRate = 0;
    int MinRateWindow = 60;
    // The ceiling the bodies received share with other connections; none when empty.
    std::shared_ptr<TRateLimit> RateLimit;

    TNotifyEvent OnOpen, OnHostFound, OnServiceFound, OnConnected, OnClosing, OnClosed, OnCancel;
    TmsProgressEvent OnProgress;
    TmsErrorEvent OnError;

    int TimeOut() const { return counter_.TimeOut; }
    void SetTimeOut(int seconds) { counter_.TimeOut = seconds; }
    bool Canceled() const { return canceled_.load(); }
    bool IsOpen() const;

    virtual void Reset();
    // Resolves the host and the port and creates the socket.
    virtual void Open();
    void Connect();
    void SendStream(const std::string &bytes);
    // One line without its line break; ReplyCode of it, or -1 when the
    // connection ended before a line feed (the line is then empty).
    int ReadLine(std::string &line);
    // Appends bytes to the stream until count bytes have arrived or, when
    // count is negative, until the peer closes. A connection that closes
    // before count bytes is an error.
    void ReceiveStream(TBodyStream &stream, int64_t count);
    // True once the peer has closed and every received byte has been read.
    bool AtEnd() const { return peerClosed_ && readStart_ == readEnd_; }
    virtual void Close();
    // Begins TLS on the connected socket for the host; with verify, a
    // certificate that is not trusted for it ends the exchange with a text
    // that names the host and the reason.
    void StartTls(const std::string &host, bool verify);
    // Takes over a connected socket in place of Open and Connect (a socket
    // pair that replays a recorded reply, for instance).
    void Attach(int connectedSocket);
    // From any thread: the operation under way ends with ECanceledError.
    virtual void Cancel();
    // Waits that long, or until Cancel (then raising ECanceledError).
    void Pause(std::chrono::milliseconds length);
    // Raises ECanceledError once Cancel was called.
    void ThrowIfCanceled();

    static int ReplyCode(const std::string &line);

protected:
    [[noreturn]] void RaiseSocketError(int code);
    [[noreturn]] void RaiseSocketError(int code, std::string text);
    [[noreturn]] void RaiseTimedOut();
    [[noreturn]] void RaiseCanceled();
    [[noreturn]] void RaiseReceiveError(int error);
    void FireProgress(int percent, int64_t transferred);
    // While on, the waits together last at most TimeOut seconds, so that a
    // peer that trickles bytes cannot hold the connection.
    void LimitWaits(bool on);
    // While off, failures reach the caller as exceptions only, not OnError.
    void ReportErrors(bool on) { reportErrors_ = on; }
    void ReportError(std::string text);
    // The connection is open and idle, and the peer has not closed it:
    // nothing is waiting to be read.
    bool StillOpen() const;

private:
    enum class TWait { kRead, kWrite };
    // Reports the end of the exchange, drops a pending look-up and closes.
    void AbandonExchange(int code);
    void ResolveHost(const std::string &host);
    void ResolvePort(const std::string &portText);
    // Waits until the socket is ready; raises on cancel or time-out.
    void WaitReady(TWait what);
    // Receives into the read buffer; false when the peer has closed.
    bool Fill();
    // Counts received bytes toward the minimum rate; raises seTooSlow when a
    // whole window brought too few.
    void CheckRate(size_t received);
    // After a TTlsChannel call answered kFailed.
    [[noreturn]] void RaiseTlsError();
    // Waits as a TTlsChannel call asked; false when it failed instead.
    bool WaitForTls(int outcome);

    TTimeCounter counter_;
    int socket_ = -1;
    int wakeFd_ = -1;
    mutable std::mutex socketMutex_;
    std::atomic<bool> canceled_{false};
    std::shared_ptr<TNameLookup> lookup_;
    std::vector<char> readBuffer_;
    size_t readStart_ = 0, readEnd_ = 0;
    bool peerClosed_ = false;
    TTlsChannel tls_;
    bool reportErrors_ = true;
    std::chrono::steady_clock::time_point rateStart_{};
    int64_t rateBytes_ = 0;
};

} // namespace arvelo
