#pragma once

#include "archive/ZipArchive.h"
#include "core/DateTime.h"
#include "core/TextUtils.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace arvelo {

struct TZipObj;

// A node of the archives tree: an open archive, one of its folders or one
// of its entries.
struct TZipNode {
    enum TKind : uint8_t { kArchive, kFolder, kEntry };

    TKind kind = kEntry;
    // The archive's file name, the folder's name or the entry's file name.
    std::string name;
    // An entry's comment (a task's pages carry their title) and figures.
    std::string comment;
    uint64_t size = 0, packed = 0;
    TDateTime modified;
    TZipNode *parent = nullptr;
    std::vector<std::unique_ptr<TZipNode>> children;
    // The archive's record, on its root node only.
    std::unique_ptr<TZipObj> record;

    // The name, and "   (" + comment + ")" after it when there is one.
    std::string Caption() const;
    TZipNode *Root();
    int Row() const;
};

// What is known of an open archive: its file, its folder nodes by path
// ("a/b/") and its entry nodes by name ("a/b/c.htm"), and its totals.
struct TZipObj {
    std::string path;
    std::map<std::string, TZipNode *> folders;
    std::map<std::string, TZipNode *> entries;
    uint64_t totalSize = 0, totalPacked = 0;
};

// The open archives, each a tree of folders and entries as its listing
// reports them.
class TZipTree {
public:
    size_t Count() const { return archives_.size(); }
    TZipNode *Archive(size_t index) const { return archives_[index].get(); }
    // The root node of the archive of that path, or null.
    TZipNode *Find(const std::string &path) const;
    // The root node of a newly opened archive, after the others.
    TZipNode *Open(const std::string &path);
    // Removes the archive and its nodes.
    void Close(TZipNode *root);

    // Adds a listed entry under the root, with the folders of its name that
    // are missing; an entry listed again only takes the new figures.
    TZipNode *AddEntry(TZipNode *root, const TZipFileStats &stats);
    // Removes a deleted entry or folder with what it holds, then every
    // folder above it that is left empty, up to the root; the highest node
    // removed was a child of the node returned.
    TZipNode *Remove(TZipNode *node);
    // The highest node that Remove takes away with the node: the node, or
    // the folder above it that holds nothing else.
    static TZipNode *RemovedTop(TZipNode *node);

    // The entries a command on the node works on, by their exact names:
    // every entry of an archive or folder, or the entry itself. (Names are
    // never wildcards: an entry named "a*.htm" is that entry alone.)
    static StringList EntryNames(const TZipNode *node);
    // The path of a folder or entry within its archive ("a/b/", "a/b/c.htm").
    static std::string PathOf(const TZipNode *node);

    // Renames the archive's file within its folder: a name that is taken
    // gets "(0)", "(1)" ... before its extension. False with the message
    // when the name is no plain file name or the rename fails.
    bool Rename(TZipNode *root, const std::string &newName, std::string &message);

private:
    std::vector<std::unique_ptr<TZipNode>> archives_;
};

// The lines under the entry list: "Total: " + count + " files  " + size +
// " / " + packed + " bytes (" + saving + "%)", or with no size the count of
// the archive's entries alone.
std::string ZipTotalsLine(uint64_t count, uint64_t size, uint64_t packed, uint64_t entryCount);
// "Selected " + n + " files  " + size + " / " + packed + " bytes", or
// "Selected " + n + " files " when nothing selected has a size.
std::string ZipSelectionLine(uint64_t count, uint64_t size, uint64_t packed);
// The message of a rename that was refused or failed.
std::string ZipRenameFailureText(const std::string &path);

} // namespace arvelo
