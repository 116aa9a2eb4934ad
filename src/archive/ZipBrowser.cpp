#include "archive/ZipBrowser.h"

#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "core/Trash.h"
#include "core/WindowThread.h"

namespace arvelo {

TZipBrowser::TZipBrowser(TExtractedArchives &extracted, QObject *parent)
    : QObject(parent), extracted_(extracted), recent_(kRecentKey, kRecentArchives)
{
    recent_.Load();
    tree_.OnRename = [this](TZipNode *root, const std::string &name) { return Rename(root, name); };
    worker_.OnStatus = [this](const std::string &text, int percent) {
        Q_EMIT Status(text, percent < 0 ? 0 : percent, percent < 0 ? 0 : 100);
    };
    worker_.OnListed = [this](std::vector<TZipFileStats> &listed) {
        TZipNode *root = RootOf(listing_);
        if (!root)
            return;
        for (const TZipFileStats &stats : listed)
            tree_.AddEntry(root, stats);
        listed_ += listed.size();
        if (worker_.BusyState() == TZipWorker::kOpening)
            Q_EMIT Status("Opening Zip File...", static_cast<int>(listed_), static_cast<int>(listingTotal_.load()));
    };
}

TZipBrowser::~TZipBrowser()
{
    queue_.clear();
    worker_.OnListed = nullptr;
    worker_.OnStatus = nullptr;
}

void TZipBrowser::Enqueue(TOperation operation)
{
    queue_.push_back(std::move(operation));
    if (!worker_.Running())
        StartNext();
}

void TZipBrowser::StartNext()
{
    if (queue_.empty() || worker_.Running())
        return;
    TOperation operation = std::move(queue_.front());
    queue_.pop_front();
    if (operation.started)
        operation.started();
    worker_.Start(operation.busy, operation.listing, operation.word, std::move(operation.run),
                  [this, done = std::move(operation.done)](int outcome) {
                      if (done)
                          done(outcome);
                      StartNext();
                  });
}

bool TZipBrowser::Select(TZipNode *node)
{
    TZipNode *root = node ? node->Root() : nullptr;
    const bool otherArchive = root != CurrentArchive();
    // An archive being listed or written keeps the selection.
    if (otherArchive && worker_.Running() &&
        (worker_.ListingState() != TZipWorker::kNotListing || worker_.BusyState() != TZipWorker::kIdle))
        return false;
    selected_ = node;
    Refresh(otherArchive);
    return true;
}

void TZipBrowser::Refresh(bool pages)
{
    entries_.Show(selected_);
    if (pages)
        pages_.Show(CurrentArchive());
    Q_EMIT EntriesChanged();
}

TZipCommandStates TZipBrowser::States(bool focusOnArchives) const
{
    TZipNode *root = CurrentArchive();
    if (!root || !focusOnArchives)
        return {};
    const bool idle = !Busy();
    // The running task's archive is rewritten by its run.
    const bool own = !running_.empty() && root->record->path == running_;
    TZipCommandStates states;
    states.close = idle;
    states.add = !own;
    states.del = idle && !own;
    states.rename = idle && !own;
    states.unzip = true;
    states.browse = true;
    return states;
}

uint64_t TZipBrowser::EntryCount(const TZipNode *root) const { return root ? root->record->entries.size() : 0; }

TZipNode *TZipBrowser::Open(const std::string &path, std::function<void(TZipNode *root)> done)
{
    if (TZipNode *root = RootOf(path)) {
        if (Select(root))
            Q_EMIT SelectionChanged(root);
        if (done)
            done(root);
        return root;
    }
    Q_EMIT Status("Opening Zip: " + ExtractFileName(path), 0, 0);
    try {
        ForceFolders(ExtractFilePath(path));
    } catch (const EFileError &) {
        // The archive cannot be written there; opening it says so.
    }
    TZipNode *root = tree_.OpenArchive(path);
    selected_ = root;
    Refresh(true);
    Q_EMIT SelectionChanged(root);
    recent_.Add(path);
    recent_.Save();
    if (!FileExists(path)) {
        // A new archive: made by its first add.
        Q_EMIT Status("Ready", 0, 0);
        if (done)
            done(root);
        return root;
    }
    List(path, true, [this, path, done](int outcome) {
        TZipNode *opened = RootOf(path);
        // A file that cannot be read as an archive leaves no node behind.
        if (outcome == 2 && opened) {
            Close(opened);
            opened = nullptr;
        }
        Q_EMIT Status("Ready", 0, 0);
        if (done)
            done(opened);
    });
    return root;
}

void TZipBrowser::List(const std::string &path, bool opening, std::function<void(int outcome)> done)
{
    TOperation operation;
    operation.busy = opening ? TZipWorker::kOpening : TZipWorker::kIdle;
    operation.listing = TZipWorker::kListingAll;
    operation.run = [this, path](TZipArchive &zip) {
        zip.ZipFileName = path;
        listingTotal_ = static_cast<uint64_t>(std::max(0, zip.GetEntryCount()));
        zip.FilesToProcess.clear();
        return zip.List();
    };
    operation.done = [this, path, done = std::move(done)](int outcome) {
        listing_.clear();
        if (TZipNode *root = RootOf(path); root && CurrentArchive() == root)
            Refresh(true);
        if (done)
            done(outcome);
    };
    // The listing's entries go to the archive being listed at the time.
    operation.started = [this, path] {
        listing_ = path;
        listed_ = 0;
    };
    Enqueue(std::move(operation));
}

void TZipBrowser::Reopen(const std::string &path)
{
    if (FileExists(path)) {
        Open(path);
        return;
    }
    Notifier().Error("The file " + path + " no longer exists.");
    recent_.Remove(path);
    recent_.Save();
}

void TZipBrowser::Close(TZipNode *root)
{
    if (!root)
        return;
    const bool current = root == CurrentArchive();
    const int row = tree_.IndexOf(root).row();
    tree_.CloseArchive(root);
    if (!current)
        return;
    // The archive beside it, if any, becomes the selected one.
    TZipTree &tree = tree_.Tree();
    selected_ = tree.Count() == 0 ? nullptr : tree.Archive(std::min(static_cast<size_t>(row), tree.Count() - 1));
    Refresh(true);
    Q_EMIT SelectionChanged(selected_);
}

bool TZipBrowser::Rename(TZipNode *root, const std::string &name)
{
    const std::string old = root->record->path;
    if (!running_.empty() && old == running_)
        return false;
    std::string message;
    if (!tree_.Tree().Rename(root, name, message)) {
        Notifier().Error(message);
        return false;
    }
    const std::string renamed = root->record->path;
    tree_.Moved(root, renamed);
    recent_.Remove(old);
    recent_.Add(renamed);
    recent_.Save();
    if (extracted_.Contains(old)) {
        extracted_.Forget(old);
        extracted_.Mark(renamed);
    }
    return true;
}

void TZipBrowser::DeleteNode(TZipNode *node)
{
    if (!node)
        return;
    TZipNode *root = node->Root();
    const std::string archive = root->record->path;
    if (node->kind == TZipNode::kArchive) {
        if (OnConfirmTrash && !OnConfirmTrash(archive))
            return;
        if (!MoveToTrashOrTell(archive))
            return;
        recent_.Remove(archive);
        recent_.Save();
        extracted_.Forget(archive);
        Close(root);
        return;
    }
    const std::string question = node->kind == TZipNode::kFolder
                                     ? "Are you sure you want to delete the folder " + node->Caption() +
                                           " and all its contents?"
                                     : "Are you sure you want to delete " + node->Caption() + "?";
    if (!Notifier().Confirm(question))
        return;
    // A folder goes as one node, with all it held.
    const std::string path = TZipTree::PathOf(node);
    const bool folder = node->kind == TZipNode::kFolder;
    DeleteEntries(archive, TZipTree::EntryNames(node), [path, folder](TZipNode *at) {
        auto &map = folder ? at->record->folders : at->record->entries;
        auto found = map.find(path);
        return found != map.end() ? std::vector<TZipNode *>{found->second} : std::vector<TZipNode *>{};
    });
}

void TZipBrowser::DeleteRows(const std::vector<int> &rows)
{
    TZipNode *root = CurrentArchive();
    if (!root || rows.empty())
        return;
    const std::string question = rows.size() == 1
                                     ? "Are you sure you want to delete " + entries_.Row(rows[0]).name + "?"
                                     : "Are you sure you want to delete " + std::to_string(rows.size()) + " files?";
    if (!Notifier().Confirm(question))
        return;
    StringList names;
    for (int row : rows)
        names.push_back(entries_.Row(row).Entry());
    DeleteEntries(root->record->path, names, [names](TZipNode *at) {
        std::vector<TZipNode *> nodes;
        for (const std::string &name : names)
            if (auto found = at->record->entries.find(name); found != at->record->entries.end())
                nodes.push_back(found->second);
        return nodes;
    });
}

void TZipBrowser::DeleteEntries(const std::string &archive, const StringList &names,
                                std::function<std::vector<TZipNode *>(TZipNode *root)> deleted)
{
    TOperation operation{TZipWorker::kIdle, TZipWorker::kNotListing, "deleting",
                         [archive, names](TZipArchive &zip) {
                             zip.ZipFileName = archive;
                             zip.ExactNames = true;
                             zip.FilesToProcess = names;
                             return zip.Delete();
                         },
                         [this, archive, deleted = std::move(deleted)](int outcome) {
                             // The tree loses the nodes only once the archive has lost the entries.
                             if (TZipNode *root = RootOf(archive); root && outcome != 2)
                                 RemoveNodes(deleted(root));
                         }};
    Enqueue(std::move(operation));
}

void TZipBrowser::RemoveNodes(const std::vector<TZipNode *> &nodes)
{
    bool moved = false;
    for (TZipNode *node : nodes) {
        TZipNode *top = TZipTree::RemovedTop(node);
        // A selection inside what goes moves up to what stays.
        for (TZipNode *at = selected_; at; at = at->parent)
            if (at == top) {
                selected_ = top->parent;
                moved = true;
                break;
            }
        tree_.RemoveNode(node);
    }
    Refresh(true);
    if (moved)
        Q_EMIT SelectionChanged(selected_);
}

void TZipBrowser::Add(const TZipAddJob &job, std::function<void(int outcome)> done)
{
    if (!RootOf(job.archive))
        Open(job.archive);
    TOperation operation{TZipWorker::kAdding, TZipWorker::kNotListing, "adding",
                         [job](TZipArchive &zip) {
                             zip.ZipFileName = job.archive;
                             zip.ExactNames = false;
                             zip.BaseDirectory.clear();
                             zip.FilesToProcess = job.files;
                             zip.UsePaths = job.usePaths;
                             zip.Recurse = job.recurse;
                             zip.Compression = job.compression;
                             return zip.Add(job.mode);
                         },
                         [this, archive = job.archive, done = std::move(done)](int outcome) {
                             if (outcome == 2) {
                                 if (done)
                                     done(outcome);
                                 return;
                             }
                             // The archive's tree takes what was added from its listing.
                             List(archive, false, [done, outcome](int) {
                                 if (done)
                                     done(outcome);
                             });
                         }};
    Enqueue(std::move(operation));
}

namespace {

int ExtractEntries(TZipArchive &zip, const std::string &archive, const TZipExtractJob &job,
                   std::function<TZipReplaceAnswer(const std::string &, const std::string &)> ask)
{
    zip.ZipFileName = archive;
    zip.ExactNames = true;
    zip.FilesToProcess = job.entries;
    zip.ExtractDirectory = job.folder;
    zip.UsePaths = job.usePaths;
    zip.Overwrite = job.overwrite ? xowAlways : xowAsk;
    zip.OnReplace = [&ask](const std::string &existing, const std::string &incoming) {
        TZipReplaceAnswer answer = zraYes;
        // The question is the window's: this thread waits for the answer.
        RunInWindowThread([&] {
            if (ask)
                answer = ask(existing, incoming);
        });
        return answer;
    };
    const int code = zip.Extract();
    zip.OnReplace = nullptr;
    return code;
}

} // namespace

void TZipBrowser::Extract(const TZipExtractJob &job, std::function<void(int outcome)> done)
{
    TZipNode *root = CurrentArchive();
    if (!root)
        return;
    TOperation operation{TZipWorker::kExtracting, TZipWorker::kNotListing, "extracting",
                         [this, job, archive = root->record->path](TZipArchive &zip) {
                             return ExtractEntries(zip, archive, job, OnReplace);
                         },
                         [this, done = std::move(done)](int outcome) {
                             if (outcome != 2)
                                 Q_EMIT Status("Ready", 0, 0);
                             if (done)
                                 done(outcome);
                         }};
    Enqueue(std::move(operation));
}

void TZipBrowser::ExtractForBrowsing(TZipNode *root, const std::string &tempFolder,
                                     std::function<void(int outcome)> done)
{
    const std::string archive = root->record->path;
    if (extracted_.Contains(archive)) {
        if (done)
            done(0);
        return;
    }
    TZipExtractJob job{TZipTree::EntryNames(root), tempFolder, true, true};
    TOperation operation{TZipWorker::kExtracting, TZipWorker::kNotListing, "extracting",
                         [job, archive](TZipArchive &zip) { return ExtractEntries(zip, archive, job, nullptr); },
                         [this, archive, done = std::move(done)](int outcome) {
                             if (outcome != 2) {
                                 // The Temp folder now holds this archive's files over the others'.
                                 extracted_.ForgetAllBut(archive, running_);
                                 extracted_.Mark(archive);
                                 Q_EMIT Status("All files extracted successfully.", 0, 0);
                             }
                             if (done)
                                 done(outcome);
                         }};
    Enqueue(std::move(operation));
}

void TZipBrowser::AskAbort()
{
    if (worker_.Running() && Notifier().Confirm(TZipWorker::kAbortQuestion))
        worker_.Abort();
}

void TZipBrowser::RunStarted(const std::string &archive)
{
    running_ = archive;
    Open(archive);
}

void TZipBrowser::RunArchiveUpdated()
{
    if (running_.empty() || relistWaiting_)
        return;
    if (!RootOf(running_)) {
        Open(running_);
        return;
    }
    relistWaiting_ = true;
    List(running_, false, [this](int) {
        relistWaiting_ = false;
        // The selection returns to the running task's archive.
        if (TZipNode *root = RootOf(running_); root && CurrentArchive() != root && Select(root))
            Q_EMIT SelectionChanged(root);
    });
}

void TZipBrowser::RunEnded(const std::string &archive)
{
    const std::string old = running_;
    running_.clear();
    TZipNode *root = RootOf(old);
    if (!root)
        return;
    if (old != archive) {
        // The run has named its archive after its start page.
        tree_.Moved(root, archive);
        recent_.Remove(old);
        recent_.Add(archive);
        recent_.Save();
    }
    if (FileExists(archive))
        List(archive, false, {});
}

} // namespace arvelo
