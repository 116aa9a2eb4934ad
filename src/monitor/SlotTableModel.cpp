#include "monitor/SlotTableModel.h"

#include "crawl/RunEvents.h"
#include "crawl/Slots.h"

#include <algorithm>

namespace arvelo {

TSlotTableModel::TSlotTableModel(TSlotList &slots, TRunEvents &events, QObject *parent)
    : QAbstractTableModel(parent), slots_(slots), rows_(slots.Snapshot())
{
    connect(&events, &TRunEvents::SlotsChanged, this, &TSlotTableModel::Rebuild);
    connect(&events, &TRunEvents::ShowRow, this, &TSlotTableModel::RowChanged);
}

int TSlotTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TSlotTableModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : kColumns; }

QString TSlotTableModel::ProgressText(int percent)
{
    return percent < 0 ? QStringLiteral("  ?") : QStringLiteral("  %1%").arg(percent);
}

QVariant TSlotTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size()))
        return {};
    const TAVSocket &slot = *rows_[static_cast<size_t>(index.row())];
    if (role == kPercentRole)
        return slot.percent;
    if (role == Qt::TextAlignmentRole && (index.column() == colBytes || index.column() == colSize))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case colRetrieving:
        // A slot that has fetched nothing yet goes by its number.
        return slot.retrieving.empty() ? QStringLiteral("HTTP Socket: %1").arg(index.row() + 1)
                                       : QString::fromStdString(slot.retrieving);
    case colProgress: return ProgressText(slot.percent);
    case colBytes: return QString::number(slot.bytes);
    case colSize: return slot.size == 0 ? QStringLiteral("?") : QString::number(slot.size);
    case colStatus: return QString::fromStdString(slot.status);
    default: return {};
    }
}

QVariant TSlotTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const kTitles[kColumns] = {"Retrieving", "Progress", "Bytes", "Size", "Status"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns)
        return {};
    return QString::fromLatin1(kTitles[section]);
}

void TSlotTableModel::SetShown(bool shown)
{
    shown_ = shown;
    if (!shown)
        return;
    batch_.Cancel();
    firstChanged_ = lastChanged_ = -1;
    if (!rows_.empty())
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, kColumns - 1));
}

void TSlotTableModel::Rebuild()
{
    // Changes noted for the old rows no longer apply.
    batch_.Cancel();
    firstChanged_ = lastChanged_ = -1;
    beginResetModel();
    rows_ = slots_.Snapshot();
    endResetModel();
}

void TSlotTableModel::RowChanged(TAVSocket *slot)
{
    if (!shown_)
        return;
    auto at = std::find(rows_.begin(), rows_.end(), slot);
    if (at == rows_.end())
        return;
    int row = static_cast<int>(at - rows_.begin());
    firstChanged_ = firstChanged_ < 0 ? row : std::min(firstChanged_, row);
    lastChanged_ = std::max(lastChanged_, row);
    batch_.Touch();
}

void TSlotTableModel::Flush()
{
    if (firstChanged_ < 0)
        return;
    QModelIndex first = index(firstChanged_, 0), last = index(lastChanged_, kColumns - 1);
    firstChanged_ = lastChanged_ = -1;
    Q_EMIT dataChanged(first, last);
}

} // namespace arvelo
