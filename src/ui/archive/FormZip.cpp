#include "ui/archive/FormZip.h"

#include "ui/archive/ZipIcons.h"
#include "ui/common/Text.h"

#include "archive/ZipBrowser.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace arvelo {

TFormZip::TFormZip(TZipBrowser &browser, QWidget *parent) : QWidget(parent), browser_(browser)
{
    setObjectName(QStringLiteral("FormZip"));
    lvZip = new QTreeView(this);
    lvZip->setObjectName(QStringLiteral("lvZip"));
    auto *icons = new TZipIconProxy(this);
    icons->setSourceModel(&browser.EntryModel());
    lvZip->setModel(icons);
    lvZip->setRootIsDecorated(false);
    lvZip->setUniformRowHeights(true);
    lvZip->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvZip->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvZip->setSortingEnabled(true);
    lvZip->sortByColumn(-1, Qt::AscendingOrder);
    lvZip->setAllColumnsShowFocus(true);
    lvZip->setContextMenuPolicy(Qt::CustomContextMenu);
    QHeaderView *header = lvZip->header();
    header->setSortIndicatorShown(true);
    header->setStretchLastSection(true);
    const int widths[] = {200, 80, 80, 50, 130, 150};
    for (int column = 0; column < TZipEntryModel::colCount; ++column)
        lvZip->setColumnWidth(column, widths[column]);

    lblTotal = new QLabel(this);
    lblTotal->setObjectName(QStringLiteral("lblTotal"));
    lblSelected = new QLabel(this);
    lblSelected->setObjectName(QStringLiteral("lblSelected"));
    lblSelected->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *lines = new QHBoxLayout;
    lines->setContentsMargins(4, 2, 4, 2);
    lines->setSpacing(16);
    lines->addWidget(lblTotal, 1);
    lines->addWidget(lblSelected);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(lvZip, 1);
    layout->addLayout(lines);

    connect(&browser, &TZipBrowser::EntriesChanged, this, &TFormZip::UpdateLines);
    connect(lvZip->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TFormZip::UpdateLines);
    connect(lvZip, &QTreeView::doubleClicked, this, [this](const QModelIndex &index) {
        Q_EMIT OpenEntryRequested(browser_.EntryModel().Row(index.row()).Entry());
    });
    connect(lvZip, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { Q_EMIT PopupRequested(lvZip->viewport()->mapToGlobal(at)); });
    UpdateLines();
}

std::vector<int> TFormZip::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex &index : lvZip->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TFormZip::UpdateLines()
{
    lblTotal->setText(Q(browser_.EntryModel().TotalsLine(browser_.EntryCount(browser_.CurrentArchive()))));
    lblSelected->setText(Q(browser_.EntryModel().SelectionLine(SelectedRows())));
}

} // namespace arvelo
