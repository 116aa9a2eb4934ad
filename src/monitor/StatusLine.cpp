#include "monitor/StatusLine.h"

namespace arvelo {

void TStatusLine::Post(const TStatusMessage &message)
{
    latest_ = message;
    if (!message.text.empty()) {
        withText_ = message;
        textSinceShown_ = true;
    }
    pending_ = true;
}

TStatusMessage TStatusLine::Take()
{
    shown_ = textSinceShown_ ? withText_ : latest_;
    textSinceShown_ = false;
    pending_ = !(shown_ == latest_);
    return shown_;
}

} // namespace arvelo
