#include "support/ChildProcess.h"

#include "core/FileUtils.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

namespace arvelo::test {

TChildProcess::TChildProcess(const std::vector<std::string> &argv, const std::string &folder)
{
    static int counter = 0;
    const char *tmp = std::getenv("TMPDIR");
    std::string base = std::string(tmp ? tmp : "/tmp") + "/child" + std::to_string(::getpid()) + "-" +
                       std::to_string(++counter);
    outFile_ = base + ".out";
    errFile_ = base + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<std::string> copy = argv;
    std::vector<char *> args;
    for (std::string &arg : copy)
        args.push_back(arg.data());
    args.push_back(nullptr);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
}

TChildProcess::~TChildProcess()
{
    if (pid_ > 0 && !ended_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

int TChildProcess::Wait(double seconds)
{
    if (pid_ <= 0)
        return -1;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        int status = 0;
        pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            ended_ = true;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (std::chrono::steady_clock::now() > deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void TChildProcess::Signal(int signal)
{
    if (pid_ > 0 && !ended_)
        ::kill(pid_, signal);
}

std::string TChildProcess::Output() const { return ReadFileBytes(outFile_); }

std::string TChildProcess::Errors() const { return ReadFileBytes(errFile_); }

} // namespace arvelo::test
