#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <sys/socket.h>

namespace arvelo {

// An address the socket can connect to.
struct TSocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
    int Family() const { return storage.ss_family; }
    // The address as dotted or colon text.
    std::string Text() const;
};

// A numeric IPv4 or IPv6 address, with the port, or false.
bool ParseNumericAddress(const std::string &host, uint16_t port, TSocketAddress &address);

// A host-name look-up that runs in a helper thread, so that waiting for it
// can be abandoned at any time: a cancelled or timed-out look-up finishes
// in the background and its result is dropped.
class TNameLookup {
public:
    // Starts looking up the host; EventFd becomes readable when done.
    static std::shared_ptr<TNameLookup> Start(const std::string &host);
    ~TNameLookup();

    int EventFd() const { return eventFd_; }
    bool Done() const;
    // After Done: 0 and the chosen address (IPv4 preferred), or an error code.
    int Result(TSocketAddress &address) const;

private:
    TNameLookup();
    static void Run(const std::shared_ptr<TNameLookup> &lookup, const std::string &host);

    int eventFd_ = -1;
    mutable std::mutex mutex_;
    bool done_ = false;
    int error_ = 0;
    TSocketAddress address_;
};

} // namespace arvelo
