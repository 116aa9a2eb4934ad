#include "crawl/LocalNames.h"
#include "crawl/ThreadParse.h"
#include "crawl/URL.h"
#include "model/Task.h"
#include "support/ScriptedServer.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include "core/FileUtils.h"

#include <QUrl>

namespace arvelo {
namespace {

class ThreadParse : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        ImportShippedFileTypes();
        task = std::make_unique<TAVTask>();
        task->intranetMode = true;
        task->destination = Path("site/");
        task->url = "http://www.site.example/index.htm";
        task->profile.aggressiveParser = 0;
        parser.withBanner = false;
        parser.OnStatus = [&](const std::string &text) { statuses.push_back(text); };
    }

    std::string FileOf(const std::string &url) const { return LocalFileName(task->destination, URLDirectory(url), url); }

    // A page item that has been downloaded, with its file.
    TAVQItem *SavedPage(const std::string &url, const std::string *content, int level = 0)
    {
        auto item = std::make_unique<TAVQItem>(task.get());
        item->Text().URL = url;
        item->level = level;
        item->SetGroup("HTML");
        item->SetState(isSaved);
        if (content)
            WriteFile(FileOf(url).substr(Home().size()), *content);
        return task->items.AddItem(std::move(item));
    }

    void RunUntilParsed()
    {
        parser.Start(task.get());
        ASSERT_TRUE(test::PumpUntil([&] { return !task->items.NextPageToParse() && parser.Idle(); }));
        parser.Pause();
    }

    // Where a link of a saved page leads on disk, as a browser resolves it.
    static std::string Target(const std::string &pageFile, const std::string &link)
    {
        QUrl base = QUrl::fromLocalFile(QString::fromStdString(pageFile));
        return base.resolved(QUrl(QString::fromStdString(link))).toLocalFile().toStdString();
    }

    std::unique_ptr<TAVTask> task;
    // Outlives the parser, which may still show a line as it ends.
    std::vector<std::string> statuses;
    TThreadParse parser;
};

TEST_F(ThreadParse, SavedPagesAreParsedConvertedAndTheirLinksQueued)
{
    const std::string home = "<HTML><HEAD><TITLE>Home of the site</TITLE></HEAD><BODY>\n"
                             "<A HREF=\"docs/a.htm\">A</A> <IMG SRC=\"img/logo.gif\">\n"
                             "<A HREF=\"docs/b.asp?x=1&y=%C3%A9\">B</A> <A HREF=\"docs/a.htm#top\">A again</A>\n"
                             "<A HREF=\"http://other.example/z.htm\">elsewhere</A>\n"
                             "<A HREF=\"Sch%C3%B6n.htm\">schön</A> <A HREF=\"grüße.htm\">grüße</A>\n"
                             "</BODY></HTML>";
    const std::string docs = "<A HREF=\"../index.htm\">up</A><LINK HREF=\"../style.css\">\n";
    TAVQItem *first = SavedPage("http://www.site.example/index.htm", &home);
    TAVQItem *second = SavedPage("http://www.site.example/docs/c.htm", &docs, 1);
    RunUntilParsed();

    EXPECT_EQ(first->State(), isParsed);
    EXPECT_EQ(second->State(), isParsed);
    EXPECT_EQ(task->startPageTitle, "Home of the site");
    first->LoadFields();
    EXPECT_EQ(first->LoadedText().title, "Home of the site");

    std::vector<std::string> urls;
    for (size_t i = 2; i < task->items.ItemCount(); ++i) {
        TAVQItem *item = task->items.Item(i);
        item->LoadFields();
        urls.push_back(item->LoadedText().URL);
        EXPECT_EQ(item->State(), isNone);
        EXPECT_EQ(item->level, item->LoadedText().URL.find("style.css") != std::string::npos ? 2 : 1);
    }
    EXPECT_EQ(urls, (std::vector<std::string>{"http://www.site.example/docs/a.htm",
                                              "http://www.site.example/docs/b.asp?x=1&y=%C3%A9",
                                              "http://www.site.example/Sch%C3%B6n.htm",
                                              "http://www.site.example/grüße.htm",
                                              "http://www.site.example/img/logo.gif",
                                              "http://www.site.example/style.css"}));

    // Every converted link of the saved page opens the file its address is stored in.
    std::string saved = ReadFile(FileOf(task->url).substr(Home().size()));
    const std::pair<std::string, std::string> links[] = {
        {"docs/a.htm", "http://www.site.example/docs/a.htm"},
        {"img/logo.gif", "http://www.site.example/img/logo.gif"},
        {"docs/b.asp%C2%BFx=1&y=%C3%A9.html", "http://www.site.example/docs/b.asp?x=1&y=%C3%A9"},
        {"docs/a.htm#top", "http://www.site.example/docs/a.htm"},
        {"Sch%C3%B6n.htm", "http://www.site.example/Sch%C3%B6n.htm"},
        {"gr%C3%BC%C3%9Fe.htm", "http://www.site.example/grüße.htm"},
    };
    for (const auto &[link, url] : links) {
        EXPECT_NE(saved.find("\"" + link + "\""), std::string::npos) << link;
        EXPECT_EQ(Target(FileOf(task->url), link.substr(0, link.find('#'))), FileOf(url)) << link;
    }
    EXPECT_NE(saved.find("\"http://other.example/z.htm\""), std::string::npos);
    std::string savedDocs = ReadFile(FileOf("http://www.site.example/docs/c.htm").substr(Home().size()));
    EXPECT_EQ(savedDocs, "<A HREF=\"../index.htm\">up</A><LINK HREF=\"../style.css\">\r\n");
    EXPECT_EQ(Target(FileOf("http://www.site.example/docs/c.htm"), "../style.css"),
              FileOf("http://www.site.example/style.css"));
    EXPECT_EQ(test::FilesUnder(Path("site/")),
              (std::vector<std::string>{"www.site.example/docs/c.htm", "www.site.example/index.htm"}));
    // Status lines merge while the window is busy; the last one clears the line.
    EXPECT_TRUE(test::PumpUntil([&] { return !statuses.empty() && statuses.back().empty(); }));
    for (const std::string &status : statuses)
        EXPECT_TRUE(status.empty() || status.rfind("Loading Page: ", 0) == 0 || status.rfind("Parsing... ", 0) == 0 ||
                    status.rfind("Saving Changes: ", 0) == 0)
            << status;
}

TEST_F(ThreadParse, MissingEmptyAndUnwritablePagesDoNotStopTheThread)
{
    const std::string empty;
    const std::string fine = "<A HREF=\"x.htm\">x</A>";
    // A page whose path is a few bytes short of the system's limit can be
    // read, but no temporary file fits beside it: no one, root included,
    // can save it again.
    std::string deep = "http://www.site.example/";
    for (size_t need = 4090 - FileOf(deep + "p.htm").size(); need > 0;) {
        size_t segment = need > 202 ? 200 : need - 1;
        deep += std::string(segment, 'd') + "/";
        need -= segment + 1;
    }
    ASSERT_EQ(FileOf(deep + "p.htm").size(), 4090u);
    TAVQItem *missing = SavedPage("http://www.site.example/index.htm", nullptr);
    TAVQItem *blank = SavedPage("http://www.site.example/blank.htm", &empty, 1);
    TAVQItem *locked = SavedPage(deep + "p.htm", &fine, 1);
    TAVQItem *last = SavedPage("http://www.site.example/last.htm", &fine, 1);
    RunUntilParsed();
    EXPECT_EQ(missing->State(), isNone);
    EXPECT_EQ(blank->State(), isParsed);
    // An error that Salvix takes up again, with the system's reason.
    EXPECT_EQ(locked->State(), isError);
    locked->LoadFields();
    EXPECT_EQ(locked->LoadedText().result, "File name too long");
    locked->ReleaseFields();
    EXPECT_EQ(last->State(), isParsed);
    EXPECT_EQ(ReadFile("site/www.site.example/last.htm"), "<A HREF=\"x.htm\">x</A>\r\n");
    // The unwritable page stays as it was downloaded, and says why.
    EXPECT_EQ(ReadFileBytes(FileOf(deep + "p.htm")), fine);
    EXPECT_NE(std::find_if(statuses.begin(), statuses.end(),
                           [&](const std::string &s) {
                               return s.rfind("Cannot create file \"" + FileOf(deep + "p.htm") + "\"", 0) == 0;
                           }),
              statuses.end());
}

} // namespace
} // namespace arvelo
