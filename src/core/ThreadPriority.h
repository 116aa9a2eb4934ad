#pragma once

namespace arvelo {

// Background work (fetches, the dispatcher, the parser, the archive) runs a
// few steps below the window thread, so that on a machine with few cores the
// window keeps answering while a copy takes every core it can.
void LowerThisThreadPriority();

} // namespace arvelo
