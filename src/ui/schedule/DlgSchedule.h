#pragma once

#include "schedule/Schedule.h"

#include <QDialog>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTimeEdit;

namespace arvelo {

// "Schedule Task": a once-off time or a recurring schedule. Every change
// chooses its row and shows the schedule and its next run; OK yields them.
class TdlgSchedule : public QDialog {
    Q_OBJECT
public:
    explicit TdlgSchedule(QWidget *parent = nullptr);

    const TSchedule &Schedule() const { return schedule_; }
    // The once-off date and time picked, whichever row is chosen.
    TDateTime OnceAt() const;

    void accept() override;

    QRadioButton *rbAt, *rbEvery, *rbDaily, *rbWeekly;
    QDateEdit *dtpDate;
    QTimeEdit *dtpTime, *dtpDaily, *dtpWeekly;
    QLineEdit *edHours, *edMinutes;
    QCheckBox *cbDays[7];
    QLabel *lblSchedule, *lblNextRun;

private:
    // A control of a row changed: choose the row and compute again.
    void Changed(QRadioButton *row);
    // False when a count box was refused.
    bool Compute();
    // The hours or minutes box read, clamped and written back; false when refused.
    bool ReadCount(QLineEdit *box, int most, int &value);
    QWidget *CountBox(QLineEdit *&box, const char *name, int most);

    TSchedule schedule_;
    bool computing_ = false;
};

} // namespace arvelo
