#include "shell/FileTypeModel.h"

#include <algorithm>

namespace arvelo {
namespace {

// Child rows carry their group's row in the internal id; group rows carry 0.
constexpr quintptr kGroupRow = 0;
quintptr ChildId(int groupRow) { return static_cast<quintptr>(groupRow) + 1; }

} // namespace

TFileTypeModel::TFileTypeModel(QObject *parent) : QAbstractItemModel(parent) { Reload(); }

void TFileTypeModel::Reload()
{
    beginResetModel();
    groups_.clear();
    for (const TFileTypeGroup &group : FileTypeGroups())
        groups_.push_back({group.name, SplitExtensions(group.extensions)});
    endResetModel();
}

void TFileTypeModel::SetChecked(const StringList &fileTypes)
{
    checked_.clear();
    for (const std::string &extension : fileTypes)
        checked_.insert(LowerAscii(extension));
    ShowChecks();
}

void TFileTypeModel::ShowChecks()
{
    if (!groups_.empty())
        Q_EMIT dataChanged(index(0, 0), index(static_cast<int>(groups_.size()) - 1, 0), {Qt::CheckStateRole});
    for (int row = 0; row < static_cast<int>(groups_.size()); ++row) {
        QModelIndex group = index(row, 0);
        if (int children = rowCount(group); children > 0)
            Q_EMIT dataChanged(index(0, 0, group), index(children - 1, 0, group), {Qt::CheckStateRole});
    }
}

StringList TFileTypeModel::Checked() const
{
    StringList list;
    std::set<std::string> listed;
    for (const TGroup &group : groups_)
        for (const std::string &extension : group.extensions)
            if (checked_.count(LowerAscii(extension)) && listed.insert(LowerAscii(extension)).second)
                list.push_back(extension);
    return list;
}

std::string TFileTypeModel::GroupAt(const QModelIndex &index) const
{
    if (!index.isValid())
        return {};
    int row = index.internalId() == kGroupRow ? index.row() : static_cast<int>(index.internalId() - 1);
    return row < static_cast<int>(groups_.size()) ? groups_[row].name : std::string();
}

std::string TFileTypeModel::ExtensionAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.internalId() == kGroupRow)
        return {};
    const TGroup &group = groups_[index.internalId() - 1];
    return index.row() < static_cast<int>(group.extensions.size()) ? group.extensions[index.row()] : std::string();
}

bool TFileTypeModel::Deletable(const QModelIndex &index) const
{
    if (!index.isValid())
        return false;
    std::string extension = ExtensionAt(index);
    return extension.empty() ? !IsProtectedGroup(GroupAt(index)) : !IsProtectedExtension(extension);
}

QModelIndex TFileTypeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row < static_cast<int>(groups_.size()) ? createIndex(row, 0, kGroupRow) : QModelIndex();
    if (parent.internalId() != kGroupRow || parent.row() >= static_cast<int>(groups_.size()))
        return {};
    return row < static_cast<int>(groups_[parent.row()].extensions.size()) ? createIndex(row, 0, ChildId(parent.row()))
                                                                            : QModelIndex();
}

QModelIndex TFileTypeModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == kGroupRow)
        return {};
    return createIndex(static_cast<int>(child.internalId() - 1), 0, kGroupRow);
}

int TFileTypeModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return static_cast<int>(groups_.size());
    if (parent.internalId() != kGroupRow || parent.row() >= static_cast<int>(groups_.size()))
        return 0;
    return static_cast<int>(groups_[parent.row()].extensions.size());
}

int TFileTypeModel::columnCount(const QModelIndex &) const { return 1; }

Qt::CheckState TFileTypeModel::GroupState(const TGroup &group) const
{
    size_t checked = std::count_if(group.extensions.begin(), group.extensions.end(),
                                   [&](const std::string &e) { return checked_.count(LowerAscii(e)) > 0; });
    if (checked == 0)
        return Qt::Unchecked;
    return checked == group.extensions.size() ? Qt::Checked : Qt::PartiallyChecked;
}

QVariant TFileTypeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const bool group = index.internalId() == kGroupRow;
    if (role == Qt::DisplayRole)
        return QString::fromStdString(group ? GroupAt(index) : ExtensionAt(index));
    if (role == Qt::CheckStateRole) {
        if (group)
            return GroupState(groups_[index.row()]);
        return checked_.count(LowerAscii(ExtensionAt(index))) ? Qt::Checked : Qt::Unchecked;
    }
    return {};
}

void TFileTypeModel::SetExtension(const std::string &extension, bool checked)
{
    if (checked)
        checked_.insert(LowerAscii(extension));
    else
        checked_.erase(LowerAscii(extension));
}

bool TFileTypeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::CheckStateRole)
        return false;
    const bool checked = value.toInt() != Qt::Unchecked;
    if (index.internalId() == kGroupRow) {
        for (const std::string &extension : groups_[index.row()].extensions)
            SetExtension(extension, checked);
    } else {
        SetExtension(ExtensionAt(index), checked);
    }
    ShowChecks();
    Q_EMIT ChecksChanged();
    return true;
}

Qt::ItemFlags TFileTypeModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

} // namespace arvelo
