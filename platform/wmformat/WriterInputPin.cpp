#include "platform/wmformat/WriterInputPin.h"

#include "platform/wmformat/MovieWriterFilter.h"

#include <new>

namespace {

// One frame being encoded while the sender fills the next.
constexpr LONG kOwnBuffers = 2;

// Sound comes in small pieces: copying them costs nothing worth an allocator.
ComPtr<MemoryAllocator> AllocatorFor(const GUID& majorType)
{
    if (majorType != MEDIATYPE_Video) return {};
    return ComPtr<MemoryAllocator>::Attach(new (std::nothrow)
                                               MemoryAllocator(FfmpegMovieEncoder::kInputPadding, kOwnBuffers));
}

} // namespace

WriterInputPin::WriterInputPin(MovieWriterFilter& owner, std::u16string pinName, const GUID& streamType)
    : PlatformPin(owner, std::move(pinName), PINDIR_INPUT),
      writer(owner),
      majorType(streamType),
      ownAllocator(AllocatorFor(streamType))
{
}

bool WriterInputPin::AcceptsVideo(const AM_MEDIA_TYPE& type, VideoFormat* format)
{
    return VideoFormat::Read(type, format) && format->IsRgb(24) && format->SidesWithin(kMaxVideoSide);
}

// The record may leave off its size field, as older sources send it.
bool WriterInputPin::AcceptsAudio(const AM_MEDIA_TYPE& type, AudioFormat* format)
{
    return AudioFormat::Read(type, format) && format->bitsPerSample == 16 && format->channels >= 1 &&
           format->channels <= 8 && format->sampleRate >= 1000 && format->sampleRate <= 384000 &&
           format->BlockAlignMatches();
}

HRESULT WriterInputPin::CheckMediaType(const AM_MEDIA_TYPE& type)
{
    VideoFormat video;
    AudioFormat audio;
    const bool accepted = majorType == MEDIATYPE_Video ? AcceptsVideo(type, &video) : AcceptsAudio(type, &audio);
    return accepted ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT WriterInputPin::GetAllocator(IMemAllocator** result)
{
    if (!result) return E_POINTER;
    *result = nullptr;
    if (!ownAllocator) return VFW_E_NO_ALLOCATOR;
    *result = ComPtr<IMemAllocator>(ownAllocator.Get()).Detach();
    return S_OK;
}

bool WriterInputPin::OwnsSample(IMediaSample* sample) { return ownAllocator && ownAllocator->Owns(sample); }

HRESULT WriterInputPin::Receive(IMediaSample* sample)
{
    if (!sample) return E_POINTER;
    return writer.Deliver(*this, sample);
}

// A full queue holds the sender until the encoding thread has taken a sample.
HRESULT WriterInputPin::ReceiveCanBlock() { return S_OK; }

HRESULT WriterInputPin::EndOfStream() { return writer.EndOfInput(*this); }

HRESULT WriterInputPin::BeginFlush()
{
    writer.BeginFlush(*this);
    return S_OK;
}

HRESULT WriterInputPin::EndFlush()
{
    writer.EndFlush(*this);
    return S_OK;
}
