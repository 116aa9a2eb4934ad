#pragma once

#include "archive/Browsing.h"
#include "archive/ZipModels.h"
#include "archive/ZipWorker.h"
#include "shell/RecentList.h"

#include <QObject>

#include <atomic>
#include <deque>
#include <functional>
#include <string>

namespace arvelo {

// What the archive commands may do now (menus, pop-up, keys).
struct TZipCommandStates {
    bool close = false, add = false, del = false, unzip = false, rename = false, browse = false;
};

// Files to add to an archive, as the file zip wizard gives them.
struct TZipAddJob {
    std::string archive;
    StringList files;
    int mode = 0; // 0 add and replace, 1 freshen, 2 update and add
    bool usePaths = true, recurse = false;
    int compression = 6;
};

// What to extract where, as the extract dialog gives it.
struct TZipExtractJob {
    StringList entries;
    std::string folder;
    bool usePaths = true, overwrite = false;
};

// The archive browser of the windows: the open archives, the selected node
// with its entry list and the archive's pages, and every archive command,
// each run by the archive worker; what needs the user goes through the
// notifier or the hooks below.
class TZipBrowser : public QObject {
    Q_OBJECT
public:
    static constexpr const char *kRecentKey = "\\Software\\Lindqvarn\\Arvelo\\Recent ZIP files";
    static constexpr int kRecentArchives = 10;

    explicit TZipBrowser(TExtractedArchives &extracted, QObject *parent = nullptr);
    ~TZipBrowser() override;

    TZipTreeModel &TreeModel() { return tree_; }
    TZipEntryModel &EntryModel() { return entries_; }
    TZipPagesModel &PagesModel() { return pages_; }
    TZipWorker &Worker() { return worker_; }
    TRecentList &Recent() { return recent_; }
    TExtractedArchives &Extracted() { return extracted_; }

    // The selected node and its archive's root, or null.
    TZipNode *Selected() const { return selected_; }
    TZipNode *CurrentArchive() const { return selected_ ? selected_->Root() : nullptr; }
    // Makes the node the selected one: its entries listed, and its
    // archive's pages when that changed. False (nothing changes) while an
    // archive is being listed or added to and the node is of another one.
    bool Select(TZipNode *node);
    TZipCommandStates States(bool focusOnArchives) const;
    // The entry count of the archive, as the listing found it.
    uint64_t EntryCount(const TZipNode *root) const;

    // Opens the archive (selecting it when it is open already); a missing
    // file is a new, empty archive. done, when given, has the outcome.
    TZipNode *Open(const std::string &path, std::function<void(TZipNode *root)> done = {});
    // A recent archive: opened when its file exists, else told and dropped.
    void Reopen(const std::string &path);
    void Close(TZipNode *root);
    // Renames the archive's file within its folder; a failure is told.
    bool Rename(TZipNode *root, const std::string &name);
    // The Delete command on a node: entries and folders after the question,
    // an archive's file to the trash (then closed).
    void DeleteNode(TZipNode *node);
    // The entry list's rows, after the question.
    void DeleteRows(const std::vector<int> &rows);
    // The wizard's files into its archive, then the archive listed anew.
    void Add(const TZipAddJob &job, std::function<void(int outcome)> done = {});
    void Extract(const TZipExtractJob &job, std::function<void(int outcome)> done = {});
    // Extracts the whole archive into the Temp folder for browsing, unless
    // it lies there already; the others' files are gone from it then.
    void ExtractForBrowsing(TZipNode *root, const std::string &tempFolder, std::function<void(int outcome)> done);
    // Asks "Abort the current zip operation?" and aborts on Yes.
    void AskAbort();
    bool Busy() const { return worker_.Running() || !queue_.empty(); }

    // A zip-mode run: its archive opened and selected, listed again as its
    // updates land, renamed with it at the end.
    void RunStarted(const std::string &archive);
    void RunArchiveUpdated();
    void RunEnded(const std::string &archive);
    const std::string &RunningArchive() const { return running_; }

    // Window thread: the box "Replace File : ..." of an extraction without
    // overwriting; without it every file is replaced.
    std::function<TZipReplaceAnswer(const std::string &existing, const std::string &incoming)> OnReplace;
    // Whether the archive file may go to the trash ("Confirm File Delete").
    std::function<bool(const std::string &file)> OnConfirmTrash;

Q_SIGNALS:
    // The status line, with a progress (0 and 0 for none).
    void Status(const std::string &text, int position, int total);
    // The selection moved (an archive opened, a node removed, a run's archive).
    void SelectionChanged(TZipNode *node);
    // The entry list or its totals changed.
    void EntriesChanged();

private:
    struct TOperation {
        int busy, listing;
        std::string word;
        std::function<int(TZipArchive &)> run;
        std::function<void(int outcome)> done;
        // On the window thread, as the worker takes it.
        std::function<void()> started = {};
    };
    void Enqueue(TOperation operation);
    void StartNext();
    // Lists the whole archive into its tree; done after the last entry.
    void List(const std::string &path, bool opening, std::function<void(int outcome)> done);
    TZipNode *RootOf(const std::string &path) const { return tree_.Tree().Find(path); }
    // Deletes the entries from the archive (one update), then the nodes
    // that deleted names out of its tree.
    void DeleteEntries(const std::string &archive, const StringList &names,
                       std::function<std::vector<TZipNode *>(TZipNode *root)> deleted);
    // Deleted entries and folders out of the tree, the selection kept in what stays.
    void RemoveNodes(const std::vector<TZipNode *> &nodes);
    // The list (and pages) of the selection again, after a change.
    void Refresh(bool pages);

    TExtractedArchives &extracted_;
    TZipTreeModel tree_;
    TZipEntryModel entries_;
    TZipPagesModel pages_;
    TRecentList recent_;
    TZipNode *selected_ = nullptr;
    std::string running_;
    bool relistWaiting_ = false;
    // What waits for the worker, in order.
    std::deque<TOperation> queue_;
    // The archive being listed, and how far.
    std::string listing_;
    uint64_t listed_ = 0;
    std::atomic<uint64_t> listingTotal_{0};
    TZipWorker worker_; // last: its thread ends first
};

} // namespace arvelo
