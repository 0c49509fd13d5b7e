// The short queue between a writer's inputs and its encoding thread: the
// senders' threads put their samples into it (copied, or held when they are
// the writer's own buffers) and go back to make the next one while the thread
// encodes the one before. It holds at most kCapacity
// items, whatever the length of the movie; a sender finding it full waits,
// and nothing queued is dropped except by a flush of its input or the end of
// the run. Items leave in the order they came, across all inputs, so the
// encoders see what a writer encoding on the senders' threads would see.
//
// Buffers of written items are kept for the next ones, so a run allocates
// only its first few.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/MediaGraph.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

struct EncodeItem {
    enum class Kind { Video, Audio, End };
    Kind kind = Kind::End;
    std::size_t stream = 0;
    // The sample's bytes, then zeros: `size` counts the sample's. They are the
    // sample's own buffer when it is one of the writer's, else a copy in `data`.
    ComPtr<IMediaSample> sample;
    std::vector<BYTE> data;
    const BYTE* bytes = nullptr;
    std::size_t size = 0;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
};

class EncodeQueue {
public:
    // Enough for the sender to run a picture ahead while sound comes in between.
    static constexpr std::size_t kCapacity = 3;

    // A run of `streams` inputs begins: empty and taking items. Until then
    // the queue is closed with VFW_E_WRONG_STATE.
    void Start(std::size_t streams);
    // What Push would answer now for an item of this input, without waiting.
    HRESULT Admits(std::size_t stream) const;
    // Queues an item, waiting while the queue is full. S_OK, or why it was not
    // taken: the reason the queue was closed with; S_FALSE while its input
    // flushes; VFW_E_SAMPLE_REJECTED_EOS after its input's end. A second end of
    // one input is taken without being queued.
    HRESULT Push(EncodeItem item);
    // The next item, waiting while there is none; false once closed.
    bool Pop(EncodeItem* item);
    // A buffer for a new item: one given back, or a new one.
    std::vector<BYTE> TakeBuffer();
    void GiveBack(std::vector<BYTE> buffer);
    // Empties the queue; every Push from now on answers `reason`, and waiting
    // senders and the encoding thread are woken. True for the first close of a run.
    bool Close(HRESULT reason);
    // An input's queued items are dropped, its end too, and its samples are refused until EndFlush.
    void BeginFlush(std::size_t stream);
    void EndFlush(std::size_t stream);
    // The most items the queue has held during the run.
    std::size_t PeakDepth() const;
    // Waits until the queue has held `depth` items during the run, or `limitMs` has
    // passed; whether it has.
    bool WaitForPeakDepth(std::size_t depth, DWORD limitMs);

private:
    // Under the lock.
    HRESULT Refusal(std::size_t stream, bool end) const;
    void Keep(std::vector<BYTE> buffer);

    mutable std::mutex lock;
    std::condition_variable changed;
    std::deque<EncodeItem> items;
    std::vector<std::vector<BYTE>> spare;
    std::vector<bool> flushing;
    std::vector<bool> ended;
    HRESULT closedWith = VFW_E_WRONG_STATE;
    std::size_t peak = 0;
};
