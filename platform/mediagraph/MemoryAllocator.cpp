#include "platform/mediagraph/MemoryAllocator.h"

#include "platform/mediagraph/BuiltinFactories.h"
#include "platform/mediagraph/MediaSample.h"

#include <algorithm>
#include <new>

namespace {

constexpr std::size_t RoundUp(std::size_t value, std::size_t multiple)
{
    return (value + multiple - 1) / multiple * multiple;
}

bool IsPowerOfTwo(LONG value) { return value > 0 && (value & (value - 1)) == 0; }

// Bytes of one buffer's block: the prefix, padded so the buffer starts aligned, then the buffer.
std::size_t PrefixBytes(const ALLOCATOR_PROPERTIES& p)
{
    return RoundUp(static_cast<std::size_t>(p.cbPrefix), static_cast<std::size_t>(p.cbAlign));
}

} // namespace

HRESULT CreateMemoryAllocator(IUnknown* outer, REFIID iid, void** object)
{
    return MemoryAllocator::Create(outer, iid, object);
}

MemoryAllocator::MemoryAllocator(std::size_t zeroBytesAfter, LONG leastBuffers)
    : zeroTail(zeroBytesAfter), minBuffers(leastBuffers)
{
}

MemoryAllocator::~MemoryAllocator() { FreeSlots(); }

HRESULT MemoryAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual)
{
    if (!request) return E_POINTER;
    std::lock_guard guard(lock);
    if (committed) return VFW_E_ALREADY_COMMITTED;
    if (!AllSamplesHome()) return VFW_E_BUFFERS_OUTSTANDING;
    if (!IsPowerOfTwo(request->cbAlign)) return VFW_E_BADALIGN;
    if (request->cBuffers < 0 || request->cbBuffer < 0 || request->cbPrefix < 0) return E_INVALIDARG;
    ALLOCATOR_PROPERTIES granted = *request;
    if (granted.cBuffers > 0) granted.cBuffers = std::max(granted.cBuffers, minBuffers);
    if (PoolBytes(granted) > kMaxPoolBytes) return E_OUTOFMEMORY;

    // Memory of an earlier commit was given back when the last sample came home.
    properties = granted;
    if (actual) *actual = properties;
    return S_OK;
}

HRESULT MemoryAllocator::GetProperties(ALLOCATOR_PROPERTIES* out)
{
    if (!out) return E_POINTER;
    std::lock_guard guard(lock);
    *out = properties;
    return S_OK;
}

HRESULT MemoryAllocator::Commit()
{
    std::lock_guard guard(lock);
    if (committed) return S_OK;
    if (properties.cBuffers <= 0 || properties.cbBuffer <= 0) return VFW_E_SIZENOTSET;
    // Samples still out from before a Decommit keep their buffers: the pool is reused.
    if (slots.empty()) {
        const HRESULT hr = AllocateSlots();
        if (FAILED(hr)) return hr;
    }
    committed = true;
    return S_OK;
}

HRESULT MemoryAllocator::Decommit()
{
    std::lock_guard guard(lock);
    if (!committed) return S_OK;
    committed = false;
    if (AllSamplesHome()) FreeSlots();
    sampleReturned.notify_all();
    return S_OK;
}

// The times are hints for allocators of display surfaces; ordinary memory has no use for them.
HRESULT MemoryAllocator::GetBuffer(IMediaSample** buffer, REFERENCE_TIME*, REFERENCE_TIME*, DWORD flags)
{
    if (!buffer) return E_POINTER;
    *buffer = nullptr;
    std::unique_lock guard(lock);
    for (;;) {
        if (!committed) return VFW_E_NOT_COMMITTED;
        if (!freeSamples.empty()) break;
        if (flags & AM_GBF_NOWAIT) return VFW_E_TIMEOUT;
        sampleReturned.wait(guard);
    }
    MediaSample* sample = freeSamples.back();
    freeSamples.pop_back();
    sample->HandOut(flags);
    *buffer = sample;
    return S_OK;
}

bool MemoryAllocator::Owns(IMediaSample* sample)
{
    std::lock_guard guard(lock);
    return std::any_of(slots.begin(), slots.end(),
                       [sample](const Slot& slot) { return static_cast<IMediaSample*>(slot.sample.get()) == sample; });
}

HRESULT MemoryAllocator::ReleaseBuffer(IMediaSample* buffer)
{
    if (!buffer) return E_POINTER;
    std::lock_guard guard(lock);
    const auto owned = std::find_if(slots.begin(), slots.end(), [buffer](const Slot& slot) {
        return static_cast<IMediaSample*>(slot.sample.get()) == buffer;
    });
    if (owned == slots.end()) return E_INVALIDARG;
    MediaSample* sample = owned->sample.get();
    if (std::find(freeSamples.begin(), freeSamples.end(), sample) != freeSamples.end()) return E_INVALIDARG;

    freeSamples.push_back(sample);
    if (!committed && AllSamplesHome()) {
        FreeSlots();
        return S_OK;
    }
    sampleReturned.notify_one();
    return S_OK;
}

std::size_t MemoryAllocator::BlockBytes(const ALLOCATOR_PROPERTIES& p) const
{
    return PrefixBytes(p) + RoundUp(static_cast<std::size_t>(p.cbBuffer), static_cast<std::size_t>(p.cbAlign)) +
           RoundUp(zeroTail, static_cast<std::size_t>(p.cbAlign));
}

std::size_t MemoryAllocator::PoolBytes(const ALLOCATOR_PROPERTIES& p) const
{
    const std::size_t perSample = BlockBytes(p) + sizeof(Slot) + sizeof(MediaSample) + sizeof(MediaSample*);
    return static_cast<std::size_t>(p.cBuffers) * perSample;
}

HRESULT MemoryAllocator::AllocateSlots()
{
    const std::size_t alignment = static_cast<std::size_t>(properties.cbAlign);
    const std::size_t blockBytes = BlockBytes(properties);
    const std::size_t prefixBytes = PrefixBytes(properties);
    try {
        slots.reserve(static_cast<std::size_t>(properties.cBuffers));
        freeSamples.reserve(static_cast<std::size_t>(properties.cBuffers));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    for (LONG i = 0; i < properties.cBuffers; ++i) {
        auto* block = static_cast<BYTE*>(::operator new(blockBytes, std::align_val_t(alignment), std::nothrow));
        if (block && zeroTail > 0) std::fill(block + prefixBytes + properties.cbBuffer, block + blockBytes, BYTE{0});
        auto* sample = block ? new (std::nothrow) MediaSample(this, block + prefixBytes, properties.cbBuffer) : nullptr;
        if (!sample) {
            ::operator delete(block, std::align_val_t(alignment));
            FreeSlots();
            return E_OUTOFMEMORY;
        }
        slots.push_back(Slot{block, std::unique_ptr<MediaSample>(sample)});
        freeSamples.push_back(sample);
    }
    return S_OK;
}

void MemoryAllocator::FreeSlots()
{
    const auto alignment = std::align_val_t(static_cast<std::size_t>(properties.cbAlign));
    for (Slot& slot : slots) {
        slot.sample.reset();
        ::operator delete(slot.block, alignment);
    }
    slots.clear();
    slots.shrink_to_fit();
    freeSamples.clear();
    freeSamples.shrink_to_fit();
}
