#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <vector>

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
// in the background. Each host is looked up once until ForgetAll: every
// connection to it shares that look-up and its outcome, a failure too.
class TNameLookup {
public:
    // The look-up of the host, started now or shared; EventFd becomes
    // readable when done (a finished one has no event descriptor).
    static std::shared_ptr<TNameLookup> Start(const std::string &host);
    // Forgets every outcome: a new run looks every host up again.
    static void ForgetAll();

    // When this variable is set (the tests set it), names other than
    // "localhost" are not looked up at all: they fail at once, and the
    // names are kept for RefusedNames, so that no test reaches the network.
    static constexpr const char *kLoopbackOnlyVariable = "ARVELO_LOOPBACK_ONLY";
    static std::vector<std::string> RefusedNames();
    // "address:port" of a name server on loopback that takes every look-up
    // but localhost's in place of the system's resolver (for the tests).
    static constexpr const char *kTestResolverVariable = "ARVELO_TEST_RESOLVER";
    ~TNameLookup();

    int EventFd() const { return eventFd_; }
    bool Done() const;
    // After Done: 0 and the chosen address (IPv4 preferred), or an error code.
    int Result(TSocketAddress &address) const;

private:
    explicit TNameLookup(bool withEvent);
    static void Run(const std::shared_ptr<TNameLookup> &lookup, const std::string &host);
    // The system's resolver: the first IPv4 address, else the first IPv6 one.
    static int LookUp(const std::string &host, TSocketAddress &chosen);
    static std::shared_ptr<TNameLookup> Finished(int error, const TSocketAddress &address);

    int eventFd_ = -1;
    mutable std::mutex mutex_;
    bool done_ = false;
    int error_ = 0;
    TSocketAddress address_;
};

} // namespace arvelo
