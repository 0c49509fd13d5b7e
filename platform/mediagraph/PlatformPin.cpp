#include "platform/mediagraph/PlatformPin.h"

#include "platform/mediagraph/PlatformFilter.h"
#include "platform/mediagraph/SnapshotEnumerator.h"

#include <algorithm>
#include <cstring>

PlatformPin::PlatformPin(PlatformFilter& owner, std::u16string pinName, PIN_DIRECTION pinDirection)
    : filter(owner), name(std::move(pinName)), direction(pinDirection)
{
}

HRESULT PlatformPin::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
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

ULONG PlatformPin::AddRef() { return filter.AddRef(); }
ULONG PlatformPin::Release() { return filter.Release(); }

HRESULT PlatformPin::CheckConnectable() const
{
    if (peer) return VFW_E_ALREADY_CONNECTED;
    if (filter.State() != State_Stopped) return VFW_E_NOT_STOPPED;
    return S_OK;
}

HRESULT PlatformPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE*)
{
    if (!receivePin) return E_POINTER;
    return E_UNEXPECTED;
}

void PlatformPin::KeepConnection(IPin* receivePin, const AM_MEDIA_TYPE& type)
{
    peer = ComPtr<IPin>(receivePin);
    connectionType.Assign(WithoutInterface(type));
}

HRESULT PlatformPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mediaType)
{
    if (!connector || !mediaType) return E_POINTER;
    if (direction != PINDIR_INPUT) return E_UNEXPECTED;
    std::lock_guard guard(filter.Lock());
    HRESULT hr = CheckConnectable();
    if (FAILED(hr)) return hr;
    PIN_DIRECTION peerDirection;
    if (FAILED(connector->QueryDirection(&peerDirection)) || peerDirection == direction) {
        return VFW_E_INVALID_DIRECTION;
    }
    if (CheckMediaType(*mediaType) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    KeepConnection(connector, *mediaType);
    hr = CompleteConnect();
    if (FAILED(hr)) {
        BreakConnect();
        peer.Reset();
        connectionType.Clear();
    }
    return hr;
}

HRESULT PlatformPin::Disconnect()
{
    std::lock_guard guard(filter.Lock());
    if (filter.State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!peer) return S_FALSE;
    BreakConnect();
    peer.Reset();
    connectionType.Clear();
    allocator.Reset();
    return S_OK;
}

HRESULT PlatformPin::ConnectedTo(IPin** pin)
{
    if (!pin) return E_POINTER;
    std::lock_guard guard(filter.Lock());
    *pin = ComPtr<IPin>(peer).Detach();
    return *pin ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT PlatformPin::ConnectionMediaType(AM_MEDIA_TYPE* mediaType)
{
    if (!mediaType) return E_POINTER;
    std::lock_guard guard(filter.Lock());
    if (!peer) {
        BlankMediaType(*mediaType);
        return VFW_E_NOT_CONNECTED;
    }
    return connectionType.CopyTo(mediaType);
}

HRESULT PlatformPin::QueryPinInfo(PIN_INFO* info)
{
    if (!info) return E_POINTER;
    info->pFilter = &filter;
    filter.AddRef();
    info->dir = direction;
    const std::size_t length = std::min<std::size_t>(name.size(), MAX_PIN_NAME - 1);
    std::copy_n(name.begin(), length, info->achName);
    info->achName[length] = u'\0';
    return S_OK;
}

HRESULT PlatformPin::QueryDirection(PIN_DIRECTION* result)
{
    if (!result) return E_POINTER;
    *result = direction;
    return S_OK;
}

HRESULT PlatformPin::QueryId(LPWSTR* id)
{
    if (!id) return E_POINTER;
    const std::size_t bytes = (name.size() + 1) * sizeof(WCHAR);
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*id) return E_OUTOFMEMORY;
    std::memcpy(*id, name.c_str(), bytes);
    return S_OK;
}

HRESULT PlatformPin::QueryAccept(const AM_MEDIA_TYPE* mediaType)
{
    if (!mediaType) return E_POINTER;
    std::lock_guard guard(filter.Lock());
    return CheckMediaType(*mediaType) == S_OK ? S_OK : S_FALSE;
}

HRESULT PlatformPin::EnumMediaTypes(IEnumMediaTypes** types)
{
    if (!types) return E_POINTER;
    ComPtr<IBaseFilter> owner(&filter);
    *types = MediaTypeEnumerator::Make([owner, this] {
        std::lock_guard guard(filter.Lock());
        return OfferedTypes();
    });
    return *types ? S_OK : E_OUTOFMEMORY;
}

HRESULT PlatformPin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }
HRESULT PlatformPin::EndOfStream() { return E_UNEXPECTED; }
HRESULT PlatformPin::BeginFlush() { return E_UNEXPECTED; }
HRESULT PlatformPin::EndFlush() { return E_UNEXPECTED; }
HRESULT PlatformPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

HRESULT PlatformPin::GetAllocator(IMemAllocator** result)
{
    if (!result) return E_POINTER;
    *result = nullptr;
    return VFW_E_NO_ALLOCATOR;
}

HRESULT PlatformPin::NotifyAllocator(IMemAllocator* newAllocator, BOOL)
{
    if (!newAllocator) return E_POINTER;
    std::lock_guard guard(filter.Lock());
    allocator = ComPtr<IMemAllocator>(newAllocator);
    return S_OK;
}

HRESULT PlatformPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }
HRESULT PlatformPin::Receive(IMediaSample*) { return E_UNEXPECTED; }

HRESULT PlatformPin::ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed)
{
    if (!samples || !processed) return E_POINTER;
    *processed = 0;
    HRESULT hr = S_OK;
    while (*processed < count && hr == S_OK) {
        hr = Receive(samples[*processed]);
        if (hr == S_OK) ++*processed;
    }
    return hr;
}

HRESULT PlatformPin::ReceiveCanBlock() { return S_FALSE; }

bool MediaTypeIsFullySpecified(const AM_MEDIA_TYPE& type)
{
    return type.majortype != GUID_NULL && type.formattype != GUID_NULL;
}
