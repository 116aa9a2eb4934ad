#pragma once

#include <string>

namespace arvelo {

// One message of the status line, with the position and total of a long
// operation (both 0 when there is none).
struct TStatusMessage {
    std::string text;
    int position = 0, total = 0;
    bool operator==(const TStatusMessage &) const = default;
};

// Coalesces the status messages that arrive per item (several per page)
// into the few a second the status line shows. A message with text wins
// over the empty ones that clear it between pages, so that the line shows
// what is going on; the latest message still shows once nothing follows.
class TStatusLine {
public:
    void Post(const TStatusMessage &message);
    // What to show now. Afterwards Pending() tells whether the latest
    // message still waits to be shown.
    TStatusMessage Take();
    bool Pending() const { return pending_; }

private:
    TStatusMessage latest_, withText_, shown_;
    bool textSinceShown_ = false, pending_ = false;
};

} // namespace arvelo
