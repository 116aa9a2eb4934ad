#include "ui/common/FileDeleteProgress.h"

#include "core/FileUtils.h"
#include "ui/common/Text.h"

#include <QCoreApplication>

namespace arvelo {

TFileDeleteProgress::TFileDeleteProgress(int files, QWidget *parent)
    : dialog_(QString(), QStringLiteral("Cancel"), 0, files, parent)
{
    dialog_.setObjectName(QStringLiteral("dlgFileDelete"));
    dialog_.setWindowTitle(QStringLiteral("Confirm File Delete"));
    dialog_.setWindowModality(Qt::WindowModal);
    dialog_.setAutoClose(false);
    dialog_.setAutoReset(false);
    // One file goes by without a window; several show their progress at once.
    dialog_.setMinimumDuration(files > 1 ? 0 : 1000 * 60);
}

bool TFileDeleteProgress::Next(const std::string &file)
{
    if (dialog_.wasCanceled())
        return false;
    dialog_.setLabelText(Q(ExtractFileName(file)));
    dialog_.setValue(done_++);
    QCoreApplication::processEvents();
    return !dialog_.wasCanceled();
}

void TFileDeleteProgress::Done() { dialog_.close(); }

} // namespace arvelo
