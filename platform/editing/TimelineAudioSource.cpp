#include "platform/editing/TimelineAudioSource.h"

#include "platform/base/WideText.h"
#include "platform/editing/SoundDecoder.h"
#include "platform/mediagraph/MediaResults.h"
#include "platform/mediagraph/MediaTypes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr CLSID CLSID_TimelineAudioSource{0x6A0E4C51, 0x93B2, 0x4F0D, {0xB1, 0x7A, 0x52, 0xC4, 0x0E, 0x9D, 0x21, 0x3B}};
constexpr DWORD kDefaultRate = 44100;
constexpr WORD kDefaultChannels = 2;
constexpr DWORD kMaxRate = 192000;
constexpr WORD kMaxChannels = 8;

WAVEFORMATEX Pcm16(DWORD rate, WORD channels)
{
    WAVEFORMATEX format{};
    format.wFormatTag = 1;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(channels * 2);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    return format;
}

const WAVEFORMATEX& FormatOf(const AM_MEDIA_TYPE& type)
{
    return *reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
}

// Frames (one sample per channel) at a time, rounded down, without overflow.
std::int64_t FrameAt(REFERENCE_TIME time, DWORD rate)
{
    return static_cast<std::int64_t>(static_cast<__int128>(time) * rate / kUnitsPerSecond);
}

REFERENCE_TIME TimeAt(std::int64_t frame, DWORD rate)
{
    return static_cast<REFERENCE_TIME>(static_cast<__int128>(frame) * kUnitsPerSecond / rate);
}

} // namespace

OwnedMediaType TimelineAudioSource::OutputTypeFor(const AM_MEDIA_TYPE& groupType)
{
    WAVEFORMATEX format = Pcm16(kDefaultRate, kDefaultChannels);
    if (groupType.formattype == FORMAT_WaveFormatEx && groupType.pbFormat &&
        groupType.cbFormat >= sizeof(WAVEFORMATEX)) {
        const WAVEFORMATEX& asked = FormatOf(groupType);
        if (asked.wFormatTag == 1 && asked.wBitsPerSample == 16 && asked.nChannels >= 1 &&
            asked.nChannels <= kMaxChannels && asked.nSamplesPerSec >= 1000 && asked.nSamplesPerSec <= kMaxRate) {
            format = Pcm16(asked.nSamplesPerSec, asked.nChannels);
        }
    }
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = format.nBlockAlign;
    type.formattype = FORMAT_WaveFormatEx;
    type.cbFormat = sizeof(WAVEFORMATEX);
    type.pbFormat = reinterpret_cast<BYTE*>(&format);
    return OwnedMediaType(type);
}

TimelineAudioSource::TimelineAudioSource(const AM_MEDIA_TYPE& pcmType, std::vector<TimelineNode::Clip> audioClips,
                                         REFERENCE_TIME length, TimelineNode::Fades fades)
    : PlatformFilter(CLSID_TimelineAudioSource),
      format(FormatOf(pcmType)),
      clips(std::move(audioClips)),
      duration(length),
      output(*this, pcmType, static_cast<LONG>(format.nSamplesPerSec / 10 * format.nBlockAlign))
{
    const DWORD rate = format.nSamplesPerSec;
    fadeInFrames = FrameAt(fades.fadeIn, rate);
    fadeOutFrames = FrameAt(fades.fadeOut, rate);
    REFERENCE_TIME soundEnd = 0;
    for (const TimelineNode::Clip& clip : clips) soundEnd = std::max(soundEnd, clip.stop);
    soundEndFrame = FrameAt(std::min(soundEnd, duration), rate);
}

TimelineAudioSource::~TimelineAudioSource() { StopStreaming(); }

std::vector<PlatformPin*> TimelineAudioSource::Pins() { return {&output}; }

HRESULT TimelineAudioSource::OnPause()
{
    if (state != State_Stopped) return S_OK;
    ComPtr<IMemInputPin> target = output.Downstream();
    ComPtr<IMemAllocator> allocator = output.SampleAllocator();
    if (!target || !allocator) return S_OK;
    const HRESULT hr = allocator->Commit();
    if (FAILED(hr)) return hr;
    stopping = false;
    worker = std::thread(&TimelineAudioSource::Stream, this, target, allocator, output.Peer());
    return S_OK;
}

HRESULT TimelineAudioSource::OnStop()
{
    StopStreaming();
    return S_OK;
}

void TimelineAudioSource::StopStreaming()
{
    stopping = true;
    if (ComPtr<IMemAllocator> allocator = output.SampleAllocator()) allocator->Decommit();
    if (worker.joinable()) worker.join();
}

void TimelineAudioSource::Stream(ComPtr<IMemInputPin> target, ComPtr<IMemAllocator> allocator, ComPtr<IPin> peer)
{
    const DWORD rate = format.nSamplesPerSec;
    const std::int64_t totalFrames = FrameAt(duration, rate);
    const std::int64_t blockFrames = rate / 10;
    std::vector<std::unique_ptr<SoundDecoder>> decoders(clips.size());
    peer->NewSegment(0, duration, 1.0);
    for (std::int64_t first = 0; first < totalFrames && !stopping;) {
        const std::int64_t frames = std::min(blockFrames, totalFrames - first);
        ComPtr<IMediaSample> sample;
        if (FAILED(allocator->GetBuffer(sample.Receive(), nullptr, nullptr, 0))) return;
        BYTE* block = nullptr;
        sample->GetPointer(&block);
        FillBlock(block, first, frames, decoders);
        FadeBlock(block, first, frames);
        REFERENCE_TIME start = TimeAt(first, rate);
        REFERENCE_TIME stop = TimeAt(first + frames, rate);
        sample->SetTime(&start, &stop);
        sample->SetActualDataLength(static_cast<LONG>(frames * format.nBlockAlign));
        sample->SetSyncPoint(TRUE);
        sample->SetDiscontinuity(first == 0);
        const HRESULT hr = target->Receive(sample.Get());
        if (hr != S_OK) {
            // A stopped downstream filter refuses samples while the graph stops this one: no error.
            if (FAILED(hr) && hr != VFW_E_WRONG_STATE && !stopping) NotifyEvent(EC_ERRORABORT, hr, 0);
            return;
        }
        first += frames;
    }
    if (!stopping) peer->EndOfStream();
}

void TimelineAudioSource::FillBlock(BYTE* block, std::int64_t firstFrame, std::int64_t frames,
                                    std::vector<std::unique_ptr<SoundDecoder>>& decoders)
{
    const DWORD rate = format.nSamplesPerSec;
    std::memset(block, 0, static_cast<std::size_t>(frames) * format.nBlockAlign);
    const std::int64_t lastFrame = firstFrame + frames;
    for (std::size_t i = 0; i < clips.size(); ++i) {
        const TimelineNode::Clip& clip = clips[i];
        const std::int64_t clipFirst = FrameAt(clip.start, rate);
        const std::int64_t clipLast = FrameAt(clip.stop, rate);
        const std::int64_t from = std::max(firstFrame, clipFirst);
        const std::int64_t to = std::min(lastFrame, clipLast);
        if (from >= to) continue;
        if (!decoders[i]) {
            decoders[i] = std::make_unique<SoundDecoder>();
            if (SUCCEEDED(decoders[i]->Open(Utf8FromWide(clip.mediaName), static_cast<int>(rate), format.nChannels))) {
                decoders[i]->Skip(FrameAt(clip.mediaStart, rate) + (from - clipFirst));
            }
        }
        auto* out = reinterpret_cast<std::int16_t*>(block + (from - firstFrame) * format.nBlockAlign);
        decoders[i]->Read(out, static_cast<std::size_t>(to - from));
    }
}

void TimelineAudioSource::FadeBlock(BYTE* block, std::int64_t firstFrame, std::int64_t frames) const
{
    const std::int64_t fadeOutFirst = soundEndFrame - fadeOutFrames;
    const bool fadingIn = firstFrame < fadeInFrames;
    const bool fadingOut = fadeOutFrames > 0 && firstFrame + frames > fadeOutFirst;
    if (!fadingIn && !fadingOut) return;
    auto* samples = reinterpret_cast<std::int16_t*>(block);
    for (std::int64_t i = 0; i < frames; ++i) {
        const std::int64_t frame = firstFrame + i;
        double share = 1.0;
        if (frame < fadeInFrames) share = static_cast<double>(frame) / static_cast<double>(fadeInFrames);
        if (fadeOutFrames > 0 && frame >= fadeOutFirst) {
            const double left = static_cast<double>(std::max<std::int64_t>(0, soundEndFrame - frame - 1));
            share = std::min(share, left / static_cast<double>(fadeOutFrames));
        }
        const double gain = share * share * share;
        std::int16_t* frameSamples = samples + i * format.nChannels;
        for (WORD channel = 0; channel < format.nChannels; ++channel)
            frameSamples[channel] = static_cast<std::int16_t>(std::lround(frameSamples[channel] * gain));
    }
}
