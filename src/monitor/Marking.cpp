#include "monitor/Marking.h"

#include "model/FileTypes.h"
#include "model/ItemList.h"
#include "model/Task.h"

#include <functional>

namespace arvelo {

namespace {

// Which items a command takes, and what it does to each.
struct TRule {
    bool selected;                                // only the chosen rows
    std::function<bool(const TAVQItem &)> takes; // of those, the ones it changes
    bool reset;                                   // state back to 0
    uint8_t mark;
    bool clearResult;
};

TRule RuleOf(TMarkCommand command)
{
    auto any = [](const TAVQItem &) { return true; };
    auto waiting = [](const TAVQItem &item) { return item.State() == isNone; };
    auto saved = [](const TAVQItem &item) { return item.State() > isDownloaded; };
    auto page = [](const TAVQItem &item) { return item.Group() == kPageGroup; };
    switch (command) {
    case TMarkCommand::kDownloadSelected:
        return {true, any, true, imDownload, true};
    case TMarkCommand::kDownloadAll:
        return {false, any, true, imDownload, true};
    case TMarkCommand::kDownloadErrors:
        return {false, [](const TAVQItem &item) { return item.State() == isError; }, true, imDownload, false};
    case TMarkCommand::kDownloadUnmarked:
        return {false, [](const TAVQItem &item) { return item.Mark() == imUnmarked; }, true, imDownload, false};
    case TMarkCommand::kUpdateSelected:
        return {true, saved, true, imUpdate, false};
    case TMarkCommand::kUpdateAll:
        return {false, saved, true, imUpdate, false};
    case TMarkCommand::kMapSelected:
        return {true, page, true, imMap, false};
    case TMarkCommand::kMapAll:
        return {false, page, true, imMap, false};
    case TMarkCommand::kUnmarkSelected:
        return {true, waiting, false, imUnmarked, false};
    case TMarkCommand::kUnmarkAll:
        return {false, waiting, false, imUnmarked, false};
    }
    return {};
}

// Holds back the task's per-item notices while a command changes many items.
class TQuietTask {
public:
    explicit TQuietTask(TAVTask &task)
        : task_(task), onChange_(std::move(task.OnChange)), onItemChanged_(std::move(task.OnItemChanged))
    {
        task.OnChange = nullptr;
        task.OnItemChanged = nullptr;
    }
    ~TQuietTask()
    {
        task_.OnChange = std::move(onChange_);
        task_.OnItemChanged = std::move(onItemChanged_);
    }

private:
    TAVTask &task_;
    std::function<void(const std::string &, int, int)> onChange_;
    std::function<void(TAVQItem &)> onItemChanged_;
};

} // namespace

bool MarkingAllowed(const TAVTask &task) { return task.status != tsDownloading && task.status != tsComplete; }

TMarkedRows MarkItems(TAVTask &task, TMarkCommand command, const std::vector<int> &rows)
{
    TMarkedRows marked;
    if (!MarkingAllowed(task))
        return marked;
    const TRule rule = RuleOf(command);
    auto apply = [&](int row) {
        TAVQItem *item = row >= 0 && static_cast<size_t>(row) < task.items.ItemCount() ? task.items.Item(row) : nullptr;
        if (!item || !rule.takes(*item))
            return;
        item->LoadFields(); // the result, which the reset reads
        if (rule.reset)
            item->SetState(isNone);
        item->SetMark(rule.mark);
        item->Publish(true);
        if (rule.clearResult)
            task.items.ClearResult(*item);
        marked.first = marked.first < 0 ? row : std::min(marked.first, row);
        marked.last = std::max(marked.last, row);
        ++marked.count;
    };
    {
        TQuietTask quiet(task);
        if (rule.selected) {
            for (int row : rows)
                apply(row);
        } else {
            const int count = static_cast<int>(task.items.ItemCount());
            for (int row = 0; row < count; ++row)
                apply(row);
        }
    }
    if (marked.count == 0)
        return marked;
    if (task.OnChange)
        task.OnChange({}, 0, 0);
    task.Save();
    task.items.SaveState();
    return marked;
}

bool ToggleMark(TAVTask &task, int row)
{
    if (row < 0 || static_cast<size_t>(row) >= task.items.ItemCount())
        return false;
    TAVQItem &item = *task.items.Item(row);
    if (item.State() != isNone || (item.Mark() != imDownload && item.Mark() != imUnmarked))
        return false;
    item.LoadFields();
    item.SetMark(item.Mark() == imDownload ? imUnmarked : imDownload);
    item.Publish(true);
    // A run writes the state file itself: the change goes with its next save.
    if (MarkingAllowed(task))
        task.items.SaveState();
    return true;
}

} // namespace arvelo
