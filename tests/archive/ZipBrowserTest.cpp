#include "archive/ZipBrowser.h"

#include "core/FileUtils.h"
#include "core/WindowThread.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <QDir>

#include <chrono>
#include <filesystem>

namespace arvelo {
namespace {

// The archive browser on real archives, as the windows drive it.
class ZipBrowser : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        ImportShippedFileTypes();
        archive = Path("site.zip");
        Make(archive, {"index.html", "a*.htm", "ab.htm", "img/deep/a.gif", "img/b.gif", "notes.txt"});
        browser = std::make_unique<TZipBrowser>(extracted);
    }
    void TearDown() override
    {
        browser.reset();
        TestHome::TearDown();
    }

    // An archive of these entries, each holding its own name.
    void Make(const std::string &path, const StringList &entries)
    {
        for (const std::string &entry : entries)
            WriteFile("files/" + entry, entry + std::string(4000, 'x'));
        TZipArchive zip;
        zip.ZipFileName = path;
        zip.BaseDirectory = Path("files/");
        zip.FilesToProcess = entries;
        ASSERT_EQ(zip.Add(0), zrSuccess);
    }
    StringList EntriesOf(const std::string &path)
    {
        TZipArchive zip;
        zip.ZipFileName = path;
        StringList names;
        zip.OnListing = [&](const TZipFileStats &stats) { names.push_back(stats.fileName); };
        zip.List();
        return names;
    }
    TZipNode *OpenAndWait(const std::string &path)
    {
        browser->Open(path);
        Wait();
        return browser->TreeModel().Tree().Find(path);
    }
    void Wait()
    {
        PumpEventsUntil([&] { return !browser->Busy(); });
    }
    StringList Shown() const
    {
        StringList names;
        for (int row = 0; row < browser->EntryModel().Count(); ++row)
            names.push_back(browser->EntryModel().Row(row).Entry());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string archive;
    TExtractedArchives extracted;
    std::unique_ptr<TZipBrowser> browser;
};

TEST_F(ZipBrowser, AnOpenedArchiveIsItsEntriesWithTheirFoldersPagesAndTotals)
{
    TZipNode *root = OpenAndWait(archive);
    ASSERT_TRUE(root);
    EXPECT_EQ(browser->CurrentArchive(), root);
    StringList names = TZipTree::EntryNames(root);
    std::sort(names.begin(), names.end());
    StringList expected = EntriesOf(archive);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    EXPECT_EQ(Shown(), expected);
    EXPECT_EQ(root->record->folders.size(), 2u); // img/ and img/deep/
    // The pages are the entries of the "HTML" group.
    StringList pages;
    for (int row = 0; row < browser->PagesModel().Count(); ++row)
        pages.push_back(browser->PagesModel().Entry(row));
    EXPECT_EQ(pages, (StringList{"a*.htm", "ab.htm", "index.html"}));
    EXPECT_EQ(browser->EntryModel().TotalsLine(browser->EntryCount(root)).rfind("Total: 6 files  ", 0), 0u);
    // Opening it again only selects it.
    browser->Select(root->children.front().get());
    EXPECT_EQ(browser->Open(archive), root);
    EXPECT_EQ(browser->Selected(), root);
    EXPECT_EQ(browser->TreeModel().rowCount(), 1);
    EXPECT_EQ(browser->Recent().Entries().front(), archive);
}

TEST_F(ZipBrowser, DeletingGoesByExactNamesAfterTheQuestionAndTakesEmptiedFoldersAlong)
{
    TZipNode *root = OpenAndWait(archive);
    TZipNode *wild = root->record->entries.at("a*.htm");
    notifier.answer = false;
    browser->DeleteNode(wild);
    Wait();
    EXPECT_EQ(EntriesOf(archive).size(), 6u);
    notifier.answer = true;
    browser->DeleteNode(wild);
    Wait();
    StringList left = EntriesOf(archive);
    EXPECT_EQ(std::count(left.begin(), left.end(), "ab.htm"), 1);
    EXPECT_EQ(std::count(left.begin(), left.end(), "a*.htm"), 0);
    EXPECT_EQ(notifier.questions.back(), "Are you sure you want to delete a*.htm?");

    // The last file of img/deep/ goes with its folder; img/ keeps b.gif.
    browser->DeleteNode(root->record->entries.at("img/deep/a.gif"));
    Wait();
    EXPECT_EQ(root->record->folders.count("img/deep/"), 0u);
    EXPECT_EQ(root->record->folders.count("img/"), 1u);
    // Reopened, the archive shows the entries gone.
    browser->Close(root);
    root = OpenAndWait(archive);
    EXPECT_EQ(root->record->entries.count("img/deep/a.gif"), 0u);
    EXPECT_EQ(root->record->entries.count("a*.htm"), 0u);
    EXPECT_EQ(root->record->entries.size(), 4u);
}

TEST_F(ZipBrowser, ListRowsAreDeletedAfterAQuestionNamingThemAndAFolderInOneUpdate)
{
    TZipNode *root = OpenAndWait(archive);
    browser->Select(root->record->folders.at("img/"));
    ASSERT_EQ(browser->EntryModel().Count(), 2);
    browser->DeleteRows({0, 1});
    Wait();
    EXPECT_EQ(notifier.questions.back(), "Are you sure you want to delete 2 files?");
    EXPECT_EQ(root->record->folders.count("img/"), 0u);
    // The selection climbed out of the removed folder.
    EXPECT_EQ(browser->Selected(), root);
    EXPECT_EQ(EntriesOf(archive).size(), 4u);
    browser->Select(root->record->entries.at("notes.txt"));
    browser->DeleteRows({0});
    Wait();
    EXPECT_EQ(notifier.questions.back(), "Are you sure you want to delete notes.txt?");
}

TEST_F(ZipBrowser, RenamingStaysInTheFolderAndAnArchiveDeletedGoesToTheTrash)
{
    TZipNode *root = OpenAndWait(archive);
    Make(Path("taken.zip"), {"x.txt"});
    ASSERT_TRUE(browser->Rename(root, "taken.zip"));
    EXPECT_EQ(root->record->path, Path("taken(0).zip"));
    EXPECT_TRUE(FileExists(Path("taken(0).zip")));
    EXPECT_EQ(browser->Recent().Entries().front(), Path("taken(0).zip"));
    EXPECT_FALSE(browser->Rename(root, "../out.zip"));
    EXPECT_FALSE(browser->Rename(root, "a/b"));
    EXPECT_EQ(notifier.errors.back(), ZipRenameFailureText(Path("a/b")));
    EXPECT_TRUE(FileExists(Path("taken(0).zip")));

    browser->DeleteNode(root);
    EXPECT_FALSE(FileExists(Path("taken(0).zip")));
    const std::string trash = std::string(qgetenv("XDG_DATA_HOME").constData()) + "/Trash/files/taken(0).zip";
    EXPECT_TRUE(FileExists(trash)) << trash;
    EXPECT_EQ(browser->TreeModel().rowCount(), 0);
    EXPECT_EQ(browser->CurrentArchive(), nullptr);
}

TEST_F(ZipBrowser, ACorruptArchiveIsToldAndLeavesNoNode)
{
    WriteFile("bad.zip", "PK\x03\x04 this is no archive at all");
    EXPECT_EQ(OpenAndWait(Path("bad.zip")), nullptr);
    EXPECT_EQ(browser->TreeModel().rowCount(), 0);
    ASSERT_FALSE(notifier.errors.empty());
    EXPECT_EQ(notifier.errors.back(), "The archive file is corrupted. Try using the Fix option on it.");
    // A recent archive that is gone is told once and dropped.
    browser->Reopen(Path("gone.zip"));
    EXPECT_EQ(notifier.errors.back(), "The file " + Path("gone.zip") + " no longer exists.");
    for (const std::string &entry : browser->Recent().Entries())
        EXPECT_NE(entry, Path("gone.zip"));
}

TEST_F(ZipBrowser, ExtractionHonoursEachAnswerOfTheReplaceBox)
{
    TZipNode *root = OpenAndWait(archive);
    const std::string out = Path("out/");
    WriteFile("out/index.html", "mine");
    WriteFile("out/ab.htm", "mine");
    WriteFile("out/notes.txt", "mine");
    std::vector<TZipReplaceAnswer> answers = {zraNo, zraYes, zraCancel};
    browser->OnReplace = [&](const std::string &, const std::string &) {
        TZipReplaceAnswer answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    };
    int outcome = -1;
    browser->Extract({TZipTree::EntryNames(root), out, true, false}, [&](int result) { outcome = result; });
    Wait();
    EXPECT_EQ(outcome, 2); // cancelled
    EXPECT_TRUE(answers.empty());
    int kept = 0;
    for (const char *name : {"index.html", "ab.htm", "notes.txt"})
        kept += ReadFile(std::string("out/") + name) == "mine";
    EXPECT_EQ(kept, 2); // one replaced, one skipped, one left by the cancel

    // "Selected Files": what the folder node covers.
    browser->Extract({TZipTree::EntryNames(root->record->folders.at("img/")), Path("sel/"), true, true});
    Wait();
    EXPECT_EQ(test::FilesUnder(Path("sel/")), (std::vector<std::string>{"img/b.gif", "img/deep/a.gif"}));
}

TEST_F(ZipBrowser, ExtractingForBrowsingForgetsTheArchivesWhoseFilesItReplaced)
{
    TZipNode *a = OpenAndWait(archive);
    Make(Path("other.zip"), {"index.html"});
    TZipNode *b = OpenAndWait(Path("other.zip"));
    browser->RunStarted(Path("running.zip"));
    extracted.Mark(Path("running.zip"));
    browser->ExtractForBrowsing(a, Path("temp/"), {});
    Wait();
    EXPECT_TRUE(extracted.Contains(archive));
    browser->ExtractForBrowsing(b, Path("temp/"), {});
    Wait();
    EXPECT_TRUE(extracted.Contains(Path("other.zip")));
    EXPECT_FALSE(extracted.Contains(archive));
    EXPECT_TRUE(extracted.Contains(Path("running.zip")));
    EXPECT_EQ(ReadFile("temp/index.html").substr(0, 10), "index.html");
}

TEST_F(ZipBrowser, AddingListsTheNewEntriesAndFreshenReplacesOnlyPresentOnes)
{
    TZipNode *root = OpenAndWait(archive);
    WriteFile("more/new.txt", "new");
    WriteFile("files/notes.txt", "changed");
    // Newer than the archive's copy.
    const std::string notes = Path("files/notes.txt");
    std::filesystem::last_write_time(notes, std::filesystem::file_time_type::clock::now() + std::chrono::minutes(1));
    TZipAddJob freshen{archive, {notes, Path("more/new.txt")}, 1, false, false, 6};
    int outcome = -1;
    browser->Add(freshen, [&](int result) { outcome = result; });
    Wait();
    EXPECT_NE(outcome, 2);
    EXPECT_EQ(root->record->entries.count("new.txt"), 0u);
    EXPECT_EQ(root->record->entries.at("notes.txt")->size, 7u);

    TZipAddJob add{archive, {Path("more/new.txt")}, 0, false, false, 6};
    browser->Add(add);
    Wait();
    EXPECT_EQ(root->record->entries.count("new.txt"), 1u);
    EXPECT_EQ(root->record->entries.size(), 7u);
}

TEST_F(ZipBrowser, TheRunningTasksArchiveGrowsIsRenamedWithItAndKeepsItsCommands)
{
    const std::string running = Path("Downloads/task.zip");
    browser->RunStarted(running);
    Wait();
    TZipNode *root = browser->TreeModel().Tree().Find(running);
    ASSERT_TRUE(root);
    TZipCommandStates states = browser->States(true);
    EXPECT_FALSE(states.add || states.del || states.rename);
    EXPECT_TRUE(states.unzip);
    // Another archive selected meanwhile; the next update brings the selection back.
    OpenAndWait(archive);
    Make(running, {"index.html", "img/b.gif"});
    browser->RunArchiveUpdated();
    Wait();
    EXPECT_EQ(browser->CurrentArchive(), root);
    EXPECT_EQ(root->record->entries.size(), 2u);
    Make(running, {"ab.htm"});
    browser->RunArchiveUpdated();
    Wait();
    EXPECT_EQ(root->record->entries.size(), 3u);
    // The run names its archive after its start page.
    ASSERT_TRUE(RenameNoReplace(running, Path("Downloads/Title.zip")));
    browser->RunEnded(Path("Downloads/Title.zip"));
    Wait();
    EXPECT_EQ(root->record->path, Path("Downloads/Title.zip"));
    EXPECT_EQ(root->name, "Title.zip");
    EXPECT_TRUE(browser->States(true).rename);
}

} // namespace
} // namespace arvelo
