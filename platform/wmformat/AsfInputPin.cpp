#include "platform/wmformat/AsfInputPin.h"

#include "platform/wmformat/WMAsfWriter.h"

AsfInputPin::AsfInputPin(WMAsfWriter& owner, std::u16string pinName, const GUID& streamType)
    : PlatformPin(owner, std::move(pinName), PINDIR_INPUT), writer(owner), majorType(streamType)
{
}

bool AsfInputPin::AcceptsVideo(const AM_MEDIA_TYPE& type, VideoFormat* format)
{
    return VideoFormat::Read(type, format) && format->IsRgb(24) && format->SidesWithin(kMaxVideoSide);
}

// The record may leave off its size field, as older sources send it.
bool AsfInputPin::AcceptsAudio(const AM_MEDIA_TYPE& type, AudioFormat* format)
{
    return AudioFormat::Read(type, format) && format->bitsPerSample == 16 && format->channels >= 1 &&
           format->channels <= 8 && format->sampleRate >= 1000 && format->sampleRate <= 384000 &&
           format->BlockAlignMatches();
}

HRESULT AsfInputPin::CheckMediaType(const AM_MEDIA_TYPE& type)
{
    VideoFormat video;
    AudioFormat audio;
    const bool accepted = majorType == MEDIATYPE_Video ? AcceptsVideo(type, &video) : AcceptsAudio(type, &audio);
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
