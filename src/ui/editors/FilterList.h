#pragma once

#include "core/TextUtils.h"

#include <QWidget>

class QListView;
class QPushButton;
class QStringListModel;
class QToolButton;

namespace arvelo {

// An include or exclude list of URL filter lines with "Add" (a menu of the
// three scopes), "Edit..." and "Remove"; the last two only with a line chosen.
class TFilterList : public QWidget {
    Q_OBJECT
public:
    // name prefixes the controls' names ("Include": lvIncludeLines, btnIncludeAdd ...).
    TFilterList(bool include, const QString &name, QWidget *parent = nullptr);

    StringList Lines() const;
    void SetLines(const StringList &lines);

    QListView *lvLines;
    QToolButton *btnAdd;
    QPushButton *btnEdit;
    QPushButton *btnRemove;

Q_SIGNALS:
    // A line was added (a rule change); edits and removals do not say so.
    void LineAdded();

private:
    void Add(const std::string &scope);
    void Edit();
    void Remove();
    void UpdateButtons();

    bool include_;
    QStringListModel *lines_;
};

} // namespace arvelo
