#include "archive/ZipTree.h"

#include "core/FileUtils.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

namespace arvelo {
namespace {

class ZipTree : public test::TestHome {
protected:
    TZipFileStats Entry(const std::string &name, uint64_t size = 100, uint64_t packed = 40,
                        const std::string &comment = {})
    {
        TZipFileStats stats;
        stats.fileName = name;
        stats.size = size;
        stats.compressedSize = packed;
        stats.comment = comment;
        return stats;
    }

    // The captions below the node, one line each, indented by depth.
    static std::string Outline(const TZipNode *node, int depth = 0)
    {
        std::string text = std::string(2 * depth, ' ') + node->Caption() + "\n";
        for (const auto &child : node->children)
            text += Outline(child.get(), depth + 1);
        return text;
    }

    TZipTree tree;
};

TEST_F(ZipTree, AListingBuildsFoldersOnceAndCaptionsCarryComments)
{
    TZipNode *root = tree.Open("/zips/site.zip");
    EXPECT_EQ(tree.Find("/zips/site.zip"), root);
    EXPECT_EQ(tree.Find("/zips/other.zip"), nullptr);
    tree.AddEntry(root, Entry("127.0.0.1/index.html", 1000, 300, "Test Site"));
    tree.AddEntry(root, Entry("127.0.0.1/sub/deep/page3.html", 200, 100));
    tree.AddEntry(root, Entry("127.0.0.1/sub/a*.htm", 50, 50));
    tree.AddEntry(root, Entry("top.txt", 10, 10));
    EXPECT_EQ(Outline(root), "site.zip\n"
                             "  127.0.0.1\n"
                             "    index.html   (Test Site)\n"
                             "    sub\n"
                             "      deep\n"
                             "        page3.html\n"
                             "      a*.htm\n"
                             "  top.txt\n");
    const TZipObj &record = *root->record;
    EXPECT_EQ(record.folders.size(), 3u);
    EXPECT_EQ(record.entries.size(), 4u);
    EXPECT_EQ(record.totalSize, 1260u);
    EXPECT_EQ(record.totalPacked, 460u);
    // Listed again, an entry takes its new figures and no second node; an
    // entry beyond 4 GiB keeps its size.
    tree.AddEntry(root, Entry("top.txt", 6442450944, 5));
    EXPECT_EQ(record.entries.size(), 4u);
    EXPECT_EQ(record.totalSize, 1250u + 6442450944u);

    // Exact names: the folder's entries, never what a wildcard would match.
    TZipNode *sub = record.folders.at("127.0.0.1/sub/");
    EXPECT_EQ(TZipTree::PathOf(sub), "127.0.0.1/sub/");
    EXPECT_EQ(TZipTree::EntryNames(sub), (StringList{"127.0.0.1/sub/deep/page3.html", "127.0.0.1/sub/a*.htm"}));
    EXPECT_EQ(TZipTree::EntryNames(record.entries.at("127.0.0.1/sub/a*.htm")), StringList{"127.0.0.1/sub/a*.htm"});
    EXPECT_EQ(TZipTree::EntryNames(root).size(), 4u);
}

TEST_F(ZipTree, RemovingTheLastEntryOfAFolderRemovesTheFoldersItEmpties)
{
    TZipNode *root = tree.Open("/zips/site.zip");
    tree.AddEntry(root, Entry("a/b/c/only.html"));
    tree.AddEntry(root, Entry("a/keep.html"));
    TZipObj &record = *root->record;
    TZipNode *left = tree.Remove(record.entries.at("a/b/c/only.html"));
    EXPECT_EQ(left, record.folders.at("a/"));
    EXPECT_EQ(Outline(root), "site.zip\n  a\n    keep.html\n");
    EXPECT_EQ(record.folders.size(), 1u);
    EXPECT_EQ(record.entries.size(), 1u);
    EXPECT_EQ(record.totalSize, 100u);
    // Up to, not including, the root.
    EXPECT_EQ(tree.Remove(record.entries.at("a/keep.html")), root);
    EXPECT_EQ(Outline(root), "site.zip\n");
    EXPECT_TRUE(record.folders.empty());
    EXPECT_EQ(record.totalSize, 0u);
    EXPECT_EQ(tree.Remove(root), nullptr);
    tree.Close(root);
    EXPECT_EQ(tree.Count(), 0u);
}

TEST_F(ZipTree, WorkedTotalsAndSelectionLines)
{
    EXPECT_EQ(ZipTotalsLine(3, 1000, 400, 3), "Total: 3 files  1000 / 400 bytes (60%)");
    EXPECT_EQ(ZipTotalsLine(1, 3, 2, 1), "Total: 1 files  3 / 2 bytes (33%)");
    EXPECT_EQ(ZipTotalsLine(0, 0, 0, 0), "Total: 0 files  ");
    EXPECT_EQ(ZipTotalsLine(0, 0, 0, 7), "Total: 7 files  ");
    // More than 4 GiB.
    EXPECT_EQ(ZipTotalsLine(2, 6442450944, 3221225472, 2), "Total: 2 files  6442450944 / 3221225472 bytes (50%)");
    EXPECT_EQ(ZipSelectionLine(2, 300, 120), "Selected 2 files  300 / 120 bytes");
    EXPECT_EQ(ZipSelectionLine(0, 0, 0), "Selected 0 files ");
}

TEST_F(ZipTree, RenamingStaysInTheFolderAndNumbersATakenName)
{
    const std::string folder = Path("zips/");
    WriteFile("zips/site.zip", "zip");
    WriteFile("zips/taken.zip", "other");
    TZipNode *root = tree.Open(folder + "site.zip");
    std::string message;
    ASSERT_TRUE(tree.Rename(root, "taken.zip", message)) << message;
    EXPECT_EQ(root->record->path, folder + "taken(0).zip");
    EXPECT_EQ(root->name, "taken(0).zip");
    EXPECT_EQ(ReadFileBytes(folder + "taken.zip"), "other");
    EXPECT_EQ(ReadFileBytes(folder + "taken(0).zip"), "zip");
    for (const char *refused : {"../out.zip", "sub/x.zip", "..", ".", ""}) {
        EXPECT_FALSE(tree.Rename(root, refused, message)) << refused;
        EXPECT_EQ(message, ZipRenameFailureText(folder + refused));
    }
    EXPECT_EQ(test::FilesUnder(folder), (std::vector<std::string>{"taken(0).zip", "taken.zip"}));
    // A file that has gone cannot be renamed.
    std::remove((folder + "taken(0).zip").c_str());
    EXPECT_FALSE(tree.Rename(root, "new.zip", message));
    EXPECT_EQ(root->record->path, folder + "taken(0).zip");
}

} // namespace
} // namespace arvelo
