#pragma once

#include <QObject>

#include <string>

namespace arvelo {

class TAVQItem;
class TAVSocket;
class TAVTask;
struct TRunEngine;

// The one holder of the engine's observer hooks for the windows: it takes
// them all, re-emits each as a signal on the window thread, and gives them
// back when it goes, so that no view ever assigns a hook and none is left
// pointing at a window that is gone.
class TRunEvents : public QObject {
    Q_OBJECT
public:
    explicit TRunEvents(TRunEngine &engine, QObject *parent = nullptr);
    ~TRunEvents() override;

Q_SIGNALS:
    void Status(const std::string &text, int position, int total);
    void Counters(TAVTask *task);
    void ItemChanged(TAVQItem *item);
    void RunStarted(TAVTask *task, bool resumedInPlace);
    void RunEnded(TAVTask *task);
    void CurrentTaskChanged(TAVTask *task);
    void ArchiveUpdated(TAVTask *task);
    void Sample(int connections, int seconds, double kilobytes);
    void SlotsChanged();
    void ShowRow(TAVSocket *slot);
    void TaskSaved(TAVTask *task);
    void TaskAdded(TAVTask *task);
    // Before the task object is freed.
    void TaskRemoved(TAVTask *task);

private:
    TRunEngine &engine_;
};

} // namespace arvelo
