#include "platform/audio/AudioInputPin.h"

#include "platform/audio/AudioRenderer.h"
#include "platform/mediagraph/MediaTypes.h"

#include <cstring>

namespace {

constexpr WORD kMaxChannels = 8;
constexpr DWORD kMinRate = 1000;
constexpr DWORD kMaxRate = 192000;

} // namespace

AudioInputPin::AudioInputPin(AudioRenderer& owner)
    : PlatformPin(owner, u"Audio Input pin (rendered)", PINDIR_INPUT), renderer(owner)
{
}

bool AudioInputPin::PcmFormatOf(const AM_MEDIA_TYPE& type, WAVEFORMATEX* format)
{
    if (type.majortype != MEDIATYPE_Audio || type.subtype != MEDIASUBTYPE_PCM) return false;
    if (type.formattype != FORMAT_WaveFormatEx || !type.pbFormat || type.cbFormat < sizeof(WAVEFORMATEX)) return false;
    WAVEFORMATEX wave;
    std::memcpy(&wave, type.pbFormat, sizeof wave);
    if (wave.wFormatTag != WAVE_FORMAT_PCM || (wave.wBitsPerSample != 8 && wave.wBitsPerSample != 16)) return false;
    if (wave.nChannels < 1 || wave.nChannels > kMaxChannels) return false;
    if (wave.nSamplesPerSec < kMinRate || wave.nSamplesPerSec > kMaxRate) return false;
    if (wave.nBlockAlign != wave.nChannels * wave.wBitsPerSample / 8) return false;
    *format = wave;
    return true;
}

HRESULT AudioInputPin::CheckMediaType(const AM_MEDIA_TYPE& type)
{
    WAVEFORMATEX format;
    return PcmFormatOf(type, &format) ? S_OK : S_FALSE;
}

HRESULT AudioInputPin::CompleteConnect()
{
    WAVEFORMATEX format;
    PcmFormatOf(ConnectionType().Record(), &format);
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
