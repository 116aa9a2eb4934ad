#pragma once

#include "core/WindowThread.h"
#include "core/WorkerThread.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

namespace arvelo {

// What a report command asks for: one of the report window's files, which
// are written first when missing (the three together), or the error report
// or the list of pages, always written anew.
enum class TReportKind { kCreate, kSummary, kPageIndex, kImageIndex, kErrors, kPageList };

class TAVTask;

// The report window's file that a command opens when it is there already
// (the summary, or the first page or image index); empty otherwise.
std::string WrittenReport(const TAVTask &task, TReportKind kind);

// One report command, worked off the window thread: the task is read from
// its file, a zip-mode task's archive is extracted for browsing (for the
// report window's files, which link to the local copies), then the reports
// are written. Progress and the outcome reach the window thread. The job
// runs on a worker that outlives it and takes one job at a time: a thread
// that ends with each job would make its owner wait for the thread's end.
class TReportJob {
public:
    TReportJob(TWorkerThread &worker, std::string taskFile, TReportKind kind, std::string tempFolder);
    // Stops the job at its next step and waits for it.
    ~TReportJob();
    TReportJob(const TReportJob &) = delete;
    TReportJob &operator=(const TReportJob &) = delete;

    void Start();

    // Window thread: the step under way and its share (0 to 100); the
    // latest only when they come faster than the window takes them.
    std::function<void(const std::string &label, int percent)> OnProgress;
    // Window thread, once: the file to open, empty when the reports could
    // not be written (the reason already shown).
    std::function<void(const std::string &file)> OnDone;

private:
    struct TCancelled {};
    void Work();
    void Progress(const std::string &label, int percent);
    void Deliver();

    const std::string taskFile_, tempFolder_;
    const TReportKind kind_;
    std::atomic<bool> cancel_{false};
    std::mutex mutex_;
    std::string label_, file_;
    int percent_ = 0;
    bool progressed_ = false, done_ = false, delivered_ = false;
    TWindowSignal signal_{[this] { Deliver(); }};
    TWorkerThread &worker_;
    bool started_ = false;
};

} // namespace arvelo
