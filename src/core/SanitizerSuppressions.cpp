// Compiled into every executable (a library object would not be linked in).
#if defined(__SANITIZE_THREAD__)
// Qt is not built with the thread sanitizer, so the locks that guard its
// event queue are invisible to it: an event that Qt allocates on a worker
// thread and frees on the window thread looks like a race. Our own data
// crosses threads through standard mutexes (core/WindowThread.cpp). The
// same holds for the time zone state of the C library, which it guards with
// a lock of its own; libzip converts file times with localtime().
extern "C" const char *__tsan_default_suppressions()
{
    return "race:QCoreApplicationPrivate::sendPostedEvents\nrace:QMetaMethod::invoke\nrace:tzset_internal\n";
}
#endif
