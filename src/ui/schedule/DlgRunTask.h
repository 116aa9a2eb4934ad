#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QRadioButton;

namespace arvelo {

class TAVTask;

// "Arvelo - Run Task (<name>)": how a task that ran before runs again.
// "&Run" writes the chosen run mode into the task; "&Cancel" changes nothing.
class TdlgRunTask : public QDialog {
    Q_OBJECT
public:
    explicit TdlgRunTask(TAVTask &task, QWidget *parent = nullptr);

    void accept() override;

    QRadioButton *rbModes[4]; // Restart, Resume, Renovix, Salvix
    QLabel *lblOutcome, *lblDescription;
    QPushButton *btnRun, *btnCancel;

private:
    TAVTask &task_;
};

} // namespace arvelo
