#pragma once

#include <functional>
#include <string>

namespace arvelo {

// kKept: the user kept it; kFailed: it could not be deleted.
enum class TTrashResult { kTrashed, kDeleted, kKept, kFailed, kMissing };

// Moves a file to the desktop trash. Where there is no trash (a file system
// without one), the file is never deleted silently: confirm is asked
// "Delete <file> permanently?" and decides.
TTrashResult MoveToTrash(const std::string &file, const std::function<bool(const std::string &question)> &confirm);
// The same, asking through the notifier and telling a failure there; true
// when the file is gone.
bool MoveToTrashOrTell(const std::string &file);

} // namespace arvelo
