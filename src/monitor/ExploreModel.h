#pragma once

#include "core/UpdateBatch.h"

#include <QAbstractTableModel>

#include <cstdint>

namespace arvelo {

class TAVQItem;
class TAVTask;
class TRunEvents;

// The picture of an item's row: its mark while it waits or is fetched, the
// error sign after a failure, the done sign once saved.
enum TExploreIcon { eiUnmarked, eiDownload, eiMapping, eiUpdate, eiError, eiDone };
TExploreIcon ExploreIcon(uint8_t state, uint8_t mark);
// The text colour of an item's row: grey waiting, green being fetched, red
// failed, maroon updated, navy otherwise.
enum TExploreTone { etWaiting, etFetching, etFailed, etUpdated, etDone };
TExploreTone ExploreTone(uint8_t state);

// Every address of the current task, one row per item in item order. A
// row's texts are read from the item's stored record only when asked for,
// so the rows hold nothing of their own. Items added and changed during a
// run become inserted and changed rows at most ten times a second.
class TExploreModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        colMark, colStatus, colTitle, colURL, colType, colSize, colLastModified, colResult, colLevel, colReferrer,
        kColumns
    };
    static constexpr int kIconRole = Qt::UserRole + 1; // TExploreIcon
    static constexpr int kToneRole = Qt::UserRole + 2; // TExploreTone

    explicit TExploreModel(TRunEvents &events, QObject *parent = nullptr);

    // Shows the task's items (none for no task), dropping changes not yet shown.
    void Bind(TAVTask *task);
    TAVTask *Task() const { return task_; }
    TAVQItem *ItemAt(int row) const;
    // Announces the waiting changes at once.
    void Flush();
    // Rows changed all at once (a marking command), shown as one update.
    void RowsChanged(int first, int last);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void Changed(TAVQItem *item);

    TAVTask *task_ = nullptr;
    int shown_ = 0; // rows announced to the views
    int firstChanged_ = -1, lastChanged_ = -1;
    TUpdateBatch batch_{100, [this] { Flush(); }};
};

} // namespace arvelo
