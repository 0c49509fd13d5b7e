#include "platform/wmformat/AsfInputPin.h"

#include "platform/wmformat/WMAsfWriter.h"

#include <cstring>

namespace {

// The PCM record without its trailing size field, as older sources send it.
constexpr ULONG kPcmFormatBytes = 16;

} // namespace

AsfInputPin::AsfInputPin(WMAsfWriter& owner, std::u16string pinName, const GUID& streamType)
    : PlatformPin(owner, std::move(pinName), PINDIR_INPUT), writer(owner), majorType(streamType)
{
}

bool AsfInputPin::AcceptsVideo(const AM_MEDIA_TYPE& type)
{
    if (type.majortype != MEDIATYPE_Video || type.subtype != MEDIASUBTYPE_RGB24 ||
        type.formattype != FORMAT_VideoInfo || !type.pbFormat || type.cbFormat < sizeof(VIDEOINFOHEADER))
        return false;
    VIDEOINFOHEADER video;
    std::memcpy(&video, type.pbFormat, sizeof video);
    const BITMAPINFOHEADER& bitmap = video.bmiHeader;
    const LONG height = bitmap.biHeight < 0 ? -bitmap.biHeight : bitmap.biHeight;
    return bitmap.biBitCount == 24 && bitmap.biCompression == BI_RGB && bitmap.biWidth > 0 &&
           bitmap.biWidth <= kMaxVideoSide && height > 0 && height <= kMaxVideoSide;
}

bool AsfInputPin::AcceptsAudio(const AM_MEDIA_TYPE& type)
{
    if (type.majortype != MEDIATYPE_Audio || type.subtype != MEDIASUBTYPE_PCM ||
        type.formattype != FORMAT_WaveFormatEx || !type.pbFormat || type.cbFormat < kPcmFormatBytes)
        return false;
    WAVEFORMATEX wave{};
    std::memcpy(&wave, type.pbFormat, kPcmFormatBytes);
    return wave.wFormatTag == WAVE_FORMAT_PCM && wave.wBitsPerSample == 16 && wave.nChannels >= 1 &&
           wave.nChannels <= 8 && wave.nSamplesPerSec >= 1000 && wave.nSamplesPerSec <= 384000 &&
           wave.nBlockAlign == wave.nChannels * 2;
}

HRESULT AsfInputPin::CheckMediaType(const AM_MEDIA_TYPE& type)
{
    const bool accepted = majorType == MEDIATYPE_Video ? AcceptsVideo(type) : AcceptsAudio(type);
    return accepted ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AsfInputPin::Receive(IMediaSample* sample)
{
    if (!sample) return E_POINTER;
    return writer.Deliver(*this, sample);
}

// A full queue holds the sender until the encoding thread has taken a sample.
HRESULT AsfInputPin::ReceiveCanBlock() { return S_OK; }

HRESULT AsfInputPin::EndOfStream() { return writer.EndOfInput(*this); }

HRESULT AsfInputPin::BeginFlush()
{
    writer.BeginFlush(*this);
    return S_OK;
}

HRESULT AsfInputPin::EndFlush()
{
    writer.EndFlush(*this);
    return S_OK;
}
