#include "schedule/TaskTable.h"

#include "crawl/RunEvents.h"
#include "model/Task.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>

namespace arvelo {
namespace {

std::string Ratio(int64_t done, int64_t total) { return std::to_string(done) + "/" + std::to_string(total); }

} // namespace

TTaskIcon TaskIcon(const TAVTask &task)
{
    int32_t status = task.status;
    return status == tsDownloading ? tiStop : status == tsScheduled ? tiScheduled : tiRun;
}

TTaskTone TaskTone(const TAVTask &task)
{
    int32_t status = task.status;
    return status == tsDownloading ? ttRunning : status <= tsIncomplete ? ttWaiting : ttFinished;
}

std::string ElapsedText(TDateTime elapsed)
{
    const int64_t seconds = std::llround(std::max(0.0, elapsed.Days()) * 86400.0);
    const int64_t hours = seconds / 3600, minutes = seconds / 60 % 60, rest = seconds % 60;
    std::string text = std::to_string(minutes) + " Min " + std::to_string(rest) + " Sec";
    return hours > 0 ? std::to_string(hours) + " Hrs " + text : text;
}

std::string TaskHint(const TAVTask &task)
{
    std::string hint = "Task Name: " + task.taskName + "\nURL: " + task.url + "\nDestination: " + task.destination;
    if (task.elapsedTime.IsZero())
        return hint;
    const int64_t pageErrors = task.pageErrors, resourceErrors = task.resourceErrors;
    return hint + "\n\n\nElapsed Time: " + ElapsedText(task.elapsedTime) + "\n\nPages:\n    " +
           std::to_string(task.pagesSaved - pageErrors) + " downloaded\n    " + std::to_string(pageErrors) +
           " not found\n\nResources:\n    " + std::to_string(task.resourcesSaved - resourceErrors) +
           " downloaded\n    " + std::to_string(resourceErrors) + " not found";
}

bool CommandAppliesTo(TTaskCommand command, const TAVTask &task)
{
    const int32_t status = task.status;
    if (command == TTaskCommand::kStop)
        return status == tsDownloading;
    // The run saves its own file; a command never changes it under the run.
    return status != tsDownloading && status != tsComplete;
}

TTaskCommandStates TaskCommandStates(const std::vector<const TAVTask *> &selection, bool aTaskRuns)
{
    TTaskCommandStates states;
    if (selection.empty())
        return states;
    const TAVTask &focused = *selection.front();
    states.browse = states.reports = states.copyURL = true;
    states.explore = !aTaskRuns;
    states.copyLocal = focused.intranetMode;
    switch (focused.status.load()) {
    case tsUnscheduled:
    case tsStopped:
    case tsIncomplete:
    case tsZipped:
    case tsTaskComplete:
        states.run = states.schedule = states.del = states.edit = true;
        break;
    case tsScheduled:
        states.unschedule = true;
        break;
    case tsDownloading:
        states.stop = true;
        break;
    default:
        break;
    }
    return states;
}

TTaskTableModel::TTaskTableModel(TRunEvents &events, QObject *parent) : QAbstractTableModel(parent)
{
    connect(&events, &TRunEvents::TaskSaved, this, &TTaskTableModel::Refresh);
    connect(&events, &TRunEvents::Counters, this, &TTaskTableModel::Refresh);
    connect(&events, &TRunEvents::TaskRemoved, this, &TTaskTableModel::Remove);
}

void TTaskTableModel::SetTasks(std::vector<TAVTask *> tasks)
{
    beginResetModel();
    tasks_ = std::move(tasks);
    endResetModel();
}

TAVTask *TTaskTableModel::TaskAt(int row) const
{
    return row >= 0 && row < static_cast<int>(tasks_.size()) ? tasks_[row] : nullptr;
}

int TTaskTableModel::RowOf(const TAVTask *task) const
{
    auto found = std::find(tasks_.begin(), tasks_.end(), task);
    return found == tasks_.end() ? -1 : static_cast<int>(found - tasks_.begin());
}

void TTaskTableModel::Remove(const TAVTask *task)
{
    int row = RowOf(task);
    if (row < 0)
        return;
    beginRemoveRows({}, row, row);
    tasks_.erase(tasks_.begin() + row);
    endRemoveRows();
}

void TTaskTableModel::Refresh(TAVTask *task)
{
    // Only the task's own row: a run's counters touch one row a time.
    if (int row = RowOf(task); row >= 0)
        Q_EMIT dataChanged(index(row, 0), index(row, kColumns - 1));
}

int TTaskTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(tasks_.size());
}

int TTaskTableModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant TTaskTableModel::data(const QModelIndex &index, int role) const
{
    const TAVTask *task = TaskAt(index.row());
    if (!task)
        return {};
    if (role == kIconRole)
        return index.column() == colName ? QVariant(TaskIcon(*task)) : QVariant();
    if (role == kToneRole)
        return TaskTone(*task);
    if (role == Qt::ToolTipRole)
        return QString::fromStdString(TaskHint(*task));
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    std::string text;
    switch (index.column()) {
    case colName: text = task->taskName; break;
    case colTitle: text = task->startPageTitle; break;
    case colStatus: text = TAVTask::StatusText(task->status); break;
    case colSchedule: text = task->schedule; break;
    case colLastRun: text = task->lastRun.LocalText(); break;
    case colNextRun: text = task->nextRun.LocalText(); break;
    case colPages: text = Ratio(task->pagesSaved, task->totalPages); break;
    case colResources: text = Ratio(task->resourcesSaved, task->totalResources); break;
    case colErrors: text = std::to_string(task->pageErrors + task->resourceErrors); break;
    case colURL: text = task->url; break;
    case colDestination: text = task->destination; break;
    case colMethod: text = task->profile.profileName; break;
    default: break;
    }
    return QString::fromStdString(text);
}

Qt::ItemFlags TTaskTableModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    const TAVTask *task = TaskAt(index.row());
    if (task && index.column() == colName && CommandAppliesTo(TTaskCommand::kEdit, *task))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool TTaskTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    TAVTask *task = TaskAt(index.row());
    if (!task || role != Qt::EditRole || index.column() != colName || !CommandAppliesTo(TTaskCommand::kEdit, *task))
        return false;
    const std::string name = value.toString().toStdString();
    // A refused name says why (TAVTask::Rename) and the row keeps the old one.
    if (name == task->taskName || !task->Rename(name))
        return false;
    Q_EMIT dataChanged(index, index);
    return true;
}

QVariant TTaskTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const kHeaders[kColumns] = {"Task Name", "Start Page Title", "Status", "Schedule",
                                                   "Last Run", "Next Run", "Pages", "Resources", "Errors",
                                                   "Starting URL", "Destination", "Download Method"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns)
        return {};
    return QString::fromLatin1(kHeaders[section]);
}

} // namespace arvelo
