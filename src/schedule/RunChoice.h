#pragma once

#include <array>
#include <string>

namespace arvelo {

class TAVTask;

// The run dialog's choices, in the order of its buttons.
struct TRunModeChoice {
    const char *caption;
    uint8_t mode;
    const char *description;
};
extern const std::array<TRunModeChoice, 4> kRunModeChoices;

// Whether Run asks how to run the task again: it holds download items,
// loaded or in its state file (whose size tells, without reading it).
bool NeedsRunChoice(const TAVTask &task);
// "Arvelo - Run Task (<name>)".
std::string RunDialogTitle(const TAVTask &task);
// The blue line over the summary, by the task's status and errors.
std::string RunDialogOutcome(const TAVTask &task);
// "Salvix" retries failed addresses: only a task with errors has any.
bool SalvixAllowed(const TAVTask &task);
// The summary grid: rows "Downloaded", "Queued", "New/Modified", "Errors";
// columns "Pages", "Media", "Total". "New/Modified" stays empty.
std::array<std::array<std::string, 3>, 4> RunSummary(const TAVTask &task);

} // namespace arvelo
