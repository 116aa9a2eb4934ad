// The explore page over a task of 100,000 items (mixed states and marks),
// under the offscreen platform: binding the view, scrolling it from the top
// to the bottom a screen at a time, the memory the view adds over the item
// list, and "Mark for download", "All".
//   build/bin/bench_explore_view
// Goals: binding under 1 s; each screen repainted in under 16 ms; under
// 20 MB over the item list; the marking under 1 s with one counters notice.
#include "BenchSupport.h"

#include "core/App.h"
#include "core/FileUtils.h"
#include "core/Settings.h"
#include "crawl/Engine.h"
#include "crawl/RunEvents.h"
#include "model/ItemList.h"
#include "model/Task.h"
#include "monitor/ExploreModel.h"
#include "monitor/Marking.h"
#include "ui/monitor/FormExplore.h"

#include <QApplication>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <cstdlib>

using namespace arvelo;
using namespace arvelo::bench;

namespace {

constexpr int kItems = 100000;

void WriteTask(const std::string &taskFile)
{
    TAVTask task;
    task.taskName = "bench";
    task.taskFile = taskFile;
    task.status = tsStopped;
    const uint8_t states[] = {isNone, isNone, isError, isSaved, isParsed, isUpdated, isMapped};
    for (int i = 0; i < kItems; ++i) {
        auto item = std::make_unique<TAVQItem>(&task);
        item->Text().URL = "http://www.site.example/section" + std::to_string(i % 97) + "/page" + std::to_string(i) +
                           (i % 3 ? ".gif" : ".html");
        item->Text().referrer = "http://www.site.example/section" + std::to_string(i % 97) + "/";
        item->level = 1 + i % 5;
        item->SetGroup(i % 3 ? "Images" : "HTML");
        item->SetMark(static_cast<uint8_t>(i % 4));
        TAVQItem *added = task.items.AddItem(std::move(item));
        added->LoadFields();
        added->Text().title = "Page number " + std::to_string(i);
        added->Text().result = i % 7 == 2 ? "HTTP/1.1 404 Not Found" : "HTTP/1.1 200 OK";
        added->Text().lastModified = "Tue, 01 Dec 2026 10:00:00 GMT";
        added->size = 1000 + i;
        added->SetState(states[i % 7]);
        added->Publish(true);
    }
    task.pagesSaved = kItems / 3;
    task.resourcesSaved = kItems - kItems / 3;
    task.Save();
    task.items.SaveState();
}

} // namespace

int main(int argc, char **argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir work;
    const std::string home = work.path().toStdString() + "/";
    ::setenv("ARVELO_HOME", home.c_str(), 1);
    ReloadSettings();
    QApplication application(argc, argv);
    TAVApp app;
    app.RunFirstRun();
    const std::string taskFile = app.TasksFolder() + "General/bench.avt";
    WriteTask(taskFile);

    TRunEngine engine;
    TRunEvents events(engine);
    TExploreModel model(events);
    TFormExplore view(model);
    view.resize(1200, 800);
    view.show();
    (void)QTest::qWaitForWindowExposed(&view);
    TAVTask *task = engine.tasks.Open(taskFile);
    task->items.OpenItems();
    QCoreApplication::processEvents();
    const long before = ResidentKilobytes();

    Stopwatch bind;
    engine.run.SelectTask(task);
    view.lvExplore->viewport()->repaint();
    Report("bind the view to 100,000 items", bind.Seconds() * 1000, "ms (goal < 1000)");

    QScrollBar *bar = view.lvExplore->verticalScrollBar();
    double slowest = 0, total = 0;
    int screens = 0;
    for (int at = 0; at <= bar->maximum(); at += std::max(1, bar->pageStep())) {
        bar->setValue(at);
        Stopwatch paint;
        view.lvExplore->viewport()->repaint();
        const double ms = paint.Seconds() * 1000;
        slowest = std::max(slowest, ms);
        total += ms;
        ++screens;
    }
    Report("scroll to the bottom: screens", screens, "");
    Report("scroll to the bottom: slowest screen", slowest, "ms (goal < 16)");
    Report("scroll to the bottom: mean screen", total / std::max(1, screens), "ms");
    Report("memory the view adds over the item list", (ResidentKilobytes() - before) / 1024.0, "MB (goal < 20)");

    int notices = 0;
    QObject::connect(&events, &TRunEvents::Counters, [&] { ++notices; });
    Stopwatch mark;
    const TMarkedRows marked = MarkItems(*task, TMarkCommand::kDownloadAll, {});
    model.RowsChanged(marked.first, marked.last);
    view.lvExplore->viewport()->repaint();
    Report("\"Mark for download\", \"All\"", mark.Seconds() * 1000, "ms (goal < 1000)");
    Report("  items changed", static_cast<double>(marked.count), "");
    Report("  counters notices", notices, "(goal 1)");
    return 0;
}
