#include "ui/monitor/DlgTaskReport.h"

#include "core/App.h"
#include "core/Desktop.h"
#include "ui/common/Text.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace arvelo {

TdlgTaskReport::TdlgTaskReport(TWorkerThread &worker, const std::string &taskFile, TReportKind kind, QWidget *parent)
    : QDialog(parent), job_(std::make_unique<TReportJob>(worker, taskFile, kind, TAVApp::Instance()->TempFolder()))
{
    setObjectName(QStringLiteral("dlgTaskReport"));
    setWindowTitle(QStringLiteral("Task Reports"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    lblReport = new QLabel(this);
    lblReport->setObjectName(QStringLiteral("lblReport"));
    pbReport = new QProgressBar(this);
    pbReport->setObjectName(QStringLiteral("pbReport"));
    pbReport->setRange(0, 100);
    pbReport->setValue(0);
    layout->addWidget(lblReport);
    layout->addWidget(pbReport);
    // Only the label and the bar show.
    setFixedSize(360, 80);
    job_->OnProgress = [this](const std::string &label, int percent) {
        lblReport->setText(Q(label));
        pbReport->setValue(percent);
    };
    job_->OnDone = [this](const std::string &file) { Finish(file); };
}

TdlgTaskReport::~TdlgTaskReport()
{
    job_.reset(); // stops the work before the window goes
    if (busy_)
        QApplication::restoreOverrideCursor();
}

void TdlgTaskReport::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (busy_ || !job_)
        return;
    busy_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    job_->Start();
}

void TdlgTaskReport::Finish(const std::string &file)
{
    QApplication::restoreOverrideCursor();
    busy_ = false;
    if (!file.empty())
        StartProgram(TAVApp::Instance()->Browser(), {file});
    Q_EMIT Done(Q(file));
    close();
}

} // namespace arvelo
