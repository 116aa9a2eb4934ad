#include "core/FileUtils.h"
#include "crawl/Engine.h"
#include "model/FileTypes.h"
#include "model/Task.h"
#include "schedule/Schedule.h"
#include "support/ScriptedServer.h"
#include "support/TestSite.h"
#include "ui/common/Dialogs.h"
#include "ui/editors/DlgEditProfile.h"
#include "ui/editors/DlgEditTask.h"
#include "ui/editors/DlgFileType.h"
#include "ui/editors/DlgURLFilter.h"
#include "ui/editors/DlgUserNamePassword.h"
#include "ui/editors/FilterList.h"
#include "ui/editors/FileTypeTree.h"
#include "ui/schedule/DlgSchedule.h"
#include "ui/support/Modal.h"
#include "ui/support/ScriptedDialogs.h"
#include "ui/support/Screenshot.h"
#include "ui/support/WindowFixture.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QTimeEdit>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QTreeView>

#include <deque>

namespace arvelo {
namespace {

using test::PumpUntil;

// Clicks a check box or radio button on its box: a button stretched across
// its row takes clicks on its box and text only.
void Click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

using test::TScriptedDialogs;

class Editors : public test::WindowFixture {
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        SetDialogs(&dialogs);
    }
    void TearDown() override
    {
        SetDialogs(nullptr);
        WindowFixture::TearDown();
    }

    template <typename T>
    static T *In(const QWidget &parent, const char *name)
    {
        return test::NamedChild<T>(parent, name);
    }

    // The row of an extension in the file-type tree.
    static QModelIndex Extension(QTreeView &tree, const std::string &group, const std::string &extension)
    {
        QAbstractItemModel &model = *tree.model();
        for (int g = 0; g < model.rowCount(); ++g) {
            QModelIndex groupRow = model.index(g, 0);
            if (groupRow.data().toString().toStdString() != group)
                continue;
            for (int e = 0; e < model.rowCount(groupRow); ++e)
                if (model.index(e, 0, groupRow).data().toString().toStdString() == extension)
                    return model.index(e, 0, groupRow);
        }
        return {};
    }

    // A task as "Create New Task" receives it.
    void FillNewTask(TAVTask &task) const
    {
        task.taskName = "site";
        task.category = "General";
        task.taskFile = app->TasksFolder() + "General/site.avt";
        task.url = "http://www.site.example/";
        task.intranetMode = true;
        task.destination = app->LocalIntranetFolder();
    }

    TScriptedDialogs dialogs;
};

TEST_F(Editors, GoWithCustomCopiesWhatTheEditorSays)
{
    StartServer();
    OpenWindow();
    const std::string copy = Path("copy/");
    std::string title;
    test::OnNextModal<TdlgEditTask>([&](TdlgEditTask &editor) {
        title = editor.windowTitle().toStdString();
        // Every screen as the user sees it.
        for (int row = 0; row < editor.ListView1->count(); ++row) {
            editor.ListView1->setCurrentRow(row);
            test::Screenshot(editor, "screen" + std::to_string(row));
        }
        editor.ListView1->setCurrentRow(3);
        Click(editor.rbLevelsN);
        editor.seLevels->setValue(1);
        EXPECT_EQ(editor.cmbProfile->currentText().toStdString(), "Custom");
        editor.ListView1->setCurrentRow(2);
        Click(editor.fileTypes->cbAll); // off
        QModelIndex html = Extension(*editor.fileTypes->tvFileTypes, "HTML", ".html");
        ASSERT_TRUE(html.isValid());
        editor.fileTypes->tvFileTypes->model()->setData(html, Qt::Checked, Qt::CheckStateRole);
        EXPECT_FALSE(editor.fileTypes->cbAll->isChecked());
        editor.ListView1->setCurrentRow(4);
        EXPECT_TRUE(editor.cbObeyRobots->isChecked());
        Click(editor.cbObeyRobots); // off
        editor.ListView1->setCurrentRow(1);
        Click(editor.rbIntranet);
        editor.edIntranetFolder->setText(QString::fromStdString(copy));
        editor.ListView1->setCurrentRow(7);
        Click(editor.rbNow);
        QTest::mouseClick(editor.btnOK, Qt::LeftButton);
    });
    auto *profiles = Child<QComboBox>("cmbProfile");
    profiles->setCurrentIndex(profiles->findText(QStringLiteral("Custom")));
    auto *urls = Child<QComboBox>("cmbURL");
    urls->setFocus();
    QTest::keyClicks(urls, QString::fromStdString(server->URL("/index.html")));
    QTest::keyClick(urls, Qt::Key_Return);
    EXPECT_EQ(title, "Create New Task");
    ASSERT_EQ(window->Engine().tasks.Tasks().size(), 1u);
    TAVTask &task = *window->Engine().tasks.Tasks().front();
    ASSERT_TRUE(PumpUntil([&] { return task.status == tsTaskComplete; }, 60000));

    // One level of pages (frames, inline frames and a refresh's target belong
    // to their page's level), no picture, no style sheet.
    EXPECT_EQ(test::CopiedFilesUnder(copy),
              test::SiteExpectedFiles({"index.html", "about.html", "sub/page2.html", "frames.html", "left.html",
                                       "right.html", "refresh.html", "new.html", "list.html?id=1", "list.html?id=2",
                                       "old.html", "modern.html", "modern/frame.html"}));
    EXPECT_EQ(task.profile.depth, 1);
    EXPECT_EQ(task.profile.fileTypes, StringList{".html"});
    EXPECT_FALSE(task.profile.obeyRobots);
    EXPECT_EQ(server->AllRequests(), server->Requests());
}

TEST_F(Editors, BadInputIsRefusedWhileTheEditorStaysOpen)
{
    WriteFile("Tasks/General/docs.avt", "[Task]\r\nTask Name=docs\r\n");
    const std::vector<std::string> before = test::FilesUnder(Home());
    TAVTask task;
    FillNewTask(task);
    TdlgEditTask editor(task, TTaskEditTitle::kCreate, {}, nullptr);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));

    struct Case {
        const char *what;
        std::function<void()> enter;
        std::string message;
    } cases[] = {
        {"scheme", [&] { editor.cmbURL->setEditText(QStringLiteral("ftp://www.site.example/")); },
         "A valid Internet address (URL) is required"},
        {"empty name", [&] { editor.edTaskName->clear(); }, "A name for this Arvelo task is required."},
        {"slash", [&] { editor.edTaskName->setText(QStringLiteral("a/b")); }, ForbiddenNameText()},
        {"taken", [&] { editor.edTaskName->setText(QStringLiteral("docs")); },
         RenameFailureText(app->TasksFolder() + "General/docs.avt", true)},
        {"zip .zip",
         [&] {
             editor.rbZip->setChecked(true);
             editor.edFileName->setText(QString::fromStdString(Home() + ".zip"));
         },
         "A valid Zip filename is required.\nHint:  Arvelo requires the full path and filename."},
        {"zip without folder",
         [&] {
             editor.rbZip->setChecked(true);
             editor.edFileName->setText(QStringLiteral("site.zip"));
         },
         "A valid Zip filename is required.\nHint:  Arvelo requires the full path and filename."},
        {"relative folder",
         [&] {
             editor.rbIntranet->setChecked(true);
             editor.edIntranetFolder->setText(QStringLiteral("My Intranet/"));
         },
         "A valid Intranet Folder is required.\nHint:  Arvelo requires the full path to the Intranet Folder."},
    };
    for (const Case &c : cases) {
        QTest::mouseClick(editor.btnReset, Qt::LeftButton);
        c.enter();
        const QString name = editor.edTaskName->text();
        notifier.errors.clear();
        QTest::mouseClick(editor.btnOK, Qt::LeftButton);
        EXPECT_EQ(notifier.errors, std::vector<std::string>{c.message}) << c.what;
        EXPECT_TRUE(editor.isVisible()) << c.what;
        EXPECT_EQ(editor.edTaskName->text(), name) << c.what;
    }
    // An address without its scheme is completed in place, and the name
    // the user typed stays while another check fails.
    QTest::mouseClick(editor.btnReset, Qt::LeftButton);
    editor.cmbURL->setEditText(QStringLiteral("www.site.example/docs"));
    editor.edTaskName->setText(QStringLiteral("my docs"));
    editor.edIntranetFolder->clear();
    QTest::mouseClick(editor.btnOK, Qt::LeftButton);
    EXPECT_EQ(editor.cmbURL->currentText(), QStringLiteral("http://www.site.example/docs"));
    EXPECT_EQ(editor.edTaskName->text(), QStringLiteral("my docs"));
    EXPECT_TRUE(editor.isVisible());

    QTest::mouseClick(editor.btnCancel, Qt::LeftButton);
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(test::FilesUnder(Home()), before) << "Cancel writes nothing";
}

TEST_F(Editors, TheScheduleDialogRefusesTextAndGivesTheTaskItsTime)
{
    TAVTask task;
    FillNewTask(task);
    TdlgEditTask editor(task, TTaskEditTitle::kCreate, {}, nullptr);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    editor.ListView1->setCurrentRow(7);

    const QDate day = QDate::currentDate().addDays(2);
    test::OnNextModal<TdlgSchedule>([&](TdlgSchedule &dialog) {
        dialog.edHours->setText(QStringLiteral("abc"));
        Click(dialog.rbEvery);
        EXPECT_EQ(notifier.errors.back(), "'abc' is not a valid integer value");
        dialog.edHours->setText(QStringLiteral("-5"));
        Click(dialog.rbEvery);
        EXPECT_EQ(dialog.edHours->text(), QStringLiteral("0"));
        Click(dialog.rbWeekly);
        notifier.errors.clear();
        dialog.accept();
        EXPECT_EQ(notifier.errors, std::vector<std::string>{"A least one day must be selected for a weekly schedule."});
        EXPECT_TRUE(dialog.isVisible());
        dialog.dtpDate->setDate(day);
        dialog.dtpTime->setTime(QTime(9, 30));
        EXPECT_TRUE(dialog.rbAt->isChecked());
        test::Screenshot(dialog, "schedule");
        dialog.accept();
    });
    QTest::mouseClick(editor.btnSchedule, Qt::LeftButton);
    EXPECT_TRUE(editor.rbAt->isChecked());
    const TDateTime at = TDateTime::FromParts(day.year(), day.month(), day.day(), 9, 30);
    EXPECT_EQ(editor.edSchedule->text().toStdString(), EditorScheduleText(at));
    QTest::mouseClick(editor.btnOK, Qt::LeftButton);
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(task.status.load(), tsScheduled);
    EXPECT_NEAR(task.nextRun.Days(), at.Days(), 1e-6);
    EXPECT_FALSE(IsDue(task, TDateTime::Now())) << "due at its time, not at once";
}

TEST_F(Editors, TheProfileEditorRenamesRefusesTakenNamesAndAsksBeforeClosing)
{
    WriteProfile("Docs");
    WriteProfile("Pictures");
    TdlgEditProfile editor;
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    QAbstractItemModel &names = *editor.lvProfiles->model();
    ASSERT_EQ(names.rowCount(), 2);
    EXPECT_EQ(editor.edProfileName->text(), QStringLiteral("Docs"));
    test::Screenshot(editor, "docs");

    names.setData(names.index(0, 0), QStringLiteral("Manuals"));
    EXPECT_TRUE(FileExists(app->ProfilesFolder() + "Manuals.avp"));
    EXPECT_FALSE(FileExists(app->ProfilesFolder() + "Docs.avp"));

    notifier.errors.clear();
    names.setData(names.index(0, 0), QStringLiteral("Pictures"));
    EXPECT_EQ(notifier.errors, std::vector<std::string>{"A profile named \"Pictures\" already exists."});
    EXPECT_EQ(names.index(0, 0).data().toString(), QStringLiteral("Manuals")) << "the caption went back";

    // A change, then Close: the question comes first; No keeps the file.
    const std::string manuals = ReadFile("Profiles/Manuals.avp");
    Click(editor.rbLevelsPage);
    EXPECT_TRUE(editor.rbLevelsPage->isChecked());
    notifier.answer = false;
    QTest::mouseClick(editor.btnClose, Qt::LeftButton);
    EXPECT_EQ(notifier.questions, std::vector<std::string>{"Save changes to profile: Manuals?"});
    EXPECT_EQ(ReadFile("Profiles/Manuals.avp"), manuals);
}

TEST_F(Editors, FilterLinesAndFileTypesAreEditedThroughTheirDialogs)
{
    TFilterList list(true, QStringLiteral("Include"));
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    EXPECT_FALSE(list.btnEdit->isEnabled());
    EXPECT_FALSE(list.btnRemove->isEnabled());
    int added = 0;
    QObject::connect(&list, &TFilterList::LineAdded, [&] { ++added; });
    test::OnNextModal<TdlgURLFilter>([&](TdlgURLFilter &dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Add URL Filter"));
        EXPECT_FALSE(dialog.btnOK->isEnabled()) << "OK only with text";
        QTest::keyClicks(dialog.edFilter, QStringLiteral("cgi-bin,search"));
        EXPECT_TRUE(dialog.btnOK->isEnabled());
        QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    });
    list.findChild<QAction *>(QStringLiteral("miIncludePL"))->trigger();
    EXPECT_EQ(list.Lines(), StringList{"[PL]cgi-bin,search"});
    EXPECT_EQ(added, 1);

    list.lvLines->setCurrentIndex(list.lvLines->model()->index(0, 0));
    EXPECT_TRUE(list.btnEdit->isEnabled());
    test::OnNextModal<TdlgURLFilter>([&](TdlgURLFilter &dialog) {
        EXPECT_EQ(dialog.edFilter->text(), QStringLiteral("[PL]cgi-bin,search")) << "the whole line";
        dialog.edFilter->setText(QStringLiteral("[AL]search"));
        dialog.accept();
    });
    QTest::mouseClick(list.btnEdit, Qt::LeftButton);
    EXPECT_EQ(list.Lines(), StringList{"[AL]search"});
    EXPECT_EQ(added, 1) << "an edit is not an added rule";
    QTest::mouseClick(list.btnRemove, Qt::LeftButton);
    EXPECT_TRUE(list.Lines().empty());

    // A file type without extensions stays in its dialog; a good one is stored lower-cased.
    TdlgFileType type({}, {}, nullptr);
    type.show();
    type.edFileType->setText(QStringLiteral("Docs"));
    type.edExtensions->setText(QStringLiteral(" ; "));
    notifier.errors.clear();
    type.accept();
    EXPECT_EQ(notifier.errors, std::vector<std::string>{"Enter one or more file extensions separated by semicolons."});
    EXPECT_TRUE(type.isVisible());
    type.edExtensions->setText(QStringLiteral("PDF; .Odt"));
    type.accept();
    EXPECT_FALSE(type.isVisible());
    std::string stored;
    for (const TFileTypeGroup &group : FileTypeGroups())
        if (group.name == "Docs")
            stored = group.extensions;
    EXPECT_EQ(stored, ".pdf;.odt;");
}

TEST_F(Editors, ANewZipFileReplacesTheOldArchiveOnlyOnOK)
{
    WriteFile("Downloads/old.zip", "PK old");
    TAVTask task;
    FillNewTask(task);
    for (bool ok : {false, true}) {
        TdlgEditTask editor(task, TTaskEditTitle::kCreate, {}, nullptr);
        editor.show();
        editor.rbZip->setChecked(true);
        dialogs.answers.push_back(Path("Downloads/old.zip"));
        QTest::mouseClick(editor.btnNewZip, Qt::LeftButton);
        EXPECT_EQ(dialogs.titles.back(), "New Zip File");
        EXPECT_EQ(editor.edFileName->text().toStdString(), Path("Downloads/old.zip"));
        EXPECT_TRUE(FileExists(Path("Downloads/old.zip"))) << "nothing goes before OK";
        QTest::mouseClick(ok ? editor.btnOK : editor.btnCancel, Qt::LeftButton);
        EXPECT_EQ(FileExists(Path("Downloads/old.zip")), !ok) << ok;
    }
    EXPECT_EQ(task.destination, Path("Downloads/old.zip"));
    EXPECT_FALSE(test::FilesUnder(std::getenv("XDG_DATA_HOME") + std::string("/Trash/files")).empty());
}

TEST_F(Editors, ThePasswordBoxAsksForTheAccountAndCancelUnchecksIt)
{
    TAVTask task;
    FillNewTask(task);
    TdlgEditTask editor(task, TTaskEditTitle::kCreate, {}, nullptr);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));

    test::OnNextModal<TdlgUserNamePassword>([](TdlgUserNamePassword &account) { account.reject(); });
    Click(editor.cbUserNamePassword);
    EXPECT_FALSE(editor.cbUserNamePassword->isChecked());

    test::OnNextModal<TdlgUserNamePassword>([](TdlgUserNamePassword &account) {
        EXPECT_EQ(account.windowTitle(), QStringLiteral("Account/Password"));
        EXPECT_EQ(account.edPassword->echoMode(), QLineEdit::Password);
        QTest::keyClicks(account.edAccount, QStringLiteral("me"));
        EXPECT_FALSE(account.btnOK->isEnabled()) << "OK only with both";
        QTest::keyClicks(account.edPassword, QStringLiteral("secret"));
        QTest::mouseClick(account.btnOK, Qt::LeftButton);
    });
    QTest::mouseClick(editor.btnUserNamePassword, Qt::LeftButton);
    EXPECT_TRUE(editor.cbUserNamePassword->isChecked());
    QTest::mouseClick(editor.btnOK, Qt::LeftButton);
    EXPECT_EQ(task.userName, "me");
    EXPECT_EQ(task.password, "secret");
}

TEST_F(Editors, NewProfilesGetTheirOwnNames)
{
    WriteProfile("New Profile");
    TdlgEditProfile editor;
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    QTest::mouseClick(editor.btnNew, Qt::LeftButton);
    EXPECT_EQ(editor.edProfileName->text(), QStringLiteral("New Profile (1)"));
    EXPECT_TRUE(FileExists(app->ProfilesFolder() + "New Profile (1).avp"));
    QAbstractItemModel &names = *editor.lvProfiles->model();
    names.setData(editor.lvProfiles->currentIndex(), QStringLiteral("Manuals"));
    EXPECT_EQ(editor.edProfileName->text(), QStringLiteral("Manuals"));
    EXPECT_EQ(FolderFiles(app->ProfilesFolder(), "*.avp").size(), 2u);
    QTest::mouseClick(editor.btnDelete, Qt::LeftButton);
    EXPECT_EQ(FolderFiles(app->ProfilesFolder(), "*.avp").size(), 1u);
}

} // namespace
} // namespace arvelo
