#include "model/ItemList.h"

#include "core/App.h"
#include "core/FileUtils.h"
#include "core/TextUtils.h"
#include "core/WindowThread.h"
#include "model/Task.h"
#include "support/ScriptedServer.h"
#include "support/TestHome.h"

#include <QCoreApplication>

#include <set>
#include <thread>

namespace arvelo {
namespace {

const std::string P(kFieldSeparator);

class Items : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        app = std::make_unique<TAVApp>();
        task = std::make_unique<TAVTask>();
        task->taskName = "site";
        task->taskFile = Home() + "Tasks/General/site.avt";
    }
    void TearDown() override
    {
        task.reset();
        app.reset();
        TestHome::TearDown();
    }

    TAVQItem *Add(const std::string &url, const std::string &group, uint8_t mark = imDownload, int level = 1)
    {
        auto item = std::make_unique<TAVQItem>(task.get());
        item->Text().URL = url;
        item->Text().referrer = level ? "http://h/" : "";
        item->level = level;
        item->SetGroup(group);
        item->SetMark(mark);
        return task->items.AddItem(std::move(item));
    }

    std::unique_ptr<TAVApp> app;
    std::unique_ptr<TAVTask> task;
};

TEST_F(Items, NewRecordHasElevenFields)
{
    auto item = std::make_unique<TAVQItem>(task.get());
    item->Text().URL = "http://h/a.htm";
    item->level = 1;
    item->SetGroup("HTML");
    TAVQItem *added = task->items.AddItem(std::move(item));
    EXPECT_EQ(task->items.Line(0), "http://h/a.htm");
    EXPECT_EQ(task->items.Line(1), "0" + P + P + "HTML" + P + P + "1" + P + P + P + "1" + P + P + "0" + P + P);
    EXPECT_EQ(added->index, 0);
    EXPECT_TRUE(added->LoadedText().URL.empty());
    EXPECT_EQ(task->totalPages, 1);
    EXPECT_TRUE(task->items.Changed());
    Add("http://h/b.gif", "Images");
    EXPECT_EQ(task->totalResources, 1);
}

TEST_F(Items, FieldsRoundTripAndEmptyFieldsKeepTheStoredText)
{
    TAVQItem *item = Add("http://h/a.htm", "HTML");
    item->LoadFields();
    EXPECT_EQ(item->Text().URL, "http://h/a.htm");
    EXPECT_EQ(item->Text().referrer, "http://h/");
    item->Text().title = "Gr\xC3\xB6\xC3\x9F" "e \xE4\xB8\xAD\xE6\x96\x87 \xC2\xB6 pilcrow";
    item->Text().result = "  200 OK\r\n" + P;
    item->Text().lastModified = "Tue, 01 Dec 2026 10:00:00 GMT";
    item->size = 1234;
    item->SetState(isSaved);
    item->Publish(true);
    EXPECT_TRUE(item->LoadedText().title.empty());

    item->LoadFields();
    EXPECT_EQ(item->Text().title, "Gr\xC3\xB6\xC3\x9F" "e \xE4\xB8\xAD\xE6\x96\x87  pilcrow");
    EXPECT_EQ(item->Text().result, "200 OK");
    EXPECT_EQ(item->size, 1234);
    EXPECT_EQ(item->State(), isSaved);
    // An emptied text field never empties the stored one.
    item->ReleaseFields();
    item->Publish(false);
    item->LoadFields();
    EXPECT_EQ(item->Text().lastModified, "Tue, 01 Dec 2026 10:00:00 GMT");
}

TEST_F(Items, ResetsTakeTheItemsShareOutOfTheCounters)
{
    TAVQItem *failed = Add("http://h/a.htm", "HTML");
    TAVQItem *partial = Add("http://h/b.zip", "Archives");
    TAVQItem *whole = Add("http://h/c.gif", "Images");
    failed->SetState(isError);
    failed->size = 77;
    failed->Text().result = "Incomplete (77 bytes)";
    failed->Publish(true);
    partial->SetState(isSaved);
    partial->Text().result = "Incomplete (5000 bytes)";
    partial->size = 9999;
    partial->Publish(true);
    whole->SetState(isParsed);
    whole->size = 300;
    whole->Publish(true);
    task->pagesSaved = 1;
    task->pageErrors = 1;
    task->resourcesSaved = 2;
    task->totalBytes = 10000;

    task->items.PrepareRecovery();
    EXPECT_EQ(task->pageErrors, 0);
    EXPECT_EQ(task->pagesSaved, 0);
    failed->LoadFields();
    EXPECT_EQ(failed->State(), isNone);
    EXPECT_EQ(failed->size, 0);
    EXPECT_EQ(failed->Text().result, "Incomplete (77 bytes)");

    task->items.PrepareUpdate();
    EXPECT_EQ(task->resourcesSaved, 0);
    EXPECT_EQ(task->totalBytes, 10000 - 5000 - 300);
    EXPECT_EQ(partial->Mark(), imUpdate);
    EXPECT_EQ(whole->Mark(), imUpdate);
    EXPECT_EQ(failed->Mark(), imDownload);
}

TEST_F(Items, AResumeTakesUpTheFilesCutShortAndNoOtherError)
{
    TAVQItem *cut = Add("http://h/a.zip", "Archives");
    TAVQItem *missing = Add("http://h/b.htm", "HTML");
    for (auto [item, result] : {std::pair{cut, "Incomplete (77 bytes)"}, std::pair{missing, "404 Not Found"}}) {
        item->SetState(isError);
        item->Text().result = result;
        item->Publish(true);
    }
    task->pagesSaved = task->pageErrors = 1;
    task->resourcesSaved = task->resourceErrors = 1;

    task->items.PrepareResume();
    EXPECT_EQ(cut->State(), isNone);
    EXPECT_EQ(missing->State(), isError);
    // The cut file's share leaves the counters until it is fetched again.
    EXPECT_EQ(task->resourcesSaved, 0);
    EXPECT_EQ(task->resourceErrors, 0);
    EXPECT_EQ(task->pageErrors, 1);
    cut->LoadFields();
    EXPECT_EQ(cut->LoadedText().result, "Incomplete (77 bytes)");
}

// The changes since the state file was written are read back from the
// journals beside it, whole entries only, and only onto the state file they
// were begun on.
TEST_F(Items, TheJournalBringsBackTheChangesSinceTheLastSave)
{
    ForceFolders(Home() + "Tasks/General/");
    Add("http://h/a.htm", "HTML");
    task->items.SaveState();
    TAVQItem *a = task->items.Item(0);
    a->LoadFields();
    a->SetState(isSaved);
    a->Publish(true);
    Add("http://h/b.gif", "Images");
    // Set aside by a snapshot that never reached the disk, and a new one after it.
    (void)task->items.StateSnapshot();
    Add("http://h/c.gif", "Images");
    const std::string journal = task->items.JournalFile();
    ASSERT_TRUE(FileExists(journal + ".2"));
    // Written at the end of the window thread's step.
    EXPECT_FALSE(FileExists(journal));
    PumpEventsUntil([&] { return FileExists(journal); });

    auto reopen = [&] {
        auto reopened = std::make_unique<TAVTask>();
        reopened->taskFile = task->taskFile;
        EXPECT_TRUE(reopened->items.OpenItems());
        return reopened;
    };
    auto urls = [](TAVTask &t) {
        std::vector<std::string> found;
        for (size_t i = 0; i < t.items.ItemCount(); ++i) {
            t.items.Item(i)->LoadFields();
            found.push_back(t.items.Item(i)->LoadedText().URL);
        }
        return found;
    };
    auto whole = reopen();
    EXPECT_EQ(urls(*whole), (std::vector<std::string>{"http://h/a.htm", "http://h/b.gif", "http://h/c.gif"}));
    EXPECT_EQ(whole->items.Item(0)->State(), isSaved);

    // A journal cut in its last entry: the items before it are whole.
    std::string bytes = ReadFileBytes(journal);
    SaveText(journal, bytes.substr(0, bytes.size() - 5));
    auto cut = reopen();
    EXPECT_EQ(urls(*cut), (std::vector<std::string>{"http://h/a.htm", "http://h/b.gif"}));

    // A damaged state file: its line numbers no longer hold.
    bytes = ReadFileBytes(task->StateFile());
    SaveText(task->StateFile(), bytes.substr(0, bytes.size() - 5));
    auto damaged = reopen();
    EXPECT_EQ(damaged->items.ItemCount(), 0u);

    // Writing the state file takes every journal in.
    task->items.SaveState();
    EXPECT_FALSE(FileExists(journal + ".2"));
    EXPECT_EQ(urls(*reopen()), (std::vector<std::string>{"http://h/a.htm", "http://h/b.gif", "http://h/c.gif"}));
}

TEST_F(Items, ResetInProgress)
{
    TAVQItem *a = Add("http://h/a.htm", "HTML");
    TAVQItem *b = Add("http://h/b.htm", "HTML");
    a->SetState(isDownloading);
    b->SetState(isUpdating);
    task->items.ResetInProgress();
    EXPECT_EQ(a->State(), isNone);
    EXPECT_EQ(b->State(), isNone);
    EXPECT_EQ(FieldOf(task->items.Line(3), kFieldSeparator, 0), "0");
}

TEST_F(Items, SelectionTakesTheFirstMatchInDiscoveryOrder)
{
    TAVQItem *map = Add("http://h/m.gif", "Images", imMap);
    TAVQItem *page = Add("http://h/a.htm", "HTML", imDownload);
    TAVQItem *image = Add("http://h/i.gif", "Images", imDownload);
    TAVQItem *update = Add("http://h/u.htm", "HTML", imUpdate);
    EXPECT_EQ(task->items.NextOtherFile(), image);
    EXPECT_EQ(task->items.NextPage(), page);
    page->SetState(isDownloading);
    EXPECT_EQ(task->items.NextPage(), update);
    update->SetState(isDownloading); // an interrupted update is taken again
    EXPECT_EQ(task->items.NextPage(), update);
    update->SetState(isSaved);
    EXPECT_EQ(task->items.NextPage(), nullptr);
    EXPECT_EQ(task->items.NextPageToParse(), update);
    // An item reset behind the cursors is found again.
    page->SetState(isNone);
    EXPECT_EQ(task->items.NextPage(), page);
    page->SetState(isSaved);
    EXPECT_EQ(task->items.NextPageToParse(), page);
    image->SetState(isDownloading);
    EXPECT_EQ(task->items.NextOtherFile(), nullptr);
    map->SetMark(imDownload);
    EXPECT_EQ(task->items.NextOtherFile(), map);
}

TEST_F(Items, KnownAddressesIgnoreLetterCase)
{
    Add("http://h/Docs/A.htm", "HTML");
    EXPECT_TRUE(task->items.IsKnown("HTTP://H/docs/a.HTM"));
    EXPECT_FALSE(task->items.IsKnown("http://h/docs/b.htm"));
    task->items.AddKnown("http://h/other/");
    EXPECT_TRUE(task->items.IsKnown("http://H/Other/"));
    task->ClearItems();
    EXPECT_FALSE(task->items.IsKnown("http://h/docs/a.htm"));
    EXPECT_EQ(task->items.LineCount(), 0u);
}

TEST_F(Items, StateFileRoundTrip)
{
    for (int i = 0; i < 250; ++i) {
        TAVQItem *item = Add("http://h/p" + std::to_string(i) + ".htm", i % 2 ? "Images" : "HTML");
        item->LoadFields();
        item->Text().title = "T\xC3\xB6" + std::to_string(i);
        item->SetState(i % 3 == 0 ? isUpdating : isParsed);
        item->Publish(true);
    }
    task->items.SaveState();
    EXPECT_FALSE(task->items.Changed());
    std::string saved = ReadFile("Tasks/General/site.dwn");
    EXPECT_EQ(saved.substr(0, 15), "http://h/p0.htm");
    EXPECT_NE(saved.find("\r\n"), std::string::npos);

    TAVTask reopened;
    reopened.taskName = "site";
    reopened.taskFile = task->taskFile;
    std::vector<std::pair<int, int>> progress;
    reopened.OnChange = [&](const std::string &text, int position, int total) {
        if (text == "Opening task....")
            progress.emplace_back(position, total);
    };
    ASSERT_TRUE(reopened.items.OpenItems());
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 250}, {101, 250}, {201, 250}, {250, 250}}));
    ASSERT_EQ(reopened.items.ItemCount(), 250u);
    TAVQItem *first = reopened.items.Item(0);
    EXPECT_EQ(first->State(), isNone); // caught in flight
    EXPECT_TRUE(first->IsPage());
    EXPECT_EQ(reopened.items.Item(1)->State(), isParsed);
    first->LoadFields();
    EXPECT_EQ(first->Text().title, "T\xC3\xB6" "0");
    EXPECT_TRUE(reopened.items.IsKnown("http://h/P249.htm"));
    reopened.items.SaveState();
    std::string resaved = ReadFile("Tasks/General/site.dwn");
    TAVTask again;
    again.taskName = "site";
    again.taskFile = task->taskFile;
    again.items.OpenItems();
    again.items.SaveState();
    EXPECT_EQ(ReadFile("Tasks/General/site.dwn"), resaved);
}

TEST_F(Items, StateFileCutAnywhereKeepsEveryCompleteItem)
{
    for (int i = 0; i < 5; ++i)
        Add("http://h/\xE4\xB8\xAD" + std::to_string(i) + ".htm", "HTML");
    task->items.SaveState();
    std::string full = ReadFile("Tasks/General/site.dwn");
    std::vector<size_t> pairEnds; // where each complete pair ends
    for (size_t pos = 0, lines = 0; (pos = full.find("\r\n", pos)) != std::string::npos; pos += 2)
        if (++lines % 2 == 0)
            pairEnds.push_back(pos + 2);
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        WriteFile("Tasks/General/site.dwn", full.substr(0, cut));
        TAVTask reopened;
        reopened.taskName = "site";
        reopened.taskFile = task->taskFile;
        ASSERT_TRUE(reopened.items.OpenItems()) << cut;
        size_t complete = static_cast<size_t>(std::count_if(pairEnds.begin(), pairEnds.end(), [&](size_t end) { return end <= cut; }));
        // A cut exactly after a record's separator, before its line end, still holds the item.
        EXPECT_GE(reopened.items.ItemCount(), complete) << cut;
        EXPECT_LE(reopened.items.ItemCount(), complete + 1) << cut;
        for (size_t i = 0; i < reopened.items.ItemCount(); ++i) {
            TAVQItem *item = reopened.items.Item(i);
            item->LoadFields();
            EXPECT_EQ(item->Text().URL, "http://h/\xE4\xB8\xAD" + std::to_string(i) + ".htm") << cut;
        }
    }
}

TEST_F(Items, DamagedRecordsStopWithAClearError)
{
    WriteFile("Tasks/General/site.dwn", "http://h/a.htm\r\n0" + P + P + "HTML" + P + P + "0" + P + P + P + P + P + P + P +
                                             "\r\nhttp://h/b.htm\r\nzz" + P + P + "HTML" + P + P + "0" + P + P + P + P + P +
                                             P + P + "\r\nhttp://h/c.htm\r\n");
    ASSERT_FALSE(task->items.OpenItems());
    ASSERT_EQ(notifier.errors.size(), 1u);
    EXPECT_EQ(notifier.errors[0], "'zz' is not a valid integer value");
    ASSERT_EQ(task->items.ItemCount(), 1u);
    EXPECT_EQ(task->items.Item(0)->Mark(), imDownload); // an empty mark reads 1
    EXPECT_EQ(task->items.Item(0)->size, 0);
}

TEST_F(Items, HostileStateFilesLoadWhatTheyHoldOrStopWithAClearError)
{
    std::string binary;
    for (int i = 0; i < 100000; ++i)
        binary += static_cast<char>((i * 7919 + i / 13) & 0xFF);
    const std::string goodRecord = "10" + P + "200 OK" + P + "HTML" + P + P + "2" + P + P + P + "1" + P + P + "7" + P + P;
    struct Case {
        const char *name;
        std::string bytes;
        bool opens;
        size_t items;
    };
    const Case cases[] = {
        {"binary", binary, true, 0},
        {"a huge address with an empty record", std::string(1 << 20, 'x') + "\r\n" + P + "\r\n", false, 0},
        {"blank lines", "\r\n\r\n\r\n", true, 0},
        {"a state beyond every state", "http://h/a.htm\r\n200" + goodRecord.substr(2) + "\r\n", true, 1},
        {"a good item, then junk", "http://h/a.htm\r\n" + goodRecord + "\r\n" + binary.substr(0, 5000), true, 1},
        {"a good item, then a damaged one",
         "http://h/a.htm\r\n" + goodRecord + "\r\nhttp://h/b.htm\r\nzz" + goodRecord.substr(2) + "\r\n", false, 1},
    };
    for (const Case &c : cases) {
        notifier.errors.clear();
        WriteFile("Tasks/General/site.dwn", c.bytes);
        TAVTask reopened;
        reopened.taskName = "site";
        reopened.taskFile = task->taskFile;
        EXPECT_EQ(reopened.items.OpenItems(), c.opens) << c.name;
        EXPECT_EQ(notifier.errors.size(), c.opens ? 0u : 1u) << c.name;
        for (const std::string &error : notifier.errors)
            EXPECT_TRUE(error.size() > 30 && error.substr(error.size() - 30) == "' is not a valid integer value")
                << c.name << ": " << error;
        ASSERT_EQ(reopened.items.ItemCount(), c.items) << c.name;
        for (size_t i = 0; i < reopened.items.ItemCount(); ++i) {
            TAVQItem *item = reopened.items.Item(i);
            item->LoadFields();
            EXPECT_EQ(item->LoadedText().URL, "http://h/a.htm") << c.name;
            EXPECT_LE(item->State(), isZipped) << c.name;
            EXPECT_EQ(item->level, 2) << c.name;
            EXPECT_EQ(item->size, 7) << c.name;
        }
    }
}

TEST_F(Items, AutosaveOnTheEleventhTick)
{
    Add("http://h/a.htm", "HTML");
    for (int tick = 1; tick <= 10; ++tick) {
        task->items.SaveStateSoon();
        EXPECT_FALSE(FileExists(task->StateFile())) << tick;
    }
    task->items.SaveStateSoon();
    EXPECT_TRUE(FileExists(task->StateFile()));
    EXPECT_EQ(task->items.AutosaveCount(), 0);
}

TEST_F(Items, PagesToParseAreTheFirstSavedPagesAndStyleSheetsInOrder)
{
    std::vector<TAVQItem *> saved;
    for (int i = 0; i < 6; ++i) {
        TAVQItem *image = Add("http://h/" + std::to_string(i) + ".gif", "Images");
        image->SetState(isSaved); // a saved resource is never parsed
        TAVQItem *page = Add("http://h/" + std::to_string(i) + ".htm", "HTML");
        page->SetState(i == 2 ? isParsed : isSaved);
        if (i != 2)
            saved.push_back(page);
    }
    TAVQItem *sheet = Add("http://h/s.css", "Other");
    sheet->SetStyleSheet(true);
    sheet->SetState(isSaved);
    saved.push_back(sheet);
    EXPECT_EQ(task->items.PagesToParse(3), (std::vector<TAVQItem *>{saved[0], saved[1], saved[2]}));
    EXPECT_EQ(task->items.PagesToParse(100), saved);
    // A page parsed leaves the batch; one saved again behind it comes back.
    saved[0]->SetState(isParsed);
    EXPECT_EQ(task->items.PagesToParse(1), std::vector<TAVQItem *>{saved[1]});
    saved[0]->SetState(isSaved);
    EXPECT_EQ(task->items.PagesToParse(1), std::vector<TAVQItem *>{saved[0]});
    for (TAVQItem *item : saved)
        item->SetState(isParsed);
    EXPECT_TRUE(task->items.PagesToParse(8).empty());
}

TEST_F(Items, ScannersTakeEveryItemOnceWhileTheWindowThreadAdds)
{
    // A scanner takes items as the dispatcher does: it picks the next one
    // and has the window thread mark it as being fetched.
    constexpr int kItems = 2000;
    std::atomic<bool> done{false};
    std::atomic<int> taken{0};
    std::set<TAVQItem *> seen;
    bool twice = false;
    std::thread scanner([&] {
        while (!done || taken < kItems) {
            TAVQItem *item = task->items.NextOtherFile();
            task->items.NextPageToParse();
            if (!item)
                continue;
            RunInWindowThread([&] { item->SetState(isDownloading); });
            twice |= !seen.insert(item).second;
            ++taken;
        }
    });
    std::vector<TAVQItem *> added;
    for (int i = 0; i < kItems; ++i) {
        added.push_back(Add("http://h/" + std::to_string(i) + ".gif", "Images"));
        if (i % 50 == 0)
            QCoreApplication::processEvents();
    }
    done = true;
    EXPECT_TRUE(test::PumpUntil([&] { return taken >= kItems; }, 60));
    scanner.join();
    EXPECT_FALSE(twice);
    EXPECT_EQ(seen, std::set<TAVQItem *>(added.begin(), added.end()));
    EXPECT_EQ(task->items.NextOtherFile(), nullptr);
}

TEST_F(Items, EveryFieldOfItemsInEachStateSurvivesASaveAndAReopen)
{
    struct Expected {
        std::string url, result, group, referrer, modified, title, frame;
        uint8_t state, mark;
        int32_t level;
        int64_t size;
    };
    std::vector<Expected> expected;
    for (uint8_t state = isNone; state <= isZipped; ++state) {
        const std::string n = std::to_string(state);
        Expected e{"http://h/s" + n + (state % 2 ? ".gif" : ".htm"),
                   state == isError ? "Not Found" : "200 OK " + n,
                   state % 2 ? "Images" : "HTML",
                   "http://h/from" + n + ".htm",
                   "Tue, 0" + std::to_string(1 + state % 9) + " Dec 2026 10:00:00 GMT",
                   "Title \xC3\xA9 " + n,
                   state % 3 == 0 ? "Y" : "",
                   state,
                   static_cast<uint8_t>(state % 4),
                   state + 1,
                   (int64_t(state) << 32) + 1000 + state};
        TAVQItem *item = Add(e.url, e.group, e.mark, e.level);
        item->LoadFields();
        item->Text().result = e.result;
        item->Text().referrer = e.referrer;
        item->Text().lastModified = e.modified;
        item->Text().title = e.title;
        item->size = e.size;
        item->frame = e.frame;
        item->SetState(state);
        item->Publish(true);
        expected.push_back(e);
    }
    task->items.SaveState();

    TAVTask reopened;
    reopened.taskName = "site";
    reopened.taskFile = task->taskFile;
    ASSERT_TRUE(reopened.items.OpenItems());
    ASSERT_EQ(reopened.items.ItemCount(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Expected &e = expected[i];
        TAVQItem *item = reopened.items.Item(i);
        // Items caught in flight are fetched again.
        uint8_t state = e.state == isDownloading || e.state == isUpdating ? uint8_t(isNone) : e.state;
        // What the selection sees before any field is loaded, and after.
        for (bool loaded : {false, true}) {
            if (loaded)
                item->LoadFields();
            EXPECT_EQ(item->State(), state) << e.url << (loaded ? " loaded" : "");
            EXPECT_EQ(item->Mark(), e.mark) << e.url << (loaded ? " loaded" : "");
            EXPECT_EQ(item->Group(), e.group) << e.url << (loaded ? " loaded" : "");
            EXPECT_EQ(item->IsPage(), e.group == "HTML") << e.url << (loaded ? " loaded" : "");
            EXPECT_EQ(item->level, e.level) << e.url << (loaded ? " loaded" : "");
            EXPECT_EQ(item->size, e.size) << e.url << (loaded ? " loaded" : "");
            EXPECT_EQ(item->frame, e.frame) << e.url << (loaded ? " loaded" : "");
        }
        const TItemText &text = item->LoadedText();
        EXPECT_EQ(text.URL, e.url);
        EXPECT_EQ(text.result, e.result) << e.url;
        EXPECT_EQ(text.referrer, e.referrer) << e.url;
        EXPECT_EQ(text.lastModified, e.modified) << e.url;
        EXPECT_EQ(text.title, e.title) << e.url;
    }
}

} // namespace
} // namespace arvelo

namespace arvelo {
namespace {

TEST_F(Items, AnOlderStateSnapshotNeverOverwritesANewerOne)
{
    Add("http://h/a.html", "Pages");
    TItemList::TStateSnapshot older = task->items.StateSnapshot();
    EXPECT_FALSE(task->items.Changed());
    Add("http://h/b.html", "Pages");
    TItemList::TStateSnapshot newer = task->items.StateSnapshot();
    // Written from another thread, the newer one may land first.
    std::thread writer([&] { task->items.WriteState(newer); });
    writer.join();
    task->items.WriteState(older);
    const std::string saved = ReadFileBytes(task->StateFile());
    EXPECT_EQ(saved, newer.text);
    EXPECT_NE(saved.find("b.html"), std::string::npos);

    // A failed write leaves the list changed, so that it is written again.
    WriteFile("blocker", "a file where the task's folder would be");
    task->taskFile = Home() + "blocker/site.avt";
    EXPECT_THROW(task->items.SaveState(), EFileError);
    EXPECT_TRUE(task->items.Changed());
}

} // namespace
} // namespace arvelo
