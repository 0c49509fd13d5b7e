// CLSID_MemoryAllocator: a fixed pool of equal buffers in ordinary memory,
// handed out one at a time as media samples.
//
// Properties can change only while the allocator is decommitted and every
// sample is home. Commit obtains the buffers; Decommit wakes every thread
// waiting in GetBuffer (they answer VFW_E_NOT_COMMITTED) and gives the memory
// back as soon as the last sample in use has come home.
//
// Each buffer starts on a multiple of cbAlign, with cbPrefix bytes of its own
// block in front of it. A pool larger than kMaxPoolBytes in all is refused with
// E_OUTOFMEMORY, so no request can exhaust the process's memory.
//
// A filter that offers its own allocator to the pin upstream (so that samples
// reach it without a copy) may ask for zero bytes after each buffer, for readers
// that read past a buffer's end, and for a least number of buffers, so that the
// sender fills one while the filter still holds others.
#pragma once

#include "platform/mediagraph/MediaGraph.h"
#include "platform/mediagraph/PlatformObject.h"

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

class MediaSample;

class MemoryAllocator final : public PlatformObject<MemoryAllocator, IMemAllocator, IID_IMemAllocator> {
public:
    static constexpr std::size_t kMaxPoolBytes = std::size_t{1} << 30;

    MemoryAllocator() = default;
    MemoryAllocator(std::size_t zeroBytesAfter, LONG leastBuffers);
    MemoryAllocator(const MemoryAllocator&) = delete;
    MemoryAllocator& operator=(const MemoryAllocator&) = delete;

    HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
    HRESULT GetProperties(ALLOCATOR_PROPERTIES* properties) override;
    HRESULT Commit() override;
    HRESULT Decommit() override;
    HRESULT GetBuffer(IMediaSample** buffer, REFERENCE_TIME* start, REFERENCE_TIME* end, DWORD flags) override;
    HRESULT ReleaseBuffer(IMediaSample* buffer) override;

    // Whether the sample is one of this pool's.
    bool Owns(IMediaSample* sample);

private:
    friend PlatformObject;
    ~MemoryAllocator();

    struct Slot {
        BYTE* block;
        std::unique_ptr<MediaSample> sample;
    };

    // Everything a pool of these properties takes: the blocks and the bookkeeping of each sample.
    std::size_t PoolBytes(const ALLOCATOR_PROPERTIES& p) const;
    std::size_t BlockBytes(const ALLOCATOR_PROPERTIES& p) const;
    bool AllSamplesHome() const { return freeSamples.size() == slots.size(); }
    HRESULT AllocateSlots();
    void FreeSlots();

    const std::size_t zeroTail = 0;
    const LONG minBuffers = 0;
    std::mutex lock;
    std::condition_variable sampleReturned;
    ALLOCATOR_PROPERTIES properties{};
    bool committed = false;
    std::vector<Slot> slots;
    std::vector<MediaSample*> freeSamples;
};
