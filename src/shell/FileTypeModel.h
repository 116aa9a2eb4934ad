#pragma once

#include "core/TextUtils.h"
#include "model/FileTypes.h"

#include <QAbstractItemModel>

#include <set>
#include <vector>

namespace arvelo {

// The file-type tree of the editors: one row per group of the store, in store
// order, with a child per extension. An extension is checked when it is in
// the profile's list; a group shows checked, unchecked or partly checked
// after its extensions, and checking it checks them all.
class TFileTypeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit TFileTypeModel(QObject *parent = nullptr);

    // Reads the store again, keeping the checks.
    void Reload();
    // The profile's list: checks exactly its extensions.
    void SetChecked(const StringList &fileTypes);
    // The checked extensions in tree order; an extension that two groups
    // hold counts once.
    StringList Checked() const;

    // The group of a row, and the extension of a child row (empty for a group).
    std::string GroupAt(const QModelIndex &index) const;
    std::string ExtensionAt(const QModelIndex &index) const;
    // Whether "&Delete" may remove what the row shows.
    bool Deletable(const QModelIndex &index) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

Q_SIGNALS:
    // A box was checked or unchecked by the user.
    void ChecksChanged();

private:
    struct TGroup {
        std::string name;
        StringList extensions;
    };
    Qt::CheckState GroupState(const TGroup &group) const;
    // Every box is shown again (an extension may stand in several groups).
    void ShowChecks();
    void SetExtension(const std::string &extension, bool checked);

    std::vector<TGroup> groups_;
    std::set<std::string> checked_;
};

} // namespace arvelo
