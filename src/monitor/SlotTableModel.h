#pragma once

#include "core/UpdateBatch.h"

#include <QAbstractTableModel>

#include <vector>

namespace arvelo {

class TAVSocket;
class TRunEvents;
class TSlotList;

// The rows of the connections page: one per connection slot, in the slots'
// order, with what each is retrieving, its progress, bytes, size and status.
// Rows change only while the page shows them, a few times a second at most.
class TSlotTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { colRetrieving, colProgress, colBytes, colSize, colStatus, kColumns };
    // The progress in percent, -1 when unknown, for the drawn bar.
    static constexpr int kPercentRole = Qt::UserRole + 1;
    static constexpr int kRefreshMs = 250;

    TSlotTableModel(TSlotList &slots, TRunEvents &events, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Whether the page is showing: hidden rows are not refreshed, and shown
    // again they are refreshed at once.
    void SetShown(bool shown);
    // The text of the "Progress" column: the percent, or "?" when unknown.
    static QString ProgressText(int percent);

private:
    void Rebuild();
    void RowChanged(TAVSocket *slot);
    void Flush();

    TSlotList &slots_;
    std::vector<TAVSocket *> rows_;
    bool shown_ = false;
    int firstChanged_ = -1, lastChanged_ = -1;
    TUpdateBatch batch_{kRefreshMs, [this] { Flush(); }};
};

} // namespace arvelo
