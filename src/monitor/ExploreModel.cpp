#include "monitor/ExploreModel.h"

#include "core/TextUtils.h"
#include "crawl/RunEvents.h"
#include "model/ItemList.h"
#include "model/Task.h"

#include <algorithm>

namespace arvelo {

namespace {

// The fields of a stored record, by position.
enum { fResult = 1, fGroup = 2, fLevel = 4, fReferrer = 5, fLastModified = 6, fTitle = 8, fSize = 9 };

QString Field(const std::string &record, int field)
{
    return QString::fromStdString(FieldOf(record, kFieldSeparator, field));
}

} // namespace

TExploreIcon ExploreIcon(uint8_t state, uint8_t mark)
{
    if (state == isError)
        return eiError;
    if (state > isDownloaded)
        return eiDone;
    // Waiting, being fetched, or fetched and not yet saved: the mark.
    return mark <= imUpdate ? static_cast<TExploreIcon>(mark) : eiDownload;
}

TExploreTone ExploreTone(uint8_t state)
{
    switch (state) {
    case isNone:
        return etWaiting;
    case isDownloading:
    case isUpdating:
        return etFetching;
    case isError:
        return etFailed;
    case isUpdated:
        return etUpdated;
    default:
        return etDone;
    }
}

TExploreModel::TExploreModel(TRunEvents &events, QObject *parent) : QAbstractTableModel(parent)
{
    connect(&events, &TRunEvents::ItemChanged, this, &TExploreModel::Changed);
    connect(&events, &TRunEvents::CurrentTaskChanged, this, &TExploreModel::Bind);
}

void TExploreModel::Bind(TAVTask *task)
{
    beginResetModel();
    batch_.Cancel();
    task_ = task;
    shown_ = task ? static_cast<int>(task->items.ItemCount()) : 0;
    firstChanged_ = lastChanged_ = -1;
    endResetModel();
}

TAVQItem *TExploreModel::ItemAt(int row) const
{
    if (!task_ || row < 0 || row >= shown_ || static_cast<size_t>(row) >= task_->items.ItemCount())
        return nullptr;
    return task_->items.Item(static_cast<size_t>(row));
}

void TExploreModel::Changed(TAVQItem *item)
{
    if (!task_ || item->task != task_ || item->index < 0)
        return;
    const int row = item->index / 2;
    if (row < shown_) {
        firstChanged_ = firstChanged_ < 0 ? row : std::min(firstChanged_, row);
        lastChanged_ = std::max(lastChanged_, row);
    }
    batch_.Touch();
}

void TExploreModel::Flush()
{
    batch_.Cancel();
    const int count = task_ ? static_cast<int>(task_->items.ItemCount()) : 0;
    if (count < shown_) {
        // The items were cleared under the view (a restarted run): shown anew.
        Bind(task_);
        return;
    }
    if (firstChanged_ >= 0)
        Q_EMIT dataChanged(index(firstChanged_, 0), index(lastChanged_, kColumns - 1));
    firstChanged_ = lastChanged_ = -1;
    if (count > shown_) {
        beginInsertRows({}, shown_, count - 1);
        shown_ = count;
        endInsertRows();
    }
}

void TExploreModel::RowsChanged(int first, int last)
{
    last = std::min(last, shown_ - 1);
    if (first >= 0 && first <= last)
        Q_EMIT dataChanged(index(first, 0), index(last, kColumns - 1));
}

int TExploreModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : shown_; }

int TExploreModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant TExploreModel::data(const QModelIndex &index, int role) const
{
    const TAVQItem *item = ItemAt(index.row());
    if (!item)
        return {};
    if (role == kToneRole)
        return ExploreTone(item->State());
    if (role == kIconRole)
        return index.column() == colMark ? QVariant(ExploreIcon(item->State(), item->Mark())) : QVariant();
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const std::string &record = task_->items.StoredRecord(*item);
    switch (index.column()) {
    case colStatus:
        return QString::fromStdString(item->StateText());
    case colTitle:
        return Field(record, fTitle);
    case colURL:
        return QString::fromStdString(task_->items.Line(static_cast<size_t>(item->index)));
    case colType:
        return Field(record, fGroup);
    case colSize:
        return Field(record, fSize);
    case colLastModified:
        return Field(record, fLastModified);
    case colResult:
        return Field(record, fResult);
    case colLevel:
        return Field(record, fLevel);
    case colReferrer:
        return Field(record, fReferrer);
    default:
        return {};
    }
}

QVariant TExploreModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const kCaptions[kColumns] = {"Mark", "Status", "Title", "URL", "Type", "Size", "Last Modified",
                                                   "Download Result", "Level", "Referrer"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns)
        return {};
    return QString::fromLatin1(kCaptions[section]);
}

} // namespace arvelo
