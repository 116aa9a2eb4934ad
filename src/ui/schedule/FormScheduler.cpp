#include "ui/schedule/FormScheduler.h"

#include "core/App.h"
#include "core/Desktop.h"
#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "crawl/Engine.h"
#include "crawl/LocalNames.h"
#include "crawl/URL.h"
#include "model/ActiveTaskList.h"
#include "model/Task.h"
#include "schedule/RunChoice.h"
#include "schedule/Schedule.h"
#include "schedule/TaskManager.h"
#include "ui/common/FileDeleteProgress.h"
#include "ui/common/StyleProxy.h"
#include "ui/common/Text.h"
#include "ui/editors/DlgEditTask.h"
#include "ui/monitor/DlgTaskReport.h"
#include "ui/schedule/DlgRunTask.h"
#include "ui/schedule/DlgSchedule.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QToolTip>
#include <QListWidget>
#include <QToolButton>
#include <QSplitter>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace arvelo {

TFormScheduler::TFormScheduler(TRunEngine &engine, TRunEvents &events, QWidget *parent)
    : QWidget(parent), engine_(engine), tasks_(new TTaskTableModel(events, this)),
      styled_(new TStyleProxy(TTaskTableModel::kToneRole, TTaskTableModel::kIconRole, this)),
      folders_(new QFileSystemModel(this))
{
    setObjectName(QStringLiteral("FormScheduler"));
    TAVApp &app = *TAVApp::Instance();

    tvActive = new QListWidget(this);
    tvActive->setObjectName(QStringLiteral("tvActive"));
    tvActive->addItem(QStringLiteral("Active Tasks"));
    tvActive->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tvActive->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tvActive->setFixedHeight(tvActive->sizeHintForRow(0) + 2 * tvActive->frameWidth() + 4);
    tvCategories = new QTreeView(this);
    tvCategories->setObjectName(QStringLiteral("tvCategories"));
    tvCategories->setHeaderHidden(true);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    folders_->setReadOnly(false);
    tvCategories->setModel(folders_);
    for (int column = 1; column < folders_->columnCount(); ++column)
        tvCategories->hideColumn(column);
    tvCategories->setRootIndex(folders_->setRootPath(Q(ExcludeTrailingSlash(app.TasksFolder()))));

    lvTasks = new QTreeView(this);
    lvTasks->setObjectName(QStringLiteral("lvTasks"));
    styled_->setSourceModel(tasks_);
    lvTasks->setModel(styled_);
    lvTasks->setRootIsDecorated(false);
    lvTasks->setUniformRowHeights(true);
    lvTasks->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvTasks->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvTasks->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    lvTasks->header()->setSectionResizeMode(QHeaderView::Interactive);
    lvTasks->setColumnWidth(TTaskTableModel::colName, 160);
    lvTasks->viewport()->installEventFilter(this);

    auto button = [this](QToolButton *&target, const char *name, const char *text) {
        target = new QToolButton(this);
        target->setText(QString::fromLatin1(text));
        target->setObjectName(QString::fromLatin1(name));
    };
    button(btnTaskRun, "btnTaskRun", "Run");
    button(btnTaskStop, "btnTaskStop", "Stop");
    button(btnTaskBrowse, "btnTaskBrowse", "Browse");
    button(btnTaskExplore, "btnTaskExplore", "Explore");
    button(btnTaskEdit, "btnTaskEdit", "Edit");
    button(btnTaskSchedule, "btnTaskSchedule", "Schedule");
    button(btnTaskDelete, "btnTaskDelete", "Delete");
    connect(btnTaskRun, &QToolButton::clicked, this, &TFormScheduler::Run);
    connect(btnTaskStop, &QToolButton::clicked, this, &TFormScheduler::Stop);
    connect(btnTaskEdit, &QToolButton::clicked, this, &TFormScheduler::Edit);
    connect(btnTaskSchedule, &QToolButton::clicked, this, &TFormScheduler::Schedule);
    connect(btnTaskDelete, &QToolButton::clicked, this, &TFormScheduler::Delete);
    connect(btnTaskExplore, &QToolButton::clicked, this, &TFormScheduler::Explore);
    lvTasks->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvTasks, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { Q_EMIT PopupRequested(lvTasks->viewport()->mapToGlobal(at)); });

    tvCategories->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Only a category just made is named in place: tasks already read keep
    // the folder they were read from.
    tvCategories->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto *newCategory = new QAction(QStringLiteral("New Category..."), tvCategories);
    newCategory->setObjectName(QStringLiteral("miNewCategory"));
    connect(newCategory, &QAction::triggered, this, &TFormScheduler::NewCategory);
    tvCategories->addAction(newCategory);
    tvCategories->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *left = new QWidget(this);
    left->setMinimumWidth(120);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(tvActive);
    leftLayout->addWidget(tvCategories, 1);
    auto *right = new QWidget(this);
    auto *buttons = new QHBoxLayout;
    for (QToolButton *b : {btnTaskRun, btnTaskStop, btnTaskBrowse, btnTaskExplore, btnTaskEdit, btnTaskSchedule, btnTaskDelete})
        buttons->addWidget(b);
    buttons->setSpacing(2);
    buttons->addStretch();
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addLayout(buttons);
    rightLayout->addWidget(lvTasks, 1);
    auto *split = new QSplitter(this);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(1, 1);
    split->setSizes({170, 600});
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(split);

    connect(tvActive, &QListWidget::itemClicked, this, [this] { ShowActiveTasks(); });
    connect(folders_, &QFileSystemModel::fileRenamed, this,
            [this](const QString &, const QString &oldName, const QString &newName) {
                if (S(oldName) == category_)
                    ShowCategory(S(newName));
            });
    connect(tvCategories->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &index) {
        if (index.isValid())
            ShowCategory(S(index.data().toString()));
    });
    connect(lvTasks->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TFormScheduler::UpdateCommands);
    auto browse = [this] {
        std::vector<TAVTask *> selection = Selection();
        if (!selection.empty())
            Q_EMIT BrowseRequested(selection.front());
    };
    connect(btnTaskBrowse, &QToolButton::clicked, this, browse);
    connect(lvTasks, &QAbstractItemView::doubleClicked, this, browse);
    // The focused task decides the states.
    connect(lvTasks->selectionModel(), &QItemSelectionModel::currentChanged, this, &TFormScheduler::UpdateCommands);
    connect(tasks_, &QAbstractItemModel::dataChanged, this, &TFormScheduler::UpdateCommands);
    connect(tasks_, &QAbstractItemModel::modelReset, this, &TFormScheduler::UpdateCommands);
    connect(tasks_, &QAbstractItemModel::rowsRemoved, this, &TFormScheduler::UpdateCommands);
    ShowCategory(app.LastCategory());
    // The folders are read in the background: the last category is marked once they are in.
    connect(folders_, &QFileSystemModel::directoryLoaded, this, [this] {
        if (category_.empty() || tvCategories->currentIndex().isValid())
            return;
        QModelIndex last = folders_->index(Q(TAVApp::Instance()->TasksFolder() + category_));
        if (last.isValid())
            tvCategories->setCurrentIndex(last);
    });
}

TFormScheduler::~TFormScheduler()
{
    // Their work runs on this pane's threads.
    delete reportWindow_;
    listJob_.reset();
}

std::vector<TAVTask *> TFormScheduler::Selection() const
{
    std::vector<TAVTask *> chosen;
    const QModelIndex current = lvTasks->currentIndex();
    if (current.isValid() && lvTasks->selectionModel()->isRowSelected(current.row(), {}))
        chosen.push_back(tasks_->TaskAt(current.row()));
    for (const QModelIndex &row : lvTasks->selectionModel()->selectedRows())
        if (TAVTask *task = tasks_->TaskAt(row.row()); task && (chosen.empty() || chosen.front() != task))
            chosen.push_back(task);
    return chosen;
}

TAVTask *TFormScheduler::IconAt(const QPoint &point) const
{
    const QModelIndex index = lvTasks->indexAt(point);
    if (!index.isValid() || index.column() != TTaskTableModel::colName)
        return nullptr;
    const QRect cell = lvTasks->visualRect(index);
    const int iconEnd = cell.left() + lvTasks->style()->pixelMetric(QStyle::PM_SmallIconSize) + 6;
    return point.x() <= iconEnd ? tasks_->TaskAt(index.row()) : nullptr;
}

bool TFormScheduler::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != lvTasks->viewport())
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        if (TAVTask *task = IconAt(help->pos())) {
            static const char *const kHints[] = {"Run", "Stop", "Scheduled"};
            QToolTip::showText(help->globalPos(), QString::fromLatin1(kHints[TaskIcon(*task)]), lvTasks);
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonRelease) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        TAVTask *task = mouse->button() == Qt::LeftButton ? IconAt(mouse->position().toPoint()) : nullptr;
        // The run icon runs the task, the stop icon stops it; the clock does nothing.
        if (task && TaskIcon(*task) != tiScheduled) {
            lvTasks->selectionModel()->setCurrentIndex(styled_->mapFromSource(tasks_->index(tasks_->RowOf(task), 0)),
                                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            TaskIcon(*task) == tiStop ? Stop() : Run();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFormScheduler::ShowActiveTasks()
{
    category_.clear();
    tvCategories->clearSelection();
    Relist();
}

void TFormScheduler::ShowCategory(const std::string &category)
{
    if (!ValidTaskName(category))
        return;
    category_ = category;
    TAVApp::Instance()->SetLastCategory(category);
    tvActive->clearSelection();
    Relist();
}

void TFormScheduler::Relist()
{
    TAVApp &app = *TAVApp::Instance();
    std::vector<TAVTask *> rows;
    if (category_.empty()) {
        for (const auto &entry : app.ActiveTasks().Entries())
            if (TAVTask *task = engine_.tasks.Open(entry.path))
                rows.push_back(task);
    } else {
        rows = engine_.tasks.ListCategory(app.TasksFolder() + category_);
    }
    tasks_->SetTasks(std::move(rows));
}

TTaskCommandStates TFormScheduler::States() const
{
    std::vector<const TAVTask *> selection;
    for (TAVTask *task : Selection())
        selection.push_back(task);
    return TaskCommandStates(selection, engine_.run.RunningTask() != nullptr);
}

void TFormScheduler::CopyStartPage(bool local)
{
    std::vector<TAVTask *> selection = Selection();
    if (selection.empty() || (local && !selection.front()->intranetMode))
        return;
    const TAVTask &task = *selection.front();
    const std::string text = local ? LocalFileName(task.destination, URLDirectory(task.url), task.url) : task.url;
    QGuiApplication::clipboard()->setText(Q(text));
}

void TFormScheduler::UpdateCommands()
{
    const TTaskCommandStates states = States();
    btnTaskRun->setEnabled(states.run);
    btnTaskStop->setEnabled(states.stop);
    btnTaskEdit->setEnabled(states.edit);
    btnTaskSchedule->setEnabled(states.schedule);
    btnTaskDelete->setEnabled(states.del);
    btnTaskExplore->setEnabled(states.explore);
    btnTaskBrowse->setEnabled(states.browse);
}

bool TFormScheduler::Save(TAVTask &task)
{
    try {
        task.Save();
        return true;
    } catch (const EFileError &error) {
        Notifier().Error(error.what());
        return false;
    }
}

void TFormScheduler::AddTask(const std::string &taskFile)
{
    std::unique_ptr<TAVTask> task = TTaskManager::Read(taskFile);
    if (!task)
        return;
    TdlgEditTask editor(*task, TTaskEditTitle::kAdd, {}, this);
    editor.SetBusyCheck([this](const std::string &file) {
        TAVTask *known = engine_.tasks.Find(file);
        return known && !CommandAppliesTo(TTaskCommand::kDelete, *known);
    });
    if (editor.exec() != QDialog::Accepted)
        return;
    // The replaced task's file now holds this one: its object goes.
    if (TAVTask *replaced = engine_.tasks.Find(task->taskFile); replaced && editor.Replacing())
        Forget(*replaced);
    const std::string category = task->category;
    engine_.tasks.Add(std::move(task));
    ShowCategory(category);
}

void TFormScheduler::NewCategory()
{
    const std::string folder = UniqueFileName(TAVApp::Instance()->TasksFolder() + "New Category");
    ForceFolders(folder);
    const QModelIndex created = folders_->index(Q(folder));
    if (!created.isValid())
        return;
    tvCategories->setCurrentIndex(created);
    tvCategories->edit(created);
}

void TFormScheduler::Run() { RunTasks(Selection()); }

void TFormScheduler::RunTasks(const std::vector<TAVTask *> &tasks)
{
    bool any = false;
    for (TAVTask *task : tasks) {
        if (!CommandAppliesTo(TTaskCommand::kRun, *task))
            continue;
        if (NeedsRunChoice(*task)) {
            TdlgRunTask choice(*task, this);
            if (choice.exec() != QDialog::Accepted)
                continue;
        }
        ScheduleNow(*task);
        any |= Save(*task);
    }
    if (any)
        Q_EMIT RunRequested();
    UpdateCommands();
}

void TFormScheduler::Stop()
{
    for (TAVTask *task : Selection())
        if (CommandAppliesTo(TTaskCommand::kStop, *task) && engine_.run.RunningTask() == task)
            engine_.run.StopTask(*task);
    UpdateCommands();
}

void TFormScheduler::Edit()
{
    std::vector<TAVTask *> selection = Selection();
    if (selection.empty() || !CommandAppliesTo(TTaskCommand::kEdit, *selection.front()))
        return;
    TAVTask &task = *selection.front();
    const std::string category = task.category;
    TdlgEditTask editor(task, TTaskEditTitle::kEdit, {}, this);
    if (editor.exec() != QDialog::Accepted)
        return;
    if (task.category != category && !category_.empty())
        ShowCategory(task.category);
    UpdateCommands();
}

void TFormScheduler::Schedule()
{
    std::vector<TAVTask *> selection = Selection();
    if (selection.empty() || !CommandAppliesTo(TTaskCommand::kSchedule, *selection.front()))
        return;
    TdlgSchedule dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    TAVTask &task = *selection.front();
    task.status = tsScheduled;
    task.schedule = dialog.Schedule().text;
    task.nextRun = dialog.Schedule().nextRun;
    Save(task);
    UpdateCommands();
}

void TFormScheduler::Unschedule()
{
    for (TAVTask *task : Selection()) {
        if (!CommandAppliesTo(TTaskCommand::kUnschedule, *task))
            continue;
        task->status = tsUnscheduled;
        task->schedule.clear();
        task->nextRun = TDateTime();
        Save(*task);
    }
    UpdateCommands();
}

void TFormScheduler::Delete()
{
    std::vector<TAVTask *> selection = Selection();
    if (selection.empty() || !Notifier().Confirm("Are you sure you want to delete the selected Task/s? "))
        return;
    auto confirm = [](const std::string &question) { return Notifier().Confirm(question); };
    TFileDeleteProgress progress(static_cast<int>(selection.size()), this);
    for (TAVTask *task : selection) {
        if (!CommandAppliesTo(TTaskCommand::kDelete, *task))
            continue;
        if (!progress.Next(task->taskFile))
            break;
        if (TTaskManager::TrashTaskFiles(*task, confirm))
            Forget(*task);
    }
    progress.Done();
    UpdateCommands();
}

void TFormScheduler::Explore()
{
    std::vector<TAVTask *> selection = Selection();
    if (!selection.empty() && States().explore)
        Q_EMIT ExploreRequested(selection.front());
}

void TFormScheduler::Report(TReportKind kind)
{
    std::vector<TAVTask *> selection = Selection();
    if (selection.empty())
        return;
    TAVTask &task = *selection.front();
    TAVApp &app = *TAVApp::Instance();
    if (kind == TReportKind::kErrors || kind == TReportKind::kPageList) {
        // Written anew each time, and opened in the default browser.
        listJob_.reset(); // one at a time
        listJob_ = std::make_unique<TReportJob>(listThread_, task.taskFile, kind, app.TempFolder());
        listJob_->OnDone = [](const std::string &file) {
            if (!file.empty())
                QDesktopServices::openUrl(QUrl::fromLocalFile(Q(file)));
        };
        listJob_->Start();
        return;
    }
    if (!task.intranetMode && !FileExists(task.destination)) {
        if (Notifier().Confirm("This task has not been run, or its resulting Zip file no longer exists. Run it now?"))
            RunTasks({&task});
        return;
    }
    // A folder-mode task's reports lie beside its copy: one written before opens at once.
    if (const std::string written = task.intranetMode ? WrittenReport(task, kind) : std::string(); !written.empty())
        StartProgram(app.Browser(), {written});
    else
        OpenReportWindow(task, kind);
}

void TFormScheduler::OpenReportWindow(const TAVTask &task, TReportKind kind)
{
    delete reportWindow_;
    reportWindow_ = new TdlgTaskReport(reportThread_, task.taskFile, kind, this);
    reportWindow_->show();
}

void TFormScheduler::Forget(TAVTask &task)
{
    if (engine_.run.CurrentTask() == &task)
        engine_.run.SelectTask(nullptr);
    engine_.tasks.Remove(&task);
}

} // namespace arvelo
