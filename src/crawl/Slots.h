#pragma once

#include "net/Fetch.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace arvelo {

class TAVQItem;
class TSlotList;

// One connection slot: fetches one item at a time through its component.
class TAVSocket {
public:
    explicit TAVSocket(TSlotList &owner);
    TAVSocket(const TAVSocket &) = delete;
    TAVSocket &operator=(const TAVSocket &) = delete;

    TAVQItem *item = nullptr; // fetched last or now; not owned
    TlqHTTP HTTP;
    TSlotList &slots;
    void *row = nullptr; // the window's row; not owned

    // What the row shows, refreshed by the dispatcher's statistics step.
    std::string retrieving;
    std::string status = "Idle";
    int32_t percent = 0;
    int64_t bytes = 0, size = 0;

    // Idle until a fetch starts, busy until its result has been taken back.
    bool Idle() const { return HTTP.State() == hsIdle; }
};

// The connection slots in the order of their rows, and the number of
// connections wanted. The list changes on the window thread only; the
// dispatcher reads it from its own thread, so the list itself is locked.
class TSlotList {
public:
    TSlotList();
    ~TSlotList();
    TSlotList(const TSlotList &) = delete;
    TSlotList &operator=(const TSlotList &) = delete;

    // Adds slots up to n; with no run under way, frees the surplus beyond
    // the wanted number. During a run the dispatcher frees idle surplus slots.
    void SetSlotCount(int n);
    // The wanted number (1 to 16), stored as the Connections preference
    // unless told otherwise.
    void SetConnections(int n, bool store = true);
    int Connections() const { return connections_.load(); }
    // Stops every fetch and frees every slot, then makes as many fresh ones.
    void StopAllSlots();
    // Frees one slot.
    void FreeSlot(TAVSocket *slot);
    void StartFetch(TAVSocket &slot, TAVQItem &item);

    size_t Count() const;
    // The slots as they are now; the pointers stay valid until the window
    // thread frees a slot.
    std::vector<TAVSocket *> Snapshot() const;

    // Whether a run is under way (the window's download animation).
    std::atomic<bool> running{false};
    // Seconds each wait of a fetch may last, for slots made from now on.
    int fetchTimeOut = 300;
    // The bytes a second a reply must bring over each window of seconds
    // (the preference "Minimum Rate", 0 for none), for fetches from now on.
    int64_t minRate = 1024;
    int minRateWindow = 60;
    // For fetches from now on: the pause between two requests of a
    // connection, the ceiling all connections share (none when empty) and
    // header lines sent with every request.
    std::chrono::milliseconds waitBetween{0};
    std::shared_ptr<TRateLimit> rateLimit;
    std::vector<std::string> extraHeaders;

    // Called on the window thread when slots come or go, and when a row is
    // to be redrawn.
    std::function<void()> OnSlotsChanged;
    std::function<void(TAVSocket &)> OnShowRow;
    // Called from a fetch's worker (or the window thread) when a fetch ends.
    std::function<void()> OnFetchEnded;

    void ShowRow(TAVSocket &slot);
    // The row's "Progress" column.
    static std::string ProgressText(int percent);

private:
    void AddSlot();

    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<TAVSocket>> slots_;
    std::atomic<int> connections_{10};
};

} // namespace arvelo
