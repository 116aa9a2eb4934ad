#include "cli/Session.h"

#include "core/App.h"
#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "core/TempFolder.h"
#include "archive/Browsing.h"
#include "monitor/Reports.h"
#include "crawl/Engine.h"
#include "crawl/LocalNames.h"
#include "crawl/URL.h"
#include "model/DownloadItem.h"
#include "model/Profile.h"
#include "model/RunLock.h"
#include "model/Task.h"
#include "schedule/Schedule.h"
#include "schedule/ThreadSchedule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace arvelo::cli {
namespace {

std::atomic<bool> interrupted{false};

void OnSignal(int) { interrupted = true; }

void CatchInterrupts()
{
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

std::string Clock(int seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

int ElapsedSeconds(const TAVTask &task) { return static_cast<int>(task.elapsedTime.Days() * 86400.0 + 0.5); }

StringList SplitList(const std::string &text)
{
    StringList list;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string part = Trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (!part.empty())
            list.push_back(part[0] == '.' ? part : "." + part);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return list;
}

} // namespace

TSession::TSession(const TOptions &options) : options_(options), terminal_(::isatty(STDERR_FILENO) != 0) {}

TSession::~TSession()
{
    // A run under way is stopped before the threads go, and they before the application object.
    scheduler_.reset();
    engine_.reset();
    tempLease_.reset();
    app_.reset();
}

void TSession::Say(const std::string &text) const
{
    if (!options_.quiet)
        std::fprintf(stdout, "%s\n", text.c_str());
    std::fflush(stdout);
}

int TSession::Run()
{
    app_ = std::make_unique<TAVApp>();
    app_->RunFirstRun();
    if (options_.command == TCommand::kList)
        return List();
    if (options_.command == TCommand::kReport)
        return Report();

    tempLease_ = std::make_unique<TTempFolderLease>(app_->TempFolder());
    engine_ = std::make_unique<TRunEngine>();
    if (!ApplyFetchOptions())
        return kExitInvalid;
    CatchInterrupts();

    switch (options_.command) {
    case TCommand::kCopy:
        return Copy();
    case TCommand::kRun:
        return RunTask();
    default:
        return Schedule();
    }
}

bool TSession::ApplyFetchOptions()
{
    TSlotList &slots = engine_->slots;
    // For this invocation only: the stored preferences stay as they are.
    if (options_.timeout)
        slots.fetchTimeOut = *options_.timeout;
    slots.SetConnections(options_.connections.value_or(app_->Connections()), false);
    if (options_.minRate)
        slots.minRate = *options_.minRate;
    if (options_.waitMs)
        slots.waitBetween = std::chrono::milliseconds(*options_.waitMs);
    if (options_.limitRate)
        slots.rateLimit = std::make_shared<TRateLimit>(*options_.limitRate);
    slots.extraHeaders = options_.headers;
    if (options_.userAgent)
        app_->SetUserAgent(*options_.userAgent, false);
    if (!options_.logFile.empty()) {
        log_.reset(std::fopen(options_.logFile.c_str(), "a"));
        if (!log_) {
            std::fprintf(stderr, "arvelo-cli: cannot write the log %s: %s\n", options_.logFile.c_str(),
                         std::strerror(errno));
            return false;
        }
    }
    if (log_ || options_.verbose) {
        auto shown = engine_->dispatcher.OnItemCompleted;
        engine_->dispatcher.OnItemCompleted = [this, shown](TAVSocket &slot, TAVQItem &item) {
            if (shown)
                shown(slot, item);
            ShowFetched(item);
        };
    }
    return true;
}

void TSession::ShowFetched(const TAVQItem &item)
{
    const TItemText &text = item.LoadedText();
    const std::string result = text.result.empty() ? std::string("-") : text.result;
    if (log_) {
        std::fprintf(log_.get(), "%s\t%s\t%lld\t%s\n", TDateTime::Now().ToText().c_str(), result.c_str(),
                     static_cast<long long>(item.size), text.URL.c_str());
        std::fflush(log_.get());
    }
    if (options_.verbose) {
        if (terminal_ && progressShown_) {
            std::fputs("\r\033[K", stderr);
            progressShown_ = false;
        }
        std::printf("%-24s %s\n", result.c_str(), text.URL.c_str());
        std::fflush(stdout);
    }
}

int TSession::Copy()
{
    std::string address = options_.address;
    if (!NormalizeURL(address)) {
        std::fprintf(stderr, "arvelo-cli: Invalid URL: %s\n", options_.address.c_str());
        return kExitInvalid;
    }
    std::unique_ptr<TAVTask> task = engine_->run.CreateTask(address, options_.map, !options_.zip);
    if (!options_.name.empty())
        task->taskName = TAVTask::UniqueTaskName(ExtractFilePath(task->taskFile), SafeFileName(options_.name, '_'));
    task->taskFile = ExtractFilePath(task->taskFile) + task->taskName + ".avt";
    if (options_.zip) {
        // The default archive name follows the task's final name.
        task->destination = options_.zipFile.empty()
                                ? UniqueFileName(app_->DownloadsFolder() + task->taskName + ".zip")
                                : QFileInfo(QString::fromStdString(options_.zipFile)).absoluteFilePath().toStdString();
    } else if (!options_.destination.empty())
        task->destination =
            IncludeTrailingSlash(QFileInfo(QString::fromStdString(options_.destination)).absoluteFilePath().toStdString());
    if (!options_.profile.empty() && options_.profile != kCustomProfile) {
        std::string file = app_->ProfilesFolder() + options_.profile + ".avp";
        if (!FileExists(file)) {
            std::fprintf(stderr, "arvelo-cli: no profile named '%s' (looked for %s)\n", options_.profile.c_str(),
                         file.c_str());
            return kExitInvalid;
        }
        task->profile = ProfileByName(app_->ProfilesFolder(), options_.profile);
    }
    TAVProfile &profile = task->profile;
    if (options_.depth)
        profile.depth = *options_.depth;
    if (options_.pageLocation)
        profile.pageLocation = static_cast<uint8_t>(*options_.pageLocation);
    if (options_.resourceLocation)
        profile.resourceLocation = static_cast<uint8_t>(*options_.resourceLocation);
    if (options_.fileTypes)
        profile.fileTypes = SplitList(*options_.fileTypes);
    for (const std::string &line : options_.include)
        profile.urlFiltersInclude.push_back(line);
    for (const std::string &line : options_.exclude)
        profile.urlFiltersExclude.push_back(line);
    profile.acceptInvalidCertificates = profile.acceptInvalidCertificates || options_.insecure;
    if (options_.noRobots)
        profile.obeyRobots = false;
    // An archive the user named keeps its name.
    if (!options_.zipFile.empty())
        profile.useStartPageTitle = false;
    ScheduleNow(*task);
    TAVTask *added = nullptr;
    try {
        added = engine_->tasks.Add(std::move(task));
    } catch (const EFileError &error) {
        std::fprintf(stderr, "arvelo-cli: %s\n", error.what());
        return kExitFailed;
    }
    Say("Task \"" + added->taskName + "\": " + added->url + " into " + added->destination);
    return Drive(*added);
}

std::string TSession::FindTaskFile(const std::string &given) const
{
    QFileInfo file(QString::fromStdString(given));
    if (file.isFile())
        return file.absoluteFilePath().toStdString();
    std::string name = given.size() > 4 && given.substr(given.size() - 4) == ".avt" ? given : given + ".avt";
    std::string preferred = app_->TasksFolder() + app_->LastCategory() + "/" + name;
    if (FileExists(preferred))
        return preferred;
    QDir tasks(QString::fromStdString(app_->TasksFolder()));
    for (const QString &category : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        std::string path = app_->TasksFolder() + category.toStdString() + "/" + name;
        if (FileExists(path))
            return path;
    }
    return {};
}

int TSession::RunTask()
{
    std::string file = FindTaskFile(options_.task);
    if (file.empty()) {
        std::fprintf(stderr, "arvelo-cli: no task named '%s'\n", options_.task.c_str());
        return kExitInvalid;
    }
    engine_->tasks.LoadActiveTasks();
    TAVTask *task = engine_->tasks.Open(file);
    if (!task)
        return kExitInvalid;
    if (options_.insecure)
        task->profile.acceptInvalidCertificates = true;
    if (options_.noRobots)
        task->profile.obeyRobots = false;
    if (options_.runMode)
        task->runMode = static_cast<uint8_t>(*options_.runMode);
    else
        task->runMode = ResumeOrRestart(*task);
    Say("Task \"" + task->taskName + "\": " + task->url);
    return Drive(*task);
}

int TSession::Drive(TAVTask &task)
{
    int status = kExitFailed;
    engine_->run.OnRunEnded = [&](TAVTask &ended) {
        ShowProgress(true);
        status = ended.status == tsTaskComplete || ended.status == tsZipped ? kExitCompleted : kExitFailed;
        QCoreApplication::exit(0);
    };
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (interrupted.exchange(false) && engine_->run.RunningTask()) {
            if (terminal_ && progressShown_)
                std::fputc('\n', stderr);
            progressShown_ = false;
            Say("Stopping; resume with: arvelo-cli run \"" + task.taskFile + "\" --mode resume");
            engine_->run.StopTask(*engine_->run.RunningTask());
            return;
        }
        ShowProgress(false);
    });
    ticker.start(250);
    engine_->run.StartTask(task);
    if (!engine_->run.RunningTask())
        return kExitFailed;
    // The start takes the stored preference; the command line's choice wins.
    if (options_.zipLast)
        task.zipLast = true;
    QCoreApplication::exec();
    engine_->run.OnRunEnded = nullptr;
    const int failures = ShowFailures(task);
    return status == kExitCompleted && failures > 0 ? kExitSomeFailed : status;
}

int TSession::ShowFailures(TAVTask &task) const
{
    constexpr int kShown = 20;
    int count = 0;
    for (size_t i = 0; i < task.items.ItemCount(); ++i) {
        TAVQItem &item = *task.items.Item(i);
        if (item.State() != isError)
            continue;
        if (++count > kShown)
            continue;
        item.LoadFields();
        const TItemText &text = item.LoadedText();
        if (count == 1)
            std::fprintf(stderr, "Failed addresses:\n");
        std::fprintf(stderr, "  %s  %s%s\n", text.URL.c_str(), text.result.c_str(),
                     text.referrer.empty() ? "" : ("  (linked from " + text.referrer + ")").c_str());
        item.ReleaseFields();
    }
    if (count > kShown)
        std::fprintf(stderr, "  and %d more, see: arvelo-cli report \"%s\"\n", count - kShown, task.taskName.c_str());
    return count;
}

void TSession::ShowProgress(bool final)
{
    TAVTask *task = engine_->run.RunningTask();
    if (final)
        task = app_->CurrentTask();
    if (!task || options_.quiet)
        return;
    int seconds = final ? ElapsedSeconds(*task)
                        : static_cast<int>((TDateTime::Now().Days() - task->runStart.Days()) * 86400.0);
    long long pages = task->pagesSaved - task->pageErrors, media = task->resourcesSaved - task->resourceErrors;
    long long errors = task->pageErrors + task->resourceErrors;
    double kilobytes = task->totalBytes.load() / 1024.0;
    char line[256];
    std::snprintf(line, sizeof line, "Pages %lld  Media files %lld  Errors %lld  %.0f KB  %.1f KB/s  %s", pages, media,
                  errors, kilobytes, seconds > 0 ? kilobytes / seconds : 0.0, Clock(std::max(seconds, 0)).c_str());
    if (final) {
        if (terminal_ && progressShown_)
            std::fputc('\n', stderr);
        progressShown_ = false;
        Say(TAVTask::StatusText(task->status) + ": " + line);
        Say("Saved in: " + (task->intranetMode ? IncludeTrailingSlash(task->destination) + ServerFolder(TlqURL(task->url)) + "/"
                                                : task->destination));
    } else if (terminal_) {
        std::fprintf(stderr, "\r%s\033[K", line);
        std::fflush(stderr);
        progressShown_ = true;
    }
}

int TSession::List()
{
    QDir tasks(QString::fromStdString(app_->TasksFolder()));
    int count = 0;
    for (const QString &category : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        QDir folder(tasks.filePath(category));
        for (const QString &name : folder.entryList({QStringLiteral("*.avt")}, QDir::Files, QDir::Name)) {
            TAVTask task;
            task.taskFile = folder.filePath(name).toStdString();
            try {
                task.Load();
            } catch (const std::exception &error) {
                std::fprintf(stderr, "arvelo-cli: %s: %s\n", task.taskFile.c_str(), error.what());
                continue;
            }
            // A run that was killed left its status behind, and its lock to no one.
            int32_t status = task.status;
            if ((status == tsDownloading || status == tsComplete) && !TRunLock::HeldElsewhere(task.taskFile))
                status = tsIncomplete;
            std::printf("%-24s %-12s %-18s %s\n", task.taskName.c_str(), category.toStdString().c_str(),
                        TAVTask::StatusText(status).c_str(), task.url.c_str());
            ++count;
        }
    }
    if (count == 0)
        Say("No tasks.");
    return kExitCompleted;
}

int TSession::Report()
{
    std::string file = FindTaskFile(options_.task);
    if (file.empty()) {
        std::fprintf(stderr, "arvelo-cli: no task named '%s'\n", options_.task.c_str());
        return kExitInvalid;
    }
    TAVTask task;
    task.taskFile = file;
    try {
        task.Load();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "arvelo-cli: %s: %s\n", file.c_str(), error.what());
        return kExitFailed;
    }
    if (!task.intranetMode) {
        if (!FileExists(task.destination)) {
            std::fprintf(stderr, "arvelo-cli: This task has not been run, or its resulting Zip file no longer exists.\n");
            return kExitFailed;
        }
        // The reports link to the files of the archive, extracted for browsing.
        TZipArchive zip;
        std::string status;
        if (ExtractForBrowsing(zip, task.destination, app_->TempFolder(), {}, xowAlways, status) == 2)
            return kExitFailed;
    }
    std::string summary = CreateReports(task, nullptr);
    if (summary.empty())
        return kExitFailed;
    TTaskReport report(task);
    report.Load();
    try {
        Say("Summary:       " + summary);
        Say("Page index:    " + report.IndexFile(false, 1));
        Say("Image index:   " + report.IndexFile(true, 1));
        Say("Errors:        " + report.WriteErrors());
        Say("List of pages: " + report.WritePageList());
    } catch (const EFileError &error) {
        std::fprintf(stderr, "arvelo-cli: %s\n", error.what());
        return kExitFailed;
    }
    return kExitCompleted;
}

int TSession::Schedule()
{
    engine_->tasks.LoadActiveTasks();
    engine_->run.OnRunEnded = [&](TAVTask &ended) {
        ShowProgress(true);
        Say("Waiting for scheduled tasks (Ctrl-C ends).");
        (void)ended;
    };
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (interrupted.exchange(false)) {
            if (TAVTask *running = engine_->run.RunningTask())
                engine_->run.StopTask(*running);
            QCoreApplication::exit(0);
            return;
        }
        ShowProgress(false);
    });
    ticker.start(250);
    Say("Waiting for scheduled tasks (Ctrl-C ends).");
    scheduler_ = std::make_unique<TThreadSchedule>([this] {
        TAVTask *before = engine_->run.RunningTask();
        engine_->run.CheckSchedules();
        if (TAVTask *started = engine_->run.RunningTask(); started && started != before)
            Say("Starting task \"" + started->taskName + "\": " + started->url);
    });
    QCoreApplication::exec();
    scheduler_.reset();
    return kExitCompleted;
}

} // namespace arvelo::cli
