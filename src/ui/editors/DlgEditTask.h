#pragma once

#include "core/TextUtils.h"
#include "shell/TaskEdit.h"
#include "ui/common/Controls.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;

namespace arvelo {

class TAVTask;
class TFileTypeTree;
class TFilterList;
class TdlgUserNamePassword;

// The task editor: name, category, profile and eight screens of settings.
// OK checks them, writes them into the task and saves it; Cancel leaves the
// task and its files as they were.
class TdlgEditTask : public QDialog {
    Q_OBJECT
public:
    TdlgEditTask(TAVTask &task, TTaskEditTitle title, const StringList &addressHistory, QWidget *parent = nullptr);
    ~TdlgEditTask() override;

    // Tells whether the task of a file is running or finishing ("Add a Task"
    // never replaces one).
    void SetBusyCheck(std::function<bool(const std::string &)> isBusy) { isBusy_ = std::move(isBusy); }
    // After OK of "Add a Task": the task of that name is to be replaced.
    bool Replacing() const { return edit_.Replacing(); }

    void accept() override;

    QLineEdit *edTaskName;
    QComboBox *cmbTaskCategory, *cmbProfile, *cmbURL;
    QPushButton *btnOK, *btnCancel, *btnReset;
    QListWidget *ListView1;
    QStackedWidget *screens;
    // Starting address
    QCheckBox *cbUserNamePassword;
    QPushButton *btnUserNamePassword;
    // Save to
    QRadioButton *rbIntranet, *rbZip;
    QLineEdit *edIntranetFolder, *edFileName;
    QPushButton *btnBrowseFolder, *btnNewZip, *btnOpenZip;
    QCheckBox *cbUseStartPageTitle;
    // Filetypes
    TFileTypeTree *fileTypes;
    // Followed Links
    QRadioButton *rbPageDirectory, *rbPageSite, *rbPageAnywhere;
    QRadioButton *rbLevelsPage, *rbLevelsN, *rbLevelsAll;
    QSpinBox *seLevels;
    QRadioButton *rbMediaDirectory, *rbMediaSite, *rbMediaAnywhere;
    // Followed Links (Adv)
    QCheckBox *cbAggressiveParser;
    QCheckBox *cbObeyRobots;
    QRadioButton *rbAggressiveScript, *rbAggressivePage;
    // URL Filters
    TFilterList *flInclude, *flExclude;
    // Link Conversion
    QRadioButton *rbFollowedNone, *rbFollowedAll;
    QRadioButton *rbUnfollowedNone, *rbUnfollowedSite, *rbUnfollowedAll;
    // Schedule
    QRadioButton *rbNow, *rbAt, *rbDontSchedule;
    QLineEdit *edSchedule;
    QPushButton *btnSchedule;

    TdlgUserNamePassword *account;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *AddressScreen();
    QWidget *SaveToScreen();
    QWidget *FollowedLinksScreen();
    QWidget *AdvancedScreen();
    QWidget *FiltersScreen();
    QWidget *ConversionScreen();
    QWidget *ScheduleScreen();
    void ConnectRuleControls();

    // Showing and "&Reset".
    void Load();
    void ShowRules(const TAVProfile &rules);
    TAVProfile Rules() const;
    TDepthControls Depth() const { return {rbLevelsPage, rbLevelsN, rbLevelsAll, seLevels}; }
    TTaskForm Form() const;
    void FollowAddress();
    void RuleChanged();
    void ProfileChosen();
    void PasswordBoxClicked(bool checked);
    void EditAccount();
    void NewZip();
    void OpenZip();
    void BrowseFolder();
    void ChooseSchedule();
    void UpdateStates();

    TAVTask &task_;
    TTaskEdit edit_;
    TSchedule at_;
    std::string replacedZip_;
    std::function<bool(const std::string &)> isBusy_;
    bool loading_ = false;
};

} // namespace arvelo
