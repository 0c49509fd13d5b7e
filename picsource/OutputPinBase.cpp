#include "picsource/OutputPinBase.h"

#include "picsource/MediaTypeEnumerator.h"
#include "picsource/SourceFilterBase.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Refusals that only say "not this type": other failures say more and win.
bool IsPlainRefusal(HRESULT hr) { return hr == E_FAIL || hr == E_INVALIDARG || hr == VFW_E_TYPE_NOT_ACCEPTED; }

bool IsFullySpecified(const AM_MEDIA_TYPE& type) { return type.majortype != GUID_NULL && type.formattype != GUID_NULL; }

// Null major type, subtype or format type in the proposal match anything.
bool MatchesPartial(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE& proposal)
{
    if (proposal.majortype != GUID_NULL && proposal.majortype != candidate.majortype) return false;
    if (proposal.subtype != GUID_NULL && proposal.subtype != candidate.subtype) return false;
    if (proposal.formattype == GUID_NULL) return true;
    if (proposal.formattype != candidate.formattype || proposal.cbFormat != candidate.cbFormat) return false;
    return proposal.cbFormat == 0 || (proposal.pbFormat && candidate.pbFormat &&
                                      std::memcmp(proposal.pbFormat, candidate.pbFormat, proposal.cbFormat) == 0);
}

} // namespace

OutputPinBase::OutputPinBase(SourceFilterBase& owner, const char16_t* name)
    : filter(owner), stateLock(owner.StateLock()), pinName(name ? name : u"")
{
    connectionType.Blank();
}

OutputPinBase::~OutputPinBase() = default;

HRESULT OutputPinBase::QueryInterface(REFIID iid, void** object) { return NonDelegatingQueryInterface(iid, object); }

ULONG OutputPinBase::AddRef() { return filter.AddRef(); }

ULONG OutputPinBase::Release() { return filter.Release(); }

HRESULT OutputPinBase::NonDelegatingQueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (iid == IID_IPin || iid == IID_IUnknown) {
        *object = static_cast<IPin*>(this);
    } else if (iid == IID_IQualityControl) {
        *object = static_cast<IQualityControl*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT OutputPinBase::Connect(IPin* receivePin, const AM_MEDIA_TYPE* mediaType)
{
    if (!receivePin) return E_POINTER;
    std::lock_guard guard(stateLock);
    if (connected) return VFW_E_ALREADY_CONNECTED;
    if (!filter.IsStopped()) return VFW_E_NOT_STOPPED;
    const HRESULT hr = AgreeMediaType(receivePin, mediaType);
    if (FAILED(hr)) BreakConnect();
    return hr;
}

HRESULT OutputPinBase::AgreeMediaType(IPin* peer, const AM_MEDIA_TYPE* proposal)
{
    if (proposal && IsFullySpecified(*proposal)) return AttemptConnection(peer, proposal);
    HRESULT answer = VFW_E_NO_ACCEPTABLE_TYPES;
    // The downstream pin's types first, then our own.
    for (int round = 0; round < 2; ++round) {
        IEnumMediaTypes* types = nullptr;
        const HRESULT got = round == 0 ? peer->EnumMediaTypes(&types) : EnumMediaTypes(&types);
        if (FAILED(got) || !types) continue;
        const HRESULT hr = TryMediaTypes(peer, proposal, types);
        types->Release();
        if (SUCCEEDED(hr)) return S_OK;
        if (!IsPlainRefusal(hr)) answer = hr;
    }
    return answer;
}

HRESULT OutputPinBase::TryMediaTypes(IPin* peer, const AM_MEDIA_TYPE* proposal, IEnumMediaTypes* types)
{
    HRESULT remembered = S_OK;
    types->Reset();
    AM_MEDIA_TYPE* candidate = nullptr;
    ULONG fetched = 0;
    while (types->Next(1, &candidate, &fetched) == S_OK && fetched == 1 && candidate) {
        HRESULT hr = VFW_E_NO_ACCEPTABLE_TYPES;
        if (!proposal || MatchesPartial(*candidate, *proposal)) hr = AttemptConnection(peer, candidate);
        DeleteTaskMediaType(candidate);
        candidate = nullptr;
        if (SUCCEEDED(hr)) return hr;
        if (!IsPlainRefusal(hr) && remembered == S_OK) remembered = hr;
    }
    return remembered == S_OK ? VFW_E_NO_ACCEPTABLE_TYPES : remembered;
}

HRESULT OutputPinBase::CheckMediaTypeForConnection(const AM_MEDIA_TYPE* type)
{
    const HRESULT hr = CheckMediaType(type);
    if (hr == S_FALSE || hr == E_FAIL || hr == E_INVALIDARG) return VFW_E_TYPE_NOT_ACCEPTED;
    return hr;
}

HRESULT OutputPinBase::AcceptPeer(IPin* peer, const AM_MEDIA_TYPE* type)
{
    HRESULT hr = CheckConnect(peer);
    if (SUCCEEDED(hr)) hr = CheckMediaTypeForConnection(type);
    if (FAILED(hr)) return hr;
    connected = ComPtr<IPin>(peer);
    return SetMediaType(type);
}

HRESULT OutputPinBase::AttemptConnection(IPin* peer, const AM_MEDIA_TYPE* type)
{
    HRESULT hr = AcceptPeer(peer, type);
    if (SUCCEEDED(hr)) {
        hr = peer->ReceiveConnection(this, type);
        if (SUCCEEDED(hr)) {
            hr = CompleteConnect(peer);
            if (FAILED(hr)) peer->Disconnect();
        }
    }
    if (FAILED(hr)) {
        BreakConnect();
        ForgetPeer();
    }
    return hr;
}

HRESULT OutputPinBase::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mediaType)
{
    if (!connector || !mediaType) return E_POINTER;
    std::lock_guard guard(stateLock);
    if (connected) return VFW_E_ALREADY_CONNECTED;
    if (!filter.IsStopped()) return VFW_E_NOT_STOPPED;
    HRESULT hr = AcceptPeer(connector, mediaType);
    if (SUCCEEDED(hr)) hr = CompleteConnect(connector);
    if (FAILED(hr)) {
        ForgetPeer();
        BreakConnect();
    }
    return hr;
}

HRESULT OutputPinBase::Disconnect()
{
    std::lock_guard guard(stateLock);
    if (!filter.IsStopped()) return VFW_E_NOT_STOPPED;
    if (!connected) return S_FALSE;
    const HRESULT hr = BreakConnect();
    if (FAILED(hr)) return hr;
    ForgetPeer();
    return S_OK;
}

void OutputPinBase::ForgetPeer()
{
    connected.Reset();
    connectionType.Blank();
}

HRESULT OutputPinBase::ConnectedTo(IPin** pin)
{
    if (!pin) return E_POINTER;
    std::lock_guard guard(stateLock);
    *pin = ComPtr<IPin>(connected).Detach();
    return *pin ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT OutputPinBase::ConnectionMediaType(AM_MEDIA_TYPE* mediaType)
{
    if (!mediaType) return E_POINTER;
    std::lock_guard guard(stateLock);
    if (!connected) {
        BlankMediaType(*mediaType);
        return VFW_E_NOT_CONNECTED;
    }
    return connectionType.CopyTo(mediaType);
}

HRESULT OutputPinBase::QueryPinInfo(PIN_INFO* info)
{
    if (!info) return E_POINTER;
    info->pFilter = &filter;
    filter.AddRef();
    const std::size_t length = std::min<std::size_t>(pinName.size(), MAX_PIN_NAME - 1);
    std::copy_n(pinName.data(), length, info->achName);
    info->achName[length] = 0;
    info->dir = PINDIR_OUTPUT;
    return S_OK;
}

HRESULT OutputPinBase::QueryDirection(PIN_DIRECTION* direction)
{
    if (!direction) return E_POINTER;
    *direction = PINDIR_OUTPUT;
    return S_OK;
}

HRESULT OutputPinBase::QueryId(LPWSTR* id)
{
    if (!id) return E_POINTER;
    *id = nullptr;
    const int number = filter.FindPinNumber(this);
    if (number < 0) return VFW_E_NOT_FOUND;
    std::u16string digits;
    for (int rest = number + 1; rest > 0; rest /= 10)
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + rest % 10));
    auto* text = static_cast<WCHAR*>(CoTaskMemAlloc((digits.size() + 1) * sizeof(WCHAR)));
    if (!text) return E_OUTOFMEMORY;
    std::copy(digits.begin(), digits.end(), text);
    text[digits.size()] = 0;
    *id = text;
    return S_OK;
}

HRESULT OutputPinBase::QueryAccept(const AM_MEDIA_TYPE* mediaType)
{
    const HRESULT hr = CheckMediaType(mediaType);
    return hr == S_OK ? S_OK : S_FALSE;
}

HRESULT OutputPinBase::EnumMediaTypes(IEnumMediaTypes** types)
{
    if (!types) return E_POINTER;
    *types = new (std::nothrow) MediaTypeEnumerator(*this, nullptr);
    if (!*types) return E_OUTOFMEMORY;
    (*types)->AddRef();
    return S_OK;
}

HRESULT OutputPinBase::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

HRESULT OutputPinBase::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    segmentStart = start;
    segmentStop = stop;
    segmentRate = rate;
    return S_OK;
}

HRESULT OutputPinBase::SetSink(IQualityControl* sink)
{
    std::lock_guard guard(stateLock);
    qualitySink = sink;
    return S_OK;
}

LONG OutputPinBase::GetMediaTypeVersion() { return mediaTypeVersion.load(); }

void OutputPinBase::BumpMediaTypeVersion() { ++mediaTypeVersion; }

HRESULT OutputPinBase::Active()
{
    if (!allocator) return VFW_E_NO_ALLOCATOR;
    return allocator->Commit();
}

HRESULT OutputPinBase::Inactive()
{
    runTimeError = false;
    if (!allocator) return VFW_E_NO_ALLOCATOR;
    return allocator->Decommit();
}

HRESULT OutputPinBase::Run(REFERENCE_TIME) { return S_OK; }

HRESULT OutputPinBase::SetMediaType(const AM_MEDIA_TYPE* type) { return connectionType.Assign(*type); }

HRESULT OutputPinBase::CheckConnect(IPin* peer)
{
    PIN_DIRECTION direction = PINDIR_INPUT;
    HRESULT hr = peer->QueryDirection(&direction);
    if (FAILED(hr)) return hr;
    if (direction == PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    return peer->QueryInterface(IID_IMemInputPin, inputPin.ReceiveVoid());
}

HRESULT OutputPinBase::BreakConnect()
{
    if (allocator) {
        const HRESULT hr = allocator->Decommit();
        if (FAILED(hr)) return hr;
        allocator.Reset();
    }
    inputPin.Reset();
    return S_OK;
}

HRESULT OutputPinBase::CompleteConnect(IPin*)
{
    if (!inputPin) return E_UNEXPECTED;
    return DecideAllocator(inputPin.Get(), allocator);
}

HRESULT OutputPinBase::OfferAllocator(IMemInputPin* input, IMemAllocator* candidate, ALLOCATOR_PROPERTIES& request)
{
    ALLOCATOR_PROPERTIES asked = request;
    HRESULT hr = DecideBufferSize(candidate, &asked);
    if (SUCCEEDED(hr)) hr = input->NotifyAllocator(candidate, FALSE);
    return hr;
}

HRESULT OutputPinBase::DecideAllocator(IMemInputPin* input, ComPtr<IMemAllocator>& chosen)
{
    chosen.Reset();
    ALLOCATOR_PROPERTIES request{};
    input->GetAllocatorRequirements(&request);
    if (request.cbAlign == 0) request.cbAlign = 1;

    HRESULT hr = input->GetAllocator(chosen.Receive());
    if (SUCCEEDED(hr) && chosen) {
        hr = OfferAllocator(input, chosen.Get(), request);
        if (SUCCEEDED(hr)) return S_OK;
    }
    chosen.Reset();

    hr = InitAllocator(chosen);
    if (SUCCEEDED(hr)) hr = OfferAllocator(input, chosen.Get(), request);
    if (FAILED(hr)) chosen.Reset();
    return hr;
}

HRESULT OutputPinBase::InitAllocator(ComPtr<IMemAllocator>& created)
{
    return CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                            created.ReceiveVoid());
}

HRESULT OutputPinBase::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                         DWORD flags)
{
    if (!allocator) return E_NOINTERFACE;
    return allocator->GetBuffer(sample, start, stop, flags);
}

HRESULT OutputPinBase::Deliver(IMediaSample* sample)
{
    if (!inputPin) return VFW_E_NOT_CONNECTED;
    return inputPin->Receive(sample);
}

HRESULT OutputPinBase::DeliverEndOfStream()
{
    if (!connected) return VFW_E_NOT_CONNECTED;
    return connected->EndOfStream();
}

HRESULT OutputPinBase::DeliverBeginFlush()
{
    if (!connected) return VFW_E_NOT_CONNECTED;
    return connected->BeginFlush();
}

HRESULT OutputPinBase::DeliverEndFlush()
{
    if (!connected) return VFW_E_NOT_CONNECTED;
    return connected->EndFlush();
}

HRESULT OutputPinBase::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    if (!connected) return VFW_E_NOT_CONNECTED;
    return connected->NewSegment(start, stop, rate);
}

bool OutputPinBase::IsConnected()
{
    std::lock_guard guard(stateLock);
    return static_cast<bool>(connected);
}
