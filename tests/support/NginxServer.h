#pragma once

#include "support/TestCertificates.h"

#include <QTemporaryDir>

#include <optional>
#include <cstdint>
#include <string>
#include <vector>
#include <sys/types.h>

namespace arvelo::test {

// A real nginx serving a folder on a free loopback port, with a
// configuration of its own; extra lines go into its server block. With a
// certificate it serves https. With a second root the same nginx also serves
// that folder by http on a port of its own: another server of the same host,
// whose address "127.0.0.1:port" replaces each "@second@" of the lines.
class TNginxServer {
public:
    explicit TNginxServer(const std::string &root, const std::string &serverLines = {},
                          std::optional<TCertificate> certificate = {}, const std::string &secondRoot = {});
    ~TNginxServer();
    TNginxServer(const TNginxServer &) = delete;
    TNginxServer &operator=(const TNginxServer &) = delete;

    // False, with the reason in Error, when nginx could not be started.
    bool Running() const { return running_; }
    const std::string &Error() const { return error_; }
    uint16_t Port() const { return port_; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string URL(const std::string &path = "/") const
    {
        return (certificate_ ? "https://" : "http://") + Address() + path;
    }
    // The second server's address, "http://127.0.0.1:port/" + path.
    std::string SecondURL(const std::string &path = "/") const
    {
        return "http://127.0.0.1:" + std::to_string(secondPort_) + path;
    }
    // One line per request so far: method, target, status and the
    // If-Modified-Since header, as "GET /a.html 200 -".
    std::vector<std::string> Requests() const;
    // The same with the requests of robots.txt, which each run makes first
    // and Requests leaves out: they are no address of a task.
    std::vector<std::string> AllRequests() const;
    // How many connections the requests so far came over.
    int ConnectionsUsed() const;

private:
    void Start();
    void Stop();

    QTemporaryDir work_;
    std::string dir_, program_, root_, serverLines_, secondRoot_, logFile_, connectionLog_;
    std::optional<TCertificate> certificate_;
    pid_t pid_ = -1;
    uint16_t port_ = 0, secondPort_ = 0;
    bool running_ = false;
    std::string error_;
};

} // namespace arvelo::test
