#include "tests/common/PushSource.h"

#include <cstring>

namespace {

const CLSID CLSID_PushSource{0x6C1D7E42, 0x2A95, 0x4B3F, {0x8E, 0x07, 0x51, 0xD4, 0x9B, 0x26, 0x3C, 0x7A}};

} // namespace

PushSource::PushSource(OwnedMediaType type, LONG sampleBytes)
    : PlatformFilter(CLSID_PushSource), bufferBytes(sampleBytes), output(*this, u"Output", std::move(type))
{
}

HRESULT PushSource::OnPause()
{
    if (State() != State_Stopped || !output.IsConnected()) return S_OK;
    HRESULT hr = output.Peer().As(IID_IMemInputPin, target);
    if (SUCCEEDED(hr)) {
        hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                              allocator.ReceiveVoid());
    }
    ALLOCATOR_PROPERTIES request{1, bufferBytes, 1, 0};
    ALLOCATOR_PROPERTIES actual{};
    if (SUCCEEDED(hr)) hr = allocator->SetProperties(&request, &actual);
    if (SUCCEEDED(hr)) hr = target->NotifyAllocator(allocator.Get(), FALSE);
    if (SUCCEEDED(hr)) hr = allocator->Commit();
    return hr;
}

HRESULT PushSource::OnStop()
{
    if (allocator) allocator->Decommit();
    return S_OK;
}

HRESULT PushSource::Send(const std::vector<BYTE>& data, REFERENCE_TIME start, REFERENCE_TIME stop)
{
    if (!allocator || !target || data.size() > static_cast<std::size_t>(bufferBytes)) return E_UNEXPECTED;
    ComPtr<IMediaSample> sample;
    const HRESULT hr = allocator->GetBuffer(sample.Receive(), nullptr, nullptr, AM_GBF_NOWAIT);
    if (FAILED(hr)) return hr;
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    std::memcpy(buffer, data.data(), data.size());
    sample->SetActualDataLength(static_cast<LONG>(data.size()));
    sample->SetTime(&start, &stop);
    return target->Receive(sample.Get());
}

HRESULT PushSource::SendEnd() { return output.Peer()->EndOfStream(); }
HRESULT PushSource::SendBeginFlush() { return output.Peer()->BeginFlush(); }
HRESULT PushSource::SendEndFlush() { return output.Peer()->EndFlush(); }
