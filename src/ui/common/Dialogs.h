#pragma once

#include "archive/ZipArchive.h"
#include "core/TextUtils.h"

#include <QString>

#include <string>

class QWidget;

namespace arvelo {

// The choosers the windows open: file and folder dialogs. Tests put their own
// answers in place with SetDialogs. Filters come in the form
// "Zip file (*.zip)|*.zip|All files (*.*)|*.*". An empty answer is a cancel.
class TDialogs {
public:
    virtual ~TDialogs() = default;

    // asks before overwriting; suffix is added to a name without one.
    virtual std::string SaveFileName(QWidget *parent, const std::string &title, const std::string &folder,
                                     const std::string &filter, const std::string &suffix) = 0;
    // The file must exist.
    virtual std::string OpenFileName(QWidget *parent, const std::string &title, const std::string &folder,
                                     const std::string &filter) = 0;
    virtual std::string FolderName(QWidget *parent, const std::string &title, const std::string &start) = 0;
    // Several existing files; none for a cancel.
    virtual StringList OpenFileNames(QWidget *parent, const std::string &title, const std::string &folder,
                                     const std::string &filter) = 0;
    // An extraction meets a file that exists: Yes, No, Cancel or All.
    virtual TZipReplaceAnswer ReplaceFile(QWidget *parent, const std::string &existing,
                                          const std::string &incoming) = 0;
    // "Confirm File Delete": may the file go to the trash?
    virtual bool ConfirmTrash(QWidget *parent, const std::string &file) = 0;
};

TDialogs &Dialogs();
// nullptr puts the real dialogs back.
void SetDialogs(TDialogs *dialogs);

// "Zip file (*.zip)|*.zip|All files (*.*)|*.*" as Qt writes it:
// "Zip file (*.zip);;All files (*.*)".
QString QtFileFilter(const std::string &filter);

} // namespace arvelo
