#include "tests/picsource/TestSinkPin.h"

#include "platform/thread/Threads.h"

#include <cstring>

namespace {

void FreeType(AM_MEDIA_TYPE& type)
{
    if (type.pbFormat) CoTaskMemFree(type.pbFormat);
    type.pbFormat = nullptr;
    type.cbFormat = 0;
}

void CopyType(AM_MEDIA_TYPE& target, const AM_MEDIA_TYPE& source)
{
    target = source;
    target.pUnk = nullptr;
    if (source.cbFormat) {
        target.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source.cbFormat));
        std::memcpy(target.pbFormat, source.pbFormat, source.cbFormat);
    }
}

// Hands out the sink's offered types one at a time.
class TypeList final : public IEnumMediaTypes {
public:
    explicit TypeList(const std::vector<AM_MEDIA_TYPE>& offered) : types(offered) {}

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IEnumMediaTypes) {
            *object = static_cast<IEnumMediaTypes*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override
    {
        const ULONG left = --references;
        if (left == 0) delete this;
        return left;
    }
    HRESULT Next(ULONG count, AM_MEDIA_TYPE** out, ULONG* fetched) override
    {
        ULONG given = 0;
        while (given < count && position < types.size()) {
            auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
            CopyType(*type, types[position++]);
            out[given++] = type;
        }
        if (fetched) *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override
    {
        position += count;
        return position <= types.size() ? S_OK : S_FALSE;
    }
    HRESULT Reset() override
    {
        position = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumMediaTypes**) override { return E_NOTIMPL; }

private:
    ~TypeList() = default;
    std::atomic<ULONG> references{1};
    const std::vector<AM_MEDIA_TYPE>& types;
    std::size_t position = 0;
};

} // namespace

TestSinkPin::TestSinkPin() = default;

TestSinkPin::~TestSinkPin()
{
    ReleaseHeldSamples();
    ClearConnection();
    for (AM_MEDIA_TYPE& type : offered) FreeType(type);
}

void TestSinkPin::Offer(const AM_MEDIA_TYPE& type)
{
    AM_MEDIA_TYPE copy;
    CopyType(copy, type);
    offered.push_back(copy);
}

void TestSinkPin::UseOwnAllocator()
{
    CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                     ownAllocator.ReceiveVoid());
}

void TestSinkPin::ReleaseHeldSamples()
{
    // The samples go home at the end of this function, outside the lock.
    std::vector<ComPtr<IMediaSample>> samples;
    {
        std::lock_guard guard(lock);
        samples.swap(held);
        holdLimit = 0;
    }
}

bool TestSinkPin::WaitForFrames(std::size_t count, std::chrono::milliseconds limit)
{
    std::unique_lock guard(lock);
    return changed.wait_for(guard, limit, [&] { return frames.size() >= count; });
}

bool TestSinkPin::WaitForEndOfStream(std::chrono::milliseconds limit)
{
    std::unique_lock guard(lock);
    return changed.wait_for(guard, limit, [&] { return endOfStream; });
}

std::vector<TestSinkPin::Frame> TestSinkPin::Frames()
{
    std::lock_guard guard(lock);
    return frames;
}

std::vector<std::string> TestSinkPin::Events()
{
    std::lock_guard guard(lock);
    return events;
}

void TestSinkPin::Record(const std::string& event)
{
    {
        std::lock_guard guard(lock);
        events.push_back(event);
    }
    changed.notify_all();
}

void TestSinkPin::ClearConnection()
{
    peer.Reset();
    notifiedAllocator.Reset();
    FreeType(receivedType);
    receivedType = AM_MEDIA_TYPE{};
}

HRESULT TestSinkPin::QueryInterface(REFIID iid, void** object)
{
    if (iid == IID_IUnknown || iid == IID_IPin) {
        *object = static_cast<IPin*>(this);
    } else if (iid == IID_IMemInputPin && direction == PINDIR_INPUT) {
        *object = static_cast<IMemInputPin*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT TestSinkPin::Connect(IPin*, const AM_MEDIA_TYPE*) { return E_UNEXPECTED; }

HRESULT TestSinkPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mediaType)
{
    if (peer) return VFW_E_ALREADY_CONNECTED;
    peer = ComPtr<IPin>(connector);
    CopyType(receivedType, *mediaType);
    return S_OK;
}

HRESULT TestSinkPin::Disconnect()
{
    if (!peer) return S_FALSE;
    ClearConnection();
    return S_OK;
}

HRESULT TestSinkPin::ConnectedTo(IPin** pin)
{
    *pin = ComPtr<IPin>(peer).Detach();
    return peer ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT TestSinkPin::ConnectionMediaType(AM_MEDIA_TYPE* mediaType)
{
    CopyType(*mediaType, receivedType);
    return S_OK;
}

HRESULT TestSinkPin::QueryPinInfo(PIN_INFO* info)
{
    info->pFilter = nullptr;
    info->dir = direction;
    info->achName[0] = 0;
    return S_OK;
}

HRESULT TestSinkPin::QueryDirection(PIN_DIRECTION* result)
{
    *result = direction;
    return S_OK;
}

HRESULT TestSinkPin::QueryId(LPWSTR*) { return E_NOTIMPL; }

HRESULT TestSinkPin::QueryAccept(const AM_MEDIA_TYPE*) { return S_OK; }

HRESULT TestSinkPin::EnumMediaTypes(IEnumMediaTypes** types)
{
    *types = new TypeList(offered);
    return S_OK;
}

HRESULT TestSinkPin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

HRESULT TestSinkPin::EndOfStream()
{
    {
        std::lock_guard guard(lock);
        endOfStream = true;
    }
    Record("EndOfStream");
    return S_OK;
}

HRESULT TestSinkPin::BeginFlush()
{
    {
        std::lock_guard guard(lock);
        flushing = true;
    }
    ReleaseHeldSamples();
    Record("BeginFlush");
    return S_OK;
}

HRESULT TestSinkPin::EndFlush()
{
    {
        std::lock_guard guard(lock);
        flushing = false;
    }
    Record("EndFlush");
    return S_OK;
}

HRESULT TestSinkPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME, double)
{
    {
        std::lock_guard guard(lock);
        endOfStream = false;
    }
    Record("NewSegment " + std::to_string(start));
    return S_OK;
}

HRESULT TestSinkPin::GetAllocator(IMemAllocator** allocator)
{
    *allocator = ComPtr<IMemAllocator>(ownAllocator).Detach();
    return ownAllocator ? S_OK : VFW_E_NO_ALLOCATOR;
}

HRESULT TestSinkPin::NotifyAllocator(IMemAllocator* allocator, BOOL)
{
    notifiedAllocator = ComPtr<IMemAllocator>(allocator);
    return S_OK;
}

HRESULT TestSinkPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

HRESULT TestSinkPin::Receive(IMediaSample* sample)
{
    Frame frame;
    BYTE* pointer = nullptr;
    sample->GetPointer(&pointer);
    frame.bytes.assign(pointer, pointer + sample->GetSize());
    sample->GetTime(&frame.start, &frame.stop);
    frame.syncPoint = sample->IsSyncPoint() == S_OK;
    frame.threadPriority = GetThreadPriority(GetCurrentThread());
    {
        std::lock_guard guard(lock);
        if (flushing) return S_FALSE;
        frames.push_back(std::move(frame));
        events.push_back("Frame");
        if (static_cast<int>(held.size()) < holdLimit) held.emplace_back(sample);
    }
    changed.notify_all();
    return S_OK;
}

HRESULT TestSinkPin::ReceiveMultiple(IMediaSample**, LONG, LONG*) { return E_NOTIMPL; }
