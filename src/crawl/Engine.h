#pragma once

#include "crawl/Dispatcher.h"
#include "crawl/RunControl.h"
#include "crawl/Slots.h"
#include "crawl/ThreadParse.h"
#include "schedule/TaskManager.h"

namespace arvelo {

// What a program needs to run tasks: the loaded tasks, the connection
// slots, the dispatcher and parser threads and run control over them. The
// members go in the reverse order, run control (which stops a run) first.
struct TRunEngine {
    TTaskManager tasks;
    TSlotList slots;
    TThreadDownload dispatcher;
    TThreadParse parser;
    TRunControl run{tasks, slots, dispatcher, parser};
};

} // namespace arvelo
