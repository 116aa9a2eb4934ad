#pragma once

#include "shell/ProfileEdit.h"
#include "ui/common/Controls.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QListView;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStringListModel;

namespace arvelo {

class TFileTypeTree;
class TFilterList;

// "Profiles Editor": the profile files of the Profiles folder, created,
// renamed in place, deleted and changed. A change is saved when the user
// says so before another profile is shown or the editor closes.
class TdlgEditProfile : public QDialog {
    Q_OBJECT
public:
    explicit TdlgEditProfile(QWidget *parent = nullptr);

    void reject() override;

    QListView *lvProfiles;
    QPushButton *btnNew, *btnDelete, *btnClose;
    QLineEdit *edProfileName;
    TFileTypeTree *fileTypes;
    QRadioButton *rbLevelsPage, *rbLevelsN, *rbLevelsAll;
    QSpinBox *seLevels;
    QRadioButton *rbPageDirectory, *rbPageSite, *rbPageAnywhere;
    QRadioButton *rbResourceDirectory, *rbResourceSite, *rbResourceAnywhere;
    TFilterList *flInclude, *flExclude;
    QCheckBox *cbUseStartPageTitle;
    QCheckBox *cbObeyRobots;

private:
    void FillList(const std::string &select);
    void Show(const std::string &name);
    void ShowControls(const TAVProfile &profile);
    TAVProfile Controls() const;
    TDepthControls Depth() const { return {rbLevelsPage, rbLevelsN, rbLevelsAll, seLevels}; }
    // Asks whether to save a change, if there is one.
    void OfferToSave();
    void CaptionEdited(const QModelIndex &index);
    void NewProfile();
    void DeleteProfile();
    void MarkChanged();

    TProfileEdit edit_;
    QStringListModel *names_;
    StringList listed_;
    bool loading_ = true;
    bool refilling_ = false;
};

} // namespace arvelo
