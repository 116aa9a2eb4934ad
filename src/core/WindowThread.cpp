#include "core/WindowThread.h"

#include <QCoreApplication>
#include <QThread>

#include <exception>

namespace arvelo {

bool IsWindowThread()
{
    QCoreApplication *app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void RunInWindowThread(const std::function<void()> &function)
{
    if (IsWindowThread()) {
        function();
        return;
    }
    std::exception_ptr failure;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [&] {
            try {
                function();
            } catch (...) {
                failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace arvelo
