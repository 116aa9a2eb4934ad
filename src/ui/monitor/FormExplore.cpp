#include "ui/monitor/FormExplore.h"

#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "model/Task.h"
#include "monitor/ExploreModel.h"
#include "ui/common/StyleProxy.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

namespace arvelo {

namespace {

// A mark's picture: a rounded square with its letter, or an empty frame.
QIcon MarkIcon(const QColor &colour, const QString &letter)
{
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    if (letter.isEmpty()) {
        painter.setPen(QPen(colour, 1.2));
        painter.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 2, 2);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawRoundedRect(QRectF(1, 1, 14, 14), 3, 3);
        QFont font = painter.font();
        font.setPixelSize(11);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, letter);
    }
    return QIcon(picture);
}

} // namespace

TFormExplore::TFormExplore(TExploreModel &model, QWidget *parent) : QWidget(parent), model_(model)
{
    setObjectName(QStringLiteral("FormExplore"));
    QStyle *style = QApplication::style();
    // By TExploreTone and TExploreIcon.
    styled_ = new TStyleProxy(
        TExploreModel::kToneRole,
        {QColor(128, 128, 128), QColor(0, 128, 0), QColor(255, 0, 0), QColor(128, 0, 0), QColor(0, 0, 128)},
        TExploreModel::kIconRole,
        {MarkIcon(QColor(128, 128, 128), {}), MarkIcon(QColor(0, 90, 200), QStringLiteral("D")),
         MarkIcon(QColor(130, 60, 170), QStringLiteral("M")), MarkIcon(QColor(0, 130, 130), QStringLiteral("U")),
         style->standardIcon(QStyle::SP_MessageBoxCritical), style->standardIcon(QStyle::SP_DialogApplyButton)},
        this);
    styled_->setSourceModel(&model_);

    lvExplore = new QTreeView(this);
    lvExplore->setObjectName(QStringLiteral("lvExplore"));
    lvExplore->setModel(styled_);
    lvExplore->setRootIsDecorated(false);
    lvExplore->setUniformRowHeights(true); // rows are measured once, however many
    lvExplore->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvExplore->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvExplore->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvExplore->setAllColumnsShowFocus(true);
    lvExplore->header()->setSectionResizeMode(QHeaderView::Interactive);
    const int widths[TExploreModel::kColumns] = {44, 80, 180, 260, 70, 70, 150, 130, 44, 260};
    for (int column = 0; column < TExploreModel::kColumns; ++column)
        lvExplore->setColumnWidth(column, widths[column]);
    lvExplore->viewport()->installEventFilter(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(lvExplore);

    pmExplore = new QMenu(this);
    pmExplore->setObjectName(QStringLiteral("pmExplore"));
    auto entry = [this](QMenu *menu, const char *name, const char *text, TMarkCommand command) {
        QAction *action = menu->addAction(QString::fromLatin1(text));
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, [this, command] { Mark(command); });
        marking_.push_back(action);
    };
    QMenu *download = pmExplore->addMenu(QStringLiteral("Mark for download"));
    entry(download, "pmiDownloadSelected", "Selected", TMarkCommand::kDownloadSelected);
    entry(download, "pmiDownloadAll", "All", TMarkCommand::kDownloadAll);
    entry(download, "pmiDownloadErrors", "All errors", TMarkCommand::kDownloadErrors);
    entry(download, "pmiDownloadUnmarked", "All unmarked", TMarkCommand::kDownloadUnmarked);
    QMenu *update = pmExplore->addMenu(QStringLiteral("Mark for update"));
    entry(update, "pmiUpdateSelected", "Selected", TMarkCommand::kUpdateSelected);
    entry(update, "pmiUpdateAll", "All", TMarkCommand::kUpdateAll);
    QMenu *map = pmExplore->addMenu(QStringLiteral("Mark for mapping"));
    entry(map, "pmiMapSelected", "Selected", TMarkCommand::kMapSelected);
    entry(map, "pmiMapAll", "All", TMarkCommand::kMapAll);
    QMenu *unmark = pmExplore->addMenu(QStringLiteral("Unmark"));
    entry(unmark, "pmiUnmarkSelected", "Selected", TMarkCommand::kUnmarkSelected);
    entry(unmark, "pmiUnmarkAll", "All", TMarkCommand::kUnmarkAll);
    pmExplore->addSeparator();
    // The selected item in one of the two browsers found, its copy or its address.
    browse_ = pmExplore->addMenu(QStringLiteral("&Browse"));
    browse_->setObjectName(QStringLiteral("pmiBrowse"));
    for (const bool online : {false, true}) {
        QMenu *place = browse_->addMenu(online ? QStringLiteral("On Internet") : QStringLiteral("&Offline"));
        for (const int browser : {1, 2}) {
            QAction *action = place->addAction(browser == 1 ? QStringLiteral("Web Browser...")
                                                            : QStringLiteral("Other Web Browser..."));
            action->setObjectName(QStringLiteral("pmiBrowse%1%2")
                                      .arg(browser == 1 ? QStringLiteral("First") : QStringLiteral("Second"),
                                           online ? QStringLiteral("Online") : QStringLiteral("Offline")));
            connect(action, &QAction::triggered, this, [this, online, browser] {
                const std::vector<int> rows = SelectedRows();
                if (TAVTask *task = model_.Task(); task && !rows.empty())
                    Q_EMIT BrowseWithRequested(task, rows.front(), online, browser);
            });
        }
    }

    lvExplore->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvExplore, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { pmExplore->popup(lvExplore->viewport()->mapToGlobal(at)); });
    connect(pmExplore, &QMenu::aboutToShow, this, &TFormExplore::UpdateMenu);
    connect(lvExplore->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TFormExplore::UpdateMenu);
    connect(lvExplore, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (TAVTask *task = model_.Task())
            Q_EMIT BrowseRequested(task, index.row());
    });
    UpdateMenu();
}

TFormExplore::~TFormExplore() { model_.Bind(nullptr); }

std::vector<int> TFormExplore::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex &index : lvExplore->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TFormExplore::UpdateMenu()
{
    const TAVTask *task = model_.Task();
    const bool on = task && MarkingAllowed(*task) && lvExplore->selectionModel()->hasSelection();
    for (QAction *action : marking_)
        action->setEnabled(on);
    browse_->setEnabled(task && lvExplore->selectionModel()->hasSelection());
}

void TFormExplore::Mark(TMarkCommand command)
{
    TAVTask *task = model_.Task();
    if (!task)
        return;
    model_.Flush(); // rows the command reads are the ones shown
    try {
        const TMarkedRows marked = MarkItems(*task, command, SelectedRows());
        model_.RowsChanged(marked.first, marked.last);
    } catch (const EFileError &error) {
        Notifier().Error(error.what());
    }
}

bool TFormExplore::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lvExplore->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QModelIndex index = lvExplore->indexAt(mouse->position().toPoint());
        TAVTask *task = model_.Task();
        // The mark's picture toggles the mark of a waiting item.
        if (task && mouse->button() == Qt::LeftButton && index.isValid() && index.column() == TExploreModel::colMark) {
            try {
                if (ToggleMark(*task, index.row()))
                    model_.RowsChanged(index.row(), index.row());
            } catch (const EFileError &error) {
                Notifier().Error(error.what());
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace arvelo
