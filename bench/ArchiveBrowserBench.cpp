// The archive browser under the offscreen platform, with the real trees and
// entry list: opening a 10,000-entry archive, then adding, listing and
// extracting 200 MB while the window thread's gaps are measured, and
// deleting a folder of 1,000 entries.
//   build/bin/bench_archive_browser
// Goals: the archive open (tree and list) in under 1 s; no window-thread gap
// over 50 ms while 200 MB are added, listed and extracted; the folder's
// deletion one archive update.
#include "BenchSupport.h"
#include "GuiBench.h"

#include "archive/ZipBrowser.h"
#include "core/App.h"
#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "core/Settings.h"
#include "core/WindowThread.h"
#include "ui/archive/FormZip.h"
#include "ui/archive/ZipPane.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <sys/stat.h>

#include <cstdlib>
#include <random>

using namespace arvelo;
using namespace arvelo::bench;

namespace {

// An archive of small pages in folders, written by the component.
void MakeManyEntries(const std::string &folder, const std::string &archive, int folders = 100, int perFolder = 100)
{
    StringList names;
    for (int f = 0; f < folders; ++f)
        for (int i = 0; i < perFolder; ++i) {
            const std::string name = "site/section" + std::to_string(f) + "/page" + std::to_string(i) + ".html";
            names.push_back(name);
            ForceFolders(ExtractFilePath(folder + name));
            CreateOrReplaceFile(folder + name, "<html><title>Page " + std::to_string(i) + "</title></html>\n");
        }
    TZipArchive zip;
    zip.ZipFileName = archive;
    zip.BaseDirectory = folder;
    zip.FilesToProcess = names;
    zip.Add(0);
}

// 200 MB in 20 files, half of each compressible text, half noise.
StringList MakeLargeFiles(const std::string &folder)
{
    ForceFolders(folder);
    std::mt19937 random(7);
    StringList files;
    for (int i = 0; i < 20; ++i) {
        std::string bytes(10 << 20, 'a');
        for (size_t at = bytes.size() / 2; at < bytes.size(); ++at)
            bytes[at] = static_cast<char>(random());
        const std::string file = folder + "large" + std::to_string(i) + ".bin";
        CreateOrReplaceFile(file, bytes);
        files.push_back(file);
    }
    return files;
}

void WaitIdle(TZipBrowser &browser)
{
    PumpEventsUntil([&] { return !browser.Busy(); });
}

void ReportGaps(const char *what, TLoopGapMonitor &monitor)
{
    Report(what, monitor.LongestGapMs(), "ms longest window-thread gap (goal < 50)");
    for (const auto &[gap, during] : monitor.LongGaps())
        std::printf("    %lld ms during %s\n", static_cast<long long>(gap), during.c_str());
}

} // namespace

int main(int argc, char **argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir work(QStringLiteral("/dev/shm/arvelo-bench-XXXXXX"));
    const std::string home = work.path().toStdString() + "/";
    ::setenv("ARVELO_HOME", home.c_str(), 1);
    ReloadSettings();
    QApplication application(argc, argv);
    TAVApp app;
    app.RunFirstRun();

    const std::string many = home + "many.zip";
    MakeManyEntries(home + "many/", many);
    const StringList large = MakeLargeFiles(home + "large/");

    TExtractedArchives extracted;
    TZipBrowser browser(extracted);
    QWidget window;
    auto *pane = new TZipPane(browser, &window);
    auto *list = new TFormZip(browser, &window);
    auto *layout = new QHBoxLayout(&window);
    layout->addWidget(pane);
    layout->addWidget(list, 1);
    window.resize(1200, 800);
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    TLoopGapMonitor monitor;

    monitor.Start();
    Stopwatch open;
    browser.Open(many);
    WaitIdle(browser);
    pane->Archives()->viewport()->repaint();
    list->List()->viewport()->repaint();
    Report("open a 10,000-entry archive (tree and list)", open.Seconds() * 1000, "ms (goal < 1000)");
    Report("  entries listed", static_cast<double>(browser.EntryModel().Count()), "");
    monitor.Stop();
    ReportGaps("  while opening", monitor);

    const std::string big = home + "big.zip";
    monitor.Start();
    Stopwatch add;
    browser.Add({big, large, 0, false, false, 6});
    WaitIdle(browser);
    monitor.Stop();
    Report("add 200 MB", add.Seconds() * 1000, "ms");
    ReportGaps("  while adding", monitor);

    browser.Close(browser.TreeModel().Tree().Find(big));
    monitor.Start();
    Stopwatch listing;
    browser.Open(big);
    WaitIdle(browser);
    monitor.Stop();
    Report("list the 200 MB archive", listing.Seconds() * 1000, "ms");
    ReportGaps("  while listing", monitor);

    monitor.Start();
    Stopwatch extract;
    browser.Extract({TZipTree::EntryNames(browser.CurrentArchive()), home + "out/", true, true});
    WaitIdle(browser);
    monitor.Stop();
    Report("extract 200 MB", extract.Seconds() * 1000, "ms");
    ReportGaps("  while extracting", monitor);

    // A folder of 1,000 entries goes in one delete: one rewrite of the archive.
    const std::string folderArchive = home + "folder.zip";
    MakeManyEntries(home + "folder/", folderArchive, 10, 1000);
    browser.Open(folderArchive);
    WaitIdle(browser);
    TZipNode *root = browser.TreeModel().Tree().Find(folderArchive);
    struct stat before {};
    ::stat(folderArchive.c_str(), &before);
    class TYes : public TNotifier {
    public:
        void Error(const std::string &text) override { std::printf("error: %s\n", text.c_str()); }
        void Information(const std::string &) override {}
        bool Confirm(const std::string &) override { return true; }
    } yes;
    SetNotifier(&yes);
    monitor.Start();
    Stopwatch remove;
    browser.DeleteNode(root->record->folders.at("site/section0/"));
    WaitIdle(browser);
    monitor.Stop();
    SetNotifier(nullptr);
    struct stat after {};
    ::stat(folderArchive.c_str(), &after);
    Report("delete a folder of 1,000 entries", remove.Seconds() * 1000, "ms");
    Report("  archive rewritten", after.st_ino != before.st_ino || after.st_mtim.tv_nsec != before.st_mtim.tv_nsec
                                       ? 1.0 : 0.0, "");
    Report("  entries left", static_cast<double>(root->record->entries.size()), "(9,000 expected)");
    ReportGaps("  while deleting", monitor);
    return 0;
}
