#include "platform/mediagraph/TeeInputPin.h"

#include "platform/mediagraph/InfTee.h"

TeeInputPin::TeeInputPin(InfTee& owner) : PlatformPin(owner, u"Input", PINDIR_INPUT), tee(owner) {}

HRESULT TeeInputPin::CheckMediaType(const AM_MEDIA_TYPE& type)
{
    // A new input type must suit every branch already connected.
    for (TeeOutputPin* output : tee.ConnectedOutputs()) {
        if (output->Peer()->QueryAccept(&type) != S_OK) return S_FALSE;
    }
    return S_OK;
}

HRESULT TeeInputPin::NotifyAllocator(IMemAllocator* agreed, BOOL readOnly)
{
    const HRESULT hr = PlatformPin::NotifyAllocator(agreed, readOnly);
    if (FAILED(hr)) return hr;
    for (TeeOutputPin* output : tee.ConnectedOutputs()) output->PassAllocator(agreed);
    return S_OK;
}

HRESULT TeeInputPin::Receive(IMediaSample* sample)
{
    if (!sample) return E_POINTER;
    if (tee.State() == State_Stopped) return VFW_E_WRONG_STATE;
    if (flushing) return S_FALSE;
    // The branches share the sample; the stream goes on while any branch takes it.
    HRESULT result = S_FALSE;
    for (TeeOutputPin* output : tee.ConnectedOutputs()) {
        const HRESULT hr = output->Deliver(sample);
        if (hr == S_OK || result == S_FALSE) result = hr;
    }
    return result;
}

HRESULT TeeInputPin::ReceiveCanBlock()
{
    for (TeeOutputPin* output : tee.ConnectedOutputs()) {
        if (output->DownstreamCanBlock()) return S_OK;
    }
    return S_FALSE;
}

HRESULT TeeInputPin::EndOfStream()
{
    for (TeeOutputPin* output : tee.ConnectedOutputs()) output->Peer()->EndOfStream();
    return S_OK;
}

HRESULT TeeInputPin::BeginFlush()
{
    flushing = true;
    for (TeeOutputPin* output : tee.ConnectedOutputs()) output->Peer()->BeginFlush();
    return S_OK;
}

HRESULT TeeInputPin::EndFlush()
{
    for (TeeOutputPin* output : tee.ConnectedOutputs()) output->Peer()->EndFlush();
    flushing = false;
    return S_OK;
}

HRESULT TeeInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    for (TeeOutputPin* output : tee.ConnectedOutputs()) output->Peer()->NewSegment(start, stop, rate);
    return S_OK;
}
