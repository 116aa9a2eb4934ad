#include "crawl/RunEvents.h"

#include "crawl/Engine.h"

namespace arvelo {

TRunEvents::TRunEvents(TRunEngine &engine, QObject *parent) : QObject(parent), engine_(engine)
{
    TRunControl &run = engine.run;
    run.OnStatus = [this](const std::string &text, int position, int total) { Q_EMIT Status(text, position, total); };
    run.OnCounters = [this](TAVTask &task) { Q_EMIT Counters(&task); };
    run.OnItemChanged = [this](TAVQItem &item) { Q_EMIT ItemChanged(&item); };
    run.OnRunStarted = [this](TAVTask &task, bool resumedInPlace) { Q_EMIT RunStarted(&task, resumedInPlace); };
    run.OnRunEnded = [this](TAVTask &task) { Q_EMIT RunEnded(&task); };
    run.OnArchiveUpdated = [this](TAVTask &task) { Q_EMIT ArchiveUpdated(&task); };
    run.OnCurrentTaskChanged = [this](TAVTask *task) { Q_EMIT CurrentTaskChanged(task); };
    engine.dispatcher.OnSample = [this](int connections, int seconds, double kilobytes) {
        Q_EMIT Sample(connections, seconds, kilobytes);
    };
    engine.slots.OnSlotsChanged = [this] { Q_EMIT SlotsChanged(); };
    engine.slots.OnShowRow = [this](TAVSocket &slot) { Q_EMIT ShowRow(&slot); };
    engine.tasks.OnTaskSaved = [this](TAVTask &task) { Q_EMIT TaskSaved(&task); };
    engine.tasks.OnTaskAdded = [this](TAVTask &task) { Q_EMIT TaskAdded(&task); };
    engine.tasks.OnTaskRemoved = [this](TAVTask &task) { Q_EMIT TaskRemoved(&task); };
}

TRunEvents::~TRunEvents()
{
    TRunControl &run = engine_.run;
    run.OnStatus = nullptr;
    run.OnCounters = nullptr;
    run.OnItemChanged = nullptr;
    run.OnRunStarted = nullptr;
    run.OnRunEnded = nullptr;
    run.OnArchiveUpdated = nullptr;
    run.OnCurrentTaskChanged = nullptr;
    engine_.dispatcher.OnSample = nullptr;
    engine_.slots.OnSlotsChanged = nullptr;
    engine_.slots.OnShowRow = nullptr;
    engine_.tasks.OnTaskSaved = nullptr;
    engine_.tasks.OnTaskAdded = nullptr;
    engine_.tasks.OnTaskRemoved = nullptr;
}

} // namespace arvelo
