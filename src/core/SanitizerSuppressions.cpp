// Compiled into every executable (a library object would not be linked in).
#if defined(__SANITIZE_THREAD__)
// Qt is not built with the thread sanitizer, so the locks that guard its
// event queue are invisible to it: an event that Qt allocates on a worker
// thread and frees on the window thread looks like a race. Our own data
// crosses threads through standard mutexes (core/WindowThread.cpp).
extern "C" const char *__tsan_default_suppressions()
{
    return "race:QCoreApplicationPrivate::sendPostedEvents\nrace:QMetaMethod::invoke\n";
}
#endif
