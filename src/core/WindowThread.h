#pragma once

#include <functional>

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

// On the window thread: keeps its events running until the condition holds,
// for waiting on a thread that may itself be calling into the window thread.
void PumpEventsUntil(const std::function<bool()> &condition);

} // namespace arvelo
