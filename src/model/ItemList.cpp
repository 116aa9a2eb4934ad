#include "model/ItemList.h"

#include "crawl/StyleSheet.h"

#include "core/App.h"
#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "core/TextUtils.h"
#include "model/FileTypes.h"
#include "model/Task.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace arvelo {
namespace {

constexpr int kRecordFields = 11;

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// A field of a record: one line, no separator.
std::string FieldText(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n')
            continue;
        if (text.compare(i, kFieldSeparator.size(), kFieldSeparator) == 0) {
            i += kFieldSeparator.size() - 1;
            continue;
        }
        out += text[i];
    }
    return out;
}

// A record is complete when it ends with the separator after its last field.
bool CompleteRecord(const std::string &line)
{
    return line.size() >= kFieldSeparator.size() &&
           line.compare(line.size() - kFieldSeparator.size(), kFieldSeparator.size(), kFieldSeparator) == 0;
}

// A whole decimal number that fits in 32 bits.
bool IsDecimal(const std::string &text)
{
    std::string_view digits = text;
    if (!digits.empty() && digits[0] == '-')
        digits.remove_prefix(1);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

} // namespace

namespace {

// The form of an address that tells items apart: escapes that need none
// decoded, and "/about/" the same as "/about".
std::string_view KeyOf(std::string_view url, std::string &decoded)
{
    if (url.find('%') != std::string_view::npos) {
        decoded = DecodeNeedlessEscapes(url);
        url = decoded;
    }
    if (url.size() > 1 && url.back() == '/')
        url.remove_suffix(1);
    return url;
}

} // namespace

size_t TItemList::FoldedHash::operator()(std::string_view text) const
{
    std::string decoded;
    size_t hash = 1469598103934665603ull;
    for (char c : KeyOf(text, decoded))
        hash = (hash ^ static_cast<unsigned char>(Fold(c))) * 1099511628211ull;
    return hash;
}

bool TItemList::FoldedEqual::operator()(std::string_view a, std::string_view b) const
{
    std::string decodedA, decodedB;
    a = KeyOf(a, decodedA);
    b = KeyOf(b, decodedB);
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Fold(x) == Fold(y); });
}

TItemList::TItemList(TAVTask &task) : task_(task) {}

TItemList::~TItemList()
{
    FlushJournal();
    CloseJournal();
}

size_t TItemList::ItemCount() const
{
    std::lock_guard lock(mutex_);
    return items_.size();
}

TAVQItem *TItemList::Item(size_t ordinal) const
{
    std::lock_guard lock(mutex_);
    return ordinal < items_.size() ? items_[ordinal].get() : nullptr;
}

std::string TItemList::RecordOf(const TAVQItem &item) const
{
    std::string record;
    auto add = [&](const std::string &text) {
        record += text;
        record += kFieldSeparator;
    };
    const TItemText &text = item.LoadedText();
    add(std::to_string(item.State()));
    add(CleanText(text.result));
    add(FieldText(item.Group()));
    add({});
    add(std::to_string(item.level));
    add(FieldText(text.referrer));
    add(FieldText(text.lastModified));
    add(std::to_string(item.Mark()));
    add(FieldText(text.title));
    add(std::to_string(item.size));
    add(FieldText(item.frame));
    return record;
}

const std::string &TItemList::StoredRecord(const TAVQItem &item) const
{
    static const std::string kNone;
    size_t at = static_cast<size_t>(item.index) + 1;
    return item.index >= 0 && at < lines_.size() ? lines_[at] : kNone;
}

TAVQItem *TItemList::AddItem(std::unique_ptr<TAVQItem> item)
{
    TAVQItem *added = item.get();
    std::string url = FieldText(item->LoadedText().URL);
    SetLine(lines_.size(), url);
    known_.insert(lines_.back());
    if (item->IsPage())
        ++task_.totalPages;
    else
        ++task_.totalResources;
    item->index = static_cast<int32_t>(lines_.size() - 1);
    SetLine(lines_.size(), RecordOf(*item));
    {
        std::lock_guard lock(mutex_);
        item->ordinal_ = static_cast<uint32_t>(items_.size());
        items_.push_back(std::move(item));
    }
    changed_ = true;
    if (task_.OnItemChanged)
        task_.OnItemChanged(*added);
    added->ReleaseFields();
    return added;
}

void TItemList::StoreItem(TAVQItem &item)
{
    if (lines_.empty())
        LoadState();
    size_t at = static_cast<size_t>(item.index) + 1;
    if (item.index < 0 || at >= lines_.size())
        return;
    const std::string &stored = lines_[at];
    // Text fields left empty in the object keep what the list holds.
    std::string record;
    std::string fresh = RecordOf(item);
    for (int n = 0; n < kRecordFields; ++n) {
        std::string field = FieldOf(fresh, kFieldSeparator, n);
        if (field.empty())
            field = FieldOf(stored, kFieldSeparator, n);
        record += field;
        record += kFieldSeparator;
    }
    if (record != lines_[at])
        SetLine(at, std::move(record));
}

void TItemList::ClearResult(const TAVQItem &item)
{
    size_t at = static_cast<size_t>(item.index) + 1;
    if (item.index < 0 || at >= lines_.size())
        return;
    std::string record;
    for (int n = 0; n < kRecordFields; ++n) {
        if (n != 1)
            record += FieldOf(lines_[at], kFieldSeparator, n);
        record += kFieldSeparator;
    }
    SetLine(at, std::move(record));
}

void TItemList::SetLine(size_t index, std::string text)
{
    if (!wholeSaveDue_)
        WriteJournalEntry(index, text);
    if (index < lines_.size())
        lines_[index] = std::move(text);
    else
        lines_.push_back(std::move(text));
    changed_ = true;
}

std::string TItemList::JournalFile() const { return ChangeFileExt(task_.StateFile(), ".dwj"); }

void TItemList::WriteJournalEntry(size_t index, const std::string &text)
{
    if (journalBroken_ || task_.taskFile.empty())
        return;
    // The entries of one step of the window thread go out together, in one
    // write once the step is over: written, they outlive the process.
    journalPending_ += std::to_string(index);
    journalPending_ += '\n';
    journalPending_ += text;
    journalPending_ += '\n';
    journalFlush_.Raise();
}

void TItemList::FlushJournal()
{
    std::string entries;
    entries.swap(journalPending_);
    if (entries.empty() || journalBroken_ || task_.taskFile.empty())
        return;
    if (journalFd_ < 0) {
        journalFd_ = ::open(JournalFile().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (journalFd_ < 0) {
            journalBroken_ = true;
            return;
        }
    }
    // Whole or cut at the end of the file, where a replay drops the last entry.
    for (size_t done = 0; done < entries.size();) {
        const ssize_t written = ::write(journalFd_, entries.data() + done, entries.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            // The changes are in the state file's next whole write.
            CloseJournal();
            journalBroken_ = true;
            return;
        }
        done += static_cast<size_t>(written);
    }
}

void TItemList::CloseJournal()
{
    if (journalFd_ >= 0)
        ::close(journalFd_);
    journalFd_ = -1;
}

void TItemList::SyncJournal(const std::string &journalFile)
{
    const int fd = ::open(journalFile.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fdatasync(fd);
    ::close(fd);
}

void TItemList::MoveJournals(const std::string &oldStateFile, const std::string &newStateFile)
{
    const std::string from = ChangeFileExt(oldStateFile, ".dwj"), to = ChangeFileExt(newStateFile, ".dwj");
    if (FileExists(from))
        RenameNoReplace(from, to);
    for (const auto &[number, journal] : SetAsideJournals(oldStateFile))
        RenameNoReplace(journal, to + "." + std::to_string(number));
}

std::vector<std::pair<uint64_t, std::string>> TItemList::SetAsideJournals(const std::string &stateFile)
{
    std::vector<std::pair<uint64_t, std::string>> journals;
    const std::string prefix = ExtractFileName(ChangeFileExt(stateFile, ".dwj.")), folder = ExtractFilePath(stateFile);
    for (const std::string &name : FolderFiles(folder, "*.dwj.*")) {
        uint64_t number = 0;
        const char *first = name.data() + prefix.size(), *last = name.data() + name.size();
        if (name.rfind(prefix, 0) != 0)
            continue;
        if (auto [at, failure] = std::from_chars(first, last, number); failure == std::errc() && at == last)
            journals.emplace_back(number, folder + name);
    }
    std::sort(journals.begin(), journals.end());
    return journals;
}

bool TItemList::ReplayJournal(const std::string &journalFile)
{
    bool ok = false;
    const std::string bytes = ReadFileBytes(journalFile, &ok);
    size_t pos = 0;
    while (ok && pos < bytes.size()) {
        const size_t indexEnd = bytes.find('\n', pos);
        const size_t textEnd = indexEnd == std::string::npos ? indexEnd : bytes.find('\n', indexEnd + 1);
        // An entry cut short by the end of the file was never finished.
        if (textEnd == std::string::npos)
            break;
        size_t index = 0;
        const char *first = bytes.data() + pos, *last = bytes.data() + indexEnd;
        auto [at, failure] = std::from_chars(first, last, index);
        if (failure != std::errc() || at != last || index > lines_.size())
            return false;
        std::string text = bytes.substr(indexEnd + 1, textEnd - indexEnd - 1);
        if (index < lines_.size())
            lines_[index] = std::move(text);
        else
            lines_.push_back(std::move(text));
        changed_ = true;
        pos = textEnd + 1;
    }
    return true;
}

void TItemList::ClearObjects()
{
    std::lock_guard lock(mutex_);
    items_.clear();
    std::fill(std::begin(cursor_), std::end(cursor_), 0);
    known_.clear();
    extraKnown_.clear();
}

void TItemList::Clear()
{
    ClearObjects();
    lines_.clear();
    journalPending_.clear();
    CloseJournal();
    journalBroken_ = false;
    damage_.clear();
    changed_ = false;
    wholeSaveDue_ = true;
    autosaveCount_ = 0;
}

void TItemList::LoadState()
{
    bool ok = false;
    std::string bytes = ReadFileBytes(task_.StateFile(), &ok);
    if (!ok)
        return;
    ClearObjects();
    lines_.clear();
    journalPending_.clear();
    CloseJournal();
    journalBroken_ = false;
    wholeSaveDue_ = false;
    size_t lineCount = 0;
    for (char c : bytes)
        lineCount += c == '\n';
    ForEachStatePair(bytes, [&](std::string &address, std::string &record) {
        lines_.push_back(std::move(address));
        lines_.push_back(std::move(record));
    });
    damage_.clear();
    if (lines_.size() != lineCount || (!bytes.empty() && bytes.back() != '\n'))
        damage_ = "it was cut short or holds broken records";
    // The start address leads the list: the crawl rules are judged from it.
    const std::string start = FieldText(task_.url);
    if (!lines_.empty() && !task_.url.empty() && lines_[0] != start) {
        for (size_t at = 2; at < lines_.size(); at += 2)
            if (lines_[at] == start) {
                std::rotate(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(at),
                            lines_.begin() + static_cast<std::ptrdiff_t>(at + 2));
                break;
            }
        if (damage_.empty())
            damage_ = "its items are out of order";
    }
    // The journals' line numbers hold for the state file they were begun
    // on, read whole; a damaged one is not built on.
    if (damage_.empty()) {
        bool whole = true;
        for (const auto &[number, journal] : SetAsideJournals(task_.StateFile()))
            whole = whole && ReplayJournal(journal);
        if (whole)
            ReplayJournal(JournalFile());
    }
    // An address whose record never came.
    if (lines_.size() % 2 != 0)
        lines_.pop_back();
}

void ForEachStatePair(const std::string &bytes, const std::function<void(std::string &, std::string &)> &take)
{
    size_t pos = 0;
    std::string address;
    bool haveAddress = false;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos)
            break; // the last line was never finished
        std::string line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!haveAddress) {
            address = std::move(line);
            haveAddress = true;
            continue;
        }
        haveAddress = false;
        if (CompleteRecord(line))
            take(address, line);
    }
}

bool TItemList::OpenItems()
{
    if (lines_.empty())
        LoadState();
    ClearObjects();
    size_t pairs = lines_.size() / 2;
    for (size_t p = 0; p < pairs; ++p) {
        size_t addressLine = 2 * p;
        const std::string &record = lines_[addressLine + 1];
        std::string state = FieldOf(record, kFieldSeparator, 0);
        std::string level = FieldOf(record, kFieldSeparator, 4);
        for (const std::string *number : {&state, &level}) {
            if (!IsDecimal(*number)) {
                Notifier().Error("'" + *number + "' is not a valid integer value");
                return false;
            }
        }
        known_.insert(lines_[addressLine]);
        auto item = std::make_unique<TAVQItem>(&task_);
        item->index = static_cast<int32_t>(addressLine);
        int value = ToIntDef(state, 0);
        // An item caught in flight, or in a state no run leaves, starts
        // again; its record says so too, so that loading its fields later
        // does not bring the old state back.
        if (value < isError || value > isZipped) {
            if (value != isNone) {
                std::string &stored = lines_[addressLine + 1];
                stored.erase(0, state.size());
                stored.insert(stored.begin(), '0');
            }
            value = isNone;
        }
        item->state_.store(static_cast<uint8_t>(value));
        item->SetGroup(FieldOf(record, kFieldSeparator, 2));
        item->styleSheet_.store(IsStyleSheetURL(lines_[addressLine]));
        std::string mark = FieldOf(record, kFieldSeparator, 7);
        item->mark_.store(static_cast<uint8_t>(mark.empty() ? imDownload : ToIntDef(mark, imDownload)));
        item->level = ToIntDef(level, 0);
        item->size = ToInt64Def(FieldOf(record, kFieldSeparator, 9), 0);
        item->frame = FieldOf(record, kFieldSeparator, 10);
        TAVQItem *added = item.get();
        {
            std::lock_guard lock(mutex_);
            item->ordinal_ = static_cast<uint32_t>(items_.size());
            items_.push_back(std::move(item));
        }
        if (task_.OnItemChanged)
            task_.OnItemChanged(*added);
        size_t done = p + 1;
        if (done % 100 == 1 || done == pairs)
            if (task_.OnChange)
                task_.OnChange("Opening task....", static_cast<int>(done), static_cast<int>(pairs));
    }
    return true;
}

void TItemList::SaveState()
{
    try {
        WriteState(StateSnapshot());
    } catch (const EFileError &) {
        changed_ = true; // written at the next occasion
        throw;
    }
}

TItemList::TStateSnapshot TItemList::StateSnapshot()
{
    TStateSnapshot snapshot;
    size_t total = 0;
    for (const std::string &line : lines_)
        total += line.size() + 2;
    snapshot.text.reserve(total);
    for (const std::string &line : lines_) {
        snapshot.text += line;
        snapshot.text += "\r\n";
    }
    snapshot.file = task_.StateFile();
    snapshot.sequence = ++snapshots_;
    // The snapshot holds every change so far: the journal is set aside, to
    // go once the snapshot is written, and a new one begins.
    FlushJournal();
    if (journalFd_ >= 0) {
        CloseJournal();
        const std::string journal = JournalFile();
        ::rename(journal.c_str(), (journal + "." + std::to_string(snapshot.sequence)).c_str());
    }
    journalBroken_ = false;
    wholeSaveDue_ = false;
    changed_ = false;
    autosaveCount_ = 0;
    return snapshot;
}

void TItemList::WriteState(const TStateSnapshot &snapshot)
{
    std::lock_guard lock(writeMutex_);
    if (snapshot.sequence <= written_)
        return;
    std::string folder = ExtractFilePath(snapshot.file);
    if (!folder.empty() && !FolderExists(folder))
        ForceFolders(folder);
    WriteFileAtomic(snapshot.file, snapshot.text);
    written_ = snapshot.sequence;
    // Every journal set aside up to this snapshot is in the state file now.
    for (const auto &[number, journal] : SetAsideJournals(snapshot.file))
        if (number <= snapshot.sequence)
            ::unlink(journal.c_str());
}

bool TItemList::AutosaveDue()
{
    TAVApp *app = TAVApp::Instance();
    int threshold = app ? app->AutosaveThreshold() : 10;
    if (autosaveCount_ < threshold) {
        ++autosaveCount_;
        return false;
    }
    return true;
}

void TItemList::SaveStateSoon()
{
    if (AutosaveDue())
        SaveState();
}

template <typename Fn>
void TItemList::ForEachInState(Fn &&reset)
{
    size_t count = ItemCount();
    for (size_t i = 0; i < count; ++i)
        reset(*Item(i));
}

void TItemList::ResetInProgress()
{
    ForEachInState([](TAVQItem &item) {
        if (item.State() != isDownloading && item.State() != isUpdating)
            return;
        item.LoadFields();
        item.SetState(isNone);
        item.Publish(true);
    });
}

void TItemList::PrepareUpdate()
{
    ForEachInState([](TAVQItem &item) {
        if (item.State() < isSaved)
            return;
        item.LoadFields();
        item.SetState(isNone);
        item.SetMark(imUpdate);
        item.Publish(true);
    });
}

void TItemList::PrepareRecovery()
{
    ForEachInState([](TAVQItem &item) {
        if (item.State() != isError)
            return;
        item.LoadFields();
        item.SetState(isNone);
        item.size = 0;
        item.Publish(true);
    });
}

void TItemList::PrepareResume()
{
    ForEachInState([](TAVQItem &item) {
        if (item.State() != isError)
            return;
        item.LoadFields();
        if (item.LoadedText().result.rfind("Incomplete (", 0) == 0) {
            // The result stays: the fetch asks for the rest of the file.
            item.SetState(isNone);
            item.Publish(true);
        } else {
            item.ReleaseFields();
        }
    });
}

TItemList::TCounts TItemList::CountItems() const
{
    TCounts counts;
    for (size_t i = 0; i < ItemCount(); ++i) {
        const TAVQItem &item = *Item(i);
        const uint8_t state = item.State();
        const bool page = item.IsPage();
        (page ? counts.pages : counts.resources) += state == isError || state >= isSaved;
        (page ? counts.pageErrors : counts.resourceErrors) += state == isError;
        ++(page ? counts.totalPages : counts.totalResources);
    }
    return counts;
}

bool TItemList::CountersAgree() const
{
    const TCounts counts = CountItems();
    return counts.pages == task_.pagesSaved && counts.pageErrors == task_.pageErrors &&
           counts.resources == task_.resourcesSaved && counts.resourceErrors == task_.resourceErrors;
}

void TItemList::Recount()
{
    const TCounts counts = CountItems();
    task_.pagesSaved = counts.pages;
    task_.pageErrors = counts.pageErrors;
    task_.resourcesSaved = counts.resources;
    task_.resourceErrors = counts.resourceErrors;
    task_.totalPages = counts.totalPages;
    task_.totalResources = counts.totalResources;
}

void TItemList::PrepareRediscovery()
{
    ForEachInState([](TAVQItem &item) {
        if (!(item.IsPage() || item.IsStyleSheet()) || item.State() == isNone)
            return;
        item.LoadFields();
        item.SetState(isNone);
        item.SetMark(imDownload);
        item.Publish(true);
    });
}

void TItemList::ItemChanged(const TAVQItem &item)
{
    // Each cursor has passed only items that did not match its search: it
    // goes back for an item that matches now, and for no other. (Going back
    // for every change made each search walk again from the item that had
    // just been parsed, far behind the fetches on a large site.)
    std::lock_guard lock(mutex_);
    for (int predicate = 0; predicate < kPredicates; ++predicate) {
        size_t &cursor = cursor_[predicate];
        if (item.ordinal_ < cursor && Matches(item, static_cast<Predicate>(predicate)))
            cursor = item.ordinal_;
    }
}

bool TItemList::Matches(const TAVQItem &item, Predicate predicate)
{
    uint8_t state = item.State(), mark = item.Mark();
    bool page = item.IsPage();
    switch (predicate) {
    case kPage:
        return page && (((mark == imDownload || mark == imMap) && state == isNone) ||
                        (mark == imUpdate && (state == isNone || state == isDownloading)));
    case kOther:
        return !page && ((mark == imDownload && state == isNone) ||
                         (mark == imUpdate && (state == isNone || state == isDownloading)));
    default:
        return (page || item.IsStyleSheet()) && state == isSaved;
    }
}

TAVQItem *TItemList::Next(Predicate predicate)
{
    std::lock_guard lock(mutex_);
    size_t &cursor = cursor_[predicate];
    while (cursor < items_.size()) {
        if (Matches(*items_[cursor], predicate))
            return items_[cursor].get();
        ++cursor;
    }
    return nullptr;
}

TAVQItem *TItemList::NextPage() { return Next(kPage); }
TAVQItem *TItemList::NextOtherFile() { return Next(kOther); }
TAVQItem *TItemList::NextPageToParse() { return Next(kParse); }

std::vector<TAVQItem *> TItemList::PagesToParse(size_t most)
{
    std::vector<TAVQItem *> pages;
    if (!Next(kParse))
        return pages;
    std::lock_guard lock(mutex_);
    for (size_t i = cursor_[kParse]; i < items_.size() && pages.size() < most; ++i)
        if (Matches(*items_[i], kParse))
            pages.push_back(items_[i].get());
    return pages;
}

bool TItemList::IsKnown(std::string_view url) const { return known_.count(url) > 0; }

void TItemList::AddKnown(const std::string &url)
{
    if (IsKnown(url))
        return;
    extraKnown_.push_back(url);
    known_.insert(extraKnown_.back());
}

} // namespace arvelo
