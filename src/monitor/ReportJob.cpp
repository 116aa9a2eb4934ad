#include "monitor/ReportJob.h"

#include "archive/Browsing.h"
#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "model/Task.h"

#include <algorithm>
#include "monitor/Reports.h"

namespace arvelo {

std::string WrittenReport(const TAVTask &task, TReportKind kind)
{
    TTaskReport report(task);
    const std::string file = kind == TReportKind::kSummary      ? report.SummaryFile()
                             : kind == TReportKind::kPageIndex  ? report.IndexFile(false, 1)
                             : kind == TReportKind::kImageIndex ? report.IndexFile(true, 1)
                                                                : std::string();
    return !file.empty() && FileExists(file) ? file : std::string();
}

TReportJob::TReportJob(TWorkerThread &worker, std::string taskFile, TReportKind kind, std::string tempFolder)
    : taskFile_(std::move(taskFile)), tempFolder_(std::move(tempFolder)), kind_(kind), worker_(worker)
{
}

TReportJob::~TReportJob()
{
    cancel_ = true;
    if (started_)
        worker_.WaitIdle();
}

void TReportJob::Start()
{
    started_ = true;
    worker_.Run([this] { Work(); });
}

void TReportJob::Progress(const std::string &label, int percent)
{
    if (cancel_)
        throw TCancelled{};
    {
        std::lock_guard lock(mutex_);
        label_ = label;
        percent_ = percent;
        progressed_ = true;
    }
    signal_.Raise();
}

void TReportJob::Work()
{
    std::string file;
    try {
        TAVTask task;
        task.taskFile = taskFile_;
        task.Load();
        const bool windowFiles = kind_ != TReportKind::kErrors && kind_ != TReportKind::kPageList;
        if (windowFiles && !task.intranetMode) {
            if (!FileExists(task.destination)) {
                Notifier().Error("Cannot open file \"" + task.destination + "\"");
                throw TCancelled{};
            }
            TZipArchive zip;
            size_t extracted = 0;
            zip.OnExtracting = [&](const std::string &entry) {
                if (cancel_)
                    zip.Abort();
                const size_t total = std::max<size_t>(zip.FilesToProcess.size(), 1);
                Progress("Extracting \"" + entry + "\".", static_cast<int>(100 * extracted++ / total));
            };
            std::string status;
            Progress("Opening Zip File...", 0);
            if (ExtractForBrowsing(zip, task.destination, tempFolder_, {}, xowAlways, status) == 2 || cancel_) {
                zip.OnExtracting = nullptr;
                throw TCancelled{};
            }
        }
        TTaskReport report(task);
        switch (kind_) {
        case TReportKind::kErrors:
        case TReportKind::kPageList:
            if (report.Load())
                file = kind_ == TReportKind::kErrors ? report.WriteErrors() : report.WritePageList();
            break;
        default:
            file = WrittenReport(task, kind_);
            if (file.empty())
                file = CreateReports(task, [this](const std::string &label, int percent) { Progress(label, percent); });
        }
    } catch (const TCancelled &) {
        // Stopped, or the archive could not be extracted (already said).
        file.clear();
    } catch (const std::exception &error) {
        Notifier().Error(error.what());
        file.clear();
    }
    {
        std::lock_guard lock(mutex_);
        file_ = file;
        done_ = true;
    }
    signal_.Raise();
}

void TReportJob::Deliver()
{
    std::string label, file;
    int percent = 0;
    bool progressed = false, done = false;
    {
        std::lock_guard lock(mutex_);
        std::swap(progressed, progressed_);
        label = label_;
        percent = percent_;
        done = done_ && !delivered_;
        delivered_ = delivered_ || done_;
        file = file_;
    }
    if (progressed && OnProgress)
        OnProgress(label, percent);
    if (done && OnDone)
        OnDone(file);
}

} // namespace arvelo
