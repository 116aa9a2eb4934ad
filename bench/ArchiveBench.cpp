// The cost of putting the files of one zip-mode run into its archive: n
// small files arrive over the run, 50 to a timer tick, and the task's archive
// takes them as a run does. Prints the time and the number of archive
// updates for 1,000 and 10,000 files, and the same with an update at every
// tick for comparison.
#include "BenchSupport.h"

#include "archive/TaskArchive.h"
#include "core/App.h"
#include "core/FileUtils.h"
#include "model/Task.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdlib>
#include <filesystem>

using namespace arvelo;

namespace {

constexpr int kFilesPerTick = 50;

// A run of n files; with everyTick the archive is updated at every tick.
void Run(int n, bool everyTick)
{
    TAVApp &app = *TAVApp::Instance();
    std::string temp = app.TempFolder();
    std::filesystem::remove_all(temp + "bench.example");
    TAVTask task;
    task.destination = app.DownloadsFolder() + "bench-" + std::to_string(n) + (everyTick ? "-tick" : "") + ".zip";
    std::filesystem::remove(task.destination);
    std::vector<std::string> files;
    for (int i = 0; i < n; ++i) {
        std::string file = temp + "bench.example/f" + std::to_string(i / 100) + "/page" + std::to_string(i) + ".html";
        files.push_back(file);
        ForceFolders(ExtractFilePath(file));
        SaveText(file, "<html><head><title>Page " + std::to_string(i) + "</title></head><body>" +
                           std::string(400 + i % 300, 'x') + "</body></html>\n");
    }
    TTaskArchive archive;
    bench::Stopwatch watch;
    int ticks = 0;
    for (int i = 0; i < n; i += kFilesPerTick) {
        for (int k = i; k < std::min(n, i + kFilesPerTick); ++k)
            task.zipQueue.Append(files[k], nullptr);
        // An update started at one tick may still run at the next.
        archive.Tick(task, false);
        if (everyTick)
            archive.Flush(task);
        ++ticks;
    }
    archive.Flush(task);
    double seconds = watch.Seconds();
    TZipArchive zip;
    zip.ZipFileName = task.destination;
    std::printf("%6d files, %4d ticks, %-20s %8.3f s  %4d archive updates  %6d entries  %7.1f MB\n", n, ticks,
                everyTick ? "update every tick:" : "planned updates:", seconds, archive.Updates(),
                zip.GetEntryCount(), std::filesystem::file_size(task.destination) / 1048576.0);
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    ::setenv("ARVELO_HOME", (home.path().toStdString() + "/home").c_str(), 1);
    ::setenv("TMPDIR", home.path().toStdString().c_str(), 1);
    QCoreApplication application(argc, argv);
    TAVApp app;
    for (int n : {1000, 10000})
        Run(n, false);
    for (int n : {1000, 10000})
        Run(n, true);
    return 0;
}
