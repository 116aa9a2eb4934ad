#pragma once

#include "monitor/ReportJob.h"

#include <QDialog>

#include <memory>
#include <string>

class QLabel;
class QProgressBar;

namespace arvelo {

// "Task Reports": a label and a progress bar while a task's reports are
// written in a thread of their own; then the report is opened with the
// "Browser" program and the window closes itself. Closing it earlier
// stops the work. Not modal; it deletes itself when closed.
class TdlgTaskReport : public QDialog {
    Q_OBJECT
public:
    // The work runs on worker, which must outlive the window.
    TdlgTaskReport(TWorkerThread &worker, const std::string &taskFile, TReportKind kind, QWidget *parent = nullptr);
    ~TdlgTaskReport() override;

    QLabel *lblReport;
    QProgressBar *pbReport;

Q_SIGNALS:
    // The report file that was opened (empty when none could be written).
    void Done(const QString &file);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void Finish(const std::string &file);

    std::unique_ptr<TReportJob> job_;
    bool busy_ = false;
};

} // namespace arvelo
