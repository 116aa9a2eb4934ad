#pragma once

#include "core/WorkerThread.h"
#include "net/HTTP.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace arvelo {

class TAVQItem;
class TlqHTTP;
class TRobotsCache;

enum TlqHTTPState : uint8_t { hsIdle, hsConnecting, hsDownloading, hsComplete, hsError, hsStopping };

// The fetch of one item: HEAD, then GET when there is a body to fetch,
// following redirects, resuming partial files and asking only for changes
// when the item is updated. A new one is made for every fetch and runs on
// its slot's worker thread; the item is changed and published on the window
// thread, once, with its whole outcome: the slot's owner takes it there
// with the ended fetch (TlqHTTP::TakeOutcome), without a hand-over of its own.
class TThreadHTTP {
public:
    // Passes of one fetch (redirects followed, replies without a status).
    static constexpr int kMaxPasses = 20;

    explicit TThreadHTTP(TlqHTTP &owner);
    ~TThreadHTTP();
    TThreadHTTP(const TThreadHTTP &) = delete;
    TThreadHTTP &operator=(const TThreadHTTP &) = delete;

    void Start();
    bool Running() const { return running_.load(); }

    // Of the last reply read; only the worker touches them while it runs.
    std::string StatusCode, StatusText, Location, ContentLength, LastModified;

private:
    void Execute();
    void Pass(int &passes);
    // The last reply sends the item elsewhere and says where.
    bool Redirected() const;
    // Moves the fetch to the reply's Location; a target that is not an
    // http or https address ends the item as an error.
    void FollowRedirect(int &passes);
    void ParseReply();
    bool UseCredentials() const;
    int Head();
    int Get();
    // What became of a body written into the item's file.
    enum class TSaved { kNotASuccess, kSaved, kFailed };
    // On the worker's own thread: the window thread never waits for the disk.
    TSaved WriteBody();
    // On the window thread: what the item says about its file. A file that
    // could not be written makes the item an error with the system's reason.
    void RecordSaved(TSaved saved);
    // Changes the item, after the deferred changes, and publishes it, on
    // the window thread; with release its fields go back to the item list.
    void Publish(const std::function<void(TAVQItem &)> &change, bool release = false);
    // The same, on the window thread already.
    void Apply(const std::function<void(TAVQItem &)> &change, bool release);
    // A change for the next Publish: what a reply says before the fetch
    // ends costs no hand-over of its own.
    void Defer(std::function<void(TAVQItem &)> change);
    [[noreturn]] void Fail(int code);
    // Whether the robots rules of the address's server let it be fetched,
    // reading the server's robots.txt first when no fetch has yet.
    bool RobotsAllow();
    std::string FetchRobots(const std::string &robotsURL);

    TlqHTTP &owner_;
    TagHTTP &http_;
    TAVQItem &item_;
    std::vector<std::function<void(TAVQItem &)>> deferred_;
    std::atomic<bool> running_{false};
    // Why WriteBody failed: the system's text, and whether the whole
    // destination is unwritable rather than this one file.
    std::string writeFailure_;
    bool destinationUnwritable_ = false;
};

// The fetch component of a connection slot. The slot fills in the address,
// the item, the credentials and the proxy and calls Start on the window
// thread; when HTTP.Tag is 1 the fetch has ended with State hsComplete, or
// hsError with the error text in Status, and the item holds the outcome.
class TlqHTTP {
public:
    TlqHTTP();
    ~TlqHTTP();
    TlqHTTP(const TlqHTTP &) = delete;
    TlqHTTP &operator=(const TlqHTTP &) = delete;

    TagHTTP HTTP;
    std::unique_ptr<TThreadHTTP> ThreadHTTP;
    std::string URL;
    TAVQItem *QItem = nullptr;
    std::string Proxy, ProxyUsername, ProxyPassword;
    std::string UserName, Password;
    bool AcceptInvalidCertificates = false;
    // Seconds each wait of a fetch may last.
    int FetchTimeOut = 300;
    // Bytes a second a reply must bring over each window of seconds; 0 for
    // no minimum.
    int64_t MinRate = 0;
    int MinRateWindow = 60;
    // The pause between two requests of this connection.
    std::chrono::milliseconds WaitBetween{0};
    // The robots.txt rules the item's address must pass; none when empty.
    std::shared_ptr<TRobotsCache> Robots;
    // Called when a fetch has ended (HTTP.Tag is 1), from the worker or,
    // when it ends at once, from Start. Set it before the first fetch.
    std::function<void()> OnEnded;

    TlqHTTPState State() const { return state_.load(); }
    void SetState(TlqHTTPState state) { state_ = state; }
    std::string Status() const;
    // The status of a fetch that failed, naming the server when the
    // connection to it failed ("[10061] Connection refused (127.0.0.1:1)").
    std::string FailureText() const;
    int Percent() const { return percent_.load(); }
    int64_t Bytes() const { return bytes_.load(); }
    // True once the worker has finished (HTTP.Tag is 1).
    bool Finished() const { return HTTP.Tag.load() == 1; }
    // Window thread, once the fetch has ended: records in the item what the
    // worker left for it (its result, file and state) and publishes it.
    // FreeThread and Stop take it too.
    void TakeOutcome();
    // The local file of the item, and the server its task's credentials belong to.
    const std::string &LocalFile() const { return localFile_; }
    // The folder the task's files go into.
    const std::string &Root() const { return root_; }
    const std::string &CredentialServer() const { return credentialServer_; }

    // Starts fetching; a proxy or address that is refused ends the fetch at
    // once, with State hsError.
    void Start();
    // Cancels a fetch under way, waits for the worker and returns to hsIdle.
    void Stop();
    // Frees the finished worker and returns to hsIdle.
    void FreeThread();

    void SetStatus(const std::string &text);
    // Marks the fetch as ended and says so.
    void End();

private:
    friend class TThreadHTTP;
    void InstallHandlers();
    // Worker: what TakeOutcome records, left before the fetch ends.
    void LeaveOutcome(std::function<void()> outcome) { outcome_ = std::move(outcome); }

    // Runs every fetch of the slot: no thread is started per fetch.
    TWorkerThread worker_;
    std::atomic<TlqHTTPState> state_{hsIdle};
    mutable std::mutex statusMutex_;
    std::string status_;
    // The server whose connection failed, for FailureText.
    std::string failedServer_;
    std::atomic<int> percent_{0};
    std::atomic<int64_t> bytes_{0};       // of the whole fetch
    std::atomic<int64_t> streamBytes_{0}; // the last count of the request or body under way
    std::string localFile_, root_, credentialServer_;
    std::function<void()> outcome_; // the worker's until the end, then the window's
    bool fetchedBefore_ = false;    // the worker's: WaitBetween goes before every fetch but the first
};

// A status that sends the request elsewhere: 301, 302, 303, 307 or 308.
bool IsRedirect(const std::string &statusCode);
// True when two addresses name the same host and port (80, or 443 for https, when none).
bool SameServer(const std::string &a, const std::string &b);
// Whether the task's credentials, which belong to the start address, may be
// sent to an address: the same host and port, and never from https to http.
bool CredentialsGoTo(const std::string &url, const std::string &credentialServer);

} // namespace arvelo
