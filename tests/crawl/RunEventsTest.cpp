#include "crawl/Engine.h"
#include "crawl/RunEvents.h"
#include "model/Task.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

using RunEvents = test::TestHome;

TEST_F(RunEvents, EveryHookBecomesASignalAndIsGivenBackAtTheEnd)
{
    TRunEngine engine;
    TAVTask task;
    std::vector<std::string> seen;
    {
        TRunEvents events(engine);
        QObject::connect(&events, &TRunEvents::Status, [&](const std::string &text, int position, int total) {
            seen.push_back(text + " " + std::to_string(position) + "/" + std::to_string(total));
        });
        QObject::connect(&events, &TRunEvents::RunStarted, [&](TAVTask *t, bool inPlace) {
            seen.push_back(std::string("started ") + (t == &task ? "task" : "?") + (inPlace ? " in place" : ""));
        });
        QObject::connect(&events, &TRunEvents::CurrentTaskChanged,
                         [&](TAVTask *t) { seen.push_back(t ? "current task" : "no current task"); });
        QObject::connect(&events, &TRunEvents::Sample, [&](int connections, int seconds, double kilobytes) {
            seen.push_back("sample " + std::to_string(connections) + " " + std::to_string(seconds) + " " +
                           std::to_string(static_cast<int>(kilobytes)));
        });
        QObject::connect(&events, &TRunEvents::SlotsChanged, [&] { seen.push_back("slots"); });
        QObject::connect(&events, &TRunEvents::TaskSaved, [&](TAVTask *) { seen.push_back("saved"); });

        engine.run.OnStatus("Opening task....", 1, 3);
        engine.run.OnRunStarted(task, true);
        engine.run.OnCurrentTaskChanged(nullptr);
        engine.dispatcher.OnSample(4, 61, 12.5);
        engine.slots.OnSlotsChanged();
        engine.tasks.OnTaskSaved(task);
        for (bool set : {!!engine.run.OnCounters, !!engine.run.OnItemChanged, !!engine.run.OnRunEnded,
                         !!engine.slots.OnShowRow, !!engine.tasks.OnTaskAdded})
            EXPECT_TRUE(set);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"Opening task.... 1/3", "started task in place", "no current task",
                                              "sample 4 61 12", "slots", "saved"}));
    // Nothing is left pointing at the events once they are gone.
    for (bool set : {!!engine.run.OnStatus, !!engine.run.OnCounters, !!engine.run.OnItemChanged,
                     !!engine.run.OnRunStarted, !!engine.run.OnRunEnded, !!engine.run.OnCurrentTaskChanged,
                     !!engine.dispatcher.OnSample, !!engine.slots.OnSlotsChanged, !!engine.slots.OnShowRow,
                     !!engine.tasks.OnTaskSaved, !!engine.tasks.OnTaskAdded})
        EXPECT_FALSE(set);
}

} // namespace
} // namespace arvelo
