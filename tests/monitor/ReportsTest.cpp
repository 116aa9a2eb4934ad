#include "archive/ZipArchive.h"
#include "core/App.h"
#include "core/FileUtils.h"
#include "model/Task.h"
#include "monitor/ReportJob.h"
#include "monitor/Reports.h"
#include "support/ScriptedServer.h"
#include "support/TestHome.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <regex>

namespace arvelo {
namespace {

int Count(const std::string &text, const std::string &what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

class Reports : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        app = std::make_unique<TAVApp>();
        app->RunFirstRun();
        task = std::make_unique<TAVTask>();
        task->taskName = "site";
        task->taskFile = Path("Tasks/General/site.avt");
        task->url = "http://www.site.example/index.html";
        task->startPageTitle = "Home";
        task->intranetMode = true;
        task->destination = Path("copy/");
    }

    // One item of the state file.
    void Item(const std::string &url, int state, const std::string &group, const std::string &title = {},
              const std::string &error = {}, const std::string &referrer = "http://www.site.example/index.html")
    {
        std::string record;
        for (const std::string &field : {std::to_string(state), error, group, std::string(), std::string("1"),
                                         referrer, std::string(), std::string("1"), title, std::string("123"),
                                         std::string()})
            record += field + std::string(kFieldSeparator);
        state_ += url + "\r\n" + record + "\r\n";
    }

    // pages saved pages, errors among them, plus what else the file holds.
    void Pages(int saved, int errors)
    {
        for (int i = 1; i <= saved - errors; ++i)
            Item("http://www.site.example/p" + std::to_string(i) + ".html", 10, "HTML", "Page " + std::to_string(i));
        for (int i = 1; i <= errors; ++i)
            Item("http://www.site.example/bad" + std::to_string(i) + ".html", 3, "HTML", {}, "Not Found");
        task->pagesSaved = saved;
        task->pageErrors = errors;
        task->totalPages = saved;
    }

    TTaskReport Report()
    {
        WriteFile("Tasks/General/site.dwn", state_);
        TTaskReport report(*task);
        EXPECT_TRUE(report.Load());
        return report;
    }

    std::string state_;
    std::unique_ptr<TAVApp> app;
    std::unique_ptr<TAVTask> task;
};

TEST_F(Reports, PageIndexFilesHoldTwentyRowsEach)
{
    struct Case {
        int saved, errors, files, lastRows;
    } cases[] = {{45, 5, 2, 20}, {21, 0, 2, 1}, {20, 0, 1, 20}, {220, 0, 11, 20}, {0, 0, 0, 0}};
    for (const Case &c : cases) {
        state_.clear();
        std::filesystem::remove_all(Path("copy/"));
        Pages(c.saved, c.errors);
        Item("http://www.site.example/a.css", 5, "Scripts and Styles");
        TTaskReport report = Report();
        std::string first = report.WriteIndex(false);
        EXPECT_EQ(first.empty(), c.files == 0);
        for (int k = 1; k <= c.files; ++k) {
            std::string page = ReadFileBytes(report.IndexFile(false, k));
            int rows = Count(page, "<tr><td bgcolor=");
            EXPECT_EQ(rows, k < c.files ? 20 : c.lastRows) << c.saved << " file " << k;
            EXPECT_NE(page.find("<tr><td bgcolor=\"#C6D9EC\"><font face=\"Arial\" size=\"2\">" +
                                std::to_string((k - 1) * 20 + 1) + "&nbsp;"),
                      std::string::npos);
            EXPECT_EQ(page.find("bad1.html"), std::string::npos); // errors are not listed
            EXPECT_EQ(page.find("a.css"), std::string::npos);     // nor other groups
            EXPECT_EQ(Count(page, "more...") > 0, c.files > 10);
        }
        EXPECT_FALSE(FileExists(report.IndexFile(false, c.files + 1)));
        EXPECT_EQ(FileExists(report.MoreFile(false)), c.files > 10);
    }
}

TEST_F(Reports, ElevenFilesPutMoreAfterTheTenthNumber)
{
    Pages(220, 0);
    TTaskReport report = Report();
    report.WriteIndex(false);
    std::string page = ReadFileBytes(report.IndexFile(false, 1));
    size_t tenth = page.find(">10</a>&nbsp;");
    ASSERT_NE(tenth, std::string::npos);
    EXPECT_EQ(page.find("<a href=\"javascript:popup('"), page.find("<a", tenth));
    EXPECT_EQ(page.find(">11</a>"), std::string::npos);
    std::string more = ReadFileBytes(report.MoreFile(false));
    EXPECT_EQ(Count(more, "bgcolor=\"#C9DBED\""), 11);
    EXPECT_NE(more.find("!site_pages_11.htm"), std::string::npos);
    EXPECT_NE(page.find(">Next</a>"), std::string::npos);
    EXPECT_EQ(page.find(">Previous</a>"), std::string::npos);
}

TEST_F(Reports, SummaryCountsAndSize)
{
    Pages(45, 5);
    task->totalBytes = 2047;
    task->resourcesSaved = 7;
    task->resourceErrors = 2;
    task->totalResources = 9;
    TTaskReport report = Report();
    std::string summary = ReadFileBytes(report.WriteSummary());
    EXPECT_NE(summary.find("Size: <b>1 Kb</b>"), std::string::npos);
    EXPECT_NE(summary.find("Total Files: <b>54</b>"), std::string::npos);
    EXPECT_NE(summary.find("<a href=\"!site_pages_1.htm\">40</a></td><td>5</td><td>45</td>"), std::string::npos);
    EXPECT_NE(summary.find("<a href=\"!site_images_1.htm\">5</a></td><td>2</td><td>9</td>"), std::string::npos);
    EXPECT_EQ(report.SummaryFile(), Path("copy/www.site.example/!site_summary.htm"));
}

TEST_F(Reports, SizesBeyondFourGigabytes)
{
    Pages(3, 0);
    task->totalBytes = (int64_t(6) << 30) + 2047;
    TTaskReport report = Report();
    std::string summary = ReadFileBytes(report.WriteSummary());
    EXPECT_NE(summary.find("Size: <b>6291457 Kb</b>"), std::string::npos) << summary;
}

TEST_F(Reports, ErrorReportAndPageList)
{
    Item("http://www.site.example/ok.html", 10, "HTML", "Fine");
    Item("http://www.site.example/gone.html", 3, "HTML", {}, "Not Found");
    Item("http://www.site.example/gone.gif", 3, "Images", {}, "Connection refused");
    Item("http://www.site.example/later.html", 0, "HTML");
    TTaskReport report = Report();
    std::string errors = ReadFileBytes(report.WriteErrors());
    EXPECT_EQ(Count(errors, "<tr bgcolor="), 2);
    EXPECT_LT(errors.find("<tr bgcolor=\"#F5F5F5\">"), errors.find("<tr bgcolor=\"#E9E9E9\">"));
    EXPECT_NE(errors.find("Connection refused"), std::string::npos);
    std::string pages = ReadFileBytes(report.WritePageList());
    EXPECT_EQ(Count(pages, "<tr>"), 1);
    EXPECT_NE(pages.find(">Fine</a>"), std::string::npos);
    EXPECT_EQ(report.ErrorFile(), app->TempFolder() + "site_errors.htm");
}

TEST_F(Reports, TextsFromWebsitesCannotInjectMarkup)
{
    const std::string hostile = "<script>alert(1)</script>\"><img src=x onerror=alert(2)>";
    task->startPageTitle = hostile;
    Item("http://www.site.example/x.html?\"><script>alert(3)</script>", 10, "HTML", hostile);
    Item("http://www.site.example/y.html", 3, "HTML", {}, hostile, "javascript:\"><script>alert(4)</script>");
    task->pagesSaved = 2;
    task->pageErrors = 1;
    TTaskReport report = Report();
    for (const std::string &file : {report.WriteSummary(), report.WriteIndex(false), report.WriteErrors(), report.WritePageList()}) {
        std::string html = ReadFileBytes(file);
        EXPECT_EQ(html.find("<script>alert"), std::string::npos) << file;
        EXPECT_EQ(html.find("<img src=x"), std::string::npos) << file;
        EXPECT_NE(html.find("&lt;script&gt;alert("), std::string::npos) << file; // shown as text
    }
}

TEST_F(Reports, ImageIndexShowsGifSizes)
{
    std::string gif = ReadFileBytes(app->SkinsFolder() + "diamond.gif");
    ASSERT_FALSE(gif.empty());
    WriteFile("copy/www.site.example/d.gif", gif);
    WriteFile("copy/www.site.example/p.png", "\x89PNG");
    Item("http://www.site.example/d.gif", 5, "Images");
    Item("http://www.site.example/p.png", 5, "Images");
    task->resourcesSaved = 2;
    TTaskReport report = Report();
    std::string page = ReadFileBytes(report.WriteIndex(true));
    EXPECT_NE(page.find("W: 21, H: 13"), std::string::npos);
    EXPECT_NE(page.find("W: 0, H: 0"), std::string::npos);
    EXPECT_NE(page.find(">d.gif</a>"), std::string::npos);
    EXPECT_EQ(GifSize(app->SkinsFolder() + "www.gif"), std::make_pair(19, 19));
}

TEST_F(Reports, CreateReportsWritesAllThreeWithTheSkinImages)
{
    Pages(3, 0);
    WriteFile("Tasks/General/site.dwn", state_);
    // A skin without report images: the Default skin's are copied.
    ForceFolders(Path("Skins/Bare/"));
    app->SetSkin("Bare");
    std::vector<std::string> labels;
    std::string summary = CreateReports(*task, [&](const std::string &label, int) {
        if (labels.empty() || labels.back() != label)
            labels.push_back(label);
    });
    EXPECT_EQ(labels, (std::vector<std::string>{"Creating Task Summary", "Creating Page Index", "Creating Image Index"}));
    EXPECT_TRUE(FileExists(summary));
    for (const char *image : {"html.gif", "images.gif", "www.gif", "diamond.gif", "backgrnd.jpg"})
        EXPECT_TRUE(FileExists(Path("copy/www.site.example/!images/") + image)) << image;
}

TEST_F(Reports, NeedTheStateFile)
{
    TTaskReport report(*task);
    EXPECT_FALSE(report.Load());
    EXPECT_EQ(notifier.errors.size(), 1u);
    EXPECT_EQ(CreateReports(*task, nullptr), "");
}

// Runs a report command to its end, with the steps it showed.
struct TJobRun {
    std::vector<std::string> labels;
    std::string file;
    int done = 0;
};

TJobRun RunJob(TAVTask &task, TReportKind kind, const std::string &temp)
{
    task.Save();
    TJobRun run;
    TWorkerThread worker;
    TReportJob job(worker, task.taskFile, kind, temp);
    job.OnProgress = [&](const std::string &label, int) {
        if (run.labels.empty() || run.labels.back() != label.substr(0, 10))
            run.labels.push_back(label.substr(0, 10));
    };
    job.OnDone = [&](const std::string &file) {
        run.file = file;
        ++run.done;
    };
    job.Start();
    EXPECT_TRUE(test::PumpUntil([&] { return run.done > 0; }));
    return run;
}

TEST_F(Reports, JobExtractsAZipModeTasksArchiveBeforeWritingBesideItsFiles)
{
    Pages(2, 0);
    WriteFile("Tasks/General/site.dwn", state_);
    WriteFile("build/www.site.example/index.html", "<html></html>");
    TZipArchive zip;
    zip.ZipFileName = Path("site.zip");
    zip.BaseDirectory = Path("build/");
    zip.FilesToProcess = {"www.site.example/index.html"};
    ASSERT_EQ(zip.Add(), 0);
    task->intranetMode = false;
    task->destination = Path("site.zip");

    TJobRun run = RunJob(*task, TReportKind::kPageIndex, app->TempFolder());
    EXPECT_EQ(run.done, 1);
    EXPECT_TRUE(FileExists(app->TempFolder() + "www.site.example/index.html"));
    EXPECT_EQ(run.file, app->TempFolder() + "www.site.example/!site_summary.htm");
    EXPECT_TRUE(FileExists(app->TempFolder() + "www.site.example/!site_pages_1.htm"));
    ASSERT_FALSE(run.labels.empty());
    EXPECT_EQ(run.labels.back(), "Creating I");

    // Written once, a report is opened as it is.
    WriteFileAtomic(app->TempFolder() + "www.site.example/!site_pages_1.htm", "kept");
    run = RunJob(*task, TReportKind::kPageIndex, app->TempFolder());
    EXPECT_EQ(run.file, app->TempFolder() + "www.site.example/!site_pages_1.htm");
    EXPECT_EQ(ReadFileBytes(run.file), "kept");

    // A missing archive is said, and nothing is opened.
    std::filesystem::remove(Path("site.zip"));
    run = RunJob(*task, TReportKind::kCreate, app->TempFolder());
    EXPECT_EQ(run.file, "");
    EXPECT_EQ(notifier.errors.size(), 1u);
}

TEST_F(Reports, JobWritesTheErrorReportAndSaysWhatFails)
{
    Pages(3, 1);
    WriteFile("Tasks/General/site.dwn", state_);
    TJobRun run = RunJob(*task, TReportKind::kErrors, app->TempFolder());
    EXPECT_EQ(run.file, app->TempFolder() + "site_errors.htm");
    EXPECT_NE(ReadFileBytes(run.file).find("bad1.html"), std::string::npos);
    EXPECT_TRUE(run.labels.empty());

    std::filesystem::remove(task->StateFile());
    run = RunJob(*task, TReportKind::kPageList, app->TempFolder());
    EXPECT_EQ(run.file, "");
    EXPECT_EQ(notifier.errors.size(), 1u);
}

TEST_F(Reports, JobGoneBeforeItsEndStopsAndSaysNothing)
{
    Pages(5000, 0);
    WriteFile("Tasks/General/site.dwn", state_);
    task->Save();
    int calls = 0;
    TWorkerThread worker;
    {
        TReportJob job(worker, task->taskFile, TReportKind::kCreate, app->TempFolder());
        job.OnProgress = [&](const std::string &, int) { ++calls; };
        job.OnDone = [&](const std::string &) { ++calls; };
        job.Start();
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(FileExists(Path("copy/www.site.example/!site_pages_250.htm")));
}

} // namespace
} // namespace arvelo
