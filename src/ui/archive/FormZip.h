#pragma once

#include <QWidget>

#include <string>
#include <vector>

class QLabel;
class QTreeView;

namespace arvelo {

class TZipBrowser;

// The properties page of an archive: lvZip, the entries below the node
// selected in the zips tree, sortable by each column, with the totals line
// and the selection line under it.
class TFormZip : public QWidget {
    Q_OBJECT
public:
    TFormZip(TZipBrowser &browser, QWidget *parent);

    QTreeView *List() const { return lvZip; }
    // The selected rows of the list, in the model's order.
    std::vector<int> SelectedRows() const;
    void UpdateLines();

Q_SIGNALS:
    // A row was double-clicked: the entry to open.
    void OpenEntryRequested(const std::string &entry);
    void PopupRequested(const QPoint &at);

private:
    TZipBrowser &browser_;
    QTreeView *lvZip;
    QLabel *lblTotal, *lblSelected;
};

} // namespace arvelo
