#include "ui/archive/ZipPane.h"

#include "ui/archive/ZipIcons.h"
#include "ui/common/Text.h"

#include "archive/ZipBrowser.h"
#include "core/FileUtils.h"

#include <QFileSystemModel>
#include <QTabBar>
#include <QTreeView>

namespace arvelo {

TZipPane::TZipPane(TZipBrowser &browser, QWidget *parent) : QTabWidget(parent), browser_(browser)
{
    setObjectName(QStringLiteral("pcZips"));
    tvZip = new QTreeView(this);
    tvZip->setObjectName(QStringLiteral("tvZip"));
    tvZip->setHeaderHidden(true);
    tvZip->setUniformRowHeights(true);
    tvZip->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    auto *archiveIcons = new TZipIconProxy(this);
    archiveIcons->setSourceModel(&browser.TreeModel());
    tvZip->setModel(archiveIcons);
    tvZip->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tvZip, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { Q_EMIT PopupRequested(tvZip->viewport()->mapToGlobal(at)); });

    tvPages = new QTreeView(this);
    tvPages->setObjectName(QStringLiteral("tvPages"));
    tvPages->setHeaderHidden(true);
    tvPages->setRootIsDecorated(false);
    tvPages->setUniformRowHeights(true);
    auto *pageIcons = new TZipIconProxy(this);
    pageIcons->setSourceModel(&browser.PagesModel());
    tvPages->setModel(pageIcons);

    tvIntranet = new QTreeView(this);
    tvIntranet->setObjectName(QStringLiteral("tvIntranet"));
    tvIntranet->setHeaderHidden(true);
    intranetModel_ = new QFileSystemModel(this);
    intranetModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    tvIntranet->setModel(intranetModel_);
    for (int column = 1; column < intranetModel_->columnCount(); ++column)
        tvIntranet->hideColumn(column);

    // Captions whole; a narrow pane scrolls its tabs.
    tabBar()->setElideMode(Qt::ElideNone);
    addTab(tvZip, QStringLiteral("Zips"));
    addTab(tvPages, QStringLiteral("Pages"));
    addTab(tvIntranet, QStringLiteral("Personal Intranet"));

    // The browser decides whether the selection may move; a refusal puts
    // the view back on its node.
    connect(tvZip->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current) {
        if (following_)
            return;
        TZipNode *node = browser_.TreeModel().NodeOf(static_cast<TZipIconProxy *>(tvZip->model())->mapToSource(current));
        TZipNode *before = browser_.CurrentArchive();
        if (!browser_.Select(node)) {
            ShowSelection(browser_.Selected());
            return;
        }
        if (node && node->Root() != before)
            Q_EMIT ArchiveSelected(node->Root());
    });
    connect(&browser, &TZipBrowser::SelectionChanged, this, &TZipPane::ShowSelection);
    // The pages list its first page chosen.
    connect(&browser.PagesModel(), &QAbstractItemModel::modelReset, this, [this] {
        if (tvPages->model()->rowCount() > 0)
            tvPages->setCurrentIndex(tvPages->model()->index(0, 0));
    });
    connect(this, &QTabWidget::currentChanged, this, [this](int tab) {
        widget(tab)->setFocus();
        if (widget(tab) == tvIntranet)
            Q_EMIT IntranetChosen();
    });
}

void TZipPane::ShowSelection(TZipNode *node)
{
    following_ = true;
    const QModelIndex at = static_cast<TZipIconProxy *>(tvZip->model())->mapFromSource(browser_.TreeModel().IndexOf(node));
    tvZip->setCurrentIndex(at);
    if (node && !node->parent)
        tvZip->expand(at);
    following_ = false;
}

void TZipPane::SetIntranetFolder(const std::string &folder)
{
    tvIntranet->setRootIndex(intranetModel_->setRootPath(Q(folder)));
}

void TZipPane::ShowIntranetFolder(const std::string &folder)
{
    const QSignalBlocker quiet(this); // not the Browse page's own refresh
    setCurrentWidget(tvIntranet);
    const QModelIndex at = intranetModel_->index(Q(ExcludeTrailingSlash(folder)));
    for (QModelIndex up = at.parent(); up.isValid(); up = up.parent())
        tvIntranet->expand(up);
    tvIntranet->setCurrentIndex(at);
    tvIntranet->scrollTo(at);
}

std::string TZipPane::IntranetSelection() const
{
    const QModelIndex at = tvIntranet->currentIndex();
    return at.isValid() ? S(intranetModel_->filePath(at)) : std::string();
}

std::string TZipPane::PageSelection() const
{
    const QModelIndex at = tvPages->currentIndex();
    return at.isValid() ? browser_.PagesModel().Entry(at.row()) : std::string();
}

void TZipPane::StartRename()
{
    const QModelIndex at = tvZip->currentIndex();
    TZipNode *root = browser_.CurrentArchive();
    if (!root)
        return;
    const QModelIndex rootIndex =
        static_cast<TZipIconProxy *>(tvZip->model())->mapFromSource(browser_.TreeModel().IndexOf(root));
    if (at != rootIndex)
        ShowSelection(root);
    tvZip->setFocus();
    tvZip->edit(rootIndex);
}

} // namespace arvelo
