#pragma once

#include "core/TextUtils.h"

#include <QWidget>

class QCheckBox;
class QPushButton;
class QTreeView;

namespace arvelo {

class TFileTypeModel;

// The file types a profile fetches: the tree of the store's groups with a box
// per extension, "All" (checked exactly when the list is empty), and
// "&New...", "&Edit...", "&Delete" on the store itself.
class TFileTypeTree : public QWidget {
    Q_OBJECT
public:
    explicit TFileTypeTree(QWidget *parent = nullptr);

    // The profile's File Types; empty means every type ("All").
    StringList FileTypes() const;
    void SetFileTypes(const StringList &fileTypes);

    QCheckBox *cbAll;
    QTreeView *tvFileTypes;
    QPushButton *btnNewType;
    QPushButton *btnEditType;
    QPushButton *btnDeleteType;

Q_SIGNALS:
    // A box was checked or unchecked by the user.
    void RulesChanged();

private:
    void NewType();
    void EditType();
    void DeleteType();
    void UpdateButtons();

    TFileTypeModel *model_;
};

} // namespace arvelo
