#include "tests/common/PcmSource.h"

#include <cmath>
#include <cstdint>

namespace {

const CLSID CLSID_PcmSource{0x5A3E9C21, 0x7B14, 0x4F0D, {0x9A, 0x61, 0x2C, 0x83, 0x15, 0xE7, 0x40, 0x0B}};
constexpr REFERENCE_TIME kBlockTime = 1'000'000;

} // namespace

OwnedMediaType PcmType(int sampleRate, int channels)
{
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = static_cast<WORD>(channels);
    wave.nSamplesPerSec = static_cast<DWORD>(sampleRate);
    wave.wBitsPerSample = 16;
    wave.nBlockAlign = static_cast<WORD>(channels * 2);
    wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = wave.nBlockAlign;
    type.formattype = FORMAT_WaveFormatEx;
    type.cbFormat = sizeof wave;
    type.pbFormat = reinterpret_cast<BYTE*>(&wave);
    return OwnedMediaType(type);
}

PcmSource::PcmSource(int rate, int channelCount, REFERENCE_TIME duration)
    : PlatformFilter(CLSID_PcmSource),
      sampleRate(rate),
      channels(channelCount),
      length(duration),
      output(*this, u"Audio", PcmType(rate, channelCount))
{
}

PcmSource::~PcmSource()
{
    if (player.joinable()) player.join();
}

HRESULT PcmSource::OnPause()
{
    if (State() != State_Stopped || !output.IsConnected()) return S_OK;
    ComPtr<IMemInputPin> target;
    HRESULT hr = output.Peer().As(IID_IMemInputPin, target);
    if (SUCCEEDED(hr)) {
        hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                              allocator.ReceiveVoid());
    }
    const LONG blockBytes = static_cast<LONG>(sampleRate * kBlockTime / kUnitsPerSecond) * channels * 2;
    ALLOCATOR_PROPERTIES request{2, blockBytes, 1, 0};
    ALLOCATOR_PROPERTIES actual{};
    if (SUCCEEDED(hr)) hr = allocator->SetProperties(&request, &actual);
    if (SUCCEEDED(hr)) hr = target->NotifyAllocator(allocator.Get(), FALSE);
    if (SUCCEEDED(hr)) hr = allocator->Commit();
    if (FAILED(hr)) return hr;
    player = std::thread([this, target] { Play(target); });
    return S_OK;
}

HRESULT PcmSource::OnStop()
{
    // The player's GetBuffer fails once the allocator is decommitted.
    if (allocator) allocator->Decommit();
    if (player.joinable()) player.join();
    allocator.Reset();
    return S_OK;
}

void PcmSource::Play(ComPtr<IMemInputPin> target)
{
    const int64_t total = length * sampleRate / kUnitsPerSecond;
    for (int64_t frame = 0; frame < total;) {
        ComPtr<IMediaSample> sample;
        if (FAILED(allocator->GetBuffer(sample.Receive(), nullptr, nullptr, 0))) return;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        const int64_t frames = std::min<int64_t>(sample->GetSize() / (channels * 2), total - frame);
        auto* pcm = reinterpret_cast<int16_t*>(data);
        for (int64_t i = 0; i < frames; ++i) {
            const auto level = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440.0 * double(frame + i) / sampleRate));
            for (int c = 0; c < channels; ++c) *pcm++ = level;
        }
        sample->SetActualDataLength(static_cast<LONG>(frames * channels * 2));
        REFERENCE_TIME start = frame * kUnitsPerSecond / sampleRate;
        REFERENCE_TIME stop = (frame + frames) * kUnitsPerSecond / sampleRate;
        sample->SetTime(&start, &stop);
        if (target->Receive(sample.Get()) != S_OK) return;
        frame += frames;
    }
    if (ComPtr<IPin> peer = output.Peer()) peer->EndOfStream();
}
