#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace arvelo {

class TAVTask;

enum TItemState : uint8_t {
    isNone = 0,
    isDownloading = 1,
    isUpdating = 2,
    isError = 3,
    isDownloaded = 4,
    isSaved = 5,
    isUpdated = 6,
    isMapping = 7,
    isParsing = 8,
    isMapped = 9,
    isParsed = 10,
    isZipped = 11,
};

enum TItemMark : uint8_t { imUnmarked = 0, imDownload = 1, imMap = 2, imUpdate = 3 };

// The text fields whose master copy is the item list. An item holds them only
// between LoadFields and ReleaseFields, so that a large task stays small.
struct TItemText {
    std::string URL;
    std::string referrer;
    std::string lastModified;
    std::string title;
    std::string result;
};

// One address of a task. The task's item list is the master copy of the
// text fields URL, result, Referrer, Last Modified and Title: they are loaded
// (LoadFields) when needed and released after they are stored. The state,
// mark and page flag are read by the dispatcher and parser threads while the
// window thread changes them, so they are atomic; change them only through
// the setters, which let the list's selection see the change.
class TAVQItem {
public:
    explicit TAVQItem(TAVTask *owner);
    TAVQItem(const TAVQItem &) = delete;
    TAVQItem &operator=(const TAVQItem &) = delete;

    TAVTask *task;
    std::string baseAddress;
    std::string localFile;
    std::string frame; // "Y" when the link came from a frame tag
    int32_t level = 0;
    int64_t size = 0;
    int32_t index = -1;   // line of the address in the task's item list
    void *exploreRow = nullptr; // not owned

    // The text fields, made empty when not loaded.
    TItemText &Text();
    // The text fields as they are, without making them.
    const TItemText &LoadedText() const;

    uint8_t State() const { return state_.load(std::memory_order_acquire); }
    uint8_t Mark() const { return mark_.load(std::memory_order_acquire); }
    const std::string &Group() const { return *group_; }
    bool IsPage() const { return page_.load(std::memory_order_acquire); }
    // A style sheet is read back after it is saved, as a page is.
    bool IsStyleSheet() const { return styleSheet_.load(std::memory_order_acquire); }
    void SetStyleSheet(bool on);

    // Changes the state, taking the item's share out of the task's counters
    // when it is reset to 0, and reports the change.
    void SetState(uint8_t newState);
    void SetMark(uint8_t mark);
    void SetGroup(const std::string &group);

    // Reads the URL and the record fields from the task's item list.
    void LoadFields();
    // Stores the record; with release, empties the text fields afterwards.
    void Publish(bool release);
    void ReleaseFields();
    std::string StateText() const { return StateText(State()); }
    static std::string StateText(uint8_t state);

private:
    friend class TItemList;
    void SetStateQuietly(uint8_t state);

    std::unique_ptr<TItemText> text_;
    const std::string *group_; // interned: many items share few groups
    std::atomic<uint8_t> state_{isNone};
    std::atomic<uint8_t> mark_{imDownload};
    std::atomic<bool> page_{false};
    std::atomic<bool> styleSheet_{false};
    // Position among the list's items; the largest value until the item is
    // added, so that changes made before do not move the list's cursors.
    uint32_t ordinal_ = UINT32_MAX;
};

} // namespace arvelo
