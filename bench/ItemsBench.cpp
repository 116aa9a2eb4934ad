// Figures for a task of 100,000 items: opening its state file (in a process
// of its own, so that the memory figure is the opening's alone), selecting
// every item once, and looking up known addresses.
#include "BenchSupport.h"

#include "core/App.h"
#include "core/FileUtils.h"
#include "core/Settings.h"
#include "model/Task.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace arvelo;

namespace {

constexpr int kItems = 100000;

std::string Address(int i)
{
    return "http://www.site.example/section" + std::to_string(i % 97) + "/page" + std::to_string(i) +
           (i % 3 ? ".gif" : ".html");
}

std::unique_ptr<TAVTask> MakeTask(const std::string &home)
{
    auto task = std::make_unique<TAVTask>();
    task->taskName = "bench";
    task->taskFile = home + "Tasks/General/bench.avt";
    return task;
}

// Half of the items parsed, half waiting, as in a task stopped midway.
void WriteStateFile(const std::string &home)
{
    auto task = MakeTask(home);
    for (int i = 0; i < kItems; ++i) {
        auto item = std::make_unique<TAVQItem>(task.get());
        item->Text().URL = Address(i);
        item->Text().referrer = "http://www.site.example/section" + std::to_string(i % 97) + "/";
        item->level = 1 + i % 5;
        item->SetGroup(i % 3 ? "Images" : "HTML");
        TAVQItem *added = task->items.AddItem(std::move(item));
        added->LoadFields();
        added->Text().title = "Page number " + std::to_string(i);
        added->Text().result = "HTTP/1.0 200 OK";
        added->size = 1000 + i;
        added->SetState(i % 2 ? isParsed : isNone);
        added->Publish(true);
    }
    task->items.SaveState();
    std::printf("state file: %zu bytes, %d items\n", ReadFileBytes(task->StateFile()).size(), kItems);
}

int Measure(const std::string &home)
{
    TAVApp app;
    long before = bench::ResidentKilobytes();
    auto task = MakeTask(home);
    bench::Stopwatch open;
    task->items.OpenItems();
    bench::Report("OpenItems of 100,000 items", open.Seconds(), "s");
    bench::Report("process growth by OpenItems", (bench::ResidentKilobytes() - before) / 1024.0, "MB");

    bench::Stopwatch select;
    int selected = 0;
    while (TAVQItem *item = task->items.NextPage()) {
        item->SetState(isSaved);
        ++selected;
    }
    while (TAVQItem *item = task->items.NextOtherFile()) {
        item->SetState(isSaved);
        ++selected;
    }
    while (TAVQItem *item = task->items.NextPageToParse()) {
        item->SetState(isParsed);
        ++selected;
    }
    bench::Report("selecting every waiting item, then parsing pages", select.Seconds(), "s");
    std::printf("selections: %d\n", selected);

    std::vector<std::string> addresses;
    for (int i = 0; i < kItems; ++i)
        addresses.push_back(LowerAscii(Address(i)));
    bench::Stopwatch lookups;
    int known = 0;
    for (const std::string &address : addresses)
        known += task->items.IsKnown(address) ? 1 : 0;
    bench::Report("known-address look-up, letter case ignored", lookups.Seconds() / kItems * 1e9, "ns");
    return known == kItems ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--open") {
        ::setenv("ARVELO_HOME", argv[2], 1);
        return Measure(argv[2]);
    }
    QTemporaryDir dir;
    std::string home = dir.path().toStdString() + "/";
    ::setenv("ARVELO_HOME", home.c_str(), 1);
    ReloadSettings();
    {
        TAVApp app;
        WriteStateFile(home);
    }
    std::string command = "\"" + QCoreApplication::applicationFilePath().toStdString() + "\" --open \"" + home + "\"";
    return std::system(command.c_str()) == 0 ? 0 : 1;
}
