#include "net/Fetch.h"

#include "core/FileUtils.h"
#include "core/TextUtils.h"
#include "core/WindowThread.h"
#include "crawl/LocalNames.h"
#include "crawl/Robots.h"
#include "crawl/URL.h"
#include "model/DownloadItem.h"
#include "model/Task.h"

#include <cstdio>

namespace arvelo {

namespace {

// Ends a fetch without it being a failure of the connection.
struct TQuietEnd {};

constexpr const char *kIncomplete = "Incomplete";

// The byte count of an "Incomplete (N bytes)" result, 1 when unreadable.
int64_t IncompleteCount(const std::string &result)
{
    const std::string open = "Incomplete (";
    size_t end = result.find(" bytes)", open.size());
    if (result.rfind(open, 0) != 0 || end == std::string::npos)
        return 1;
    return ToIntDef(result.substr(open.size(), end - open.size()), 1);
}

std::string IncompleteText(int64_t bytes) { return "Incomplete (" + std::to_string(bytes) + " bytes)"; }

std::string ServerKey(const std::string &url)
{
    TlqURL parts(url);
    std::string port = parts.Port.empty() ? (IsSecureAddress(url) ? "443" : "80") : parts.Port;
    return LowerAscii(parts.Host) + ":" + port;
}

} // namespace

bool IsRedirect(const std::string &statusCode)
{
    return statusCode == "301" || statusCode == "302" || statusCode == "303" || statusCode == "307" ||
           statusCode == "308";
}

bool SameServer(const std::string &a, const std::string &b) { return ServerKey(a) == ServerKey(b); }

bool CredentialsGoTo(const std::string &url, const std::string &credentialServer)
{
    // Never from https down to http, where anyone on the way could read them.
    if (IsSecureAddress(credentialServer) && !IsSecureAddress(url))
        return false;
    return SameServer(url, credentialServer);
}

TThreadHTTP::TThreadHTTP(TlqHTTP &owner) : owner_(owner), http_(owner.HTTP), item_(*owner.QItem) {}

TThreadHTTP::~TThreadHTTP()
{
    // The fetch has ended (its Tag is 1) but its last statements may be
    // under way on the slot's worker.
    if (running_.load())
        owner_.worker_.WaitIdle();
}

void TThreadHTTP::Start()
{
    // Running from now on, so that a Stop right after Start waits for it.
    running_ = true;
    owner_.worker_.Run([this] { Execute(); });
}

bool TThreadHTTP::UseCredentials() const
{
    return !owner_.UserName.empty() && !owner_.Password.empty() &&
           CredentialsGoTo(http_.URL(), owner_.CredentialServer());
}

int TThreadHTTP::Head() { return UseCredentials() ? http_.Head(owner_.UserName, owner_.Password) : http_.Head(); }

int TThreadHTTP::Get() { return UseCredentials() ? http_.Get(owner_.UserName, owner_.Password) : http_.Get(); }

void TThreadHTTP::ParseReply()
{
    // The status belongs to the reply read last; a reply without a status
    // line has none.
    StatusCode.clear();
    StatusText.clear();
    Location.clear();
    for (const std::string &line : http_.Headers.lines) {
        if (line.rfind("HTTP/", 0) == 0) {
            size_t blank = line.find(' ');
            StatusText = blank == std::string::npos ? std::string() : line.substr(blank + 1);
            size_t start = StatusText.find_first_not_of(' ');
            StatusCode = start == std::string::npos ? std::string()
                                                    : StatusText.substr(start, StatusText.find(' ', start) - start);
            continue;
        }
        size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string name = line.substr(0, colon);
        std::string value = Trim(std::string_view(line).substr(colon + 1));
        if (SameText(name, "Location"))
            Location = value;
        else if (SameText(name, "Content-Length"))
            ContentLength = value;
        else if (SameText(name, "Last-Modified"))
            LastModified = value;
    }
}

void TThreadHTTP::Publish(const std::function<void(TAVQItem &)> &change, bool release)
{
    RunInWindowThread([&] { Apply(change, release); });
}

void TThreadHTTP::Apply(const std::function<void(TAVQItem &)> &change, bool release)
{
    for (const auto &deferred : deferred_)
        deferred(item_);
    deferred_.clear();
    change(item_);
    item_.Publish(false);
    if (release)
        item_.ReleaseFields();
}

void TThreadHTTP::Defer(std::function<void(TAVQItem &)> change) { deferred_.push_back(std::move(change)); }

void TThreadHTTP::Fail(int code)
{
    std::string text = SocketErrorText(code);
    owner_.SetState(hsError);
    owner_.SetStatus(text);
    Publish([&](TAVQItem &item) {
        // A chain of redirects says where it led last; a failed connection names its server.
        item.Text().result = code == seTooManyRedirects ? text + " (last to " + http_.URL() + ")"
                                                        : text + " (" + ServerKey(http_.URL()) + ")";
        item.SetState(isError);
    });
    throw TQuietEnd();
}

TThreadHTTP::TSaved TThreadHTTP::WriteBody()
{
    if (StatusCode.empty() || StatusCode[0] != '2')
        return TSaved::kNotASuccess;
    const std::string &file = owner_.LocalFile();
    try {
        ForceFolders(ExtractFilePath(file));
        http_.Body.SaveTo(file);
        // A download kept from an earlier conversion is not this one.
        if (item_.IsPage() || item_.IsStyleSheet())
            std::remove(UnconvertedCopyName(file).c_str());
        return TSaved::kSaved;
    } catch (const EFileError &error) {
        writeFailure_ = error.Reason();
        destinationUnwritable_ = FolderUnwritable(owner_.Root(), error.SystemError());
        return TSaved::kFailed;
    }
}

void TThreadHTTP::RecordSaved(TSaved saved)
{
    switch (saved) {
    case TSaved::kNotASuccess:
        item_.SetState(isError);
        break;
    case TSaved::kSaved:
        item_.localFile = owner_.LocalFile();
        item_.SetState(isSaved);
        break;
    case TSaved::kFailed:
        // An error like any other, retried by Salvix; a destination that
        // takes no file at all ends the run with one message, not one per file.
        item_.Text().result = writeFailure_;
        item_.SetState(isError);
        if (destinationUnwritable_ && item_.task)
            item_.task->DestinationFailed(writeFailure_);
        break;
    }
}

bool TThreadHTTP::Redirected() const { return IsRedirect(StatusCode) && !Location.empty(); }

void TThreadHTTP::FollowRedirect(int &passes)
{
    // A relative target is relative to the address that answered, which
    // after a chain of redirects is no longer the item's own.
    std::string target = ResolveURL(Location, URLDirectory(http_.URL()));
    if (!NormalizeURL(target))
        passes = 100;
    try {
        http_.SetURL(target, false);
    } catch (const ENetError &error) {
        // Not an http or https address: the item ends as an error, without a box.
        Publish([&](TAVQItem &item) {
            item.Text().result = std::string(error.what()) + " (redirected to " + target + ")";
            item.SetState(isError);
        });
        throw TQuietEnd();
    }
}

void TThreadHTTP::Pass(int &passes)
{
    http_.IfModifiedSince.clear();
    http_.Range = 0;
    http_.ResumeFile.clear();
    const TItemText &text = item_.LoadedText();
    const bool partial = text.result.rfind(kIncomplete, 0) == 0;
    // A transfer cut short is finished whatever the date: its date may be the
    // new one already, and asking whether the file changed since would leave it cut.
    if (item_.Mark() == imUpdate && !partial)
        http_.IfModifiedSince = text.lastModified;
    if (partial) {
        http_.Range = IncompleteCount(text.result) - 1;
        http_.ResumeFile = owner_.LocalFile();
    }

    Head();
    ParseReply();
    if (StatusCode == "206") {
        Defer([result = StatusText, modified = LastModified](TAVQItem &item) {
            item.Text().result = result;
            item.Text().lastModified = modified;
        });
        Get();
    } else if (Redirected()) {
        FollowRedirect(passes);
        return;
    } else if (StatusCode == "304") {
        Publish([&](TAVQItem &item) {
            item.Text().result = StatusText;
            item.SetState(isUpdated);
        });
        throw TQuietEnd();
    } else if (StatusCode == "404") {
        Defer([result = StatusText](TAVQItem &item) { item.Text().result = result; });
    } else {
        http_.Range = 0;
        // The new date is kept only with the new body: an update stopped
        // before it must still ask whether the file changed since the old one.
        Defer([size = ToInt64Def(ContentLength, 0), result = StatusText](TAVQItem &item) {
            item.size = size;
            item.Text().result = result;
        });
        Get();
    }
    ParseReply();
    if (StatusCode == "404")
        ++passes;
    // A server may redirect the GET of an address whose HEAD it answered.
    if (Redirected())
        FollowRedirect(passes);
}

bool TThreadHTTP::RobotsAllow()
{
    if (!owner_.Robots)
        return true;
    return owner_.Robots->Allows(
        http_.URL(), [this](const std::string &robotsURL) { return FetchRobots(robotsURL); },
        [this] { http_.ThrowIfCanceled(); });
}

std::string TThreadHTTP::FetchRobots(const std::string &robotsURL)
{
    // On the item's connection, without its credentials, following a few
    // redirects; anything but a success means no rules.
    const std::string saved = http_.URL();
    std::string text;
    try {
        http_.IfModifiedSince.clear();
        http_.Range = 0;
        http_.ResumeFile.clear();
        http_.SetURL(robotsURL, false);
        for (int hops = 0; hops < 5; ++hops) {
            http_.Body.Clear();
            http_.Get();
            ParseReply();
            if (!Redirected())
                break;
            http_.SetURL(ResolveURL(Location, URLDirectory(http_.URL())), false);
        }
        // A file far beyond what is read of it is no robots file.
        if (StatusCode.size() == 3 && StatusCode[0] == '2' && http_.Body.Size() <= 8 * int64_t(TRobotsCache::kMaxFileBytes))
            text = http_.Body.ReadAll();
    } catch (const std::exception &) {
        // A stop ends the fetch; any other failure (of the connection, or of
        // a body too large for memory spilled to a full disk) leaves the
        // server without rules.
        if (http_.Canceled()) {
            http_.Body.Clear();
            http_.SetURL(saved, false);
            throw;
        }
    }
    http_.Body.Clear();
    http_.SetURL(saved, false);
    return text;
}

void TThreadHTTP::Execute()
{
    http_.Tag = 0;
    std::string saved = http_.URL();
    try {
        if (owner_.WaitBetween.count() > 0 && owner_.fetchedBefore_)
            http_.Pause(owner_.WaitBetween);
        owner_.fetchedBefore_ = true;
        if (!RobotsAllow()) {
            // Not to be fetched in this run: neither saved nor failed.
            Publish([](TAVQItem &item) {
                item.Text().result = kRobotsExcluded;
                item.SetMark(imUnmarked);
                item.SetState(isNone);
            });
            owner_.SetState(hsComplete);
            owner_.SetStatus(kRobotsExcluded);
            throw TQuietEnd();
        }
        int passes = 1, total = 0;
        do {
            if (++total > kMaxPasses)
                Fail(StatusCode.empty() ? seNoReply : seTooManyRedirects);
            Pass(passes);
        } while ((Redirected() || StatusCode.empty()) && passes <= 2);
        const std::string reached = http_.URL();
        http_.SetURL(saved, false);
        // A connection kept open never reports its close: the fetch ends here.
        if (TlqHTTPState state = owner_.State(); state != hsError && state != hsStopping) {
            owner_.SetState(hsComplete);
            owner_.SetStatus("Done");
        }
        const int64_t received = http_.Body.Size();
        const TSaved written = WriteBody();
        // The item's whole outcome goes to the window thread with the end
        // of the fetch: one hand-over for both.
        owner_.LeaveOutcome([this, received, written, reached] {
            Apply(
                [&](TAVQItem &item) {
                    if (item.size == 0)
                        item.size = received;
                    item.Text().result = StatusText;
                    item.Text().lastModified = LastModified;
                    RecordSaved(written);
                    // A start address that only sends the visitor to another
                    // host makes that host the start site too.
                    TAVTask *task = item.task;
                    if (task && task->items.ItemCount() > 0 && task->items.Item(0) == &item &&
                        !SameText(URLHost(reached), URLHost(item.LoadedText().URL)))
                        task->startRedirect = reached;
                },
                true);
        });
    } catch (const TQuietEnd &) {
    } catch (const std::exception &error) {
        if (!dynamic_cast<const ENetError *>(&error)) {
            owner_.SetState(hsError);
            owner_.SetStatus(error.what());
        }
        try {
            int64_t held = http_.Body.Size();
            auto *failure = dynamic_cast<const ENetError *>(&error);
            if (failure && failure->Code() == seDecodeFailed)
                // The reply's own status said success: the result says why not.
                Publish([&](TAVQItem &item) {
                    item.Text().result = failure->what();
                    item.SetState(isError);
                });
            else if (held > 0) {
                const TSaved written = WriteBody();
                Publish([&](TAVQItem &item) {
                    RecordSaved(written);
                    if (written != TSaved::kFailed) {
                        item.Text().result = IncompleteText(held);
                        item.SetState(isDownloading);
                    }
                });
            }
        } catch (const std::exception &) {
            // The window thread could not take the item; it stays as it was.
        }
    }
    http_.Body.Clear();
    owner_.End();
    running_ = false;
}

TlqHTTP::TlqHTTP() { InstallHandlers(); }

TlqHTTP::~TlqHTTP() { Stop(); }

std::string TlqHTTP::Status() const
{
    std::lock_guard lock(statusMutex_);
    return status_;
}

std::string TlqHTTP::FailureText() const
{
    std::lock_guard lock(statusMutex_);
    return failedServer_.empty() ? status_ : status_ + " (" + failedServer_ + ")";
}

void TlqHTTP::SetStatus(const std::string &text)
{
    std::lock_guard lock(statusMutex_);
    status_ = text;
}

void TlqHTTP::InstallHandlers()
{
    HTTP.OnOpen = [this](TagSocket &) { SetStatus("Opening connection..."); };
    HTTP.OnHostFound = [this](TagSocket &) { SetStatus("Host Found"); };
    HTTP.OnSending = [this](TagSocket &) { streamBytes_ = 0; };
    HTTP.OnConnected = [this](TagSocket &) { SetStatus("Waiting for reply..."); };
    HTTP.OnProgress = [this](TagSocket &, int percent, int64_t transferred) {
        TlqHTTPState state = State();
        if (state != hsError && state != hsStopping) {
            SetState(hsDownloading);
            SetStatus("Downloading");
        }
        percent_ = percent;
        // Each request, body and chunk counts from zero: what a count grew
        // by since its last report, or all of it when it started anew.
        int64_t last = streamBytes_.exchange(transferred);
        int64_t grown = transferred >= last ? transferred - last : transferred;
        bytes_ += grown;
        if (QItem && QItem->task)
            QItem->task->totalBytes += grown;
    };
    HTTP.OnClosed = [this](TagSocket &) {
        TlqHTTPState state = State();
        if (state != hsError && state != hsStopping) {
            SetStatus("Connection closed");
            SetState(hsComplete);
        }
    };
    HTTP.OnError = [this](TagSocket &, std::string &message) {
        SetState(hsError);
        SetStatus(message);
        std::lock_guard lock(statusMutex_);
        failedServer_ = ServerKey(HTTP.URL());
    };
}

void TlqHTTP::Start()
{
    if (ThreadHTTP && ThreadHTTP->Running())
        Stop();
    TakeOutcome();
    ThreadHTTP.reset();
    HTTP.SetTimeOut(FetchTimeOut);
    HTTP.MinRate = MinRate;
    HTTP.MinRateWindow = MinRateWindow;
    HTTP.Tag = 0;
    SetState(hsConnecting);
    SetStatus("Connecting...");
    {
        std::lock_guard lock(statusMutex_);
        failedServer_.clear();
    }
    bytes_ = 0;
    percent_ = 0;

    TAVTask &task = *QItem->task;
    std::string root = task.WorkFolder();
    if (root.empty()) {
        // Never a file relative to wherever the program happens to run.
        SetState(hsError);
        SetStatus("Error: Failed to create file: " + URL);
        End();
        return;
    }
    root_ = root;
    localFile_ = LocalFileName(root, URLDirectory(URL), URL);
    credentialServer_ = task.url;
    HTTP.Body.Clear();
    HTTP.Body.SetSpillFolder(ExtractFilePath(localFile_));
    try {
        HTTP.SetProxy(Proxy);
        HTTP.ProxyUserName = ProxyUsername;
        HTTP.ProxyPassword = ProxyPassword;
        HTTP.SetURL(URL);
    } catch (const ENetError &) {
        // State and Status already tell why; the fetch has ended.
        End();
        return;
    }
    HTTP.UserAgent = task.UserAgentInUse();
    HTTP.AcceptInvalidCertificates = AcceptInvalidCertificates;
    ThreadHTTP = std::make_unique<TThreadHTTP>(*this);
    ThreadHTTP->Start();
}

void TlqHTTP::Stop()
{
    if (State() == hsIdle)
        return;
    SetState(hsStopping);
    HTTP.Cancel();
    // The worker may be waiting for the window thread to take its item.
    PumpEventsUntil([this] {
        HTTP.Cancel();
        return !ThreadHTTP || !ThreadHTTP->Running();
    });
    TakeOutcome();
    ThreadHTTP.reset();
    SetState(hsIdle);
}

void TlqHTTP::End()
{
    HTTP.Tag = 1;
    if (OnEnded)
        OnEnded();
}

void TlqHTTP::TakeOutcome()
{
    if (!Finished() || !outcome_)
        return;
    std::function<void()> outcome = std::move(outcome_);
    outcome_ = nullptr;
    outcome();
}

void TlqHTTP::FreeThread()
{
    TakeOutcome();
    ThreadHTTP.reset();
    if (State() != hsIdle && Finished())
        SetState(hsIdle);
}

} // namespace arvelo
