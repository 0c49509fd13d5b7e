// The output of the render engine's audio source: offers the group's PCM type
// and brings the downstream pin's allocator, or the platform's own when the
// downstream pin has none.
#pragma once

#include "platform/mediagraph/PlatformPin.h"

class TimelineAudioSource;

class TimelineAudioPin final : public PlatformPin {
public:
    TimelineAudioPin(TimelineAudioSource& source, const AM_MEDIA_TYPE& type, LONG bufferBytes);

    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mediaType) override;

    // The downstream input and allocator of the connection; none when unconnected.
    ComPtr<IMemInputPin> Downstream();
    ComPtr<IMemAllocator> SampleAllocator();

private:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    std::vector<OwnedMediaType> OfferedTypes() override;
    void BreakConnect() override;
    HRESULT AgreeAllocator(IMemInputPin* input);

    OwnedMediaType type;
    LONG bufferBytes;
    ComPtr<IMemInputPin> downstream;
    ComPtr<IMemAllocator> allocator;
};
