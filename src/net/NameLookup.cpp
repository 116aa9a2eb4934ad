#include "net/NameLookup.h"

#include "net/SocketError.h"

#include "core/TextUtils.h"

#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <cstdlib>
#include <cstring>
#include <map>
#include <netdb.h>
#include <netinet/in.h>
#include <resolv.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace arvelo {

std::string TSocketAddress::Text() const
{
    char text[INET6_ADDRSTRLEN] = {};
    if (Family() == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in &>(storage).sin_addr, text, sizeof text);
    else if (Family() == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 &>(storage).sin6_addr, text, sizeof text);
    return text;
}

bool ParseNumericAddress(const std::string &host, uint16_t port, TSocketAddress &address)
{
    address = {};
    auto &v4 = reinterpret_cast<sockaddr_in &>(address.storage);
    if (inet_pton(AF_INET, host.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        address.length = sizeof(sockaddr_in);
        return true;
    }
    auto &v6 = reinterpret_cast<sockaddr_in6 &>(address.storage);
    if (inet_pton(AF_INET6, host.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        address.length = sizeof(sockaddr_in6);
        return true;
    }
    return false;
}

namespace {

// The look-ups of the run by lower-case host: a finished one holds only its
// outcome, so that a run over many hosts keeps no descriptor open.
// Never destroyed: a look-up may still finish while the program exits.
struct TLookups {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<TNameLookup>> byHost;
    std::vector<std::string> refused;
};

TLookups &Lookups()
{
    static auto *lookups = new TLookups;
    return *lookups;
}

bool LoopbackOnly()
{
    const char *value = std::getenv(TNameLookup::kLoopbackOnlyVariable);
    return value && *value;
}

std::string TestResolver()
{
    const char *value = std::getenv(TNameLookup::kTestResolverVariable);
    return value ? value : "";
}

// The first IPv4 address of the host, asked of the one name server at
// "address:port" with a single query; 0 or an error code.
int LookUpThrough(const std::string &resolver, const std::string &host, TSocketAddress &chosen)
{
    size_t colon = resolver.rfind(':');
    TSocketAddress server;
    if (colon == std::string::npos ||
        !ParseNumericAddress(resolver.substr(0, colon), static_cast<uint16_t>(std::atoi(resolver.c_str() + colon + 1)),
                             server) ||
        server.Family() != AF_INET)
        return seResolveFailed;
    struct __res_state state {};
    if (res_ninit(&state) != 0)
        return seResolveFailed;
    state.nscount = 1;
    state.nsaddr_list[0] = reinterpret_cast<const sockaddr_in &>(server.storage);
    state.retry = 1;
    state.retrans = 30;
    unsigned char answer[4096];
    int length = res_nquery(&state, host.c_str(), ns_c_in, ns_t_a, answer, sizeof answer);
    res_nclose(&state);
    ns_msg message;
    if (length < 0 || ns_initparse(answer, length, &message) < 0)
        return seHostNotFound;
    for (int i = 0; i < ns_msg_count(message, ns_s_an); ++i) {
        ns_rr record;
        if (ns_parserr(&message, ns_s_an, i, &record) == 0 && ns_rr_type(record) == ns_t_a &&
            ns_rr_rdlen(record) == 4) {
            auto &v4 = reinterpret_cast<sockaddr_in &>(chosen.storage);
            v4.sin_family = AF_INET;
            std::memcpy(&v4.sin_addr, ns_rr_rdata(record), 4);
            chosen.length = sizeof(sockaddr_in);
            return 0;
        }
    }
    return 11004;
}

} // namespace

TNameLookup::TNameLookup(bool withEvent) : eventFd_(withEvent ? eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK) : -1) {}

std::shared_ptr<TNameLookup> TNameLookup::Finished(int error, const TSocketAddress &address)
{
    std::shared_ptr<TNameLookup> lookup(new TNameLookup(false));
    lookup->done_ = true;
    lookup->error_ = error;
    lookup->address_ = address;
    return lookup;
}

void TNameLookup::ForgetAll()
{
    std::lock_guard lock(Lookups().mutex);
    Lookups().byHost.clear();
}

std::vector<std::string> TNameLookup::RefusedNames()
{
    std::lock_guard lock(Lookups().mutex);
    return Lookups().refused;
}

TNameLookup::~TNameLookup()
{
    if (eventFd_ >= 0)
        close(eventFd_);
}

std::shared_ptr<TNameLookup> TNameLookup::Start(const std::string &host)
{
    const std::string key = LowerAscii(host);
    TLookups &all = Lookups();
    std::lock_guard lock(all.mutex);
    if (auto found = all.byHost.find(key); found != all.byHost.end())
        return found->second;
    if (LoopbackOnly() && key != "localhost" && TestResolver().empty()) {
        all.refused.push_back(host);
        return all.byHost[key] = Finished(seHostNotFound, {});
    }
    std::shared_ptr<TNameLookup> lookup(new TNameLookup(true));
    if (lookup->eventFd_ < 0)
        throw ESocketError(SocketErrorFromErrno(errno));
    all.byHost[key] = lookup;
    std::thread(Run, lookup, key).detach();
    return lookup;
}

void TNameLookup::Run(const std::shared_ptr<TNameLookup> &lookup, const std::string &host)
{
    int error = 0;
    TSocketAddress chosen;
    if (std::string resolver = TestResolver(); !resolver.empty() && host != "localhost")
        error = LookUpThrough(resolver, host, chosen);
    else
        error = LookUp(host, chosen);
    {
        std::lock_guard lock(lookup->mutex_);
        lookup->done_ = true;
        lookup->error_ = error;
        lookup->address_ = chosen;
    }
    uint64_t one = 1;
    [[maybe_unused]] auto written = write(lookup->eventFd_, &one, sizeof one);
    // Later connections take the outcome without the descriptor; those
    // waiting now hold this one until they have seen it.
    TLookups &all = Lookups();
    std::lock_guard lock(all.mutex);
    if (auto entry = all.byHost.find(host); entry != all.byHost.end() && entry->second == lookup)
        entry->second = Finished(error, chosen);
}

int TNameLookup::LookUp(const std::string &host, TSocketAddress &chosen)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo *found = nullptr;
    int error = SocketErrorFromResolver(getaddrinfo(host.c_str(), nullptr, &hints, &found));
    if (error == 0) {
        // The first IPv4 address, else the first IPv6 one.
        const addrinfo *pick = nullptr;
        for (const addrinfo *entry = found; entry; entry = entry->ai_next) {
            if (entry->ai_family == AF_INET) {
                pick = entry;
                break;
            }
            if (entry->ai_family == AF_INET6 && !pick)
                pick = entry;
        }
        if (pick && pick->ai_addrlen <= sizeof chosen.storage) {
            std::memcpy(&chosen.storage, pick->ai_addr, pick->ai_addrlen);
            chosen.length = pick->ai_addrlen;
        } else {
            error = 11004;
        }
    }
    if (found)
        freeaddrinfo(found);
    return error;
}

bool TNameLookup::Done() const
{
    std::lock_guard lock(mutex_);
    return done_;
}

int TNameLookup::Result(TSocketAddress &address) const
{
    std::lock_guard lock(mutex_);
    if (error_ == 0)
        address = address_;
    return error_;
}

} // namespace arvelo
