#include "schedule/RunChoice.h"

#include "model/Task.h"

#include <sys/stat.h>

namespace arvelo {

const std::array<TRunModeChoice, 4> kRunModeChoices = {{
    {"Restart", rmRestart, "Reruns the task again from the start."},
    {"Resume", rmResume, "Resumes the task from where it was last stopped."},
    {"Renovix", rmRenovix, "Reruns the task and downloads only items which are new or have changed."},
    {"Salvix", rmSalvix, "Retry downloading URL's which have failed"},
}};

bool NeedsRunChoice(const TAVTask &task)
{
    if (task.items.ItemCount() > 0)
        return true;
    struct stat info{};
    return ::stat(task.StateFile().c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

std::string RunDialogTitle(const TAVTask &task) { return "Arvelo - Run Task (" + task.taskName + ")"; }

bool SalvixAllowed(const TAVTask &task) { return task.pageErrors + task.resourceErrors > 0; }

std::string RunDialogOutcome(const TAVTask &task)
{
    const int32_t status = task.status;
    if (status != tsZipped && status != tsTaskComplete)
        return "This task was previously run but is incomplete.";
    return SalvixAllowed(task) ? "This task has run to completion but contains some URL's. which failed to download."
                               : "This task has successfully run to completion.";
}

std::array<std::array<std::string, 3>, 4> RunSummary(const TAVTask &task)
{
    auto row = [](int64_t pages, int64_t media) {
        return std::array<std::string, 3>{std::to_string(pages), std::to_string(media), std::to_string(pages + media)};
    };
    const int64_t pagesSaved = task.pagesSaved, resourcesSaved = task.resourcesSaved;
    const int64_t pageErrors = task.pageErrors, resourceErrors = task.resourceErrors;
    return {row(pagesSaved - pageErrors, resourcesSaved - resourceErrors),
            row(task.totalPages - pagesSaved, task.totalResources - resourcesSaved),
            std::array<std::string, 3>{},
            row(pageErrors, resourceErrors)};
}

} // namespace arvelo
