// The input of the infinite pin tee: passes what it receives to every
// connected output of its tee.
#pragma once

#include "platform/mediagraph/PlatformPin.h"

#include <atomic>

class InfTee;

class TeeInputPin final : public PlatformPin {
public:
    explicit TeeInputPin(InfTee& tee);

    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveCanBlock() override;

    void EndFlushing() { flushing = false; }

private:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;

    InfTee& tee;
    std::atomic<bool> flushing{false};
};
