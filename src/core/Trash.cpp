#include "core/Trash.h"

#include "core/FileUtils.h"
#include "core/Notifier.h"

#include <QFile>
#include <QString>

namespace arvelo {

TTrashResult MoveToTrash(const std::string &file, const std::function<bool(const std::string &question)> &confirm)
{
    if (!FileExists(file))
        return TTrashResult::kMissing;
    if (QFile::moveToTrash(QString::fromStdString(file)))
        return TTrashResult::kTrashed;
    if (!confirm || !confirm("Delete " + file + " permanently?"))
        return TTrashResult::kKept;
    return QFile::remove(QString::fromStdString(file)) ? TTrashResult::kDeleted : TTrashResult::kFailed;
}

bool MoveToTrashOrTell(const std::string &file)
{
    const TTrashResult result = MoveToTrash(file, [](const std::string &question) { return Notifier().Confirm(question); });
    if (result == TTrashResult::kFailed)
        Notifier().Error("Could not delete " + file);
    return result != TTrashResult::kKept && result != TTrashResult::kFailed;
}

} // namespace arvelo
