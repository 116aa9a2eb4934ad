#include "ui/editors/FilterList.h"

#include "shell/UrlFilters.h"
#include "ui/common/Text.h"
#include "ui/editors/DlgURLFilter.h"

#include <QHBoxLayout>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QStringListModel>
#include <QToolButton>
#include <QVBoxLayout>

namespace arvelo {

TFilterList::TFilterList(bool include, const QString &name, QWidget *parent)
    : QWidget(parent), include_(include), lines_(new QStringListModel(this))
{
    setObjectName(QStringLiteral("fl") + name);
    lvLines = new QListView(this);
    lvLines->setObjectName(QStringLiteral("lv") + name + QStringLiteral("Lines"));
    lvLines->setModel(lines_);
    lvLines->setEditTriggers(QAbstractItemView::NoEditTriggers);
    btnAdd = new QToolButton(this);
    btnAdd->setObjectName(QStringLiteral("btn") + name + QStringLiteral("Add"));
    btnAdd->setText(QStringLiteral("Add"));
    btnAdd->setPopupMode(QToolButton::InstantPopup);
    btnAdd->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto *menu = new QMenu(btnAdd);
    for (const char *scope : kFilterScopes) {
        QAction *action = menu->addAction(Q(FilterScopeText(scope, include)));
        action->setObjectName(QStringLiteral("mi") + name + QString::fromLatin1(scope).mid(1, 2));
        connect(action, &QAction::triggered, this, [this, scope] { Add(scope); });
    }
    btnAdd->setMenu(menu);
    btnEdit = new QPushButton(QStringLiteral("Edit..."), this);
    btnEdit->setObjectName(QStringLiteral("btn") + name + QStringLiteral("Edit"));
    btnRemove = new QPushButton(QStringLiteral("Remove"), this);
    btnRemove->setObjectName(QStringLiteral("btn") + name + QStringLiteral("Remove"));
    connect(btnEdit, &QPushButton::clicked, this, &TFilterList::Edit);
    connect(btnRemove, &QPushButton::clicked, this, &TFilterList::Remove);
    connect(lvLines->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TFilterList::UpdateButtons);
    connect(lines_, &QAbstractItemModel::modelReset, this, &TFilterList::UpdateButtons);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(btnAdd);
    buttons->addWidget(btnEdit);
    buttons->addWidget(btnRemove);
    buttons->addStretch();
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(lvLines, 1);
    layout->addLayout(buttons);
    UpdateButtons();
}

StringList TFilterList::Lines() const
{
    StringList lines;
    for (const QString &line : lines_->stringList())
        lines.push_back(S(line));
    return lines;
}

void TFilterList::SetLines(const StringList &lines)
{
    QStringList list;
    for (const std::string &line : lines)
        list << Q(line);
    lines_->setStringList(list);
}

void TFilterList::Add(const std::string &scope)
{
    TdlgURLFilter dialog(scope, include_, {}, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    int row = lines_->rowCount();
    lines_->insertRows(row, 1);
    lines_->setData(lines_->index(row), Q(scope + dialog.Text()));
    Q_EMIT LineAdded();
}

void TFilterList::Edit()
{
    QModelIndex current = lvLines->currentIndex();
    if (!current.isValid())
        return;
    const std::string line = S(current.data().toString());
    const std::string scope = FilterScopeOf(line);
    if (scope.empty())
        return;
    TdlgURLFilter dialog(scope, include_, line, this);
    if (dialog.exec() == QDialog::Accepted)
        lines_->setData(current, Q(dialog.Text()));
}

void TFilterList::Remove()
{
    QModelIndex current = lvLines->currentIndex();
    if (current.isValid())
        lines_->removeRows(current.row(), 1);
    UpdateButtons();
}

void TFilterList::UpdateButtons()
{
    bool chosen = lvLines->selectionModel()->hasSelection();
    btnEdit->setEnabled(chosen);
    btnRemove->setEnabled(chosen);
}

} // namespace arvelo
