#include "platform/audio/AudioInputPin.h"

#include "platform/audio/AudioRenderer.h"
#include "platform/mediagraph/MediaFormat.h"

namespace {

constexpr WORD kMaxChannels = 8;
constexpr DWORD kMinRate = 1000;
constexpr DWORD kMaxRate = 192000;

// 8- or 16-bit PCM in a whole WAVEFORMATEX that the device can be opened for.
bool Plays(const AM_MEDIA_TYPE& type, AudioFormat* format)
{
    return AudioFormat::Read(type, format) && format->wholeRecord &&
           (format->bitsPerSample == 8 || format->bitsPerSample == 16) && format->channels >= 1 &&
           format->channels <= kMaxChannels && format->sampleRate >= kMinRate && format->sampleRate <= kMaxRate &&
           format->BlockAlignMatches();
}

} // namespace

AudioInputPin::AudioInputPin(AudioRenderer& owner)
    : PlatformPin(owner, u"Audio Input pin (rendered)", PINDIR_INPUT), renderer(owner)
{
}

HRESULT AudioInputPin::CheckMediaType(const AM_MEDIA_TYPE& type)
{
    AudioFormat unused;
    return Plays(type, &unused) ? S_OK : S_FALSE;
}

HRESULT AudioInputPin::CompleteConnect()
{
    AudioFormat format;
    Plays(ConnectionType().Record(), &format);
    return renderer.OpenDevice(format);
}

void AudioInputPin::BreakConnect() { renderer.CloseDevice(); }

HRESULT AudioInputPin::Receive(IMediaSample* sample)
{
    if (!sample) return E_POINTER;
    return renderer.Render(sample);
}

HRESULT AudioInputPin::ReceiveCanBlock() { return S_OK; }
HRESULT AudioInputPin::EndOfStream() { return renderer.EndOfStream(); }
HRESULT AudioInputPin::BeginFlush() { return renderer.BeginFlush(); }
HRESULT AudioInputPin::EndFlush() { return renderer.EndFlush(); }
