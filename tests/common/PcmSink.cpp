#include "PcmSink.h"

#include "platform/mediagraph/MediaResults.h"
#include "platform/mediagraph/MediaTypes.h"

#include <chrono>

namespace {

constexpr CLSID CLSID_PcmSink{0x2B7F4E10, 0x1C3A, 0x4E55, {0x8D, 0x0B, 0x71, 0x3E, 0x96, 0xA2, 0x5C, 0x44}};

} // namespace

PcmInputPin::PcmInputPin(PcmSink& owner) : PlatformPin(owner, u"In", PINDIR_INPUT), sink(owner) {}

HRESULT PcmInputPin::CheckMediaType(const AM_MEDIA_TYPE& type)
{
    return type.majortype == MEDIATYPE_Audio && type.subtype == MEDIASUBTYPE_PCM ? S_OK : S_FALSE;
}

HRESULT PcmInputPin::Receive(IMediaSample* sample)
{
    if (sink.State() == State_Stopped) return VFW_E_WRONG_STATE;
    sink.Keep(sample);
    return S_OK;
}

HRESULT PcmInputPin::EndOfStream()
{
    ++sink.endsOfStream;
    return sink.NotifyEvent(EC_COMPLETE, S_OK, 0);
}

PcmSink::PcmSink() : PlatformFilter(CLSID_PcmSink), input(*this) {}

void PcmSink::Keep(IMediaSample* sample)
{
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    const LONG length = sample->GetActualDataLength();
    Stamp stamp{-1, -1, length};
    sample->GetTime(&stamp.start, &stamp.stop);
    {
        std::lock_guard guard(lock);
        bytes.insert(bytes.end(), data, data + length);
        stamps.push_back(stamp);
    }
    kept.notify_all();
}

bool PcmSink::WaitForSample(unsigned limitMs)
{
    std::unique_lock guard(lock);
    return kept.wait_for(guard, std::chrono::milliseconds(limitMs), [&] { return !stamps.empty(); });
}

std::vector<BYTE> PcmSink::Bytes()
{
    std::lock_guard guard(lock);
    return bytes;
}

std::vector<PcmSink::Stamp> PcmSink::Stamps()
{
    std::lock_guard guard(lock);
    return stamps;
}
