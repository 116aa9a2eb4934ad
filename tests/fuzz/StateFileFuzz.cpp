// The state file reader: any bytes open without crashing, every item's
// fields load, and what is saved opens again to the same items.
#include "FuzzSupport.h"

#include "core/App.h"
#include "core/AppPaths.h"
#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "model/Task.h"

#include <memory>
#include <string>

using namespace arvelo;

namespace {

class SilentNotifier : public TNotifier {
public:
    void Error(const std::string &) override {}
    void Information(const std::string &) override {}
    bool Confirm(const std::string &) override { return false; }
};

std::unique_ptr<TAVTask> TaskAt(const std::string &file)
{
    auto task = std::make_unique<TAVTask>();
    task->taskName = "fuzz";
    task->taskFile = file;
    return task;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::PrepareHome();
    static SilentNotifier silent;
    SetNotifier(&silent);
    static TAVApp app;
    std::string file = DataFolder() + "fuzz.avt";
    SaveText(ChangeFileExt(file, ".dwn"), std::string(reinterpret_cast<const char *>(data), size));

    auto task = TaskAt(file);
    task->items.OpenItems();
    size_t count = task->items.ItemCount();
    for (size_t i = 0; i < count; ++i) {
        TAVQItem *item = task->items.Item(i);
        item->LoadFields();
        item->SetState(isNone);
        item->Publish(true);
    }
    task->items.NextPage();
    task->items.NextOtherFile();
    task->items.NextPageToParse();
    task->items.SaveState();

    auto reopened = TaskAt(file);
    reopened->items.OpenItems();
    if (reopened->items.ItemCount() != count)
        fuzz::Fail("saved items do not reopen", std::to_string(count) + " vs " +
                                                    std::to_string(reopened->items.ItemCount()));
    return 0;
}
