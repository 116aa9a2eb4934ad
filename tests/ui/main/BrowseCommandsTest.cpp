#include "archive/ZipBrowser.h"
#include "core/FileUtils.h"
#include "crawl/Engine.h"
#include "model/Task.h"
#include "support/ScriptedServer.h"
#include "ui/archive/FormZip.h"
#include "ui/schedule/FormScheduler.h"
#include "ui/support/WindowFixture.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

namespace arvelo {
namespace {

using test::PumpUntil;

// The Browse commands of the task pane and the archive list, with the
// desktop's opening recorded.
class BrowseCommands : public test::WindowFixture {
protected:
    TFormScheduler &Pane() { return *Child<TFormScheduler>("FormScheduler"); }
    void ChooseTask(const std::string &name)
    {
        QTreeView &list = *Pane().lvTasks;
        for (int row = 0; row < list.model()->rowCount(); ++row)
            if (list.model()->index(row, 0).data().toString().toStdString() == name)
                list.setCurrentIndex(list.model()->index(row, 0));
    }
    std::vector<std::string> Opened() const
    {
        std::vector<std::string> files;
        for (const QUrl &url : opened.urls)
            files.push_back(url.isLocalFile() ? url.toLocalFile().toStdString() : url.toString().toStdString());
        return files;
    }
};

TEST_F(BrowseCommands, ATasksBrowseOpensItsLocalStartPageWholeOrOffersARun)
{
    WriteTask("my site; \"copy\"", "http://www.site.example/docs/index.html");
    OpenWindow();
    window->findChild<QAction *>(QStringLiteral("actTasks"))->trigger();
    ChooseTask("my site; \"copy\"");
    auto *browse = Child<QToolButton>("btnTaskBrowse");
    ASSERT_TRUE(browse->isEnabled());
    QTest::mouseClick(browse, Qt::LeftButton);
    // The path with its blanks, quotes and ";" as one file.
    EXPECT_EQ(Opened(), (std::vector<std::string>{Path("copy-my site; \"copy\"/www.site.example/docs/index.html")}));

    // The built-in browser beside a folder copy: the intranet tree shows its folder.
    QAction *integrated = window->findChild<QAction *>(QStringLiteral("miTaskOfflineIntegrated"));
    // The Task menu opens first, as it decides what is enabled.
    QMetaObject::invokeMethod(window->findChild<QAction *>(QStringLiteral("miTaskEdit"))->associatedObjects().first(),
                              "aboutToShow");
    ASSERT_TRUE(integrated->isEnabled());
    integrated->trigger();
    EXPECT_EQ(window->CurrentPage()->objectName().toStdString(), "tsBrowse");
    EXPECT_EQ(Child<QTabWidget>("pcZips")->currentWidget(), Child<QTreeView>("tvIntranet"));

    // A zip copy whose archive is gone: a run is offered instead.
    TAVTask *task = window->Engine().tasks.Tasks().front().get();
    task->intranetMode = false;
    task->destination = Path("Downloads/gone.zip");
    notifier.answer = false;
    QTest::mouseClick(browse, Qt::LeftButton);
    ASSERT_FALSE(notifier.questions.empty());
    EXPECT_EQ(notifier.questions.back(), "This task has not been run, or its resulting Zip file no longer exists. Run it now?");
    EXPECT_EQ(opened.urls.size(), 1u);
}

TEST_F(BrowseCommands, AnExploredItemOpensAsItsLocalCopy)
{
    StartServer();
    WriteProfile("Whole Site");
    app->SetSaveMode(1);
    OpenWindow();
    Child<QComboBox>("cmbProfile")->setCurrentIndex(Child<QComboBox>("cmbProfile")->findText(QStringLiteral("Whole Site")));
    Child<QComboBox>("cmbURL")->setEditText(QString::fromStdString(server->URL("/index.html")));
    window->Go();
    ASSERT_TRUE(PumpUntil([&] {
        const auto &tasks = window->Engine().tasks.Tasks();
        return !tasks.empty() && tasks.front()->status == tsTaskComplete;
    }, 120));
    TAVTask *task = window->Engine().tasks.Tasks().front().get();
    window->Engine().run.SelectTask(task);
    window->findChild<QAction *>(QStringLiteral("actExplore"))->trigger();
    auto *list = Child<QTreeView>("lvExplore");
    ASSERT_TRUE(PumpUntil([&] { return list->model()->rowCount() > 0; }, 10));
    const QModelIndex first = list->model()->index(0, 0);
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, list->visualRect(first).center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(first).center());
    ASSERT_TRUE(PumpUntil([&] { return !opened.urls.empty(); }, 10));
    // The start page's copy under the task's folder.
    const std::string page = Opened().front();
    EXPECT_EQ(page.rfind(task->destination, 0), 0u) << page;
    EXPECT_EQ(page.substr(page.size() - 10), "index.html");
    EXPECT_TRUE(FileExists(page));
}

TEST_F(BrowseCommands, ADoubleClickOnAnImageEntryTakesOutThatFileAloneAndOpensIt)
{
    for (const char *name : {"site/index.html", "site/img/a.gif", "site/img/b.gif"})
        WriteFile(std::string("files/") + name, name);
    TZipArchive zip;
    zip.ZipFileName = Path("site.zip");
    zip.BaseDirectory = Path("files/");
    zip.FilesToProcess = {"site/index.html", "site/img/a.gif", "site/img/b.gif"};
    ASSERT_EQ(zip.Add(0), zrSuccess);
    ImportShippedFileTypes();
    OpenWindow();
    window->OpenTexts({Path("site.zip")}, TOpenSource::kDrop);
    ASSERT_TRUE(PumpUntil([&] { return window->Archives().CurrentArchive() && !window->Archives().Busy(); }, 10));
    auto *list = Child<QTreeView>("lvZip");
    int row = -1;
    for (int i = 0; i < list->model()->rowCount(); ++i)
        if (list->model()->index(i, 0).data().toString() == QStringLiteral("a.gif"))
            row = i;
    ASSERT_GE(row, 0);
    const QModelIndex at = list->model()->index(row, 0);
    list->setCurrentIndex(at);
    // A double click is a press, then the second click on the same row.
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, list->visualRect(at).center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(at).center());
    ASSERT_TRUE(PumpUntil([&] { return !opened.urls.empty(); }, 10));
    const std::string temp = IncludeTrailingSlash(app->TempFolder());
    EXPECT_EQ(Opened(), (std::vector<std::string>{temp + "site/img/a.gif"}));
    EXPECT_EQ(test::FilesUnder(temp + "site/"), (std::vector<std::string>{"img/a.gif"}));
}

} // namespace
} // namespace arvelo
