#include "platform/mediagraph/TeeOutputPin.h"

#include "platform/mediagraph/InfTee.h"

namespace {

// A proposal's null major type or subtype stands for any.
bool MatchesProposal(const AM_MEDIA_TYPE* proposal, const AM_MEDIA_TYPE& type)
{
    if (!proposal) return true;
    if (proposal->majortype != GUID_NULL && proposal->majortype != type.majortype) return false;
    return proposal->subtype == GUID_NULL || proposal->subtype == type.subtype;
}

} // namespace

TeeOutputPin::TeeOutputPin(InfTee& owner, std::u16string pinName)
    : PlatformPin(owner, std::move(pinName), PINDIR_OUTPUT), tee(owner)
{
}

HRESULT TeeOutputPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* mediaType)
{
    if (!receivePin) return E_POINTER;
    std::lock_guard guard(filter.Lock());
    HRESULT hr = CheckConnectable();
    if (FAILED(hr)) return hr;
    TeeInputPin& input = tee.Input();
    if (!input.IsConnected()) return VFW_E_NOT_CONNECTED;
    const OwnedMediaType type = input.ConnectionType();
    if (!MatchesProposal(mediaType, type.Record())) return VFW_E_NO_ACCEPTABLE_TYPES;
    PIN_DIRECTION peerDirection;
    if (FAILED(receivePin->QueryDirection(&peerDirection)) || peerDirection != PINDIR_INPUT)
        return VFW_E_INVALID_DIRECTION;
    ComPtr<IMemInputPin> memInput;
    if (FAILED(receivePin->QueryInterface(IID_IMemInputPin, memInput.ReceiveVoid()))) return VFW_E_NO_TRANSPORT;
    hr = receivePin->ReceiveConnection(this, &type.Record());
    if (FAILED(hr)) return hr;
    if (ComPtr<IMemAllocator> inputAllocator = input.Allocator()) {
        hr = memInput->NotifyAllocator(inputAllocator.Get(), TRUE);
        if (FAILED(hr)) {
            receivePin->Disconnect();
            return hr;
        }
    }
    KeepConnection(receivePin, type.Record());
    downstream = memInput;
    tee.EnsureFreeOutput();
    return S_OK;
}

HRESULT TeeOutputPin::CheckMediaType(const AM_MEDIA_TYPE& type)
{
    TeeInputPin& input = tee.Input();
    if (!input.IsConnected()) return S_FALSE;
    const AM_MEDIA_TYPE& current = input.ConnectionType().Record();
    return type.majortype == current.majortype && type.subtype == current.subtype ? S_OK : S_FALSE;
}

std::vector<OwnedMediaType> TeeOutputPin::OfferedTypes()
{
    TeeInputPin& input = tee.Input();
    if (!input.IsConnected()) return {};
    return {input.ConnectionType()};
}

void TeeOutputPin::BreakConnect() { downstream.Reset(); }

HRESULT TeeOutputPin::Deliver(IMediaSample* sample)
{
    ComPtr<IMemInputPin> target;
    {
        std::lock_guard guard(filter.Lock());
        target = downstream;
    }
    return target ? target->Receive(sample) : VFW_E_NOT_CONNECTED;
}

bool TeeOutputPin::DownstreamCanBlock()
{
    std::lock_guard guard(filter.Lock());
    return downstream && downstream->ReceiveCanBlock() == S_OK;
}

void TeeOutputPin::PassAllocator(IMemAllocator* inputAllocator)
{
    if (downstream) downstream->NotifyAllocator(inputAllocator, TRUE);
}
