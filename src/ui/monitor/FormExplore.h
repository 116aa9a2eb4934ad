#pragma once

#include "monitor/Marking.h"

#include <QWidget>

class QMenu;
class QTreeView;

namespace arvelo {

class TAVTask;
class TExploreModel;
class TStyleProxy;

// The explore page: every address of the current task with its mark,
// state and fields, and the commands that mark addresses for the next run.
class TFormExplore : public QWidget {
    Q_OBJECT
public:
    TFormExplore(TExploreModel &model, QWidget *parent = nullptr);
    ~TFormExplore() override;

    // The chosen rows (item positions), in order.
    std::vector<int> SelectedRows() const;
    // Runs a marking command on the bound task.
    void Mark(TMarkCommand command);

    QTreeView *lvExplore;
    QMenu *pmExplore;

Q_SIGNALS:
    // A double click: the item of the row, browsed with the default entry.
    void BrowseRequested(TAVTask *task, int row);
    // The Browse menu: the row's copy (or its address online) in the first
    // or second browser found.
    void BrowseWithRequested(TAVTask *task, int row, bool online, int browser);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The entries follow the selection and whether the task may be re-marked.
    void UpdateMenu();

    TExploreModel &model_;
    TStyleProxy *styled_;
    std::vector<QAction *> marking_;
    QMenu *browse_;
};

} // namespace arvelo
