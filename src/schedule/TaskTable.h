#pragma once

#include "core/DateTime.h"

#include <QAbstractTableModel>

#include <string>
#include <vector>

namespace arvelo {

class TAVTask;
class TRunEvents;

// The state icon of a task's row, and what a click on it does.
enum TTaskIcon { tiRun = 0, tiStop = 1, tiScheduled = 2 };
TTaskIcon TaskIcon(const TAVTask &task);
// The text colour of a task's row: olive while it runs, grey before it has
// finished, navy after.
enum TTaskTone { ttRunning, ttWaiting, ttFinished };
TTaskTone TaskTone(const TAVTask &task);

// "1 Hrs 2 Min 3 Sec", every hour counted; "2 Min 3 Sec" under an hour.
std::string ElapsedText(TDateTime elapsed);
// The hint over a task's row.
std::string TaskHint(const TAVTask &task);

// Whether a command of the task pane acts on a task of the selection:
// Stop on a task that runs, every other command never on a task that runs
// or finishes (status 2 or 5), whose file the run saves.
enum class TTaskCommand { kEdit, kDelete, kRun, kSchedule, kUnschedule, kStop };
bool CommandAppliesTo(TTaskCommand command, const TAVTask &task);
// The commands on or off, by the status of the focused task (the first of
// the selection).
struct TTaskCommandStates {
    bool edit = false, del = false, run = false, schedule = false, unschedule = false, stop = false;
    bool explore = false, browse = false, reports = false, copyURL = false, copyLocal = false;
};
TTaskCommandStates TaskCommandStates(const std::vector<const TAVTask *> &selection, bool aTaskRuns);

// The rows of the task pane: one task each, in the order given, with the
// twelve columns of the pane. A saved task's row is shown again.
class TTaskTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        colName, colTitle, colStatus, colSchedule, colLastRun, colNextRun, colPages, colResources, colErrors,
        colURL, colDestination, colMethod, kColumns
    };
    // TTaskIcon and TTaskTone of a row, for the view to draw.
    static constexpr int kIconRole = Qt::UserRole + 1;
    static constexpr int kToneRole = Qt::UserRole + 2;

    explicit TTaskTableModel(TRunEvents &events, QObject *parent = nullptr);

    void SetTasks(std::vector<TAVTask *> tasks);
    const std::vector<TAVTask *> &Tasks() const { return tasks_; }
    TAVTask *TaskAt(int row) const;
    int RowOf(const TAVTask *task) const;
    // A task that goes leaves its row at once (the task manager says so
    // before it frees the task).
    void Remove(const TAVTask *task);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // The name is edited in place, which renames the task; never while a
    // run saves its file (status 2 or 5).
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

private:
    void Refresh(TAVTask *task);

    std::vector<TAVTask *> tasks_;
};

} // namespace arvelo
