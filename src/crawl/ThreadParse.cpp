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
#include <cstdio>
#include <memory>

namespace arvelo {

struct TThreadParse::TPage {
    TAVQItem *item;
    TPageInfo info;
    std::string file;
    // What parsing gave: the state to publish, the title, the links not
    // queued yet and why the page could not be written back.
    uint8_t state = isParsed;
    std::string title;
    // Why the rewritten page could not be saved (the system's reason, and
    // the whole message), and whether nothing can be written there at all.
    std::string failure, failureMessage;
    bool destinationUnwritable = false;
    std::vector<TCandidate> unqueued;
    // The download kept until the page is recorded as converted.
    std::string unconverted;
};

struct TThreadParse::TBatch {
    std::string startURL, startRedirect;
    std::vector<TPage> pages;
};

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
            TBatch batch = TakePages(*task);
            const auto start = std::chrono::steady_clock::now();
            size_t parsed = 0;
            while (parsed < batch.pages.size()) {
                ParsePage(*task, batch, batch.pages[parsed++]);
                if (paused_ || std::chrono::steady_clock::now() - start > std::chrono::milliseconds(kBatchMs))
                    break;
            }
            if (parsed > 0)
                PublishPages(*task, batch, parsed);
            busy_ = false;
            if (parsed == 0)
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

TThreadParse::TBatch TThreadParse::TakePages(TAVTask &task)
{
    TBatch batch;
    RunInWindowThread([&] {
        std::vector<TAVQItem *> pages = task.items.PagesToParse(kPagesPerHandOver);
        if (pages.empty())
            return;
        TAVQItem *start = task.items.Item(0);
        start->LoadFields();
        batch.startURL = start->LoadedText().URL;
        batch.startRedirect = task.startRedirect;
        for (TAVQItem *item : pages) {
            item->LoadFields();
            TPage &page = batch.pages.emplace_back();
            page.item = item;
            page.info = {item->LoadedText().URL, item->level, item->Mark(), item->frame};
            if (item->localFile.empty())
                item->localFile = LocalFileName(task.WorkFolder(), URLDirectory(page.info.url), page.info.url);
            page.file = item->localFile;
        }
    });
    return batch;
}

void TThreadParse::PublishPages(TAVTask &task, TBatch &batch, size_t count)
{
    // The pages' last links are queued with their outcomes, in one hand-over.
    RunInWindowThread([&] {
        for (size_t i = 0; i < count; ++i) {
            TPage &page = batch.pages[i];
            TAVQItem &item = *page.item;
            AddItems(task, page.unqueued);
            if (!page.title.empty()) {
                item.Text().title = page.title;
                if (item.level == 0)
                    task.startPageTitle = page.title;
            }
            if (!page.failure.empty()) {
                item.Text().result = page.failure;
                item.SetState(isError);
                ++(item.IsPage() ? task.pageErrors : task.resourceErrors);
                if (page.destinationUnwritable)
                    task.DestinationFailed(page.failure);
            } else {
                item.SetState(page.state);
            }
            item.Publish(true);
            if (page.failure.empty() && page.state == isParsed && !task.intranetMode)
                task.zipQueue.Append(page.file, &item);
        }
        // Pages left for the next batch are taken up again from the list.
        for (size_t i = count; i < batch.pages.size(); ++i)
            batch.pages[i].item->ReleaseFields();
        // Recorded before their kept downloads go, below.
        task.items.FlushJournal();
    });
    // Recorded: the downloads kept for a crash in between are done with.
    for (size_t i = 0; i < count; ++i)
        if (!batch.pages[i].unconverted.empty())
            std::remove(batch.pages[i].unconverted.c_str());
    pagesProcessed_ += static_cast<int>(count);
    if (OnItemsChanged)
        OnItemsChanged();
    std::string failure;
    for (size_t i = 0; i < count; ++i)
        if (!batch.pages[i].failure.empty())
            failure = batch.pages[i].failureMessage;
    Status(failure);
}

void TThreadParse::ParsePage(TAVTask &task, const TBatch &batch, TPage &page)
{
    TAVQItem &item = *page.item;
    const std::string &file = page.file;
    Progress("Loading Page: " + file);
    // A conversion cut short by a crash left the download beside the page.
    const std::string unconverted = UnconvertedCopyName(file);
    bool read = false;
    std::string text = ReadFileBytes(unconverted, &read);
    const bool kept = read;
    if (!kept)
        text = ReadFileBytes(file, &read);
    if (!read) {
        // Gone or unreadable: fetched again later.
        page.state = isNone;
        return;
    }
    // Pages are read as lines; a style sheet keeps its bytes.
    if (!item.IsStyleSheet())
        text = CrLfLines(text);
    if (text.empty())
        // Nothing to parse; marked done so that the thread moves on.
        return;

    auto queue = [&](std::vector<TCandidate> &candidates) { return QueueItems(task, candidates); };
    if (item.IsStyleSheet()) {
        TStyleSheetProcessor sheet(task.profile, batch.startURL, page.info, batch.startRedirect);
        sheet.QueueItems = queue;
        text = sheet.Process(text);
    } else {
        TPageProcessor processor(task.profile, batch.startURL, page.info, withBanner.load(), batch.startRedirect);
        processor.QueueItems = queue;
        processor.HoldLastBatch = true;
        processor.ShowProgress = [&](int links, int newLinks) {
            Progress("Parsing... Links: " + std::to_string(links) + "  New Links: " + std::to_string(newLinks));
        };
        text = processor.Process(std::move(text));
        page.title = processor.Title();
        page.unqueued = processor.TakeUnqueued();
    }

    Progress("Saving Changes: " + file);
    try {
        if (!kept)
            KeepUnderSecondName(file, unconverted);
        page.unconverted = unconverted;
        ReplaceFile(file, text);
    } catch (const EFileError &error) {
        // The downloaded page stays as it was, its links unconverted: an
        // error, so that Salvix fetches and converts it again.
        page.failure = error.Reason();
        page.failureMessage = error.what();
        page.destinationUnwritable = FolderUnwritable(task.WorkFolder(), error.SystemError());
    }
}

} // namespace arvelo
