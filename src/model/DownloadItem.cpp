#include "model/DownloadItem.h"

#include "core/TextUtils.h"
#include "model/FileTypes.h"
#include "model/ItemList.h"
#include "model/Task.h"

#include <mutex>
#include <set>

namespace arvelo {
namespace {

// The byte count of "Incomplete (N bytes)", 0 when it is not a number.
int IncompleteBytes(const std::string &result)
{
    return ToIntDef(TextBetween(result, "Incomplete (", " bytes)"), 0);
}

// The one copy of each group name that items point to.
const std::string *InternGroup(const std::string &group)
{
    static std::mutex mutex;
    static std::set<std::string, std::less<>> names;
    std::lock_guard lock(mutex);
    return &*names.insert(group).first;
}

} // namespace

TAVQItem::TAVQItem(TAVTask *owner) : task(owner), group_(InternGroup({})) {}

TItemText &TAVQItem::Text()
{
    if (!text_)
        text_ = std::make_unique<TItemText>();
    return *text_;
}

const TItemText &TAVQItem::LoadedText() const
{
    static const TItemText kEmpty;
    return text_ ? *text_ : kEmpty;
}

std::string TAVQItem::StateText(uint8_t state)
{
    static const char *const kTexts[] = {"None", "Downloading", "Updating", "Error", "Downloaded", "Saved",
                                         "Updated", "Mapping", "Parsing", "Mapped", "Parsed", "Zipped"};
    return state < std::size(kTexts) ? kTexts[state] : "Unknown";
}

void TAVQItem::SetStateQuietly(uint8_t state)
{
    state_.store(state, std::memory_order_release);
    task->items.ItemChanged(*this);
}

void TAVQItem::SetState(uint8_t newState)
{
    uint8_t old = State();
    if (newState == isNone && old == isError) {
        if (IsPage()) {
            --task->pageErrors;
            --task->pagesSaved;
        } else {
            --task->resourceErrors;
            --task->resourcesSaved;
        }
    } else if (newState == isNone && old >= isSaved) {
        if (IsPage())
            --task->pagesSaved;
        else
            --task->resourcesSaved;
        const std::string &result = LoadedText().result;
        task->totalBytes -= result.rfind("Incomplete", 0) == 0 ? IncompleteBytes(result) : size;
    }
    SetStateQuietly(newState);
    if (task->OnChange)
        task->OnChange({}, 0, 0);
}

void TAVQItem::SetMark(uint8_t mark)
{
    mark_.store(mark, std::memory_order_release);
    task->items.ItemChanged(*this);
}

void TAVQItem::SetStyleSheet(bool on)
{
    styleSheet_.store(on, std::memory_order_release);
    task->items.ItemChanged(*this);
}

void TAVQItem::SetGroup(const std::string &group)
{
    group_ = InternGroup(group);
    page_.store(group == kPageGroup, std::memory_order_release);
    task->items.ItemChanged(*this);
}

void TAVQItem::LoadFields()
{
    const TItemList &list = task->items;
    if (index < 0 || static_cast<size_t>(index) + 1 >= list.LineCount())
        return;
    TItemText &text = Text();
    text.URL = list.Line(static_cast<size_t>(index));
    const std::string &record = list.StoredRecord(*this);
    auto field = [&](int n) { return FieldOf(record, kFieldSeparator, n); };
    state_.store(static_cast<uint8_t>(ToIntDef(field(0), 0)), std::memory_order_release);
    text.result = field(1);
    SetGroup(field(2));
    level = ToIntDef(field(4), 0);
    text.referrer = field(5);
    text.lastModified = field(6);
    std::string mark = field(7);
    SetMark(static_cast<uint8_t>(mark.empty() ? imDownload : ToIntDef(mark, imDownload)));
    text.title = field(8);
    size = ToInt64Def(field(9), 0);
    frame = field(10);
}

void TAVQItem::Publish(bool release)
{
    task->items.StoreItem(*this);
    if (task->OnItemChanged)
        task->OnItemChanged(*this);
    if (release)
        ReleaseFields();
}

void TAVQItem::ReleaseFields() { text_.reset(); }

} // namespace arvelo
