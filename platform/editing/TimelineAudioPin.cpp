#include "platform/editing/TimelineAudioPin.h"

#include "platform/editing/TimelineAudioSource.h"
#include "platform/mediagraph/MediaResults.h"
#include "platform/mediagraph/MediaTypes.h"

#include <algorithm>

TimelineAudioPin::TimelineAudioPin(TimelineAudioSource& source, const AM_MEDIA_TYPE& pcmType, LONG bytesPerBuffer)
    : PlatformPin(source, u"Output", PINDIR_OUTPUT), type(pcmType), bufferBytes(bytesPerBuffer)
{
}

HRESULT TimelineAudioPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* proposal)
{
    if (!receivePin) return E_POINTER;
    std::lock_guard guard(filter.Lock());
    HRESULT hr = CheckConnectable();
    if (FAILED(hr)) return hr;
    if (proposal && proposal->majortype != GUID_NULL && proposal->majortype != MEDIATYPE_Audio) {
        return VFW_E_NO_ACCEPTABLE_TYPES;
    }
    PIN_DIRECTION peerDirection;
    if (FAILED(receivePin->QueryDirection(&peerDirection)) || peerDirection != PINDIR_INPUT)
        return VFW_E_INVALID_DIRECTION;
    ComPtr<IMemInputPin> input;
    if (FAILED(receivePin->QueryInterface(IID_IMemInputPin, input.ReceiveVoid()))) return VFW_E_NO_TRANSPORT;
    hr = receivePin->ReceiveConnection(this, &type.Record());
    if (FAILED(hr)) return hr;
    hr = AgreeAllocator(input.Get());
    if (FAILED(hr)) {
        receivePin->Disconnect();
        return hr;
    }
    KeepConnection(receivePin, type.Record());
    downstream = input;
    return S_OK;
}

HRESULT TimelineAudioPin::AgreeAllocator(IMemInputPin* input)
{
    ComPtr<IMemAllocator> chosen;
    if (FAILED(input->GetAllocator(chosen.Receive()))) {
        const HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                            chosen.ReceiveVoid());
        if (FAILED(hr)) return hr;
    }
    ALLOCATOR_PROPERTIES wanted{4, bufferBytes, 1, 0};
    ALLOCATOR_PROPERTIES required{};
    if (SUCCEEDED(input->GetAllocatorRequirements(&required))) {
        wanted.cBuffers = std::max(wanted.cBuffers, required.cBuffers);
        wanted.cbAlign = std::max<LONG>(1, required.cbAlign);
        wanted.cbPrefix = required.cbPrefix;
    }
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = chosen->SetProperties(&wanted, &actual);
    if (FAILED(hr)) return hr;
    if (actual.cbBuffer < bufferBytes) return VFW_E_SIZENOTSET;
    hr = input->NotifyAllocator(chosen.Get(), FALSE);
    if (FAILED(hr)) return hr;
    allocator = chosen;
    return S_OK;
}

HRESULT TimelineAudioPin::CheckMediaType(const AM_MEDIA_TYPE& candidate)
{
    const AM_MEDIA_TYPE& own = type.Record();
    return candidate.majortype == own.majortype && candidate.subtype == own.subtype ? S_OK : S_FALSE;
}

std::vector<OwnedMediaType> TimelineAudioPin::OfferedTypes() { return {type}; }

void TimelineAudioPin::BreakConnect()
{
    downstream.Reset();
    allocator.Reset();
}

ComPtr<IMemInputPin> TimelineAudioPin::Downstream()
{
    std::lock_guard guard(filter.Lock());
    return downstream;
}

ComPtr<IMemAllocator> TimelineAudioPin::SampleAllocator()
{
    std::lock_guard guard(filter.Lock());
    return allocator;
}
