#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <functional>

namespace arvelo::test {

// A loopback port held bound (but not listening) for as long as the object
// lives: no other test can take it, and a connection to it is refused.
class TReservedPort {
public:
    TReservedPort();
    ~TReservedPort();
    TReservedPort(const TReservedPort &) = delete;
    TReservedPort &operator=(const TReservedPort &) = delete;
    uint16_t Port() const { return port_; }
    // Lets the port go, for a program that binds it itself.
    void Release();

private:
    int socket_ = -1;
    uint16_t port_ = 0;
};

// Keeps the window thread's events running until the condition holds; false
// after the given seconds.
bool PumpUntil(const std::function<bool()> &condition, double seconds = 20);

// What the server does with one request: read it (up to its empty line),
// send each piece after its pause, then end as told. kKeepOpen stays on the
// connection and answers its next request with the next scripted reply; a
// client that closes it, or connects anew, leaves that reply to the next
// connection.
struct TScriptedReply {
    enum class End { kClose, kReset, kHold, kKeepOpen };
    struct Piece {
        std::string bytes;
        int pauseMs = 0; // before sending
    };
    std::vector<Piece> pieces;
    End end = End::kClose;

    TScriptedReply() = default;
    TScriptedReply(std::string bytes) { pieces.push_back({std::move(bytes), 0}); } // NOLINT
    TScriptedReply &Then(std::string bytes, int pauseMs = 0)
    {
        pieces.push_back({std::move(bytes), pauseMs});
        return *this;
    }
    TScriptedReply &EndWith(End how)
    {
        end = how;
        return *this;
    }
};

// A loopback server that answers each request, in order, with the next
// scripted reply (a request beyond the script has its connection closed at
// once, unread) and records the bytes of every request it received. One
// connection is served at a time.
class TScriptedServer {
public:
    explicit TScriptedServer(std::vector<TScriptedReply> replies = {}, bool ipv6 = false);
    ~TScriptedServer();

    uint16_t Port() const { return port_; }
    // "127.0.0.1:port" or "[::1]:port".
    std::string Address() const;
    std::string URL(const std::string &path = "/") const { return "http://" + Address() + path; }
    void Add(TScriptedReply reply);
    std::vector<std::string> Requests() const;
    int Connections() const { return connections_.load(); }
    bool Listening() const { return listener_ >= 0; }

private:
    void Serve();
    // Reads one request from the client and answers with the reply; on a
    // connection kept open what came after the request stays in received.
    // False when the connection is done.
    bool Answer(int client, const TScriptedReply &reply, std::string &received);
    // Waits on a kept connection for its next request: false when the client
    // closes it, another connection comes or the server stops.
    bool AwaitRequest(int client, const std::string &received);
    bool Sleep(int ms);

    bool ipv6_;
    int listener_ = -1;
    int stopFd_ = -1;
    uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::vector<TScriptedReply> replies_;
    size_t next_ = 0; // the reply for the next request
    std::vector<std::string> requests_;
    std::atomic<int> connections_{0};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace arvelo::test
