// A source of the tests' own that plays the part of the render engine's
// front end: 16-bit PCM of a given rate, channel count and length, a tone,
// in time-stamped samples of 100 ms on its own thread, then end-of-stream.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/PlatformFilter.h"
#include "platform/mediagraph/PlatformPin.h"

#include <thread>

class PcmSource;

class PcmOutputPin final : public PlatformPin {
public:
    PcmOutputPin(PcmSource& source, OwnedMediaType type);
    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mediaType) override;

private:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    std::vector<OwnedMediaType> OfferedTypes() override { return {type}; }

    OwnedMediaType type;
};

class PcmSource final : public PlatformFilter {
public:
    PcmSource(int sampleRate, int channels, REFERENCE_TIME length);

private:
    ~PcmSource() override;
    std::vector<PlatformPin*> Pins() override { return {&output}; }
    HRESULT OnPause() override;
    HRESULT OnStop() override;
    void Play(ComPtr<IMemInputPin> target);

    const int sampleRate;
    const int channels;
    const REFERENCE_TIME length;
    PcmOutputPin output;
    ComPtr<IMemAllocator> allocator;
    std::thread player;
};
