// An output of the infinite pin tee: offers the tee input's type and hands
// the input's allocator on, read-only.
#pragma once

#include "platform/mediagraph/PlatformPin.h"

class InfTee;

class TeeOutputPin final : public PlatformPin {
public:
    TeeOutputPin(InfTee& tee, std::u16string name);

    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mediaType) override;

    // On the streaming thread.
    HRESULT Deliver(IMediaSample* sample);
    bool DownstreamCanBlock();
    // The tee input's allocator changed.
    void PassAllocator(IMemAllocator* allocator);

private:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    std::vector<OwnedMediaType> OfferedTypes() override;
    void BreakConnect() override;

    InfTee& tee;
    ComPtr<IMemInputPin> downstream;
};
