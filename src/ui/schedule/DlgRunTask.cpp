#include "ui/schedule/DlgRunTask.h"

#include "model/Task.h"
#include "schedule/RunChoice.h"
#include "ui/common/Text.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace arvelo {
namespace {

QLabel *Blue(const QString &text, const char *name, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setStyleSheet(QStringLiteral("color: navy;"));
    label->setWordWrap(true);
    return label;
}

} // namespace

TdlgRunTask::TdlgRunTask(TAVTask &task, QWidget *parent) : QDialog(parent), task_(task)
{
    setObjectName(QStringLiteral("dlgRunTask"));
    setWindowTitle(Q(RunDialogTitle(task)));

    lblOutcome = Blue(Q(RunDialogOutcome(task)), "lblOutcome", this);
    auto *grid = new QGridLayout;
    const char *const columns[] = {"Pages", "Media", "Total"};
    const char *const rows[] = {"Downloaded", "Queued", "New/Modified", "Errors"};
    for (int c = 0; c < 3; ++c)
        grid->addWidget(new QLabel(QString::fromLatin1(columns[c]), this), 0, c + 1, Qt::AlignRight);
    const auto summary = RunSummary(task);
    for (int r = 0; r < 4; ++r) {
        grid->addWidget(new QLabel(QString::fromLatin1(rows[r]), this), r + 1, 0);
        for (int c = 0; c < 3; ++c) {
            auto *cell = new QLabel(Q(summary[r][c]), this);
            cell->setObjectName(QStringLiteral("lblSummary%1%2").arg(r).arg(c));
            cell->setFrameShape(QFrame::StyledPanel);
            cell->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            cell->setMinimumWidth(64);
            grid->addWidget(cell, r + 1, c + 1);
        }
    }

    lblDescription = Blue({}, "lblDescription", this);
    auto *modes = new QVBoxLayout;
    auto *group = new QButtonGroup(this);
    const char *const names[] = {"rbRestart", "rbResume", "rbRenovix", "rbSalvix"};
    for (size_t i = 0; i < kRunModeChoices.size(); ++i) {
        const TRunModeChoice &choice = kRunModeChoices[i];
        rbModes[i] = new QRadioButton(QString::fromLatin1(choice.caption), this);
        rbModes[i]->setObjectName(QString::fromLatin1(names[i]));
        group->addButton(rbModes[i]);
        modes->addWidget(rbModes[i]);
        connect(rbModes[i], &QRadioButton::toggled, this, [this, &choice](bool on) {
            if (on)
                lblDescription->setText(QString::fromLatin1(choice.description));
        });
    }
    rbModes[3]->setEnabled(SalvixAllowed(task));
    rbModes[1]->setChecked(true);

    btnRun = new QPushButton(QStringLiteral("&Run"), this);
    btnRun->setObjectName(QStringLiteral("btnRun"));
    btnRun->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnRun, &QPushButton::clicked, this, &TdlgRunTask::accept);
    connect(btnCancel, &QPushButton::clicked, this, &TdlgRunTask::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnRun);
    buttons->addWidget(btnCancel);
    auto *body = new QHBoxLayout;
    body->addLayout(modes);
    body->addSpacing(16);
    body->addLayout(grid, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblOutcome);
    layout->addLayout(body);
    layout->addWidget(lblDescription);
    layout->addLayout(buttons);
}

void TdlgRunTask::accept()
{
    for (size_t i = 0; i < kRunModeChoices.size(); ++i)
        if (rbModes[i]->isChecked())
            task_.runMode = kRunModeChoices[i].mode;
    QDialog::accept();
}

} // namespace arvelo
