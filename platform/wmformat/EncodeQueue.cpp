#include "platform/wmformat/EncodeQueue.h"

#include <algorithm>
#include <chrono>

void EncodeQueue::Start(std::size_t streams)
{
    std::lock_guard guard(lock);
    for (EncodeItem& item : items) Keep(std::move(item.data));
    items.clear();
    flushing.assign(streams, false);
    ended.assign(streams, false);
    closedWith = S_OK;
    peak = 0;
}

HRESULT EncodeQueue::Push(EncodeItem item)
{
    std::unique_lock guard(lock);
    const std::size_t stream = item.stream;
    const bool end = item.kind == EncodeItem::Kind::End;
    HRESULT refusal = Refusal(stream, end);
    if (refusal == S_OK && !ended[stream]) {
        changed.wait(guard, [&] { return FAILED(closedWith) || flushing[stream] || items.size() < kCapacity; });
        refusal = Refusal(stream, end);
    }
    if (refusal != S_OK || ended[stream]) return refusal;
    ended[stream] = end;
    items.push_back(std::move(item));
    peak = std::max(peak, items.size());
    changed.notify_all();
    return S_OK;
}

HRESULT EncodeQueue::Admits(std::size_t stream) const
{
    std::lock_guard guard(lock);
    return Refusal(stream, false);
}

HRESULT EncodeQueue::Refusal(std::size_t stream, bool end) const
{
    if (FAILED(closedWith)) return closedWith;
    if (stream >= ended.size()) return E_INVALIDARG;
    if (flushing[stream]) return S_FALSE;
    if (ended[stream] && !end) return VFW_E_SAMPLE_REJECTED_EOS;
    return S_OK;
}

bool EncodeQueue::Pop(EncodeItem* item)
{
    std::unique_lock guard(lock);
    changed.wait(guard, [&] { return FAILED(closedWith) || !items.empty(); });
    if (FAILED(closedWith)) return false;
    *item = std::move(items.front());
    items.pop_front();
    changed.notify_all();
    return true;
}

std::vector<BYTE> EncodeQueue::TakeBuffer()
{
    std::lock_guard guard(lock);
    if (spare.empty()) return {};
    std::vector<BYTE> buffer = std::move(spare.back());
    spare.pop_back();
    return buffer;
}

void EncodeQueue::GiveBack(std::vector<BYTE> buffer)
{
    std::lock_guard guard(lock);
    Keep(std::move(buffer));
}

void EncodeQueue::Keep(std::vector<BYTE> buffer)
{
    // One for each queued item, the one being written and the one being filled.
    if (buffer.capacity() > 0 && spare.size() < kCapacity + 2) spare.push_back(std::move(buffer));
}

bool EncodeQueue::Close(HRESULT reason)
{
    std::lock_guard guard(lock);
    if (FAILED(closedWith)) return false;
    closedWith = reason;
    for (EncodeItem& item : items) Keep(std::move(item.data));
    items.clear();
    changed.notify_all();
    return true;
}

void EncodeQueue::BeginFlush(std::size_t stream)
{
    std::lock_guard guard(lock);
    if (stream >= flushing.size()) return;
    flushing[stream] = true;
    const auto dropped = std::stable_partition(items.begin(), items.end(),
                                               [&](const EncodeItem& item) { return item.stream != stream; });
    for (auto it = dropped; it != items.end(); ++it) {
        if (it->kind == EncodeItem::Kind::End) ended[stream] = false;
        Keep(std::move(it->data));
    }
    items.erase(dropped, items.end());
    changed.notify_all();
}

void EncodeQueue::EndFlush(std::size_t stream)
{
    std::lock_guard guard(lock);
    if (stream < flushing.size()) flushing[stream] = false;
}

std::size_t EncodeQueue::PeakDepth() const
{
    std::lock_guard guard(lock);
    return peak;
}

bool EncodeQueue::WaitForPeakDepth(std::size_t depth, DWORD limitMs)
{
    std::unique_lock guard(lock);
    return changed.wait_for(guard, std::chrono::milliseconds(limitMs), [&] { return peak >= depth; });
}
