#pragma once

#include "archive/ZipBrowser.h"

#include <QDialog>

class QCheckBox;
class QFileSystemModel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace arvelo {

// "Unzip": where to extract the archive, all of it or what the selected
// node of the zips tree covers, with or without folders and overwriting.
class TFormExtract : public QDialog {
    Q_OBJECT
public:
    // rootSelected: the archive's own node is the selected one.
    TFormExtract(bool rootSelected, QWidget *parent);

    bool AllFiles() const;
    std::string Folder() const;
    bool UsePaths() const;
    bool Overwrite() const;

private:
    void Unzip();
    void ShowFolder(const QString &folder);

    QLineEdit *edUnzipTo;
    QTreeView *tvFolders;
    QFileSystemModel *folders_;
    QRadioButton *rbAllFiles, *rbSelectedFiles;
    QCheckBox *cbUsePathNames, *cbOverwrite;
    QPushButton *btnUnzip, *btnCancel;
};

} // namespace arvelo
