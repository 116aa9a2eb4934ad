#pragma once

#include <QTabWidget>

#include <string>

class QFileSystemModel;
class QTreeView;

namespace arvelo {

class TZipBrowser;
struct TZipNode;

// pcZips, the left pane: the open archives (tvZip, captions of archives
// editable to rename them), the pages of the current archive (tvPages) and
// the Personal Intranet folders on disk (tvIntranet).
class TZipPane : public QTabWidget {
    Q_OBJECT
public:
    TZipPane(TZipBrowser &browser, QWidget *parent);

    QTreeView *Archives() const { return tvZip; }
    QTreeView *Pages() const { return tvPages; }
    QTreeView *Intranet() const { return tvIntranet; }
    void SetIntranetFolder(const std::string &folder);
    // The intranet tab shown with that folder chosen in its tree.
    void ShowIntranetFolder(const std::string &folder);
    // The folder or file chosen in the intranet tree, or empty.
    std::string IntranetSelection() const;
    // The entry of the page chosen in the pages tree, or empty.
    std::string PageSelection() const;
    // Starts editing the caption of the selected archive.
    void StartRename();

Q_SIGNALS:
    // A node of another archive than before was selected.
    void ArchiveSelected(TZipNode *root);
    void IntranetChosen();
    void PopupRequested(const QPoint &at);

private:
    void ShowSelection(TZipNode *node);

    TZipBrowser &browser_;
    QTreeView *tvZip, *tvPages, *tvIntranet;
    QFileSystemModel *intranetModel_;
    bool following_ = false;
};

} // namespace arvelo
