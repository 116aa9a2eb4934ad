#pragma once

#include "archive/ZipTree.h"

#include <QAbstractItemModel>

#include <functional>
#include <string>
#include <vector>

namespace arvelo {

// The file name a node's or row's icon is chosen by: its name, "/" for a
// folder, empty for an archive. Icons are the windows' business.
inline constexpr int kZipIconRole = Qt::UserRole + 1;
inline constexpr const char *kZipFolderIcon = "/";

// The open archives as a tree for tvZip: archives, their folders and
// entries, captioned with the entries' comments. Root nodes can be edited,
// which renames the archive's file.
class TZipTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit TZipTreeModel(QObject *parent = nullptr);

    TZipTree &Tree() { return tree_; }
    const TZipTree &Tree() const { return tree_; }
    TZipNode *NodeOf(const QModelIndex &index) const;
    QModelIndex IndexOf(const TZipNode *node) const;

    // A root node for the archive, after the others.
    TZipNode *OpenArchive(const std::string &path);
    void CloseArchive(TZipNode *root);
    // A listed entry, with the folders it needs; one listed again takes the new figures.
    TZipNode *AddEntry(TZipNode *root, const TZipFileStats &stats);
    // A deleted entry or folder, and the folders it leaves empty.
    void RemoveNode(TZipNode *node);
    // The archive's file has another path (renamed here or by its run).
    void Moved(TZipNode *root, const std::string &path);

    // Asked when a root node's caption is edited: true when the file took the name.
    std::function<bool(TZipNode *root, const std::string &name)> OnRename;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    TZipTree tree_;
};

// One row of the entry list.
struct TZipEntryRow {
    std::string name, folder; // the entry is folder + name
    uint64_t size = 0, packed = 0;
    TDateTime modified;
    std::string Entry() const { return folder + name; }
};

// lvZip: the entries below the selected node of the zips tree, sortable by
// each column, with their totals.
class TZipEntryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum TColumn { colName, colSize, colPacked, colRatio, colModified, colPath, colCount };
    explicit TZipEntryModel(QObject *parent = nullptr);

    // The entries below the node (none for null), in the current order.
    void Show(const TZipNode *node);
    const TZipEntryRow &Row(int row) const { return rows_[static_cast<size_t>(row)]; }
    int Count() const { return static_cast<int>(rows_.size()); }
    // "Total: ..." for the rows shown, of an archive with entryCount entries.
    std::string TotalsLine(uint64_t entryCount) const;
    // "Selected ..." for these rows.
    std::string SelectionLine(const std::vector<int> &rows) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void SortRows();

    std::vector<TZipEntryRow> rows_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

// tvPages: the pages (entries of the file-type group "HTML") of an archive.
class TZipPagesModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit TZipPagesModel(QObject *parent = nullptr);

    void Show(const TZipNode *root);
    // The page's entry name.
    std::string Entry(int row) const { return pages_[static_cast<size_t>(row)].entry; }
    int Count() const { return static_cast<int>(pages_.size()); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    struct TPage {
        std::string entry, caption;
    };
    std::vector<TPage> pages_;
};

// The file zip wizard's list: full paths, sorted, each once, shown as
// "Filename" and "Path" (a folder by its path alone).
class TZipFileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TZipFileListModel(QObject *parent = nullptr);

    void Add(const StringList &paths);
    void Remove(std::vector<int> rows);
    const StringList &Paths() const { return paths_; }
    bool HasFolder() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    StringList paths_;
};

// Whether the entry is a page by the file types of its extension.
bool IsPageEntry(const std::string &entry);

} // namespace arvelo
