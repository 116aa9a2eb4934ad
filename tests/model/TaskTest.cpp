#include "model/Task.h"

#include "core/App.h"
#include "core/FileUtils.h"
#include "model/ActiveTaskList.h"
#include "model/DownloadItem.h"
#include "support/TestHome.h"

namespace arvelo {
namespace {

class Tasks : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        app = std::make_unique<TAVApp>();
    }
    void TearDown() override
    {
        app.reset();
        TestHome::TearDown();
    }
    std::string TaskPath(const std::string &name) const { return Home() + "Tasks/General/" + name + ".avt"; }
    std::string ActiveList() const { return ReadFile("Tasks/ActiveTasks.lst"); }

    void Fill(TAVTask &task, const std::string &name)
    {
        task.taskName = name;
        task.taskFile = TaskPath(name);
        task.url = "http://www.example.com/docs/index.html";
        task.startPageTitle = "Größe – 中文";
        task.server = "nginx";
        task.canUpdate = true;
        task.userName = "me";
        task.password = "p=ss";
        task.comment = "weekly copy";
        task.destination = Home() + "My Intranet/example\\odd/";
        task.intranetMode = true;
        task.status = tsStopped;
        task.schedule = "Daily at 10:00";
        task.totalBytes = 123456;
        task.totalPages = 10;
        task.totalResources = 20;
        task.pagesSaved = 9;
        task.resourcesSaved = 19;
        task.pageErrors = 1;
        task.resourceErrors = 2;
        task.elapsedTime = TDateTime::FromTime(0, 5, 12);
        task.lastRun = TDateTime::FromParts(2026, 12, 8, 10, 0, 0);
        task.nextRun = TDateTime::FromParts(2026, 12, 9, 10, 0, 0);
        task.profile.profileName = "Custom";
        task.profile.depth = 2;
    }

    std::unique_ptr<TAVApp> app;
};

TEST_F(Tasks, SaveWritesTheTaskThenTheProfile)
{
    TAVTask task;
    Fill(task, "example");
    task.Save();
    std::string text = ReadFile("Tasks/General/example.avt");
    EXPECT_EQ(text.substr(0, text.find("[Profile]")),
              "[Task]\r\n"
              "Task Name=example\r\n"
              "URL=http://www.example.com/docs/index.html\r\n"
              "Start Page Title=Größe – 中文\r\n"
              "Server=nginx\r\n"
              "Can Update=1\r\n"
              "User Name=me\r\n"
              "Password=p=ss\r\n"
              "Comment=weekly copy\r\n"
              "Destination=" + Home() + "My Intranet/example\\odd/\r\n"
              "Intranet Mode=1\r\n"
              "Status=3\r\n"
              "Schedule=Daily at 10:00\r\n"
              "Total Bytes=123456\r\n"
              "Total Pages=10\r\n"
              "Total Resources=20\r\n"
              "Pages Saved=9\r\n"
              "Resources Saved=19\r\n"
              "Page Errors=1\r\n"
              "Resource Errors=2\r\n"
              "Elapsed Time=12/30/1899 00:05:12\r\n"
              "Last Run=12/08/2026 10:00:00\r\n"
              "Next Run=12/09/2026 10:00:00\r\n"
              "\r\n");
    EXPECT_NE(text.find("[Profile]\r\nProfile Name=Custom\r\n"), std::string::npos);
}

TEST_F(Tasks, LoadReadsBackWhatSaveWroteAndResavesIdentically)
{
    TAVTask task;
    Fill(task, "example");
    task.Save();
    std::string first = ReadFile("Tasks/General/example.avt");

    TAVTask back;
    back.taskFile = task.taskFile;
    back.Load();
    EXPECT_EQ(back.taskName, task.taskName);
    EXPECT_EQ(back.url, task.url);
    EXPECT_EQ(back.startPageTitle, task.startPageTitle);
    EXPECT_EQ(back.server, task.server);
    EXPECT_EQ(back.canUpdate, task.canUpdate);
    EXPECT_EQ(back.userName, task.userName);
    EXPECT_EQ(back.password, task.password);
    EXPECT_EQ(back.comment, task.comment);
    EXPECT_EQ(back.destination, task.destination);
    EXPECT_EQ(back.intranetMode, task.intranetMode);
    EXPECT_EQ(back.status, task.status);
    EXPECT_EQ(back.schedule, task.schedule);
    EXPECT_EQ(back.totalBytes, 123456);
    EXPECT_EQ(back.resourceErrors, 2);
    EXPECT_EQ(back.elapsedTime.ToText(), task.elapsedTime.ToText());
    EXPECT_EQ(back.nextRun.ToText(), task.nextRun.ToText());
    EXPECT_EQ(back.profile.profileName, "Custom");
    EXPECT_EQ(back.profile.depth, 2);
    back.Save();
    EXPECT_EQ(ReadFile("Tasks/General/example.avt"), first);
}

TEST_F(Tasks, CountersBeyondFourGigabytesSurviveTheFilesAndAReset)
{
    constexpr int64_t kGiB = int64_t(1) << 30;
    const int64_t sizes[] = {3 * kGiB + 1, 2 * kGiB, 5};
    TAVTask task;
    Fill(task, "big");
    task.totalBytes = 0;
    task.resourcesSaved = 0;
    for (int64_t size : sizes) {
        auto item = std::make_unique<TAVQItem>(&task);
        item->Text().URL = "http://h/" + std::to_string(size) + ".bin";
        item->SetGroup("Images");
        item->size = size;
        item->SetState(isSaved);
        task.items.AddItem(std::move(item));
        task.totalBytes += size;
        ++task.resourcesSaved;
    }
    task.Save();
    task.items.SaveState();
    EXPECT_NE(ReadFile("Tasks/General/big.avt").find("Total Bytes=5368709126\r\n"), std::string::npos);

    TAVTask back;
    back.taskFile = task.taskFile;
    back.Load();
    ASSERT_TRUE(back.items.OpenItems());
    EXPECT_EQ(back.totalBytes, 5 * kGiB + 6);
    ASSERT_EQ(back.items.ItemCount(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(back.items.Item(i)->size, sizes[i]) << i;
    // A reset takes the item's whole size back out of the total.
    back.items.Item(0)->SetState(isNone);
    EXPECT_EQ(back.totalBytes, 2 * kGiB + 5);
    EXPECT_EQ(back.resourcesSaved, 2);
}

TEST_F(Tasks, ZeroTimesAreWrittenEmpty)
{
    TAVTask task;
    task.taskName = "t";
    task.taskFile = TaskPath("t");
    task.Save();
    std::string text = ReadFile("Tasks/General/t.avt");
    EXPECT_NE(text.find("Elapsed Time=\r\nLast Run=\r\nNext Run=\r\n"), std::string::npos);
}

TEST_F(Tasks, MissingOrDamagedFileReadsAsDefaults)
{
    std::string binary;
    for (int i = 0; i < 3000; ++i)
        binary += static_cast<char>((i * 37) & 0xFF);
    const std::string files[] = {"", binary, "[Task]\nStatus=abc\nLast Run=yesterday\nURL=http://a/",
                                 "[Task]\r\nURL=" + std::string(1 << 20, 'a')};
    for (const std::string &bytes : files) {
        WriteFile("Tasks/General/My Site.avt", bytes);
        TAVTask task;
        task.taskFile = TaskPath("My Site");
        task.Load();
        EXPECT_EQ(task.taskName, "My Site");
        EXPECT_EQ(task.status, 0);
        EXPECT_TRUE(task.lastRun.IsZero());
        EXPECT_EQ(task.profile.depth, -1);
    }
    TAVTask missing;
    missing.taskFile = TaskPath("none");
    missing.Load();
    EXPECT_EQ(missing.taskName, "none");
}

TEST_F(Tasks, ActiveListFollowsTheStatus)
{
    TAVTask task;
    Fill(task, "a");
    task.status = tsDownloading;
    task.Save();
    EXPECT_EQ(ActiveList(), TaskPath("a") + "\r\n");
    task.status = tsStopped;
    task.Save();
    EXPECT_EQ(ActiveList(), "");
    task.status = tsScheduled;
    task.Save();
    task.Save();
    EXPECT_EQ(ActiveList(), TaskPath("a") + "\r\n");
    EXPECT_EQ(app->ActiveTasks().Entries().front().task, &task);

    // Paths are compared without regard to case; the list reads back.
    TActiveTaskList list(Path("Tasks/ActiveTasks.lst"));
    list.Load();
    EXPECT_TRUE(list.Contains(LowerAscii(TaskPath("a"))));
}

TEST_F(Tasks, ActiveListSurvivesJunk)
{
    WriteFile("Tasks/ActiveTasks.lst", "/x/a.avt\n\n/x/A.avt\r\n" + std::string("\0\xff\n", 3) + "/x/b.avt");
    TActiveTaskList list(Path("Tasks/ActiveTasks.lst"));
    list.Load();
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Entries()[1].path, "/x/b.avt");
}

TEST_F(Tasks, RenameMovesBothFilesAndTheActiveEntry)
{
    TAVTask task;
    Fill(task, "old");
    task.status = tsScheduled;
    task.Save();
    WriteFile("Tasks/General/old.dwn", "state");
    ASSERT_TRUE(task.Rename("new"));
    EXPECT_EQ(task.taskName, "new");
    EXPECT_EQ(task.taskFile, TaskPath("new"));
    EXPECT_FALSE(FileExists(TaskPath("old")));
    EXPECT_EQ(ReadFile("Tasks/General/new.dwn"), "state");
    EXPECT_FALSE(FileExists(Home() + "Tasks/General/old.dwn"));
    EXPECT_NE(ReadFile("Tasks/General/new.avt").find("Task Name=new\r\n"), std::string::npos);
    EXPECT_EQ(ActiveList(), TaskPath("new") + "\r\n");
    EXPECT_TRUE(notifier.errors.empty());
}

TEST_F(Tasks, RenameFailuresChangeNothing)
{
    TAVTask task;
    Fill(task, "one");
    task.Save();
    TAVTask other;
    Fill(other, "two");
    other.Save();

    EXPECT_FALSE(task.Rename("two"));
    ASSERT_EQ(notifier.errors.size(), 1u);
    EXPECT_EQ(notifier.errors[0], "Unable to rename task to: " + TaskPath("two") + "\nFile already exists.");

    for (const char *bad : {"a:b", "a/b", "what?", "", ".."}) {
        notifier.errors.clear();
        EXPECT_FALSE(task.Rename(bad)) << bad;
        ASSERT_EQ(notifier.errors.size(), 1u) << bad;
        EXPECT_EQ(notifier.errors[0], "Unable to rename task to: " + TaskPath(bad) +
                                          "\nA file may not contain any of the following characters: \n"
                                          "\\/:*?\"<>|");
    }
    EXPECT_EQ(task.taskName, "one");
    EXPECT_TRUE(FileExists(TaskPath("one")));
    EXPECT_NE(ReadFile("Tasks/General/two.avt").find("Task Name=two"), std::string::npos);
}

TEST_F(Tasks, StatusTexts)
{
    const char *texts[] = {"Unscheduled", "Scheduled", "Downloading...", "Download Stopped", "Incomplete",
                           "Download Complete", "Zipped!", "Task Complete", "Deleted"};
    for (int code = 0; code < 9; ++code)
        EXPECT_EQ(TAVTask::StatusText(code), texts[code]);
    EXPECT_EQ(TAVTask::StatusText(9), "Unknown");
    EXPECT_EQ(TAVTask::StatusText(-1), "Unknown");
}

TEST_F(Tasks, WorkFolderUserAgentAndReset)
{
    TAVTask task;
    task.destination = Home() + "site";
    task.intranetMode = true;
    EXPECT_EQ(task.WorkFolder(), Home() + "site/");
    task.intranetMode = false;
    EXPECT_EQ(task.WorkFolder(), app->TempFolder());
    app->SetUserAgent("Netscape Navigator 4.05");
    EXPECT_EQ(task.UserAgentInUse(), "Mozilla/4.05 [en] (Win95; I)");
    EXPECT_EQ(task.userAgentInUse, "Mozilla/4.05 [en] (Win95; I)");

    std::vector<std::string> reports;
    task.OnChange = [&](const std::string &text, int, int) { reports.push_back(text); };
    task.pagesSaved = 4;
    task.totalBytes = 99;
    task.elapsedTime = TDateTime(0.5);
    app->SetZipLast(true);
    task.Reset();
    EXPECT_EQ(task.pagesSaved, 0);
    EXPECT_EQ(task.totalBytes, 0);
    EXPECT_TRUE(task.elapsedTime.IsZero());
    EXPECT_TRUE(task.zipLast);
    EXPECT_EQ(reports, (std::vector<std::string>{"Clearing previous task..."}));
}

TEST_F(Tasks, NewTaskNamesAreUniqueInTheirCategory)
{
    std::string folder = Home() + "Tasks/General/";
    EXPECT_EQ(TAVTask::UniqueTaskName(folder, "www.example.com"), "www.example.com");
    WriteFile("Tasks/General/www.example.com.avt", "");
    EXPECT_EQ(TAVTask::UniqueTaskName(folder, "www.example.com"), "www.example.com(0)");
    EXPECT_EQ(TAVTask::DefaultTaskName(folder, "http://www.site.example/"), "site");
    WriteFile("Tasks/General/site.avt", "");
    EXPECT_EQ(TAVTask::DefaultTaskName(folder, "http://www.site.example/"), "site(0)");
    EXPECT_EQ(TAVTask::DefaultTaskName(folder, "http://sub.host.example:81/"), "sub_host");
    EXPECT_EQ(TAVTask::DefaultTaskName(folder, "http://www.nodot"), "New Task");
    EXPECT_EQ(TAVTask::DefaultTaskName(folder, "http://h/www.a:b.c"), "a_b");
}

TEST_F(Tasks, SaveReportsFilesSavedAndFailsOnAnUnwritableFolder)
{
    TAVTask task;
    Fill(task, "s");
    int saves = 0;
    task.OnSave = [&](TAVTask &) { ++saves; };
    task.Save();
    EXPECT_EQ(saves, 1);
    WriteFile("blocker", "a file where a folder should be");
    task.taskFile = Home() + "blocker/t.avt";
    EXPECT_THROW(task.Save(), EFileError);
    EXPECT_EQ(saves, 1);
}

} // namespace
} // namespace arvelo
