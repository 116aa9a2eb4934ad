#pragma once

#include <string>
#include <vector>

namespace arvelo {

class TAVTask;

// The marking commands of the explore view: what the next run fetches.
enum class TMarkCommand {
    kDownloadSelected, kDownloadAll, kDownloadErrors, kDownloadUnmarked,
    kUpdateSelected, kUpdateAll,
    kMapSelected, kMapAll,
    kUnmarkSelected, kUnmarkAll,
};

// Items that a run is fetching or about to fetch are not re-marked under it.
bool MarkingAllowed(const TAVTask &task);

// The rows (item positions) a marking command changed.
struct TMarkedRows {
    int first = -1, last = -1;
    size_t count = 0;
};

// Marks the task's items for the next run: rows are the chosen items'
// positions (for the "Selected" commands). A reset item leaves the task's
// counters as a new one would; the task's counters change is announced once,
// and the task file and the download state file are saved together, so that
// no mark is lost when another task is shown or the program ends. Throws
// EFileError when a file cannot be written (the marks stay in memory).
TMarkedRows MarkItems(TAVTask &task, TMarkCommand command, const std::vector<int> &rows);

// The mark icon's click: an item waiting (state 0) is marked for download or
// unmarked; any other item is left alone. The state file is saved (during a
// run, by the run's next save). True when the mark changed. Throws EFileError.
bool ToggleMark(TAVTask &task, int row);

} // namespace arvelo
