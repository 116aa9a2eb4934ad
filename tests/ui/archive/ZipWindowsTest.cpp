#include "archive/ZipBrowser.h"
#include "archive/ZipModels.h"
#include "core/FileUtils.h"
#include "core/Settings.h"
#include "crawl/Engine.h"
#include "model/Task.h"
#include "support/ScriptedServer.h"
#include "ui/archive/FormExtract.h"
#include "ui/archive/WizFileZip.h"
#include "ui/support/Modal.h"
#include "ui/support/Screenshot.h"
#include "ui/support/ScriptedDialogs.h"
#include "ui/support/WindowFixture.h"

#include <gtest/gtest.h>

#include <zip.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <sys/stat.h>

namespace arvelo {
namespace {

using test::PumpUntil;

// The archive windows on real archives: a zip-mode copy of the test site,
// and archives made here.
class ZipWindows : public test::WindowFixture {
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        SetDialogs(&dialogs);
    }
    void TearDown() override
    {
        test::ForgetModalWatchers();
        SetDialogs(nullptr);
        WindowFixture::TearDown();
    }

    // The entries of an archive as libzip lists them, with their figures.
    std::map<std::string, TZipFileStats> Listed(const std::string &path) const
    {
        TZipArchive zip;
        zip.ZipFileName = path;
        std::map<std::string, TZipFileStats> entries;
        zip.OnListing = [&](const TZipFileStats &stats) { entries[stats.fileName] = stats; };
        zip.List();
        return entries;
    }
    void Make(const std::string &path, const StringList &entries)
    {
        for (const std::string &entry : entries)
            WriteFile("files/" + entry, entry + std::string(3000, 'x'));
        TZipArchive zip;
        zip.ZipFileName = path;
        zip.BaseDirectory = Path("files/");
        zip.FilesToProcess = entries;
        ASSERT_EQ(zip.Add(0), zrSuccess);
    }
    TZipBrowser &Browser() const { return window->Archives(); }
    void WaitIdle()
    {
        ASSERT_TRUE(PumpUntil([&] { return !Browser().Busy(); }, 20));
    }
    QAction *Action(const char *name) const { return window->findChild<QAction *>(QString::fromLatin1(name)); }
    // Chooses the menu entry as a user does: its menu opens first, which
    // decides whether it is enabled.
    void Choose(const char *name)
    {
        QAction *action = Action(name);
        QMetaObject::invokeMethod(action->associatedObjects().first(), "aboutToShow");
        ASSERT_TRUE(action->isEnabled()) << name;
        action->trigger();
    }
    // Selects the node in the zips tree as a click does.
    void SelectInTree(TZipNode *node)
    {
        auto *tree = Child<QTreeView>("tvZip");
        std::vector<const TZipNode *> path;
        for (const TZipNode *up = node; up; up = up->parent)
            path.insert(path.begin(), up);
        QModelIndex at;
        for (const TZipNode *step : path) {
            at = tree->model()->index(step->parent ? step->Row() : Browser().TreeModel().IndexOf(step).row(), 0, at);
            tree->expand(at);
        }
        tree->setFocus();
        tree->setCurrentIndex(at);
    }
    std::string StatusText() const { return Child<QLabel>("lblStatus")->text().toStdString(); }

    test::TScriptedDialogs dialogs;
};

TEST_F(ZipWindows, AZipRunFillsItsArchiveWhoseTreeListAndPagesAreTheArchivesOwn)
{
    StartServer(true);
    WriteProfile("Whole Site");
    app->SetSaveMode(0);
    OpenWindow();
    auto *profiles = Child<QComboBox>("cmbProfile");
    profiles->setCurrentIndex(profiles->findText(QStringLiteral("Whole Site")));
    auto *urls = Child<QComboBox>("cmbURL");
    urls->setFocus();
    QTest::keyClicks(urls, QString::fromStdString(server->URL("/index.html")));
    QTest::keyClick(urls, Qt::Key_Return);

    // The run's archive shows at once and grows while the run goes on.
    TZipTree &tree = Browser().TreeModel().Tree();
    size_t grown = 0;
    ASSERT_TRUE(PumpUntil(
        [&] {
            const auto &tasks = window->Engine().tasks.Tasks();
            if (tasks.empty())
                return false;
            TAVTask *task = tasks.front().get();
            if (task->status == tsDownloading && tree.Count() == 1)
                grown = std::max(grown, tree.Archive(0)->record->entries.size());
            return task->status == tsZipped;
        },
        120))
        << StatusText();
    WaitIdle();
    TAVTask *task = window->Engine().tasks.Tasks().front().get();
    ASSERT_EQ(tree.Count(), 1u);
    TZipNode *root = tree.Archive(0);
    // Named after its start page at the end, as the task says.
    EXPECT_EQ(root->record->path, task->destination);
    EXPECT_GT(grown, 0u) << "entries listed while the run went on";

    const auto listed = Listed(task->destination);
    ASSERT_FALSE(listed.empty());
    std::map<std::string, std::string> inTree, inArchive;
    for (const auto &[name, node] : root->record->entries)
        inTree[name] = node->comment;
    uint64_t size = 0, packed = 0;
    for (const auto &[name, stats] : listed) {
        inArchive[name] = stats.comment;
        size += stats.size;
        packed += stats.compressedSize;
    }
    EXPECT_EQ(inTree, inArchive);
    // The start page: the host's folder, then its name.
    std::string start;
    for (const auto &[name, comment] : inTree)
        if (name.size() > 11 && name.compare(name.size() - 11, 11, "/index.html") == 0 &&
            std::count(name.begin(), name.end(), '/') == 1)
            start = name;
    ASSERT_FALSE(start.empty());
    EXPECT_FALSE(inTree.at(start).empty()) << "the page title as comment";
    EXPECT_EQ(Browser().TreeModel().data(Browser().TreeModel().IndexOf(root->record->entries.at(start)))
                  .toString()
                  .toStdString(),
              "index.html   (" + inTree.at(start) + ")");

    // The list of the root shows every entry with the archive's totals.
    SelectInTree(root);
    window->findChild<QAction *>(QStringLiteral("actZipProperties"))->trigger();
    EXPECT_EQ(Child<QTreeView>("lvZip")->model()->rowCount(), static_cast<int>(listed.size()));
    EXPECT_EQ(Child<QLabel>("lblTotal")->text().toStdString(), ZipTotalsLine(listed.size(), size, packed, listed.size()));
    Child<QTreeView>("lvZip")->sortByColumn(TZipEntryModel::colSize, Qt::DescendingOrder);
    test::Screenshot(*window, "properties");

    // "Pages": the HTML entries only.
    std::set<std::string> pages;
    QAbstractItemModel *pagesModel = Child<QTreeView>("tvPages")->model();
    for (int row = 0; row < pagesModel->rowCount(); ++row)
        pages.insert(pagesModel->index(row, 0).data(Qt::ToolTipRole).toString().toStdString());
    std::set<std::string> expectedPages;
    for (const auto &[name, stats] : listed)
        if (IsPageEntry(name))
            expectedPages.insert(name);
    EXPECT_EQ(pages, expectedPages);
    EXPECT_FALSE(pages.empty());
}

TEST_F(ZipWindows, TheWizardMakesAnArchiveOfExactlyItsListAndCancelKeepsWhatWasThere)
{
    OpenWindow();
    WriteFile("old.zip", "precious");
    WriteFile("files/a.txt", "aaa");
    WriteFile("files/b.txt", "bbb");
    // Create over an existing file, then Cancel: the file stays.
    dialogs.answers = {Path("old.zip")};
    test::OnNextModal<TwizFileZip>([&](TwizFileZip &wizard) {
        QTest::mouseClick(test::NamedChild<QPushButton>(wizard, "btnNewZip"), Qt::LeftButton);
        EXPECT_FALSE(test::NamedChild<QRadioButton>(wizard, "rbFreshen")->isEnabled());
        QTest::mouseClick(test::NamedChild<QPushButton>(wizard, "btnCancel"), Qt::LeftButton);
    });
    Action("miFileNewFileZip")->trigger();
    EXPECT_EQ(ReadFile("old.zip"), "precious");

    // Bad names keep the first page.
    const std::string message = "A valid Zip filename is required.\nHint:  Arvelo requires the full path and filename.";
    dialogs.answers = {Path("new")};
    dialogs.fileLists = {{Path("files/a.txt"), Path("files/b.txt")}, {Path("files/a.txt")}};
    test::OnNextModal<TwizFileZip>([&](TwizFileZip &wizard) {
        EXPECT_EQ(wizard.windowTitle().toStdString(), "File Zip Wizard");
        auto *next = test::NamedChild<QPushButton>(wizard, "btnNext");
        auto *file = test::NamedChild<QLineEdit>(wizard, "edZipFile");
        for (const char *bad : {".zip", "name.zip"}) {
            file->setText(QString::fromLatin1(bad));
            QTest::mouseClick(next, Qt::LeftButton);
            EXPECT_EQ(notifier.errors.back(), message) << bad;
            EXPECT_EQ(wizard.findChild<QWidget *>(QStringLiteral("tsZipFilename"))->isVisible(), true) << bad;
        }
        QTest::mouseClick(test::NamedChild<QPushButton>(wizard, "btnNewZip"), Qt::LeftButton);
        test::Screenshot(wizard, "page1");
        QTest::mouseClick(next, Qt::LeftButton);
        EXPECT_EQ(file->text().toStdString(), Path("new.zip"));
        QTest::mouseClick(test::NamedChild<QPushButton>(wizard, "btnAdd"), Qt::LeftButton);
        QTest::mouseClick(test::NamedChild<QPushButton>(wizard, "btnAdd"), Qt::LeftButton);
        EXPECT_EQ(test::NamedChild<QTreeView>(wizard, "lvFiles")->model()->rowCount(), 2) << "a path once";
        test::NamedChild<QCheckBox>(wizard, "cbUsePaths")->setChecked(false);
        test::Screenshot(wizard, "page2");
        QTest::mouseClick(next, Qt::LeftButton);
        EXPECT_EQ(next->text().toStdString(), "&Finish");
        test::Screenshot(wizard, "page3");
        QTest::mouseClick(next, Qt::LeftButton);
    });
    Action("miFileNewFileZip")->trigger();
    WaitIdle();
    const auto listed = Listed(Path("new.zip"));
    std::set<std::string> names;
    for (const auto &[name, stats] : listed)
        names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{"a.txt", "b.txt"}));
    TZipNode *root = Browser().TreeModel().Tree().Find(Path("new.zip"));
    ASSERT_TRUE(root);
    EXPECT_EQ(root->record->entries.size(), 2u);
    EXPECT_FALSE(ReadSetting(kSettingsKey, "Use Paths", true));
}

TEST_F(ZipWindows, ThreeFilesDroppedOpenTheWizardWithThem)
{
    OpenWindow();
    std::string title;
    int rows = 0;
    test::OnNextModal<TwizFileZip>([&](TwizFileZip &wizard) {
        title = wizard.windowTitle().toStdString();
        rows = test::NamedChild<QTreeView>(wizard, "lvFiles")->model()->rowCount();
        wizard.reject();
    });
    for (const char *name : {"a", "b", "c"})
        WriteFile(std::string("drop/") + name, name);
    window->OpenTexts({"file://" + Path("drop/a"), "file://" + Path("drop/b"), "file://" + Path("drop/c")},
                      TOpenSource::kDrop);
    EXPECT_EQ(title, "File Zip Wizard - 3 files dropped.");
    EXPECT_EQ(rows, 3);
}

TEST_F(ZipWindows, UnzipExtractsWhatTheSelectedNodeCoversAndRefusesAHostileArchive)
{
    OpenWindow();
    Make(Path("site.zip"), {"index.html", "img/a.gif", "img/deep/b.gif", "notes.txt"});
    window->OpenTexts({Path("site.zip")}, TOpenSource::kDrop);
    WaitIdle();
    TZipNode *root = Browser().TreeModel().Tree().Find(Path("site.zip"));
    ASSERT_TRUE(root);
    EXPECT_TRUE(Child<QToolButton>("btnAddToSelectedZip")->isEnabled());
    SelectInTree(root->record->folders.at("img/"));
    EXPECT_EQ(Child<QTreeView>("lvZip")->model()->rowCount(), 2);
    bool selectedFiles = false;
    test::OnNextModal<TFormExtract>([&](TFormExtract &extract) {
        selectedFiles = test::NamedChild<QRadioButton>(extract, "rbSelectedFiles")->isChecked();
        auto *target = test::NamedChild<QLineEdit>(extract, "edUnzipTo");
        target->clear();
        EXPECT_FALSE(test::NamedChild<QPushButton>(extract, "btnUnzip")->isEnabled());
        target->setText(QString::fromStdString(Path("out")));
        test::Screenshot(extract, "dialog");
        QTest::mouseClick(test::NamedChild<QPushButton>(extract, "btnUnzip"), Qt::LeftButton);
    });
    Choose("miZipUnzip");
    WaitIdle();
    EXPECT_TRUE(selectedFiles);
    EXPECT_EQ(test::FilesUnder(Path("out/")), (std::vector<std::string>{"img/a.gif", "img/deep/b.gif"}));

    // An archive with an entry out of its folder, or a link, writes nothing.
    for (bool link : {false, true}) {
        int error = 0;
        const std::string file = Path(link ? "link.zip" : "evil.zip");
        zip_t *archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        const char *name = link ? "link" : "../x";
        zip_source_t *source = zip_source_buffer(archive, "/etc/passwd", 11, 0);
        const zip_int64_t index = zip_file_add(archive, name, source, ZIP_FL_ENC_RAW);
        if (link)
            zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                             (S_IFLNK | 0777) << 16);
        ASSERT_EQ(zip_close(archive), 0);
        window->OpenTexts({file}, TOpenSource::kDrop);
        WaitIdle();
        const size_t errors = notifier.errors.size();
        test::OnNextModal<TFormExtract>([&](TFormExtract &extract) {
            test::NamedChild<QLineEdit>(extract, "edUnzipTo")->setText(QString::fromStdString(Path("hostile")));
            QTest::mouseClick(test::NamedChild<QPushButton>(extract, "btnUnzip"), Qt::LeftButton);
        });
        SelectInTree(Browser().TreeModel().Tree().Find(file));
        Choose("miZipUnzip");
        WaitIdle();
        EXPECT_EQ(notifier.errors.size(), errors + 1) << name;
        EXPECT_FALSE(FileExists(Path("x"))) << name;
        EXPECT_TRUE(test::FilesUnder(Path("hostile/")).empty()) << name;
    }
}

TEST_F(ZipWindows, TreeCommandsRenameDeleteAndTellACorruptArchive)
{
    OpenWindow();
    Make(Path("site.zip"), {"index.html", "a*.htm", "ab.htm", "img/deep/a.gif"});
    Make(Path("taken.zip"), {"x.txt"});
    dialogs.answers = {Path("site.zip")};
    Action("miZipOpen")->trigger();
    WaitIdle();
    TZipNode *root = Browser().TreeModel().Tree().Find(Path("site.zip"));
    ASSERT_TRUE(root);

    // Del in the entry list asks, then deletes exactly that entry.
    SelectInTree(root);
    auto *list = Child<QTreeView>("lvZip");
    QAbstractItemModel *rows = list->model();
    int wildRow = -1;
    for (int row = 0; row < rows->rowCount(); ++row)
        if (rows->index(row, 0).data().toString() == QStringLiteral("a*.htm"))
            wildRow = row;
    ASSERT_GE(wildRow, 0);
    list->setFocus();
    list->setCurrentIndex(rows->index(wildRow, 0));
    QTest::keyClick(list, Qt::Key_Delete);
    WaitIdle();
    EXPECT_EQ(notifier.questions.back(), "Are you sure you want to delete a*.htm?");
    const auto left = Listed(Path("site.zip"));
    EXPECT_EQ(left.count("a*.htm"), 0u);
    EXPECT_EQ(left.count("ab.htm"), 1u);

    // Del in the tree on the last file of a folder: the empty folders go too.
    SelectInTree(root->record->entries.at("img/deep/a.gif"));
    QTest::keyClick(Child<QTreeView>("tvZip"), Qt::Key_Delete);
    WaitIdle();
    EXPECT_TRUE(root->record->folders.empty());
    EXPECT_EQ(Browser().Selected(), root);

    // Renaming by editing the caption: a taken name gets "(0)".
    SelectInTree(root);
    Choose("miZipRename");
    auto *editor = Child<QTreeView>("tvZip")->findChild<QLineEdit *>();
    ASSERT_TRUE(editor);
    editor->setText(QStringLiteral("taken.zip"));
    QTest::keyClick(editor, Qt::Key_Return);
    // The view takes the edit in a queued call.
    PumpUntil([&] { return root->record->path != Path("site.zip"); }, 5);
    EXPECT_EQ(root->record->path, Path("taken(0).zip"));
    EXPECT_TRUE(FileExists(Path("taken(0).zip")));

    // Deleting the archive itself: to the trash after "Confirm File Delete".
    dialogs.trashAnswers = {true};
    SelectInTree(root);
    QTest::keyClick(Child<QTreeView>("tvZip"), Qt::Key_Delete);
    EXPECT_FALSE(FileExists(Path("taken(0).zip")));
    EXPECT_TRUE(FileExists(std::string(qgetenv("XDG_DATA_HOME").constData()) + "/Trash/files/taken(0).zip"));
    EXPECT_EQ(Browser().TreeModel().rowCount(), 0);
    EXPECT_FALSE(Child<QToolButton>("btnAddToSelectedZip")->isEnabled());

    // A corrupt file: its message, and no node.
    WriteFile("bad.zip", "PK\x03\x04 not an archive");
    dialogs.answers = {Path("bad.zip")};
    Action("miZipOpen")->trigger();
    WaitIdle();
    EXPECT_EQ(notifier.errors.back(), "The archive file is corrupted. Try using the Fix option on it.");
    EXPECT_EQ(Browser().TreeModel().rowCount(), 0);
}

} // namespace
} // namespace arvelo
