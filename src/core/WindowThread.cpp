#include "core/WindowThread.h"

#include <QCoreApplication>
#include <QObject>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace arvelo {

namespace {

// One call for the window thread: a caller's function it waits for, or one
// posted without a wait, which the call owns.
struct TCall {
    const std::function<void()> *function;
    std::function<void()> owned;
    std::exception_ptr failure;
    // Its caller alone waits on it, under a lock of its own: an ended call
    // wakes no other thread, and the waking caller never contends with the
    // window thread for the queue.
    std::mutex mutex;
    bool done = false;
    std::condition_variable ended;
};

// The calls pass through a queue of our own, guarded by a standard mutex,
// and each caller waits on its own call's condition: the hand-over is
// visible to the thread sanitizer. The window thread is woken through an
// eventfd that its event loop watches, so no other thread ever touches Qt's
// own event queue (whose lock the sanitizer cannot see).
class TWindowCalls : public QObject {
    Q_OBJECT
public:
    // The longest the window thread runs calls before it takes other events.
    static constexpr qint64 kSliceMs = 8;

    TWindowCalls() : wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    {
        resume_.setSingleShot(true);
        resume_.setInterval(0);
        connect(&resume_, &QTimer::timeout, this, &TWindowCalls::RunSlice);
        if (wakeFd_ >= 0) {
            wake_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
            connect(wake_, &QSocketNotifier::activated, this, &TWindowCalls::TakeWakeUp);
        }
    }

    ~TWindowCalls() override
    {
        delete wake_;
        if (wakeFd_ >= 0)
            close(wakeFd_);
    }

    void Run(const std::function<void()> &function)
    {
        auto call = std::make_shared<TCall>();
        call->function = &function;
        Enqueue(call);
        std::unique_lock lock(call->mutex);
        call->ended.wait(lock, [&] { return call->done; });
        if (call->failure)
            std::rethrow_exception(call->failure);
    }

    void Post(std::function<void()> function)
    {
        auto call = std::make_shared<TCall>();
        call->owned = std::move(function);
        call->function = &call->owned;
        Enqueue(call);
    }

public Q_SLOTS:
    void TakeWakeUp()
    {
        eventfd_t count;
        eventfd_read(wakeFd_, &count);
        RunPending();
    }

    // The calls' wake-ups. After a time slice the rest waits for a zero
    // timer, which fires only once the window has had its queued events
    // (paints, input) and its timers; meanwhile the wake-ups do nothing.
    void RunPending()
    {
        if (!resume_.isActive())
            RunSlice();
    }

    // Runs calls for one time slice (a waiting window thread calls it directly).
    void RunSlice()
    {
        resume_.stop();
        QElapsedTimer slice;
        slice.start();
        for (;;) {
            std::shared_ptr<TCall> call;
            {
                std::lock_guard lock(mutex_);
                if (pending_.empty())
                    return;
                if (slice.hasExpired(kSliceMs)) {
                    resume_.start();
                    return;
                }
                call = pending_.front();
                pending_.pop_front();
            }
            try {
                (*call->function)();
            } catch (...) {
                call->failure = std::current_exception();
            }
            {
                std::lock_guard lock(call->mutex);
                call->done = true;
            }
            call->ended.notify_one();
        }
    }

private:
    // One wake-up for a queue that was empty: calls that come while others
    // wait are run by the same slice.
    void Enqueue(const std::shared_ptr<TCall> &call)
    {
        bool wasEmpty;
        {
            std::lock_guard lock(mutex_);
            wasEmpty = pending_.empty();
            pending_.push_back(call);
        }
        if (!wasEmpty)
            return;
        if (wakeFd_ >= 0)
            eventfd_write(wakeFd_, 1);
        else
            QMetaObject::invokeMethod(this, "RunPending", Qt::QueuedConnection);
    }

    const int wakeFd_;
    QSocketNotifier *wake_ = nullptr;
    std::mutex mutex_;
    std::deque<std::shared_ptr<TCall>> pending_;
    QTimer resume_;
};

TWindowCalls *windowCalls = nullptr;

// Made on the window thread as the application object comes up, before any
// other thread can need it.
void CreateWindowCalls()
{
    delete windowCalls;
    windowCalls = new TWindowCalls;
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(CreateWindowCalls)

bool IsWindowThread()
{
    QCoreApplication *app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void RunInWindowThread(const std::function<void()> &function)
{
    if (IsWindowThread())
        function();
    else
        windowCalls->Run(function);
}

void PostToWindowThread(std::function<void()> function)
{
    if (windowCalls)
        windowCalls->Post(std::move(function));
}

struct TWindowSignal::TState {
    std::mutex mutex;
    bool raised = false;
    std::function<void()> deliver; // empty once the owner is gone
};

TWindowSignal::TWindowSignal(std::function<void()> deliver) : state_(std::make_shared<TState>())
{
    state_->deliver = std::move(deliver);
}

TWindowSignal::~TWindowSignal()
{
    std::lock_guard lock(state_->mutex);
    state_->deliver = nullptr;
}

void TWindowSignal::Raise()
{
    {
        std::lock_guard lock(state_->mutex);
        if (state_->raised)
            return;
        state_->raised = true;
    }
    PostToWindowThread([state = state_] {
        std::function<void()> deliver;
        {
            std::lock_guard lock(state->mutex);
            state->raised = false;
            deliver = state->deliver;
        }
        if (deliver)
            deliver();
    });
}

TLatestText::TLatestText(std::function<void(const std::string &)> deliver)
    : deliver_(std::move(deliver)), posted_([this] {
          // A post that came after its raise had been taken is already here.
          if (std::optional<std::string> text = Take())
              deliver_(*text);
      })
{
}

void TLatestText::Post(std::string text)
{
    {
        std::lock_guard lock(mutex_);
        text_ = std::move(text);
    }
    posted_.Raise();
}

std::optional<std::string> TLatestText::Take()
{
    std::lock_guard lock(mutex_);
    std::optional<std::string> text;
    text.swap(text_);
    return text;
}

void PumpEventsUntil(const std::function<bool()> &condition)
{
    while (!condition()) {
        // Called directly as well: inside a handler of a posted event Qt's
        // event loop may not deliver further posted events.
        if (windowCalls)
            windowCalls->RunSlice();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace arvelo

#include "WindowThread.moc"
