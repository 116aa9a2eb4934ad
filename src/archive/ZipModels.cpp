#include "archive/ZipModels.h"

#include "core/FileUtils.h"
#include "core/TextUtils.h"
#include "model/FileTypes.h"

#include <algorithm>
#include <map>

namespace arvelo {
namespace {

QString Text(const std::string &text) { return QString::fromStdString(text); }

int RatioOf(uint64_t size, uint64_t packed)
{
    if (size == 0 || packed >= size)
        return 0;
    return static_cast<int>((size - packed) * 100 / size);
}

} // namespace

bool IsPageEntry(const std::string &entry)
{
    const std::string extension = ExtractFileExt(ExtractFileName(entry));
    return !extension.empty() && GroupOfExtension(LowerAscii(extension)) == kPageGroup;
}

TZipTreeModel::TZipTreeModel(QObject *parent) : QAbstractItemModel(parent) {}

TZipNode *TZipTreeModel::NodeOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<TZipNode *>(index.internalPointer()) : nullptr;
}

QModelIndex TZipTreeModel::IndexOf(const TZipNode *node) const
{
    if (!node)
        return {};
    int row = node->Row();
    if (!node->parent) {
        for (size_t i = 0; i < tree_.Count(); ++i)
            if (tree_.Archive(i) == node)
                row = static_cast<int>(i);
    }
    return row < 0 ? QModelIndex() : createIndex(row, 0, const_cast<TZipNode *>(node));
}

TZipNode *TZipTreeModel::OpenArchive(const std::string &path)
{
    const int row = static_cast<int>(tree_.Count());
    beginInsertRows({}, row, row);
    TZipNode *root = tree_.Open(path);
    endInsertRows();
    return root;
}

void TZipTreeModel::CloseArchive(TZipNode *root)
{
    const int row = IndexOf(root).row();
    beginRemoveRows({}, row, row);
    tree_.Close(root);
    endRemoveRows();
}

TZipNode *TZipTreeModel::AddEntry(TZipNode *root, const TZipFileStats &stats)
{
    TZipObj &record = *root->record;
    if (auto known = record.entries.find(stats.fileName); known != record.entries.end()) {
        TZipNode *entry = tree_.AddEntry(root, stats);
        const QModelIndex at = IndexOf(entry);
        Q_EMIT dataChanged(at, at);
        return entry;
    }
    // The new rows hang below the deepest folder that exists already: the
    // missing folders come with the entry as one inserted row.
    TZipNode *parent = root;
    for (size_t slash = stats.fileName.rfind('/'); slash != std::string::npos && slash > 0;
         slash = stats.fileName.rfind('/', slash - 1)) {
        if (auto folder = record.folders.find(stats.fileName.substr(0, slash + 1)); folder != record.folders.end()) {
            parent = folder->second;
            break;
        }
    }
    const int row = static_cast<int>(parent->children.size());
    beginInsertRows(IndexOf(parent), row, row);
    TZipNode *entry = tree_.AddEntry(root, stats);
    endInsertRows();
    return entry;
}

void TZipTreeModel::RemoveNode(TZipNode *node)
{
    if (!node || node->kind == TZipNode::kArchive)
        return;
    const QModelIndex at = IndexOf(TZipTree::RemovedTop(node));
    beginRemoveRows(at.parent(), at.row(), at.row());
    tree_.Remove(node);
    endRemoveRows();
}

void TZipTreeModel::Moved(TZipNode *root, const std::string &path)
{
    root->record->path = path;
    root->name = ExtractFileName(path);
    const QModelIndex at = IndexOf(root);
    Q_EMIT dataChanged(at, at);
}

QModelIndex TZipTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column != 0)
        return {};
    if (const TZipNode *node = NodeOf(parent)) {
        if (static_cast<size_t>(row) >= node->children.size())
            return {};
        return createIndex(row, 0, node->children[static_cast<size_t>(row)].get());
    }
    if (static_cast<size_t>(row) >= tree_.Count())
        return {};
    return createIndex(row, 0, tree_.Archive(static_cast<size_t>(row)));
}

QModelIndex TZipTreeModel::parent(const QModelIndex &child) const
{
    const TZipNode *node = NodeOf(child);
    return node ? IndexOf(node->parent) : QModelIndex();
}

int TZipTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    if (const TZipNode *node = NodeOf(parent))
        return static_cast<int>(node->children.size());
    return static_cast<int>(tree_.Count());
}

int TZipTreeModel::columnCount(const QModelIndex &) const { return 1; }

QVariant TZipTreeModel::data(const QModelIndex &index, int role) const
{
    const TZipNode *node = NodeOf(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole: return Text(node->Caption());
    case Qt::EditRole: return Text(node->name);
    case Qt::ToolTipRole: return node->kind == TZipNode::kArchive ? Text(node->record->path) : QVariant();
    case kZipIconRole:
        return Text(node->kind == TZipNode::kArchive  ? std::string()
                    : node->kind == TZipNode::kFolder ? std::string(kZipFolderIcon)
                                                      : node->name);
    default: return {};
    }
}

bool TZipTreeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    TZipNode *node = NodeOf(index);
    if (role != Qt::EditRole || !node || node->kind != TZipNode::kArchive || !OnRename)
        return false;
    const std::string name = value.toString().trimmed().toStdString();
    if (name == node->name)
        return false;
    if (!OnRename(node, name))
        return false;
    Q_EMIT dataChanged(index, index);
    return true;
}

Qt::ItemFlags TZipTreeModel::flags(const QModelIndex &index) const
{
    const TZipNode *node = NodeOf(index);
    if (!node)
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (node->kind == TZipNode::kArchive)
        flags |= Qt::ItemIsEditable;
    if (node->kind == TZipNode::kEntry)
        flags |= Qt::ItemNeverHasChildren;
    return flags;
}

TZipEntryModel::TZipEntryModel(QObject *parent) : QAbstractTableModel(parent) {}

void TZipEntryModel::Show(const TZipNode *node)
{
    beginResetModel();
    rows_.clear();
    auto collect = [&](const auto &self, const TZipNode *at) -> void {
        if (at->kind == TZipNode::kEntry) {
            const std::string entry = TZipTree::PathOf(at);
            rows_.push_back({at->name, entry.substr(0, entry.size() - at->name.size()), at->size, at->packed,
                             at->modified});
        }
        for (const auto &child : at->children)
            self(self, child.get());
    };
    if (node)
        collect(collect, node);
    SortRows();
    endResetModel();
}

std::string TZipEntryModel::TotalsLine(uint64_t entryCount) const
{
    uint64_t size = 0, packed = 0;
    for (const TZipEntryRow &row : rows_) {
        size += row.size;
        packed += row.packed;
    }
    return ZipTotalsLine(rows_.size(), size, packed, entryCount);
}

std::string TZipEntryModel::SelectionLine(const std::vector<int> &rows) const
{
    uint64_t size = 0, packed = 0;
    for (int row : rows) {
        size += Row(row).size;
        packed += Row(row).packed;
    }
    return ZipSelectionLine(rows.size(), size, packed);
}

int TZipEntryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TZipEntryModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : colCount; }

QVariant TZipEntryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= Count())
        return {};
    const TZipEntryRow &row = Row(index.row());
    if (role == kZipIconRole && index.column() == colName)
        return Text(row.name);
    if (role == Qt::TextAlignmentRole && index.column() >= colSize && index.column() <= colRatio)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case colName: return Text(row.name);
    case colSize: return QString::number(row.size);
    case colPacked: return QString::number(row.packed);
    case colRatio: return QString::number(RatioOf(row.size, row.packed)) + QLatin1Char('%');
    case colModified: return Text(row.modified.LocalText());
    case colPath: return Text(row.folder);
    default: return {};
    }
}

QVariant TZipEntryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const captions[colCount] = {"Name", "Size", "Packed", "Ratio", "Modified", "Path"};
    if (orientation != Qt::Horizontal || section < 0 || section >= colCount)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(captions[section]);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue((section >= colSize && section <= colRatio ? Qt::AlignRight : Qt::AlignLeft) |
                                   Qt::AlignVCenter);
    return {};
}

void TZipEntryModel::sort(int column, Qt::SortOrder order)
{
    sortColumn_ = column;
    sortOrder_ = order;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::string> keys;
    for (const QModelIndex &index : before)
        keys.push_back(Row(index.row()).Entry());
    SortRows();
    // Selected rows stay selected where they land.
    std::map<std::string, int> rowOf;
    for (size_t i = 0; i < rows_.size(); ++i)
        rowOf[rows_[i].Entry()] = static_cast<int>(i);
    QModelIndexList after;
    for (size_t i = 0; i < keys.size(); ++i)
        after.push_back(index(rowOf[keys[i]], before[static_cast<qsizetype>(i)].column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TZipEntryModel::SortRows()
{
    if (sortColumn_ < 0)
        return;
    auto less = [this](const TZipEntryRow &a, const TZipEntryRow &b) {
        switch (sortColumn_) {
        case colSize: return a.size < b.size;
        case colPacked: return a.packed < b.packed;
        case colRatio: return RatioOf(a.size, a.packed) < RatioOf(b.size, b.packed);
        case colModified: return a.modified < b.modified;
        case colPath: return LowerAscii(a.folder) < LowerAscii(b.folder);
        default: return LowerAscii(a.name) < LowerAscii(b.name);
        }
    };
    if (sortOrder_ == Qt::AscendingOrder)
        std::stable_sort(rows_.begin(), rows_.end(), less);
    else
        std::stable_sort(rows_.begin(), rows_.end(), [&](const auto &a, const auto &b) { return less(b, a); });
}

TZipPagesModel::TZipPagesModel(QObject *parent) : QAbstractListModel(parent) {}

void TZipPagesModel::Show(const TZipNode *root)
{
    beginResetModel();
    pages_.clear();
    if (root)
        for (const auto &[entry, node] : root->record->entries)
            if (IsPageEntry(entry))
                pages_.push_back({entry, node->Caption()});
    endResetModel();
}

int TZipPagesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(pages_.size());
}

QVariant TZipPagesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= Count())
        return {};
    const TPage &page = pages_[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole: return Text(page.caption);
    case Qt::ToolTipRole: return Text(page.entry);
    case kZipIconRole: return Text(ExtractFileName(page.entry));
    default: return {};
    }
}

TZipFileListModel::TZipFileListModel(QObject *parent) : QAbstractTableModel(parent) {}

void TZipFileListModel::Add(const StringList &paths)
{
    beginResetModel();
    for (const std::string &path : paths) {
        const std::string plain = path.size() > 1 ? ExcludeTrailingSlash(path) : path;
        auto at = std::lower_bound(paths_.begin(), paths_.end(), plain);
        if (at == paths_.end() || *at != plain)
            paths_.insert(at, plain);
    }
    endResetModel();
}

void TZipFileListModel::Remove(std::vector<int> rows)
{
    beginResetModel();
    std::sort(rows.rbegin(), rows.rend());
    for (int row : rows)
        if (row >= 0 && row < static_cast<int>(paths_.size()))
            paths_.erase(paths_.begin() + row);
    endResetModel();
}

bool TZipFileListModel::HasFolder() const
{
    return std::any_of(paths_.begin(), paths_.end(), [](const std::string &path) { return FolderExists(path); });
}

int TZipFileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(paths_.size());
}

int TZipFileListModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 2; }

QVariant TZipFileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const std::string &path = paths_[static_cast<size_t>(index.row())];
    const bool folder = FolderExists(path);
    if (role == kZipIconRole && index.column() == 0)
        return Text(folder ? std::string(kZipFolderIcon) : ExtractFileName(path));
    if (role != Qt::DisplayRole)
        return {};
    if (folder)
        return index.column() == 0 ? QString() : Text(path);
    return Text(index.column() == 0 ? ExtractFileName(path) : ExtractFilePath(path));
}

QVariant TZipFileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == 0 ? QStringLiteral("Filename") : QStringLiteral("Path");
}

} // namespace arvelo
