// A source of the tests' own that plays the part of the render engine's
// front end: 16-bit PCM of a given rate, channel count and length, a tone,
// in time-stamped samples of 100 ms on its own thread, then end-of-stream.
#pragma once

#include "tests/common/TypedOutputPin.h"

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/PlatformFilter.h"

#include <thread>

// 16-bit PCM of this rate and channel count.
OwnedMediaType PcmType(int sampleRate, int channels);

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
    TypedOutputPin output;
    ComPtr<IMemAllocator> allocator;
    std::thread player;
};
