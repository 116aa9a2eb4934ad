#include "support/NginxServer.h"

#include "core/FileUtils.h"
#include "core/TextUtils.h"
#include "support/ScriptedServer.h"

#include <QStandardPaths>

#include <arpa/inet.h>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <set>
#include <vector>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace arvelo::test {

namespace {

bool Accepts(uint16_t port)
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    bool ok = connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    close(s);
    return ok;
}

} // namespace

TNginxServer::TNginxServer(const std::string &root, const std::string &serverLines,
                           std::optional<TCertificate> certificate, const std::string &secondRoot)
    : secondRoot_(secondRoot), certificate_(certificate)
{
    QString program = QStandardPaths::findExecutable(QStringLiteral("nginx"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(QStringLiteral("nginx"));
    if (program.isEmpty() || !work_.isValid()) {
        error_ = "nginx is not installed";
        return;
    }
    dir_ = work_.path().toStdString() + "/";
    program_ = program.toStdString();
    root_ = root;
    serverLines_ = serverLines;
    logFile_ = dir_ + "access.log";
    connectionLog_ = dir_ + "connections.log";
    if (certificate_ && CertificateFile(*certificate_).empty()) {
        error_ = "no test certificates: " + CertificatesError();
        return;
    }
    // Tests run in parallel: a port found free may be taken before nginx
    // binds it. nginx then gives up and the start is tried on another port.
    for (int attempt = 0; attempt < 5 && !running_; ++attempt)
        Start();
}

void TNginxServer::Start()
{
    TReservedPort reserved, secondReserved;
    port_ = reserved.Port();
    std::string lines = serverLines_, secondServer;
    if (!secondRoot_.empty()) {
        secondPort_ = secondReserved.Port();
        const std::string second = "127.0.0.1:" + std::to_string(secondPort_);
        for (size_t at = lines.find("@second@"); at != std::string::npos; at = lines.find("@second@", at))
            lines.replace(at, 8, second);
        secondServer = "  server {\n    listen " + second + ";\n    root " + secondRoot_ + ";\n"
                       "    access_log " + dir_ + "second.log requests;\n  }\n";
    }
    std::string config = "daemon off;\nmaster_process off;\nworker_processes 1;\n"
                         "error_log " + dir_ + "error.log warn;\npid " + dir_ + "nginx.pid;\n"
                         "events { worker_connections 64; }\n"
                         "http {\n"
                         "  log_format requests '$request_method $request_uri $status $http_if_modified_since';\n"
                         "  access_log " + logFile_ + " requests;\n"
                         "  log_format connections '$connection $connection_requests';\n"
                         "  access_log " + connectionLog_ + " connections;\n"
                         "  client_body_temp_path " + dir_ + "body;\n  proxy_temp_path " + dir_ + "proxy;\n"
                         "  fastcgi_temp_path " + dir_ + "fastcgi;\n  uwsgi_temp_path " + dir_ + "uwsgi;\n"
                         "  scgi_temp_path " + dir_ + "scgi;\n"
                         "  include /etc/nginx/mime.types;\n  default_type application/octet-stream;\n"
                         "  server {\n    listen 127.0.0.1:" + std::to_string(port_) + (certificate_ ? " ssl" : "") + ";\n" +
                         (certificate_ ? "    ssl_certificate " + CertificateFile(*certificate_) + ";\n    ssl_certificate_key " +
                                             KeyFile(*certificate_) + ";\n"
                                       : std::string()) +
                         "    root " + root_ + ";\n" + lines + "\n  }\n" + secondServer + "}\n";
    std::string configPath = dir_ + "nginx.conf", logPath = dir_ + "error.log", pidPath = dir_ + "nginx.pid";
    SaveText(configPath, config);
    ::unlink(logPath.c_str());
    ::unlink(pidPath.c_str());
    std::vector<char *> argv = {program_.data(), const_cast<char *>("-p"), dir_.data(), const_cast<char *>("-c"),
                                configPath.data(), const_cast<char *>("-e"), logPath.data(), nullptr};
    reserved.Release();
    secondReserved.Release();
    if (posix_spawn(&pid_, program_.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
        error_ = "nginx could not be started";
        return;
    }
    // nginx writes its pid file only once it holds its port, so a listener
    // found there is ours and not another test's.
    const std::string ownPid = std::to_string(pid_);
    for (int i = 0; i < 1000 && !running_; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        running_ = Trim(ReadFileBytes(pidPath)) == ownPid && Accepts(port_) && (!secondPort_ || Accepts(secondPort_));
        if (!running_)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!running_) {
        error_ = "nginx did not start: " + ReadFileBytes(logPath);
        Stop();
    }
}

std::vector<std::string> TNginxServer::Requests() const
{
    std::vector<std::string> lines = AllRequests();
    std::erase_if(lines, [](const std::string &line) { return line.find(" /robots.txt ") != std::string::npos; });
    return lines;
}

std::vector<std::string> TNginxServer::AllRequests() const
{
    std::vector<std::string> lines;
    std::string log = ReadFileBytes(logFile_);
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos)
            end = log.size();
        lines.push_back(log.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

int TNginxServer::ConnectionsUsed() const
{
    std::set<std::string> connections;
    std::string log = ReadFileBytes(connectionLog_);
    for (size_t start = 0; start < log.size();) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos)
            end = log.size();
        std::string line = log.substr(start, end - start);
        connections.insert(line.substr(0, line.find(' ')));
        start = end + 1;
    }
    return static_cast<int>(connections.size());
}

TNginxServer::~TNginxServer() { Stop(); }

void TNginxServer::Stop()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 500; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

} // namespace arvelo::test
