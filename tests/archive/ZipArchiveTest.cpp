#include "archive/ZipArchive.h"
#include "core/FileUtils.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <zip.h>

namespace arvelo {
namespace {

class ZipArchive : public test::TestHome {
protected:
    void SetUp() override
    {
        TestHome::SetUp();
        zip.ZipFileName = Path("out.zip");
        zip.BaseDirectory = Path("files/");
    }

    std::vector<std::string> Entries()
    {
        std::vector<std::string> names;
        zip.OnListing = [&](const TZipFileStats &stats) { names.push_back(stats.fileName); };
        zip.List();
        zip.OnListing = nullptr;
        return names;
    }

    // An archive written by libzip directly, for names and attributes the
    // component would never write.
    void WriteRawArchive(const std::string &file, const std::vector<std::pair<std::string, std::string>> &entries,
                         bool link = false)
    {
        int error = 0;
        zip_t *archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        ASSERT_NE(archive, nullptr);
        for (const auto &[name, bytes] : entries) {
            zip_source_t *source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
            zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_RAW);
            ASSERT_GE(index, 0) << name;
            if (link)
                zip_file_set_external_attributes(archive, index, 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777) << 16);
        }
        ASSERT_EQ(zip_close(archive), 0);
    }

    TZipArchive zip;
};

TEST(ZipResult, ClassifiesEveryCode)
{
    struct Case {
        int code, outcome;
        const char *message;
    } cases[] = {
        {-1, 0, ""},
        {0, 0, ""},
        {10, 1, ""},
        {30, 1, ""},
        {140, 1, ""},
        {40, 1, "Some files were skipped while adding."},
        {50, 1, "The Zip file is empty."},
        {100, 2, "Could not find the archive file."},
        {110, 2, "The archive file is corrupted. Try using the Fix option on it."},
        {160, 2, "The archive file is corrupted. Try using the Fix option on it."},
        {120, 2, "Ran out of memory while adding."},
        {150, 2, "Disk full while adding."},
        {190, 2, ""},
        {240, 2, "The XCDZIP32.DLL or the XCDUNZ32.DLL file could not be found."},
        {400, 2, "Could not access the Zip file or one of the files to process."},
        {420, 2, "Wrong disk was inserted too many times."},
        {77, 2, "An error occured while adding the specified files."},
    };
    for (const Case &c : cases) {
        test::TRecordingNotifier notifier;
        SetNotifier(&notifier);
        EXPECT_EQ(ClassifyZipResult(c.code, "adding"), c.outcome) << c.code;
        std::vector<std::string> shown = notifier.errors;
        shown.insert(shown.end(), notifier.informations.begin(), notifier.informations.end());
        EXPECT_EQ(shown, std::string(c.message).empty() ? std::vector<std::string>() : std::vector<std::string>{c.message})
            << c.code;
        EXPECT_EQ(notifier.informations.size(), c.outcome == 1 && *c.message ? 1u : 0u) << c.code;
        SetNotifier(nullptr);
    }
}

TEST(ZipDate, ImpossibleDatesReadAsTheFirstOf1980)
{
    auto dos = [](int year, int month, int day) { return static_cast<uint16_t>((year - 1980) << 9 | month << 5 | day); };
    auto time = [](int hour, int minute, int twoSeconds) { return static_cast<uint16_t>(hour << 11 | minute << 5 | twoSeconds); };
    const TDateTime first1980 = TDateTime::FromParts(1980, 1, 1);
    EXPECT_EQ(ZipEntryDate(dos(2001, 3, 14), time(21, 30, 5)), TDateTime::FromParts(2001, 3, 14, 21, 30, 10));
    EXPECT_EQ(ZipEntryDate(dos(2001, 0, 14), time(1, 0, 0)), first1980);
    EXPECT_EQ(ZipEntryDate(dos(2001, 13, 14), time(1, 0, 0)), first1980);
    EXPECT_EQ(ZipEntryDate(dos(2001, 3, 0), time(1, 0, 0)), first1980);
    EXPECT_EQ(ZipEntryDate(dos(2001, 3, 1), time(25, 0, 0)), first1980);
    EXPECT_EQ(ZipEntryDate(dos(2001, 3, 1), time(1, 60, 0)), first1980);
    EXPECT_EQ(ZipEntryDate(dos(2001, 3, 1), time(1, 0, 30)), first1980);
    EXPECT_EQ(ZipEntryDate(dos(2001, 2, 30), time(1, 0, 0)), first1980);
}

TEST_F(ZipArchive, AddsInOneUpdateAndReplacesWithoutDuplicates)
{
    WriteFile("files/site/index.html", "<html>1</html>");
    WriteFile("files/site/img/a.gif", "GIF89a");
    WriteFile("files/site/old.zip", "PK");
    std::vector<std::string> added;
    zip.OnAdding = [&](const std::string &entry) { added.push_back(entry); };
    zip.OnFileComment = [](const std::string &entry) { return "comment of " + entry; };
    zip.FilesToProcess = {"site/index.html", "site/img/a.gif", "site/old.zip", "site/missing.html"};
    EXPECT_EQ(zip.Add(0), zrSkipped);
    EXPECT_TRUE(zip.FilesToProcess.empty());
    EXPECT_EQ(added, (std::vector<std::string>{"site/index.html", "site/img/a.gif", "site/old.zip"}));

    WriteFile("files/site/index.html", "<html>2</html>");
    std::vector<std::string> updated;
    zip.OnUpdating = [&](const std::string &entry) { updated.push_back(entry); };
    zip.FilesToProcess = {"site/index.html"};
    EXPECT_EQ(zip.Add(0), zrSuccess);
    EXPECT_EQ(updated, std::vector<std::string>{"site/index.html"});
    // Once each; the replaced entry is the newest.
    EXPECT_EQ(Entries(), (std::vector<std::string>{"site/img/a.gif", "site/old.zip", "site/index.html"}));

    TZipFileStats stats;
    ASSERT_TRUE(zip.GetEntryStats(zip.FindEntry("site/old.zip"), stats));
    EXPECT_EQ(stats.comment, "comment of site/old.zip");
    EXPECT_EQ(stats.compressedSize, stats.size); // stored by its extension
    EXPECT_EQ(zip.GetEntryCount(), 3);
    EXPECT_EQ(zip.FindEntry("site/nothing"), -1);

    zip.ExtractDirectory = Path("x/");
    zip.FilesToProcess = {"*"};
    EXPECT_EQ(zip.Extract(0), zrSuccess);
    EXPECT_EQ(ReadFile("x/site/index.html"), "<html>2</html>");
    EXPECT_EQ(test::FilesUnder(Path("x")), (std::vector<std::string>{"site/img/a.gif", "site/index.html", "site/old.zip"}));
}

TEST_F(ZipArchive, AnEntryWithAnImpossibleStoredDateListsAsTheFirstOf1980)
{
    WriteRawArchive(Path("dates.zip"), {{"a.txt", "a"}, {"b.txt", "b"}});
    std::string archive = ReadFile("dates.zip");
    // The second entry's stored month becomes 13 in its central directory record.
    size_t central = archive.find(std::string("PK\x01\x02", 4));
    central = archive.find(std::string("PK\x01\x02", 4), central + 4);
    ASSERT_NE(central, std::string::npos);
    uint16_t date = static_cast<uint16_t>((2001 - 1980) << 9 | 13 << 5 | 14);
    archive[central + 14] = static_cast<char>(date & 0xff);
    archive[central + 15] = static_cast<char>(date >> 8);
    WriteFile("dates.zip", archive);
    zip.ZipFileName = Path("dates.zip");
    std::vector<TDateTime> dates;
    zip.OnListing = [&](const TZipFileStats &stats) { dates.push_back(stats.dateTime); };
    EXPECT_EQ(zip.List(), zrSuccess);
    ASSERT_EQ(dates.size(), 2u);
    EXPECT_NE(dates[0], TDateTime::FromParts(1980, 1, 1));
    EXPECT_EQ(dates[1], TDateTime::FromParts(1980, 1, 1));
}

TEST_F(ZipArchive, FreshenAndUpdateModes)
{
    WriteFile("files/a.txt", "a");
    zip.FilesToProcess = {"a.txt"};
    ASSERT_EQ(zip.Add(0), zrSuccess);
    WriteFile("files/b.txt", "b");
    zip.FilesToProcess = {"a.txt", "b.txt"};
    EXPECT_EQ(zip.Add(1), zrSuccess); // only entries already present, and none is newer
    EXPECT_EQ(Entries(), std::vector<std::string>{"a.txt"});
    zip.FilesToProcess = {"a.txt", "b.txt"};
    EXPECT_EQ(zip.Add(2), zrSuccess);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"a.txt", "b.txt"}));
    zip.FilesToProcess = {"b.*"};
    EXPECT_EQ(zip.Delete(), zrSuccess);
    EXPECT_EQ(Entries(), std::vector<std::string>{"a.txt"});
}

TEST_F(ZipArchive, ReportsMissingAndCorruptArchives)
{
    zip.ZipFileName = Path("none.zip");
    zip.FilesToProcess = {"*"};
    EXPECT_EQ(zip.Extract(0), zrNotFound);
    WriteFile("bad.zip", "this is no zip file at all, just text that goes on");
    zip.ZipFileName = Path("bad.zip");
    EXPECT_EQ(zip.List(), zrCorrupt);
    zip.FilesToProcess = {"*"};
    EXPECT_EQ(zip.Extract(0), zrCorrupt);
}

TEST_F(ZipArchive, RefusesHostileArchivesWholly)
{
    struct Case {
        const char *what;
        std::vector<std::pair<std::string, std::string>> entries;
        bool link;
        int result;
    } cases[] = {
        {"parent folder", {{"ok.txt", "fine"}, {"../evil.txt", "x"}}, false, zrUnsafeName},
        {"deeper parent", {{"a/../../evil.txt", "x"}}, false, zrUnsafeName},
        {"absolute", {{"/tmp/evil.txt", "x"}}, false, zrUnsafeName},
        {"backslashes", {{"..\\evil.txt", "x"}}, false, zrUnsafeName},
        {"drive", {{"C:/evil.txt", "x"}}, false, zrUnsafeName},
        {"symbolic link", {{"link", "/etc/passwd"}}, true, zrUnsafeName},
        {"bomb", {{"zeros.bin", std::string(32 << 20, '\0')}}, false, zrTooLarge},
    };
    for (const Case &c : cases) {
        WriteRawArchive(Path("hostile.zip"), c.entries, c.link);
        zip.ZipFileName = Path("hostile.zip");
        zip.ExtractDirectory = Path("target/");
        zip.FilesToProcess = {"*"};
        EXPECT_EQ(zip.Extract(0), c.result) << c.what;
        EXPECT_EQ(test::FilesUnder(Home()), (std::vector<std::string>{"hostile.zip"})) << c.what;
        std::filesystem::remove_all(Path("target"));
    }
    EXPECT_FALSE(ZipResultMessage(zrUnsafeName, "extracting").empty());
}

TEST_F(ZipArchive, RefusesATargetWhoseFolderIsALinkThatLeadsOutside)
{
    WriteRawArchive(Path("site.zip"), {{"a.txt", "first"}, {"out/evil.txt", "x"}, {"out/deeper/evil.txt", "y"}});
    ForceFolders(Path("elsewhere/"));
    ForceFolders(Path("target/"));
    std::filesystem::create_directory_symlink(Path("elsewhere"), Path("target/out"));
    zip.ZipFileName = Path("site.zip");
    zip.ExtractDirectory = Path("target/");
    zip.FilesToProcess = {"*"};
    EXPECT_EQ(zip.Extract(0), zrUnsafeName);
    // Nothing is written, in the target or through the link.
    EXPECT_EQ(test::FilesUnder(Path("target/")), std::vector<std::string>());
    EXPECT_TRUE(std::filesystem::is_empty(Path("elsewhere")));

    // A link that stays inside the target is a folder like any other.
    std::filesystem::remove(Path("target/out"));
    ForceFolders(Path("target/real/"));
    std::filesystem::create_directory_symlink(Path("target/real"), Path("target/out"));
    zip.FilesToProcess = {"*"};
    EXPECT_EQ(zip.Extract(0), zrSuccess);
    EXPECT_EQ(ReadFile("target/real/deeper/evil.txt"), "y");
}

TEST_F(ZipArchive, RefusesAnEntryLargerThanItClaims)
{
    std::string bytes(100000, 'a');
    WriteRawArchive(Path("liar.zip"), {{"big.txt", bytes}});
    // Both headers now claim 1000 bytes.
    std::string archive = ReadFile("liar.zip");
    auto patch = [&](size_t at) { archive[at] = '\xe8'; archive[at + 1] = '\x03'; archive[at + 2] = 0; archive[at + 3] = 0; };
    patch(22);
    size_t central = archive.find(std::string("PK\x01\x02", 4));
    ASSERT_NE(central, std::string::npos);
    patch(central + 24);
    WriteFile("liar.zip", archive);
    zip.ZipFileName = Path("liar.zip");
    zip.ExtractDirectory = Path("target/");
    zip.FilesToProcess = {"*"};
    int result = zip.Extract(0);
    EXPECT_TRUE(result == zrTooLarge || result == zrCorrupt) << result;
    EXPECT_EQ(test::FilesUnder(Path("target")), std::vector<std::string>());
}

} // namespace
} // namespace arvelo
