#pragma once

#include "archive/ZipBrowser.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QStackedWidget;
class QTreeView;

namespace arvelo {

// "File Zip Wizard": the archive to create or open and how files join it,
// the files, and the compression. On OK, Job() says what to add where.
class TwizFileZip : public QDialog {
    Q_OBJECT
public:
    // archive: the current archive's path, or empty; files: dropped ones.
    TwizFileZip(const std::string &archive, const StringList &files, QWidget *parent);

    TZipAddJob Job() const;
    // Whether an archive that existed was chosen (it is opened, not made).
    bool OpenedExisting() const;

private:
    void ShowPage(int page);
    void CreateNew();
    void OpenExisting();
    void EnableActions(bool existing);
    bool CheckFileName();
    void AddFiles();
    void UpdateRecurse();
    void Finish();
    std::string StartFolder() const;

    TZipFileListModel files_;
    bool createdNew_ = false, recurseShown_ = false;
    QStackedWidget *pages_;
    QLineEdit *edZipFile;
    QPushButton *btnNewZip, *btnOpenZip, *btnAdd, *btnRemove, *btnBack, *btnNext, *btnCancel;
    QRadioButton *rbAddReplace, *rbFreshen, *rbUpdate;
    QButtonGroup *actions_;
    QTreeView *lvFiles;
    QCheckBox *cbUsePaths, *cbRecurse;
    QSlider *tbCompression;
};

} // namespace arvelo
