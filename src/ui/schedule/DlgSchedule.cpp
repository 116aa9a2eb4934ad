#include "ui/schedule/DlgSchedule.h"

#include "core/Notifier.h"
#include "ui/common/Text.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace arvelo {
namespace {

TDateTime TimeOf(const QTime &time) { return TDateTime::FromTime(time.hour(), time.minute(), time.second()); }
TDateTime DateOf(const QDate &date) { return TDateTime::FromParts(date.year(), date.month(), date.day()); }

QRadioButton *Row(const char *name, const QString &text, QWidget *parent)
{
    auto *button = new QRadioButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

TdlgSchedule::TdlgSchedule(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgSchedule"));
    setWindowTitle(QStringLiteral("Schedule Task"));

    auto *once = new QGroupBox(QStringLiteral("Schedule (Once-off): "), this);
    rbAt = Row("rbAt", QStringLiteral("At"), once);
    dtpDate = new QDateEdit(QDate::currentDate(), once);
    dtpDate->setObjectName(QStringLiteral("dtpDate"));
    dtpDate->setCalendarPopup(true);
    dtpTime = new QTimeEdit(QTime::currentTime(), once);
    dtpTime->setObjectName(QStringLiteral("dtpTime"));
    dtpTime->setDisplayFormat(QStringLiteral("h:mm:ss AP"));
    auto *onceRow = new QHBoxLayout(once);
    onceRow->addWidget(rbAt);
    onceRow->addWidget(dtpDate);
    onceRow->addWidget(dtpTime);
    onceRow->addStretch();

    auto *recurring = new QGroupBox(QStringLiteral("Schedule (recurring): "), this);
    auto *grid = new QGridLayout(recurring);
    rbEvery = Row("rbEvery", QStringLiteral("Every"), recurring);
    grid->addWidget(rbEvery, 0, 0);
    auto *everyRow = new QHBoxLayout;
    everyRow->addWidget(CountBox(edHours, "edHours", 23));
    everyRow->addWidget(new QLabel(QStringLiteral("hours"), recurring));
    everyRow->addWidget(CountBox(edMinutes, "edMinutes", 59));
    everyRow->addWidget(new QLabel(QStringLiteral("mins"), recurring));
    everyRow->addStretch();
    grid->addLayout(everyRow, 0, 1);
    rbDaily = Row("rbDaily", QStringLiteral("Daily at"), recurring);
    dtpDaily = new QTimeEdit(QTime(6, 0), recurring);
    dtpDaily->setObjectName(QStringLiteral("dtpDaily"));
    dtpDaily->setDisplayFormat(QStringLiteral("h:mm:ss AP"));
    grid->addWidget(rbDaily, 1, 0);
    grid->addWidget(dtpDaily, 1, 1, Qt::AlignLeft);
    rbWeekly = Row("rbWeekly", QStringLiteral("Weekly at"), recurring);
    dtpWeekly = new QTimeEdit(QTime(23, 0), recurring);
    dtpWeekly->setObjectName(QStringLiteral("dtpWeekly"));
    dtpWeekly->setDisplayFormat(QStringLiteral("h:mm:ss AP"));
    grid->addWidget(rbWeekly, 2, 0);
    grid->addWidget(dtpWeekly, 2, 1, Qt::AlignLeft);
    auto *days = new QHBoxLayout;
    for (int d = 0; d < 7; ++d) {
        cbDays[d] = new QCheckBox(QString::fromLatin1(kWeekdayNames[d]), recurring);
        cbDays[d]->setObjectName(QStringLiteral("cb") + QString::fromLatin1(kWeekdayNames[d]));
        days->addWidget(cbDays[d]);
        connect(cbDays[d], &QCheckBox::toggled, this, [this] { Changed(rbWeekly); });
    }
    days->addStretch();
    grid->addLayout(days, 3, 1);

    auto *rows = new QButtonGroup(this);
    for (QRadioButton *row : {rbAt, rbEvery, rbDaily, rbWeekly}) {
        rows->addButton(row);
        connect(row, &QRadioButton::clicked, this, [this] { Compute(); });
    }
    connect(dtpDate, &QDateEdit::dateChanged, this, [this] { Changed(rbAt); });
    connect(dtpTime, &QTimeEdit::timeChanged, this, [this] { Changed(rbAt); });
    connect(dtpDaily, &QTimeEdit::timeChanged, this, [this] { Changed(rbDaily); });
    connect(dtpWeekly, &QTimeEdit::timeChanged, this, [this] { Changed(rbWeekly); });
    for (QLineEdit *box : {edHours, edMinutes})
        connect(box, &QLineEdit::editingFinished, this, [this] { Changed(rbEvery); });

    lblSchedule = new QLabel(QStringLiteral("Schedule:"), this);
    lblSchedule->setObjectName(QStringLiteral("lblSchedule"));
    lblNextRun = new QLabel(QStringLiteral("Next Run:"), this);
    lblNextRun->setObjectName(QStringLiteral("lblNextRun"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(once);
    layout->addWidget(recurring);
    layout->addWidget(lblSchedule);
    layout->addWidget(lblNextRun);
    layout->addWidget(buttons);
    rbAt->setChecked(true);
    Compute();
}

QWidget *TdlgSchedule::CountBox(QLineEdit *&box, const char *name, int most)
{
    auto *holder = new QWidget(this);
    box = new QLineEdit(QStringLiteral("0"), holder);
    box->setObjectName(QString::fromLatin1(name));
    box->setFixedWidth(48);
    auto *up = new QToolButton(holder);
    up->setObjectName(QString::fromLatin1(name) + QStringLiteral("Up"));
    up->setArrowType(Qt::UpArrow);
    auto *down = new QToolButton(holder);
    down->setObjectName(QString::fromLatin1(name) + QStringLiteral("Down"));
    down->setArrowType(Qt::DownArrow);
    auto step = [this, box, most](int by) {
        int value = 0;
        if (!ReadCount(box, most, value))
            return;
        box->setText(QString::number(std::clamp(value + by, 0, most)));
        Changed(rbEvery);
    };
    connect(up, &QToolButton::clicked, this, [step] { step(1); });
    connect(down, &QToolButton::clicked, this, [step] { step(-1); });
    for (QToolButton *arrow : {up, down})
        arrow->setFixedSize(18, box->sizeHint().height() / 2);
    auto *arrows = new QVBoxLayout;
    arrows->setSpacing(0);
    arrows->addWidget(up);
    arrows->addWidget(down);
    auto *layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(box);
    layout->addLayout(arrows);
    return holder;
}

TDateTime TdlgSchedule::OnceAt() const
{
    return TDateTime(DateOf(dtpDate->date()).Days() + TimeOf(dtpTime->time()).Days());
}

void TdlgSchedule::Changed(QRadioButton *row)
{
    if (computing_)
        return;
    row->setChecked(true);
    Compute();
}

bool TdlgSchedule::ReadCount(QLineEdit *box, int most, int &value)
{
    std::string refusal;
    if (!ReadScheduleCount(S(box->text()), most, value, refusal)) {
        Notifier().Error(refusal);
        return false;
    }
    box->setText(QString::number(value));
    return true;
}

bool TdlgSchedule::Compute()
{
    computing_ = true;
    const TDateTime now = TDateTime::Now();
    bool changed = true;
    if (rbAt->isChecked()) {
        schedule_ = ScheduleOnce(DateOf(dtpDate->date()), TimeOf(dtpTime->time()));
    } else if (rbEvery->isChecked()) {
        int hours = 0, minutes = 0;
        // A refused box leaves the labels, text and next run as they were.
        changed = ReadCount(edHours, 23, hours) && ReadCount(edMinutes, 59, minutes);
        if (changed)
            schedule_ = ScheduleEvery(hours, minutes, now);
    } else if (rbDaily->isChecked()) {
        schedule_ = ScheduleDaily(TimeOf(dtpDaily->time()), now);
    } else {
        bool days[7];
        for (int d = 0; d < 7; ++d)
            days[d] = cbDays[d]->isChecked();
        TSchedule weekly = ScheduleWeekly(days, TimeOf(dtpWeekly->time()), now);
        // With no day the next run stays as it was.
        schedule_ = {weekly.text, weekly.nextRun.IsZero() ? schedule_.nextRun : weekly.nextRun};
    }
    if (changed) {
        lblSchedule->setText(Q(ScheduleCaption(schedule_.text)));
        lblNextRun->setText(Q(NextRunCaption(schedule_.nextRun)));
    }
    computing_ = false;
    return changed;
}

void TdlgSchedule::accept()
{
    if (rbWeekly->isChecked() && std::none_of(std::begin(cbDays), std::end(cbDays), [](QCheckBox *b) { return b->isChecked(); })) {
        Notifier().Error("A least one day must be selected for a weekly schedule.");
        return;
    }
    if (Compute())
        QDialog::accept();
}

} // namespace arvelo
