#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace arvelo {

// Runs the function on the window thread (the thread of the application
// object) and returns when it has run; exceptions it throws come back to the
// caller. On the window thread itself, or without an application object, it
// runs at once. The window thread must keep its events running while it waits
// for a thread that calls this.
void RunInWindowThread(const std::function<void()> &function);

bool IsWindowThread();

// Any thread: has the function run on the window thread soon, without waiting
// for it. Exceptions it throws are dropped.
void PostToWindowThread(std::function<void()> function);

// A notice that threads raise faster than the window needs to act on it
// (a fetch has ended): the raises made before the window thread gets to it
// are one call there, and there is none once the object is gone.
class TWindowSignal {
public:
    // deliver runs on the window thread.
    explicit TWindowSignal(std::function<void()> deliver);
    ~TWindowSignal();
    TWindowSignal(const TWindowSignal &) = delete;
    TWindowSignal &operator=(const TWindowSignal &) = delete;

    // Any thread, never waits.
    void Raise();

private:
    struct TState;
    std::shared_ptr<TState> state_;
};

// A text that a thread updates faster than the window needs to see it (a
// status line): each Post replaces the text still waiting, the window
// thread gets the latest one, and nothing once the object is gone.
class TLatestText {
public:
    // deliver runs on the window thread.
    explicit TLatestText(std::function<void(const std::string &)> deliver);
    TLatestText(const TLatestText &) = delete;
    TLatestText &operator=(const TLatestText &) = delete;

    // Any thread, never waits.
    void Post(std::string text);

private:
    std::optional<std::string> Take();

    std::mutex mutex_;
    std::optional<std::string> text_;
    std::function<void(const std::string &)> deliver_;
    TWindowSignal posted_; // last: gone first, before what it delivers
};

// On the window thread: keeps its events running until the condition holds,
// for waiting on a thread that may itself be calling into the window thread.
void PumpEventsUntil(const std::function<bool()> &condition);

} // namespace arvelo
