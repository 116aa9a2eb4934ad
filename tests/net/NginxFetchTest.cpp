#include "model/Task.h"
#include "net/Fetch.h"
#include "support/NginxServer.h"
#include "support/ScriptedServer.h"
#include "support/TestHome.h"
#include "support/TestSite.h"

#include <gtest/gtest.h>


namespace arvelo {
namespace {

// Fetches items from a real web server on loopback.
class NginxFetch : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        page = "<html><head><title>Home</title></head><body>Welcome</body></html>\n";
        for (int i = 0; i < 700000; ++i)
            big += static_cast<char>('a' + i % 26) + std::to_string(i % 1000);
        WriteFile("www/index.html", page);
        WriteFile("www/files/big.bin", big);
        server = std::make_unique<test::TNginxServer>(Path("www"), "    location = /old.html { return 302 /index.html; }");
        ASSERT_TRUE(server->Running()) << server->Error();
        task.url = server->URL("/");
        task.intranetMode = true;
        task.destination = Path("site/");
    }

    TAVQItem *Fetch(const std::string &path, const std::string &result = {}, uint8_t mark = imDownload,
                    const std::string &lastModified = {})
    {
        auto item = std::make_unique<TAVQItem>(&task);
        item->Text().URL = server->URL(path);
        item->Text().result = result;
        item->Text().lastModified = lastModified;
        item->SetMark(mark);
        TAVQItem *added = task.items.AddItem(std::move(item));
        added->LoadFields();
        fetch.URL = server->URL(path);
        fetch.QItem = added;
        fetch.Start();
        EXPECT_TRUE(test::PumpUntil([&] { return fetch.Finished(); }));
        fetch.FreeThread();
        added->LoadFields();
        return added;
    }

    std::string page, big;
    std::unique_ptr<test::TNginxServer> server;
    TAVTask task;
    TlqHTTP fetch;
};

TEST_F(NginxFetch, PagesLargeFilesRedirectsAndMissingFiles)
{
    TAVQItem *home = Fetch("/index.html");
    EXPECT_EQ(home->State(), isSaved);
    EXPECT_EQ(home->LoadedText().result, "200 OK");
    EXPECT_EQ(home->size, static_cast<int>(page.size()));
    EXPECT_FALSE(home->LoadedText().lastModified.empty());

    TAVQItem *large = Fetch("/files/big.bin");
    EXPECT_EQ(large->State(), isSaved);
    EXPECT_EQ(large->size, static_cast<int>(big.size()));

    TAVQItem *moved = Fetch("/old.html");
    EXPECT_EQ(moved->State(), isSaved);

    TAVQItem *missing = Fetch("/missing.html");
    EXPECT_EQ(missing->State(), isError);
    EXPECT_EQ(missing->LoadedText().result, "404 Not Found");

    EXPECT_EQ(test::FilesUnder(Path("site/")),
              (std::vector<std::string>{test::ServerFolderOf(server->URL("/")) + "/files/big.bin", test::ServerFolderOf(server->URL("/")) + "/index.html", test::ServerFolderOf(server->URL("/")) + "/old.html"}));
    EXPECT_EQ(ReadFile("site/" + test::ServerFolderOf(server->URL("/")) + "/index.html"), page);
    EXPECT_EQ(ReadFile("site/" + test::ServerFolderOf(server->URL("/")) + "/old.html"), page);
    EXPECT_EQ(ReadFile("site/" + test::ServerFolderOf(server->URL("/")) + "/files/big.bin"), big);
}

TEST_F(NginxFetch, UpdateAndResume)
{
    TAVQItem *home = Fetch("/index.html");
    std::string lastModified = home->LoadedText().lastModified;
    TAVQItem *again = Fetch("/index.html", "200 OK", imUpdate, lastModified);
    EXPECT_EQ(again->State(), isUpdated);
    EXPECT_EQ(again->LoadedText().result, "304 Not Modified");

    WriteFile("site/" + test::ServerFolderOf(server->URL("/")) + "/files/big.bin", big.substr(0, 1001));
    TAVQItem *resumed = Fetch("/files/big.bin", "Incomplete (1001 bytes)");
    EXPECT_EQ(resumed->State(), isSaved);
    EXPECT_EQ(resumed->LoadedText().result, "206 Partial Content");
    EXPECT_EQ(ReadFile("site/" + test::ServerFolderOf(server->URL("/")) + "/files/big.bin"), big);
}

} // namespace
} // namespace arvelo
