#include "core/Notifier.h"

#include <atomic>
#include <cstdio>
#include <unistd.h>

namespace arvelo {
namespace {

std::atomic<TNotifier *> installed{nullptr};

void Print(const char *prefix, const std::string &text)
{
    std::fprintf(stderr, "%s%s\n", prefix, text.c_str());
    std::fflush(stderr);
}

} // namespace

void TStderrNotifier::Error(const std::string &text) { Print("arvelo: error: ", text); }

void TStderrNotifier::Information(const std::string &text) { Print("arvelo: ", text); }

bool TStderrNotifier::Confirm(const std::string &text)
{
    Print("arvelo: ", text + " [answered No]");
    return false;
}

void TStderrNotifier::Beep()
{
    if (::isatty(STDERR_FILENO)) {
        std::fputc('\a', stderr);
        std::fflush(stderr);
    }
}

TNotifier &Notifier()
{
    static TStderrNotifier fallback;
    TNotifier *notifier = installed.load();
    return notifier ? *notifier : fallback;
}

void SetNotifier(TNotifier *notifier) { installed.store(notifier); }

} // namespace arvelo
