#include "core/ThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace arvelo {

namespace {
constexpr int kBackgroundNice = 5;
}

void LowerThisThreadPriority()
{
    // On Linux the nice value belongs to each thread; raising it never
    // needs a privilege, and a failure only leaves the thread as it was.
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    const int current = ::getpriority(PRIO_PROCESS, thread);
    if (current < kBackgroundNice)
        (void)::setpriority(PRIO_PROCESS, thread, kBackgroundNice);
}

} // namespace arvelo
