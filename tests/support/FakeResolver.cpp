#include "support/FakeResolver.h"

#include "net/NameLookup.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace arvelo::test {

namespace {

// The dotted name of a query's question (labels from byte 12 on).
std::string QuestionName(const std::string &query)
{
    std::string name;
    for (size_t at = 12; at < query.size() && query[at] != 0;) {
        size_t length = static_cast<unsigned char>(query[at]);
        if (!name.empty())
            name += '.';
        name += query.substr(at + 1, length);
        at += length + 1;
    }
    return name;
}

// The query turned into its answer: a response, "no such name".
std::string NoSuchName(std::string query)
{
    if (query.size() >= 4) {
        query[2] = static_cast<char>(query[2] | 0x80);
        query[3] = static_cast<char>((query[3] & 0xF0) | 0x80 | 3);
    }
    return query;
}

} // namespace

TFakeResolver::TFakeResolver()
{
    socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (socket_ < 0 || bind(socket_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        getsockname(socket_, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        if (socket_ >= 0)
            close(socket_);
        socket_ = -1;
        return;
    }
    stopFd_ = eventfd(0, EFD_CLOEXEC);
    const std::string where = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    setenv(TNameLookup::kTestResolverVariable, where.c_str(), 1);
    TNameLookup::ForgetAll();
    thread_ = std::thread([this] { Serve(); });
}

TFakeResolver::~TFakeResolver()
{
    unsetenv(TNameLookup::kTestResolverVariable);
    TNameLookup::ForgetAll();
    if (thread_.joinable()) {
        uint64_t one = 1;
        [[maybe_unused]] auto written = write(stopFd_, &one, sizeof one);
        thread_.join();
    }
    if (socket_ >= 0)
        close(socket_);
    if (stopFd_ >= 0)
        close(stopFd_);
}

std::vector<std::string> TFakeResolver::Queries() const
{
    std::lock_guard lock(mutex_);
    return names_;
}

void TFakeResolver::Release()
{
    std::vector<std::pair<std::string, std::string>> held;
    {
        std::lock_guard lock(mutex_);
        released_ = true;
        held.swap(held_);
    }
    for (const auto &[query, sender] : held) {
        std::string answer = NoSuchName(query);
        sendto(socket_, answer.data(), answer.size(), 0, reinterpret_cast<const sockaddr *>(sender.data()),
               static_cast<socklen_t>(sender.size()));
    }
}

void TFakeResolver::Serve()
{
    for (;;) {
        pollfd fds[2] = {{socket_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 || fds[1].revents != 0)
            return;
        char buffer[4096];
        sockaddr_storage sender{};
        socklen_t senderLength = sizeof sender;
        ssize_t n = recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&sender), &senderLength);
        if (n <= 0)
            continue;
        std::string query(buffer, static_cast<size_t>(n));
        std::string from(reinterpret_cast<const char *>(&sender), senderLength);
        bool answerNow;
        {
            std::lock_guard lock(mutex_);
            names_.push_back(QuestionName(query));
            answerNow = released_;
            if (!answerNow)
                held_.emplace_back(query, from);
        }
        if (answerNow) {
            std::string answer = NoSuchName(query);
            sendto(socket_, answer.data(), answer.size(), 0, reinterpret_cast<const sockaddr *>(&sender), senderLength);
        }
    }
}

} // namespace arvelo::test
