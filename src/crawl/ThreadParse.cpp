#include "crawl/ThreadParse.h"

#include "core/ThreadPriority.h"
#include "core/App.h"
#include "core/FileUtils.h"
#include "core/WindowThread.h"
#include "crawl/LocalNames.h"
#include "crawl/PageProcessor.h"
#include "crawl/StyleSheet.h"
#include "crawl/URL.h"
#include "model/DownloadItem.h"
#include "model/Task.h"

#include <chrono>
#include <memory>

namespace arvelo {

TThreadParse::TThreadParse()
    : status_([this](const std::string &text) {
          if (OnStatus)
              OnStatus(text);
      }),
      thread_([this] {
          LowerThisThreadPriority();
          Run();
      })
{
}

TThreadParse::~TThreadParse()
{
    {
        std::lock_guard lock(mutex_);
        terminated_ = true;
    }
    wake_.notify_all();
    // The thread may be waiting for a call into the window thread.
    PumpEventsUntil([this] { return done_.load(); });
    thread_.join();
}

void TThreadParse::Start(TAVTask *task)
{
    if (TAVApp *app = TAVApp::Instance())
        withBanner = !app->NoAds();
    {
        std::lock_guard lock(mutex_);
        task_ = task;
        woken_ = true;
        paused_ = false;
    }
    wake_.notify_all();
}

void TThreadParse::Pause() { paused_ = true; }

void TThreadParse::Wake()
{
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    wake_.notify_all();
}

void TThreadParse::Progress(const std::string &text)
{
    if (std::chrono::steady_clock::now() - lastPosted_ < std::chrono::milliseconds(kStatusGapMs))
        return;
    Status(text);
}

void TThreadParse::Status(const std::string &text)
{
    if (text.empty() && !lineShown_)
        return;
    lineShown_ = !text.empty();
    lastPosted_ = std::chrono::steady_clock::now();
    // Posted, not awaited: the parser never waits for the window to show a
    // line, and lines that come faster than the window takes them merge
    // into the last one.
    status_.Post(text);
}

void TThreadParse::Run()
{
    RunLoop();
    done_ = true;
}

void TThreadParse::RunLoop()
{
    for (;;) {
        TAVTask *task;
        {
            std::unique_lock lock(mutex_);
            // Waits for a task, a resume or a saved page; the time-out only
            // covers a page saved without a wake-up.
            wake_.wait_for(lock, std::chrono::seconds(1), [&] { return terminated_ || (woken_ && !paused_); });
            if (terminated_)
                return;
            woken_ = false;
            task = task_;
        }
        while (task) {
            // Busy before the pause is read: a halt that has set the pause
            // and then finds the parser idle knows it takes no further page.
            busy_ = true;
            if (paused_) {
                busy_ = false;
                break;
            }
            TAVQItem *item = task->items.NextPageToParse();
            if (item)
                ParsePage(*task, *item);
            busy_ = false;
            if (!item)
                break;
            std::lock_guard lock(mutex_);
            if (terminated_)
                return;
        }
    }
}

int TThreadParse::QueueItems(TAVTask &task, std::vector<TCandidate> &batch)
{
    int added = 0;
    RunInWindowThread([&] { added = AddItems(task, batch); });
    if (added > 0 && OnItemsChanged)
        OnItemsChanged();
    return added;
}

int TThreadParse::AddItems(TAVTask &task, std::vector<TCandidate> &batch)
{
    int added = 0;
    for (TCandidate &candidate : batch) {
        if (task.items.IsKnown(candidate.url))
            continue;
        auto item = std::make_unique<TAVQItem>(&task);
        TItemText &text = item->Text();
        text.URL = std::move(candidate.url);
        text.title = std::move(candidate.title);
        text.referrer = std::move(candidate.referrer);
        item->baseAddress = std::move(candidate.baseAddress);
        item->frame = std::move(candidate.frame);
        item->level = candidate.level;
        item->SetMark(candidate.mark);
        item->SetGroup(candidate.group);
        item->SetStyleSheet(IsStyleSheetURL(text.URL));
        item->SetState(isNone);
        task.items.AddItem(std::move(item));
        ++added;
    }
    return added;
}

void TThreadParse::ParsePage(TAVTask &task, TAVQItem &item)
{
    TPageInfo info;
    std::string startURL, startRedirect, file;
    RunInWindowThread([&] {
        item.LoadFields();
        TAVQItem *start = task.items.Item(0);
        start->LoadFields();
        startURL = start->LoadedText().URL;
        startRedirect = task.startRedirect;
        info = {item.LoadedText().URL, item.level, item.Mark(), item.frame};
        if (item.localFile.empty())
            item.localFile = LocalFileName(task.WorkFolder(), URLDirectory(info.url), info.url);
        file = item.localFile;
    });
    // The page's last links are queued with its outcome, in one hand-over.
    std::vector<TCandidate> unqueued;
    auto publish = [&](uint8_t state, const std::string &title) {
        RunInWindowThread([&] {
            AddItems(task, unqueued);
            if (!title.empty()) {
                item.Text().title = title;
                if (item.level == 0)
                    task.startPageTitle = title;
            }
            item.SetState(state);
            item.Publish(true);
            if (state == isParsed && !task.intranetMode)
                task.zipQueue.Append(file, &item);
        });
        ++pagesProcessed_;
        if (OnItemsChanged)
            OnItemsChanged();
    };

    Progress("Loading Page: " + file);
    if (!FileExists(file)) {
        // Fetched again later.
        publish(isNone, {});
        Status({});
        return;
    }
    // Pages are read as lines; a style sheet keeps its bytes.
    std::string page = item.IsStyleSheet() ? ReadFileBytes(file) : LoadText(file);
    if (page.empty()) {
        // Nothing to parse; marked done so that the thread moves on.
        publish(isParsed, {});
        Status({});
        return;
    }

    auto queue = [&](std::vector<TCandidate> &batch) { return QueueItems(task, batch); };
    std::string title;
    if (item.IsStyleSheet()) {
        TStyleSheetProcessor sheet(task.profile, startURL, info, startRedirect);
        sheet.QueueItems = queue;
        page = sheet.Process(page);
    } else {
        TPageProcessor processor(task.profile, startURL, info, withBanner.load(), startRedirect);
        processor.QueueItems = queue;
        processor.HoldLastBatch = true;
        processor.ShowProgress = [&](int links, int newLinks) {
            Progress("Parsing... Links: " + std::to_string(links) + "  New Links: " + std::to_string(newLinks));
        };
        page = processor.Process(std::move(page));
        title = processor.Title();
        unqueued = processor.TakeUnqueued();
    }

    Progress("Saving Changes: " + file);
    std::string failure;
    try {
        ReplaceFile(file, page);
    } catch (const EFileError &error) {
        // The downloaded page stays as it was; the crawl goes on.
        failure = error.what();
    }
    publish(isParsed, title);
    Status(failure);
}

} // namespace arvelo
