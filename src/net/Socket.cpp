#include "net/Socket.h"

#include "core/TextUtils.h"
#include "net/BodyStream.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace arvelo {

namespace {

constexpr size_t kReadBufferSize = 2 * TagSocket::kMaxLine;

// A share of a total as a whole percentage, halves going to the even neighbour.
int PercentOf(int64_t part, int64_t total)
{
    return static_cast<int>(std::nearbyint(static_cast<double>(part) * 100.0 / static_cast<double>(total)));
}

void Fire(const TagSocket::TNotifyEvent &event, TagSocket &sender)
{
    if (event)
        event(sender);
}

} // namespace

TagSocket::TagSocket() : wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), readBuffer_(kReadBufferSize) {}

TagSocket::~TagSocket()
{
    {
        std::lock_guard lock(socketMutex_);
        if (socket_ >= 0)
            close(socket_);
        socket_ = -1;
    }
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

bool TagSocket::IsOpen() const
{
    std::lock_guard lock(socketMutex_);
    return socket_ >= 0;
}

int TagSocket::ReplyCode(const std::string &line) { return ToIntDef(line.substr(0, 3), -1); }

void TagSocket::Reset()
{
    canceled_ = false;
    counter_.ClearExpired();
    counter_.ClearLimit();
    counter_.Stop();
    lookup_.reset();
    uint64_t pending;
    while (read(wakeFd_, &pending, sizeof pending) > 0) {
    }
    readStart_ = readEnd_ = 0;
    peerClosed_ = false;
}

void TagSocket::RaiseSocketError(int code) { RaiseSocketError(code, SocketErrorText(code)); }

void TagSocket::ReportError(std::string text)
{
    if (OnError)
        OnError(*this, text);
}

bool TagSocket::StillOpen() const
{
    std::lock_guard lock(socketMutex_);
    if (socket_ < 0 || peerClosed_ || readStart_ != readEnd_)
        return false;
    // Readable while idle means closed, or bytes that belong to no request.
    pollfd fd{socket_, POLLIN, 0};
    return poll(&fd, 1, 0) == 0;
}

void TagSocket::RaiseSocketError(int code, std::string text)
{
    counter_.Stop();
    if (OnError && reportErrors_)
        OnError(*this, text);
    if (code == seConnectionReset)
        Close();
    throw ESocketError(code, text);
}

void TagSocket::AbandonExchange(int code)
{
    counter_.Stop();
    std::string text = SocketErrorText(code);
    if (OnError && reportErrors_)
        OnError(*this, text);
    lookup_.reset();
    Close();
}

void TagSocket::RaiseTimedOut()
{
    AbandonExchange(seTimedOut);
    throw ETimedOutError();
}

void TagSocket::RaiseCanceled()
{
    AbandonExchange(seCanceled);
    throw ECanceledError();
}

void TagSocket::ThrowIfCanceled()
{
    if (canceled_)
        RaiseCanceled();
}

void TagSocket::RaiseReceiveError(int error)
{
    // A cancel shuts the socket down, which makes the call under way fail.
    if (canceled_)
        RaiseCanceled();
    RaiseSocketError(SocketErrorFromErrno(error));
}

void TagSocket::RaiseTlsError()
{
    if (canceled_)
        RaiseCanceled();
    if (tls_.ErrorText().empty())
        RaiseReceiveError(tls_.SystemError() ? tls_.SystemError() : ECONNRESET);
    std::string text = tls_.ErrorText();
    int code = tls_.CertificateRefused() ? seCertificateRefused : seTlsFailed;
    Close();
    RaiseSocketError(code, text);
}

bool TagSocket::WaitForTls(int outcome)
{
    if (outcome == TTlsChannel::kWantRead)
        WaitReady(TWait::kRead);
    else if (outcome == TTlsChannel::kWantWrite)
        WaitReady(TWait::kWrite);
    else
        return false;
    return true;
}

void TagSocket::StartTls(const std::string &host, bool verify)
{
    int handle;
    {
        std::lock_guard lock(socketMutex_);
        handle = socket_;
    }
    if (handle < 0)
        RaiseSocketError(seNotConnected);
    if (!tls_.Begin(handle, host, verify))
        RaiseTlsError();
    counter_.Start();
    for (;;) {
        ThrowIfCanceled();
        int step = tls_.Handshake();
        if (step == 0)
            break;
        if (!WaitForTls(step))
            RaiseTlsError();
    }
    counter_.Stop();
}

void TagSocket::FireProgress(int percent, int64_t transferred)
{
    if (OnProgress)
        OnProgress(*this, percent, transferred);
}

void TagSocket::LimitWaits(bool on)
{
    if (on)
        counter_.SetLimit();
    else
        counter_.ClearLimit();
}

void TagSocket::Open()
{
    Fire(OnOpen, *this);
    if (Server.empty())
        RaiseSocketError(seServerRequired);
    std::string host, portText;
    if (Server[0] == '[') {
        size_t close = Server.find(']');
        host = Server.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        if (close != std::string::npos && close + 1 < Server.size() && Server[close + 1] == ':')
            portText = Server.substr(close + 2);
    } else {
        size_t colon = Server.find(':');
        host = Server.substr(0, colon);
        if (colon != std::string::npos)
            portText = Server.substr(colon + 1);
    }
    ResolveHost(host);
    ResolvePort(portText);
    if (RemoteAddress.Family() == AF_INET)
        reinterpret_cast<sockaddr_in &>(RemoteAddress.storage).sin_port = htons(Port);
    else
        reinterpret_cast<sockaddr_in6 &>(RemoteAddress.storage).sin6_port = htons(Port);

    int handle = socket(RemoteAddress.Family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (handle < 0)
        RaiseSocketError(SocketErrorFromErrno(errno));
    std::lock_guard lock(socketMutex_);
    if (socket_ >= 0)
        close(socket_);
    socket_ = handle;
}

void TagSocket::ResolveHost(const std::string &host)
{
    if (ParseNumericAddress(host, 0, RemoteAddress))
        return;
    if (host.size() > kMaxHostName)
        RaiseSocketError(seHostNameTooLong);
    if (host.empty())
        RaiseSocketError(seHostNotFound);
    lookup_ = TNameLookup::Start(host);
    counter_.Start();
    while (!lookup_->Done()) {
        ThrowIfCanceled();
        if (counter_.Expired())
            RaiseTimedOut();
        pollfd fds[2] = {{lookup_->EventFd(), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        poll(fds, 2, counter_.MillisecondsLeft());
    }
    counter_.Stop();
    std::shared_ptr<TNameLookup> lookup = std::move(lookup_);
    ThrowIfCanceled();
    Fire(OnHostFound, *this);
    if (int error = lookup->Result(RemoteAddress))
        RaiseSocketError(error);
    if (RemoteAddress.Family() == AF_INET &&
        reinterpret_cast<sockaddr_in &>(RemoteAddress.storage).sin_addr.s_addr == INADDR_NONE)
        RaiseSocketError(seResolveFailed);
}

void TagSocket::ResolvePort(const std::string &portText)
{
    int number = ToIntDef(portText, 0);
    if ((number & 0xFFFF) != 0) {
        Port = static_cast<uint16_t>(number & 0xFFFF);
        return;
    }
    if (Service.empty())
        RaiseSocketError(seServiceRequired);
    ThrowIfCanceled();
    servent entry{}, *found = nullptr;
    char buffer[1024];
    if (getservbyname_r(Service.c_str(), "tcp", &entry, buffer, sizeof buffer, &found) == 0 && found)
        Port = ntohs(static_cast<uint16_t>(found->s_port));
    else
        Port = DefaultPort;
    Fire(OnServiceFound, *this);
}

void TagSocket::WaitReady(TWait what)
{
    for (;;) {
        ThrowIfCanceled();
        if (counter_.Expired())
            RaiseTimedOut();
        int handle;
        {
            std::lock_guard lock(socketMutex_);
            handle = socket_;
        }
        if (handle < 0)
            RaiseSocketError(seNotConnected);
        short events = what == TWait::kRead ? POLLIN : POLLOUT;
        pollfd fds[2] = {{handle, events, 0}, {wakeFd_, POLLIN, 0}};
        int ready = poll(fds, 2, counter_.MillisecondsLeft());
        if (ready > 0 && fds[0].revents != 0 && !canceled_)
            return;
    }
}

void TagSocket::Connect()
{
    ThrowIfCanceled();
    counter_.Start();
    if (connect(socket_, reinterpret_cast<const sockaddr *>(&RemoteAddress.storage), RemoteAddress.length) != 0) {
        if (errno != EINPROGRESS && errno != EINTR)
            RaiseSocketError(SocketErrorFromErrno(errno));
        WaitReady(TWait::kWrite);
        int error = 0;
        socklen_t length = sizeof error;
        getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0)
            RaiseSocketError(SocketErrorFromErrno(error));
    }
    counter_.Stop();
    Fire(OnConnected, *this);
}

bool TagSocket::Fill()
{
    if (readStart_ == readEnd_)
        readStart_ = readEnd_ = 0;
    if (readEnd_ == readBuffer_.size() && readStart_ > 0) {
        std::memmove(readBuffer_.data(), readBuffer_.data() + readStart_, readEnd_ - readStart_);
        readEnd_ -= readStart_;
        readStart_ = 0;
    }
    for (;;) {
        ThrowIfCanceled();
        char *free = readBuffer_.data() + readEnd_;
        size_t room = readBuffer_.size() - readEnd_;
        ssize_t n = tls_.Active() ? tls_.Read(free, static_cast<int>(room)) : recv(socket_, free, room, 0);
        if (n > 0) {
            readEnd_ += static_cast<size_t>(n);
            counter_.Start();
            return true;
        }
        if (n == 0) {
            peerClosed_ = true;
            return false;
        }
        if (tls_.Active()) {
            if (!WaitForTls(static_cast<int>(n)))
                RaiseTlsError();
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            WaitReady(TWait::kRead);
        } else if (errno != EINTR) {
            RaiseReceiveError(errno);
        }
    }
}

int TagSocket::ReadLine(std::string &line)
{
    line.clear();
    if (!IsOpen())
        RaiseSocketError(seNotConnected);
    counter_.Start();
    size_t searched = readStart_;
    for (;;) {
        const char *begin = readBuffer_.data();
        const void *feed = std::memchr(begin + searched, '\n', readEnd_ - searched);
        if (feed) {
            size_t end = static_cast<size_t>(static_cast<const char *>(feed) - begin);
            if (end - readStart_ > kMaxLine)
                RaiseSocketError(seLineTooLong);
            line.assign(begin + readStart_, end - readStart_);
            readStart_ = end + 1;
            while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
                line.pop_back();
            counter_.Stop();
            return ReplyCode(line);
        }
        if (readEnd_ - readStart_ > kMaxLine)
            RaiseSocketError(seLineTooLong);
        if (peerClosed_) {
            readStart_ = readEnd_;
            counter_.Stop();
            return -1;
        }
        size_t offset = readEnd_ - readStart_;
        Fill();
        searched = readStart_ + offset;
    }
}

void TagSocket::ReceiveStream(TBodyStream &stream, int64_t count)
{
    FireProgress(0, 0);
    int64_t received = 0;
    counter_.Start();
    while (count < 0 || received < count) {
        size_t buffered = readEnd_ - readStart_;
        if (buffered > 0) {
            size_t take = count < 0 ? buffered : static_cast<size_t>(std::min<int64_t>(buffered, count - received));
            stream.Write(readBuffer_.data() + readStart_, take);
            readStart_ += take;
            received += static_cast<int64_t>(take);
            FireProgress(count > 0 ? PercentOf(received, count) : -1, received);
            CheckRate(take);
            if (RateLimit) {
                Pause(RateLimit->Take(static_cast<int64_t>(take)));
                // The pause is no lack of progress.
                counter_.Start();
            }
            continue;
        }
        if (peerClosed_)
            break;
        Fill();
    }
    counter_.Stop();
    if (count >= 0 && received < count)
        RaiseSocketError(seBodyCut);
}

void TagSocket::CheckRate(size_t received)
{
    rateBytes_ += static_cast<int64_t>(received);
    if (MinRate <= 0)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - rateStart_ < std::chrono::seconds(MinRateWindow))
        return;
    if (rateBytes_ < MinRate * MinRateWindow)
        RaiseSocketError(seTooSlow);
    rateStart_ = now;
    rateBytes_ = 0;
}

void TagSocket::SendStream(const std::string &bytes)
{
    if (!IsOpen())
        RaiseSocketError(seNotConnected);
    // Each reply is measured from its request on.
    rateStart_ = std::chrono::steady_clock::now();
    rateBytes_ = 0;
    counter_.Start();
    size_t sent = 0;
    while (sent < bytes.size()) {
        ThrowIfCanceled();
        ssize_t n;
        if (tls_.Active()) {
            int written = tls_.Write(bytes.data() + sent, static_cast<int>(std::min<size_t>(bytes.size() - sent, 1 << 30)));
            if (written < 0) {
                if (!WaitForTls(written))
                    RaiseTlsError();
                continue;
            }
            n = written;
        } else {
            n = send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        }
        if (n > 0) {
            sent += static_cast<size_t>(n);
            counter_.Start();
            FireProgress(PercentOf(static_cast<int64_t>(sent), static_cast<int64_t>(bytes.size())),
                         static_cast<int64_t>(sent));
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            WaitReady(TWait::kWrite);
        } else if (errno != EINTR) {
            RaiseReceiveError(errno);
        }
    }
    counter_.Stop();
    FireProgress(0, 0);
}

void TagSocket::Attach(int connectedSocket)
{
    tls_.End();
    std::lock_guard lock(socketMutex_);
    if (socket_ >= 0)
        close(socket_);
    socket_ = connectedSocket;
}

void TagSocket::Close()
{
    if (!IsOpen())
        return;
    Fire(OnClosing, *this);
    tls_.End();
    {
        std::lock_guard lock(socketMutex_);
        if (socket_ >= 0)
            close(socket_);
        socket_ = -1;
    }
    Fire(OnClosed, *this);
}

void TagSocket::Pause(std::chrono::milliseconds length)
{
    const auto until = std::chrono::steady_clock::now() + length;
    for (;;) {
        ThrowIfCanceled();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        pollfd wake{wakeFd_, POLLIN, 0};
        poll(&wake, 1, static_cast<int>(std::min<int64_t>(left.count(), 1000)));
    }
}

void TagSocket::Cancel()
{
    canceled_ = true;
    uint64_t one = 1;
    [[maybe_unused]] auto written = write(wakeFd_, &one, sizeof one);
    Fire(OnCancel, *this);
    std::lock_guard lock(socketMutex_);
    if (socket_ >= 0)
        shutdown(socket_, SHUT_RDWR);
}

} // namespace arvelo
