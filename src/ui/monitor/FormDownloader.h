#pragma once

#include <QWidget>

class QLabel;
class QSlider;
class QTreeView;

namespace arvelo {

class TSlotList;
class TSlotTableModel;

// The connections page: how many connections a run uses, whether pages or
// media files go first, and one row per connection slot at work.
class TFormDownloader : public QWidget {
    Q_OBJECT
public:
    TFormDownloader(TSlotList &slots, TSlotTableModel &model, QWidget *parent = nullptr);

protected:
    // The rows are refreshed only while the page shows.
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    TSlotList &slots_;
    TSlotTableModel &model_;
    QSlider *tbSockets, *tbPriority;
    QLabel *lblSockets;
    QTreeView *lvSockets;
};

} // namespace arvelo
