#include "crawl/Slots.h"

#include "core/App.h"
#include "model/DownloadItem.h"
#include "model/Task.h"

#include <algorithm>

namespace arvelo {

TAVSocket::TAVSocket(TSlotList &owner) : slots(owner) {}

TSlotList::TSlotList()
{
    if (TAVApp *app = TAVApp::Instance()) {
        connections_ = std::clamp(app->Connections(), 1, 16);
        minRate = app->MinimumRate();
    }
}

TSlotList::~TSlotList()
{
    std::vector<std::unique_ptr<TAVSocket>> slots;
    {
        std::lock_guard lock(mutex_);
        slots.swap(slots_);
    }
    for (auto &slot : slots)
        slot->HTTP.Stop();
}

size_t TSlotList::Count() const
{
    std::lock_guard lock(mutex_);
    return slots_.size();
}

std::vector<TAVSocket *> TSlotList::Snapshot() const
{
    std::lock_guard lock(mutex_);
    std::vector<TAVSocket *> slots;
    slots.reserve(slots_.size());
    for (const auto &slot : slots_)
        slots.push_back(slot.get());
    return slots;
}

void TSlotList::AddSlot()
{
    auto slot = std::make_unique<TAVSocket>(*this);
    slot->HTTP.FetchTimeOut = fetchTimeOut;
    slot->HTTP.OnEnded = [this] {
        if (OnFetchEnded)
            OnFetchEnded();
    };
    std::lock_guard lock(mutex_);
    slots_.push_back(std::move(slot));
}

void TSlotList::SetSlotCount(int n)
{
    while (static_cast<int>(Count()) < n)
        AddSlot();
    if (!running) {
        for (;;) {
            std::unique_ptr<TAVSocket> surplus;
            {
                std::lock_guard lock(mutex_);
                if (static_cast<int>(slots_.size()) <= connections_.load())
                    break;
                surplus = std::move(slots_.back());
                slots_.pop_back();
            }
            surplus->HTTP.Stop();
        }
    }
    if (OnSlotsChanged)
        OnSlotsChanged();
}

void TSlotList::SetConnections(int n, bool store)
{
    n = std::clamp(n, 1, 16);
    connections_ = n;
    SetSlotCount(n);
    if (TAVApp *app = TAVApp::Instance(); app && store)
        app->SetConnections(n);
}

void TSlotList::FreeSlot(TAVSocket *slot)
{
    std::unique_ptr<TAVSocket> freed;
    {
        std::lock_guard lock(mutex_);
        auto at = std::find_if(slots_.begin(), slots_.end(), [&](const auto &s) { return s.get() == slot; });
        if (at == slots_.end())
            return;
        freed = std::move(*at);
        slots_.erase(at);
    }
    freed->HTTP.Stop();
    freed.reset();
    if (OnSlotsChanged)
        OnSlotsChanged();
}

void TSlotList::StopAllSlots()
{
    std::vector<std::unique_ptr<TAVSocket>> slots;
    {
        std::lock_guard lock(mutex_);
        slots.swap(slots_);
    }
    while (!slots.empty()) {
        slots.back()->HTTP.Stop();
        slots.pop_back();
    }
    // As many fresh slots as connections are wanted, which may be fewer than
    // there were when the number was lowered during the run.
    SetSlotCount(connections_.load());
}

void TSlotList::StartFetch(TAVSocket &slot, TAVQItem &item)
{
    item.LoadFields();
    slot.HTTP.URL = item.LoadedText().URL;
    // Under a ceiling a connection may get less than the minimum: the
    // minimum is lowered to half of each connection's share of it.
    slot.HTTP.MinRate = rateLimit ? std::min(minRate, rateLimit->BytesPerSecond() / (2 * std::max(1, Connections()))) : minRate;
    slot.HTTP.MinRateWindow = minRateWindow;
    slot.HTTP.WaitBetween = waitBetween;
    slot.HTTP.HTTP.RateLimit = rateLimit;
    slot.HTTP.HTTP.ExtraHeaders = extraHeaders;
    // The start address is fetched whatever robots.txt says: the user asked for it.
    const bool start = item.task->items.ItemCount() > 0 && item.task->items.Item(0) == &item;
    slot.HTTP.Robots = start ? nullptr : item.task->robots;
    slot.item = &item;
    if (TAVApp *app = TAVApp::Instance(); app && app->UseProxy()) {
        slot.HTTP.Proxy = app->ProxyAddress().empty() ? std::string()
                                                       : app->ProxyAddress() + ":" + app->ProxyPort();
        const std::string &credentials = app->ProxyAuthorization();
        if (!credentials.empty()) {
            size_t colon = credentials.find(':');
            slot.HTTP.ProxyUsername = credentials.substr(0, colon);
            slot.HTTP.ProxyPassword = colon == std::string::npos ? std::string() : credentials.substr(colon + 1);
        }
    }
    slot.HTTP.AcceptInvalidCertificates =
        item.task->profile.acceptInvalidCertificates || (TAVApp::Instance() && TAVApp::Instance()->AcceptInvalidCertificates());
    slot.HTTP.UserName = item.task->userName;
    slot.HTTP.Password = item.task->password;
    slot.HTTP.QItem = &item;
    item.SetState(item.Mark() == imUpdate ? isUpdating : isDownloading);
    item.Publish(false);
    slot.HTTP.Start();
}

std::string TSlotList::ProgressText(int percent)
{
    if (percent < 0)
        return "  ?";
    // One bar segment for every whole ten percent.
    std::string bar;
    for (int i = 0; i < percent / 10; ++i)
        bar += "\u2588";
    return bar + "  " + std::to_string(percent) + "%";
}

void TSlotList::ShowRow(TAVSocket &slot)
{
    if (OnShowRow)
        OnShowRow(slot);
}

} // namespace arvelo
