#pragma once

#include "core/WindowThread.h"
#include "model/DownloadItem.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace arvelo {

class TAVTask;

// The complete address and record pairs of a state file's bytes, in order:
// a file cut off anywhere loses at most the item it was cut in.
void ForEachStatePair(const std::string &bytes, const std::function<void(std::string &address, std::string &record)> &take);

// The download items of a task and their text: two lines per item, the
// address and a record of eleven fields each followed by U+00B6. The lines are
// the content of the task's ".dwn" state file.
//
// Between two writes of the state file every changed line is also written
// as a journal entry (its index, then its text) at the end of the ".dwj"
// file beside it: the entries of one step of the window thread in one write
// at the end of the step, which the dispatcher flushes to the disk once a
// second. A run killed at any moment loses only what was in flight, a power
// loss at most a second more. Taking a snapshot sets the journal aside as
// ".dwj.N" (N the snapshot's number), removed once the snapshot is written.
// Reading the state file replays what journals it finds, oldest first.
//
// The window thread adds and changes items. The dispatcher and parser threads
// call the selection predicates, which take the list's lock and read only the
// items' atomic state, mark and page flag. Each predicate keeps the position
// before which no item can match, lowered whenever an item changes, so that
// picking every item of a large task once costs linear time in all.
class TItemList {
public:
    explicit TItemList(TAVTask &task);
    ~TItemList();
    TItemList(const TItemList &) = delete;
    TItemList &operator=(const TItemList &) = delete;

    // Number of lines, and the items in the order they were added.
    size_t LineCount() const { return lines_.size(); }
    const std::string &Line(size_t index) const { return lines_[index]; }
    size_t ItemCount() const;
    TAVQItem *Item(size_t ordinal) const;
    bool Changed() const { return changed_; }
    int AutosaveCount() const { return autosaveCount_; }

    // Appends the item (its fields set by the caller) and takes ownership.
    TAVQItem *AddItem(std::unique_ptr<TAVQItem> item);
    void StoreItem(TAVQItem &item);
    // Empties the stored download result, which StoreItem keeps when the
    // item's own is empty.
    void ClearResult(const TAVQItem &item);
    // Rebuilds the item objects from the lines (read from the state file when
    // the list is empty). False, with the error reported, when a record holds
    // a state or level that is not a number; the items before it remain.
    bool OpenItems();
    void LoadState();
    // Writes the state file atomically. Throws EFileError.
    void SaveState();
    void SaveStateSoon();

    // The state file as it stands, to be written by another thread, so that
    // the window thread never waits for the disk. Taking one marks the list
    // saved; a failed write marks it changed again (MarkChanged).
    struct TStateSnapshot {
        std::string file, text;
        uint64_t sequence = 0;
    };
    TStateSnapshot StateSnapshot();
    // Counts one autosave occasion; true when the state is due to be written.
    bool AutosaveDue();
    // Any thread. A snapshot older than one already written is dropped, so
    // that a slow write never puts back an older state. Throws EFileError.
    void WriteState(const TStateSnapshot &snapshot);
    void MarkChanged() { changed_ = true; }

    // A list begun afresh is written whole first: a journal only ever
    // extends the state file it was begun on.
    bool WholeSaveDue() const { return wholeSaveDue_; }
    // The journal the list writes to now.
    std::string JournalFile() const;
    // Window thread: writes the journal entries of the changes so far now,
    // rather than once the window thread's step is over (before work that
    // relies on their being recorded).
    void FlushJournal();
    // Any thread. Flushes the journal file to the disk.
    static void SyncJournal(const std::string &journalFile);
    // The journals of a run that was killed go along when its state file
    // is renamed.
    static void MoveJournals(const std::string &oldStateFile, const std::string &newStateFile);

    // What is wrong with the state file read last ("it was cut short"...),
    // or empty when nothing is.
    const std::string &Damage() const { return damage_; }
    // Whether the task's run counters say what its items say.
    bool CountersAgree() const;
    // Sets the task's run counters from its items' states.
    void Recount();
    // After a damaged state file: every page and style sheet is fetched and
    // read again, so that the links of items lost with it are found again;
    // the other files it still lists are not fetched again.
    void PrepareRediscovery();
    void ResetInProgress();
    void PrepareUpdate();
    // Before a resume: the files cut short (their result "Incomplete (N
    // bytes)") are fetched again, from where they stopped.
    void PrepareResume();
    void PrepareRecovery();
    TAVQItem *NextPage();
    TAVQItem *NextOtherFile();
    TAVQItem *NextPageToParse();
    // The first pages waiting to be parsed, at most `most`, in list order.
    std::vector<TAVQItem *> PagesToParse(size_t most);

    // The task's known addresses, compared ignoring letter case.
    bool IsKnown(std::string_view url) const;
    void AddKnown(const std::string &url);

    // Frees every item and line.
    void Clear();

    // Called by an item whose state, mark or group changed.
    void ItemChanged(const TAVQItem &item);
    std::string RecordOf(const TAVQItem &item) const;
    const std::string &StoredRecord(const TAVQItem &item) const;

private:
    struct FoldedHash {
        size_t operator()(std::string_view text) const;
    };
    struct FoldedEqual {
        bool operator()(std::string_view a, std::string_view b) const;
    };
    enum Predicate { kPage, kOther, kParse, kPredicates };

    static bool Matches(const TAVQItem &item, Predicate predicate);
    // The run counters as the items' states say them: done (saved or
    // failed), failed, and all, for pages and for other files.
    struct TCounts {
        int64_t pages = 0, pageErrors = 0, resources = 0, resourceErrors = 0, totalPages = 0, totalResources = 0;
    };
    TCounts CountItems() const;
    // Sets a line (one past the last appends it) and notes it for the journal.
    void SetLine(size_t index, std::string text);
    // Applies a journal's entries to the lines read from the state file;
    // false when it ends in a gap.
    bool ReplayJournal(const std::string &journalFile);
    void WriteJournalEntry(size_t index, const std::string &text);
    void CloseJournal();
    // The journals set aside by snapshots, oldest first, as (number, file).
    static std::vector<std::pair<uint64_t, std::string>> SetAsideJournals(const std::string &stateFile);
    TAVQItem *Next(Predicate predicate);
    void ClearObjects();
    template <typename Fn>
    void ForEachInState(Fn &&reset);

    TAVTask &task_;
    // Lines never move once added, so that the known addresses can point into them.
    std::deque<std::string> lines_;
    mutable std::mutex mutex_; // guards items_ growth and the cursors
    std::vector<std::unique_ptr<TAVQItem>> items_;
    size_t cursor_[kPredicates] = {0, 0, 0};
    std::unordered_set<std::string_view, FoldedHash, FoldedEqual> known_;
    std::deque<std::string> extraKnown_;
    bool changed_ = false;
    int journalFd_ = -1;
    bool journalBroken_ = false; // a write failed: the next save is whole
    std::string journalPending_; // entries not written yet
    std::string damage_;         // of the state file read last
    bool wholeSaveDue_ = true;
    int autosaveCount_ = 0;
    uint64_t snapshots_ = 0;
    std::mutex writeMutex_;     // one state file write at a time
    uint64_t written_ = 0;      // the newest snapshot written (writeMutex_)
    // Writes the pending entries once the window thread's step is over.
    TWindowSignal journalFlush_{[this] { FlushJournal(); }};
};

} // namespace arvelo
