#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace arvelo::test {

// The watchers still waiting for their dialog; a test's end drops them, so
// that none acts in a later test on what the earlier one left behind.
inline QObject &ModalWatchers()
{
    static QObject watchers;
    return watchers;
}
inline void ForgetModalWatchers()
{
    for (QObject *watcher : ModalWatchers().children())
        delete watcher;
}

// Acts on the next modal dialog of type T once it is shown: fn gets it while
// its event loop runs (it may click, type, accept or reject). Returns at once.
template <typename T>
void OnNextModal(std::function<void(T &)> fn)
{
    auto *timer = new QTimer(&ModalWatchers());
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, fn = std::move(fn)] {
        auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        fn(*dialog);
    });
    timer->start();
}

} // namespace arvelo::test
