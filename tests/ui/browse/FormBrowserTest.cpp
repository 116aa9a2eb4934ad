#include "archive/ZipBrowser.h"
#include "core/App.h"
#include "core/AppPaths.h"
#include "core/FileUtils.h"
#include "crawl/Engine.h"
#include "model/Task.h"
#include "support/ScriptedServer.h"
#include "ui/browse/FormBrowser.h"
#include "ui/support/Screenshot.h"
#include "ui/support/WindowFixture.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QToolButton>
#include <QTreeView>
#include <QWebEngineHistory>
#include <QWebEngineView>

namespace arvelo {
namespace {

using test::PumpUntil;

// The built-in browser on a real display, showing real copies.
class FormBrowser : public test::WindowFixture {
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        // The web engine's processes live through every test: their
        // temporary files go where no test's end removes them.
        static QTemporaryDir engineTemp;
        ::setenv("TMPDIR", engineTemp.path().toUtf8().constData(), 1);
    }
    TFormBrowser *Browse() const { return window->findChild<QWidget *>(QStringLiteral("tsBrowse"))->findChild<TFormBrowser *>(); }
    std::string StatusText() const { return Child<QLabel>("lblStatus")->text().toStdString(); }
    // Loads the address in the Browse page's browser and waits for the end.
    bool Load(const std::string &address)
    {
        TFormBrowser *browser = Browse();
        bool finished = false;
        // A load cut short by this one ends too: only the target's end counts.
        const QString path = QString::fromStdString(address).remove(QStringLiteral("file://"));
        auto connection = QObject::connect(browser, &TFormBrowser::LoadFinished, [&] {
            finished = finished || View()->url().toLocalFile() == path;
        });
        browser->Navigate(address);
        const bool ok = PumpUntil([&] { return finished; }, 30);
        QObject::disconnect(connection);
        return ok;
    }
    QWebEngineView *View() const { return Browse()->View(); }
    // The Browse page as its link shows it, once its first page has loaded.
    void ShowBrowsePage()
    {
        bool finished = false;
        auto connection = QObject::connect(Browse(), &TFormBrowser::LoadFinished, [&] { finished = true; });
        window->findChild<QAction *>(QStringLiteral("actBrowse"))->trigger();
        ASSERT_TRUE(PumpUntil([&] { return View() != nullptr && finished; }, 30));
        QObject::disconnect(connection);
    }
    std::string Title() const { return View()->title().toStdString(); }
};

TEST_F(FormBrowser, TheBrowsePageShowsACopyAndRemembersWhereItWent)
{
    WriteFile("copy/index.html", "<html><head><title>First page</title></head><body>"
                                 "<a href=\"b/second.html\">next</a><img src=\"b/p.png\"></body></html>");
    WriteFile("copy/b/second.html", "<html><head><title>Second page</title></head><body>two</body></html>");
    OpenWindow();
    ShowBrowsePage();
    // With nothing chosen, the Downloads folder.
    EXPECT_EQ(View()->url().toLocalFile().toStdString(), app->DownloadsFolder());

    ASSERT_TRUE(Load(Path("copy/index.html")));
    EXPECT_EQ(Title(), "First page");
    EXPECT_TRUE(PumpUntil([&] { return StatusText() == "Done."; }, 5)) << StatusText();
    // The Browse page's own buttons (the Home page has a browser too).
    auto *back = test::NamedChild<QToolButton>(*Browse(), "btnBrowserBack");
    auto *forward = test::NamedChild<QToolButton>(*Browse(), "btnBrowserForward");
    ASSERT_TRUE(Load(Path("copy/b/second.html")));
    EXPECT_EQ(Title(), "Second page");
    EXPECT_TRUE(PumpUntil([&] { return back->isEnabled(); }, 5));
    EXPECT_FALSE(forward->isEnabled());
    test::Screenshot(*window, "browse");
    bool finished = false;
    QObject::connect(Browse(), &TFormBrowser::LoadFinished, [&] { finished = true; });
    QTest::mouseClick(back, Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return finished; }, 30));
    EXPECT_EQ(Title(), "First page");
    EXPECT_TRUE(PumpUntil([&] { return forward->isEnabled(); }, 5));

    // An address typed again in other letters is listed once, most recent first.
    ASSERT_TRUE(Load("file://" + Path("copy/index.html")));
    auto *addresses = test::NamedChild<QComboBox>(*Browse(), "cmbBrowserURL");
    EXPECT_EQ(addresses->count(), 3); // the Downloads folder, then the two pages
    EXPECT_EQ(addresses->itemText(0).toStdString(), Path("copy/b/second.html"));
}

TEST_F(FormBrowser, ACopiedPagesScriptCannotReadOtherLocalFiles)
{
    WriteFile("secret.txt", "the secret");
    const std::string secret = "file://" + Path("secret.txt");
    WriteFile("copy/hostile.html",
              "<html><head><title>waiting</title><script>\n"
              "fetch('" + secret + "').then(r => r.text()).then(t => { document.title = 'read: ' + t; })"
              ".catch(() => { var x = new XMLHttpRequest();"
              " try { x.open('GET', '" + secret + "', false); x.send();"
              " document.title = x.responseText ? 'read: ' + x.responseText : 'blocked'; }"
              " catch (e) { document.title = 'blocked'; } });\n"
              "</script></head><body>hostile</body></html>");
    OpenWindow();
    ShowBrowsePage();
    ASSERT_TRUE(Load(Path("copy/hostile.html")));
    ASSERT_TRUE(PumpUntil([&] { return Title() != "waiting"; }, 10)) << Title();
    EXPECT_EQ(Title(), "blocked");
}

TEST_F(FormBrowser, APageChosenInAnArchiveIsExtractedAndShown)
{
    WriteFile("files/site/index.html", "<html><head><title>Zipped page</title></head><body>z</body></html>");
    WriteFile("files/site/a.css", "body { color: red }");
    TZipArchive zip;
    zip.ZipFileName = Path("site.zip");
    zip.BaseDirectory = Path("files/");
    zip.FilesToProcess = {"site/index.html", "site/a.css"};
    ASSERT_EQ(zip.Add(0), zrSuccess);
    ImportShippedFileTypes();
    OpenWindow();
    window->OpenTexts({Path("site.zip")}, TOpenSource::kDrop);
    ASSERT_TRUE(PumpUntil([&] { return window->Archives().CurrentArchive() && !window->Archives().Busy(); }, 10));
    auto *pane = Child<QTabWidget>("pcZips");
    pane->setCurrentWidget(Child<QTreeView>("tvPages"));
    bool finished = false;
    window->findChild<QAction *>(QStringLiteral("actBrowse"))->trigger();
    ASSERT_TRUE(PumpUntil([&] { return View() != nullptr; }, 10));
    QObject::connect(Browse(), &TFormBrowser::LoadFinished, [&] { finished = true; });
    ASSERT_TRUE(PumpUntil([&] { return finished; }, 30));
    EXPECT_EQ(Title(), "Zipped page");
    EXPECT_EQ(View()->url().toLocalFile().toStdString(), IncludeTrailingSlash(app->TempFolder()) + "site/index.html");
}

TEST_F(FormBrowser, TheHomePageAndReleaseNotesAreShippedPages)
{
    OpenWindow();
    window->findChild<QAction *>(QStringLiteral("actHome"))->trigger();
    TFormBrowser *home = window->findChild<QWidget *>(QStringLiteral("tsHome"))->findChild<TFormBrowser *>();
    ASSERT_TRUE(PumpUntil([&] { return home->View() && !home->View()->title().isEmpty() &&
                                       home->View()->url().isLocalFile(); }, 30));
    ASSERT_TRUE(PumpUntil([&] { return home->View()->title() == QStringLiteral("Arvelo"); }, 30));
    test::Screenshot(*window, "home");
    window->findChild<QAction *>(QStringLiteral("miHelpReleaseNotes"))->trigger();
    ASSERT_TRUE(PumpUntil([&] { return View() && View()->title() == QStringLiteral("Arvelo Release Notes"); }, 30));
    // The help button (and F1): the help's contents, in the same page.
    EXPECT_EQ(window->Action("miHelpContents")->shortcut().toString().toStdString(), "F1");
    QTest::mouseClick(window->findChild<QToolButton *>(QStringLiteral("btnHelp")), Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return View()->title() == QStringLiteral("Arvelo Help - Contents"); }, 30));
    EXPECT_TRUE(PumpUntil([&] { return StatusText() == "Done."; }, 10)) << StatusText();
    test::Screenshot(*window, "help");
}

} // namespace
} // namespace arvelo
