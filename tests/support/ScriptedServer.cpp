#include "support/ScriptedServer.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace arvelo::test {

TReservedPort::TReservedPort()
{
    socket_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (socket_ < 0 || bind(socket_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        getsockname(socket_, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        std::abort();
    port_ = ntohs(address.sin_port);
}

TReservedPort::~TReservedPort() { Release(); }

void TReservedPort::Release()
{
    if (socket_ >= 0)
        close(socket_);
    socket_ = -1;
}

bool PumpUntil(const std::function<bool()> &condition, double seconds)
{
    auto start = std::chrono::steady_clock::now();
    while (!condition()) {
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > seconds)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TScriptedServer::TScriptedServer(std::vector<TScriptedReply> replies, bool ipv6)
    : ipv6_(ipv6), replies_(std::move(replies))
{
    listener_ = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_storage address{};
    socklen_t length;
    if (ipv6) {
        auto &v6 = reinterpret_cast<sockaddr_in6 &>(address);
        v6.sin6_family = AF_INET6;
        v6.sin6_addr = in6addr_loopback;
        length = sizeof v6;
    } else {
        auto &v4 = reinterpret_cast<sockaddr_in &>(address);
        v4.sin_family = AF_INET;
        v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof v4;
    }
    if (bind(listener_, reinterpret_cast<sockaddr *>(&address), length) != 0 || listen(listener_, 16) != 0) {
        close(listener_);
        listener_ = -1;
        return;
    }
    getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length);
    port_ = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6 &>(address).sin6_port
                       : reinterpret_cast<sockaddr_in &>(address).sin_port);
    stopFd_ = eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { Serve(); });
}

TScriptedServer::~TScriptedServer()
{
    stopping_ = true;
    if (stopFd_ >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] auto written = write(stopFd_, &one, sizeof one);
    }
    if (thread_.joinable())
        thread_.join();
    if (listener_ >= 0)
        close(listener_);
    if (stopFd_ >= 0)
        close(stopFd_);
}

std::string TScriptedServer::Address() const
{
    return (ipv6_ ? "[::1]:" : "127.0.0.1:") + std::to_string(port_);
}

void TScriptedServer::Add(TScriptedReply reply)
{
    std::lock_guard lock(mutex_);
    replies_.push_back(std::move(reply));
}

std::vector<std::string> TScriptedServer::Requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

bool TScriptedServer::Sleep(int ms)
{
    pollfd stop{stopFd_, POLLIN, 0};
    return poll(&stop, 1, ms) == 0;
}

void TScriptedServer::Serve()
{
    for (;;) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 || fds[1].revents)
            return;
        int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        ++connections_;
        std::string received;
        for (bool first = true;; first = false) {
            if (!first && !AwaitRequest(client, received))
                break;
            TScriptedReply reply;
            bool scripted;
            {
                std::lock_guard lock(mutex_);
                // A request beyond the script uses up its place all the same,
                // so that a reply added later goes to the request after it.
                scripted = next_ < replies_.size();
                if (scripted)
                    reply = replies_[next_];
                ++next_;
                requests_.emplace_back();
            }
            if (!scripted || !Answer(client, reply, received))
                break;
        }
        close(client);
    }
}

bool TScriptedServer::AwaitRequest(int client, const std::string &received)
{
    if (!received.empty())
        return true;
    pollfd fds[3] = {{client, POLLIN, 0}, {listener_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    if (poll(fds, 3, -1) <= 0 || !fds[0].revents)
        return false;
    // Readable with nothing to read: the client has closed it.
    char byte;
    return recv(client, &byte, 1, MSG_PEEK) > 0;
}

bool TScriptedServer::Answer(int client, const TScriptedReply &reply, std::string &received)
{
    // The request ends with its empty line; give up after two seconds.
    char buffer[4096];
    while (received.find("\r\n\r\n") == std::string::npos) {
        pollfd fds[2] = {{client, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (poll(fds, 2, 2000) <= 0 || fds[1].revents)
            break;
        ssize_t n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        received.append(buffer, static_cast<size_t>(n));
    }
    // On a connection kept open what follows the empty line belongs to the
    // next request; otherwise it is recorded with this one.
    size_t end = received.find("\r\n\r\n");
    if (end == std::string::npos || reply.end != TScriptedReply::End::kKeepOpen)
        end = received.size();
    else
        end += 4;
    {
        std::lock_guard lock(mutex_);
        requests_.back() = received.substr(0, end);
    }
    received.erase(0, end);
    for (const TScriptedReply::Piece &piece : reply.pieces) {
        if (piece.pauseMs > 0 && !Sleep(piece.pauseMs))
            return false;
        size_t sent = 0;
        while (sent < piece.bytes.size()) {
            ssize_t n = send(client, piece.bytes.data() + sent, piece.bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += static_cast<size_t>(n);
        }
    }
    if (reply.end == TScriptedReply::End::kReset) {
        linger hard{1, 0};
        setsockopt(client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    } else if (reply.end == TScriptedReply::End::kHold) {
        // Until the client closes or the server stops.
        for (;;) {
            pollfd fds[2] = {{client, POLLIN, 0}, {stopFd_, POLLIN, 0}};
            if (poll(fds, 2, -1) <= 0 || fds[1].revents || recv(client, buffer, sizeof buffer, 0) <= 0)
                return false;
        }
    }
    return reply.end == TScriptedReply::End::kKeepOpen;
}

} // namespace arvelo::test
