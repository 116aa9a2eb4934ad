#include "archive/ZipTree.h"

#include "core/FileUtils.h"

#include <algorithm>
#include <cmath>

namespace arvelo {

std::string TZipNode::Caption() const { return comment.empty() ? name : name + "   (" + comment + ")"; }

TZipNode *TZipNode::Root()
{
    TZipNode *node = this;
    while (node->parent)
        node = node->parent;
    return node;
}

int TZipNode::Row() const
{
    if (!parent)
        return -1;
    const auto &siblings = parent->children;
    for (size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == this)
            return static_cast<int>(i);
    return -1;
}

TZipNode *TZipTree::Find(const std::string &path) const
{
    for (const auto &root : archives_)
        if (root->record->path == path)
            return root.get();
    return nullptr;
}

TZipNode *TZipTree::Open(const std::string &path)
{
    auto root = std::make_unique<TZipNode>();
    root->kind = TZipNode::kArchive;
    root->name = ExtractFileName(path);
    root->record = std::make_unique<TZipObj>();
    root->record->path = path;
    archives_.push_back(std::move(root));
    return archives_.back().get();
}

void TZipTree::Close(TZipNode *root)
{
    std::erase_if(archives_, [&](const std::unique_ptr<TZipNode> &node) { return node.get() == root; });
}

TZipNode *TZipTree::AddEntry(TZipNode *root, const TZipFileStats &stats)
{
    TZipObj &record = *root->record;
    TZipNode *entry;
    if (auto known = record.entries.find(stats.fileName); known != record.entries.end()) {
        entry = known->second;
        record.totalSize -= entry->size;
        record.totalPacked -= entry->packed;
    } else {
        // The folders along the name, each under the one before it.
        TZipNode *folder = root;
        size_t start = 0;
        for (size_t slash; (slash = stats.fileName.find('/', start)) != std::string::npos; start = slash + 1) {
            const std::string path = stats.fileName.substr(0, slash + 1);
            TZipNode *&folderNode = record.folders[path];
            if (!folderNode) {
                auto node = std::make_unique<TZipNode>();
                node->kind = TZipNode::kFolder;
                node->name = stats.fileName.substr(start, slash - start);
                node->parent = folder;
                folderNode = node.get();
                folder->children.push_back(std::move(node));
            }
            folder = folderNode;
        }
        auto node = std::make_unique<TZipNode>();
        node->kind = TZipNode::kEntry;
        node->name = stats.fileName.substr(start);
        node->parent = folder;
        entry = node.get();
        folder->children.push_back(std::move(node));
        record.entries[stats.fileName] = entry;
    }
    entry->comment = stats.comment;
    entry->size = stats.size;
    entry->packed = stats.compressedSize;
    entry->modified = stats.dateTime;
    record.totalSize += entry->size;
    record.totalPacked += entry->packed;
    return entry;
}

std::string TZipTree::PathOf(const TZipNode *node)
{
    std::string path = node->kind == TZipNode::kFolder ? node->name + "/" : node->name;
    for (const TZipNode *up = node->parent; up && up->kind == TZipNode::kFolder; up = up->parent)
        path = up->name + "/" + path;
    return node->kind == TZipNode::kArchive ? std::string() : path;
}

StringList TZipTree::EntryNames(const TZipNode *node)
{
    StringList names;
    auto collect = [&](const auto &self, const TZipNode *at) -> void {
        if (at->kind == TZipNode::kEntry)
            names.push_back(PathOf(at));
        for (const auto &child : at->children)
            self(self, child.get());
    };
    collect(collect, node);
    return names;
}

TZipNode *TZipTree::Remove(TZipNode *node)
{
    if (node->kind == TZipNode::kArchive)
        return nullptr;
    TZipObj &record = *node->Root()->record;
    // Out of the record first, with everything below it.
    auto forget = [&](const auto &self, TZipNode *at) -> void {
        if (at->kind == TZipNode::kEntry) {
            record.entries.erase(PathOf(at));
            record.totalSize -= at->size;
            record.totalPacked -= at->packed;
        } else {
            record.folders.erase(PathOf(at));
        }
        for (const auto &child : at->children)
            self(self, child.get());
    };
    node = RemovedTop(node);
    forget(forget, node);
    TZipNode *parent = node->parent;
    std::erase_if(parent->children, [&](const std::unique_ptr<TZipNode> &child) { return child.get() == node; });
    return parent;
}

TZipNode *TZipTree::RemovedTop(TZipNode *node)
{
    // The node, then each folder it leaves empty.
    while (node->parent && node->parent->kind == TZipNode::kFolder && node->parent->children.size() == 1)
        node = node->parent;
    return node;
}

bool TZipTree::Rename(TZipNode *root, const std::string &newName, std::string &message)
{
    TZipObj &record = *root->record;
    const std::string folder = ExtractFilePath(record.path);
    // Only a name within the archive's folder: never a path out of it.
    if (newName.empty() || newName == "." || newName == ".." || newName.find('/') != std::string::npos ||
        newName.find('\0') != std::string::npos) {
        message = ZipRenameFailureText(folder + newName);
        return false;
    }
    if (folder + newName == record.path)
        return true;
    const std::string target = UniqueFileName(folder + newName);
    if (!RenameNoReplace(record.path, target)) {
        message = ZipRenameFailureText(target);
        return false;
    }
    record.path = target;
    root->name = ExtractFileName(target);
    return true;
}

std::string ZipTotalsLine(uint64_t count, uint64_t size, uint64_t packed, uint64_t entryCount)
{
    if (size == 0)
        return "Total: " + std::to_string(entryCount) + " files  ";
    const long saving = std::lround(100.0 - static_cast<double>(packed) / static_cast<double>(size) * 100.0);
    return "Total: " + std::to_string(count) + " files  " + std::to_string(size) + " / " + std::to_string(packed) +
           " bytes (" + std::to_string(saving) + "%)";
}

std::string ZipSelectionLine(uint64_t count, uint64_t size, uint64_t packed)
{
    if (size == 0)
        return "Selected " + std::to_string(count) + " files ";
    return "Selected " + std::to_string(count) + " files  " + std::to_string(size) + " / " + std::to_string(packed) +
           " bytes";
}

std::string ZipRenameFailureText(const std::string &path)
{
    return "Unable to rename file to: " + path + "\nA file may not contain any of the following characters: \n" +
           "\\/:*?\"<>|";
}

} // namespace arvelo
