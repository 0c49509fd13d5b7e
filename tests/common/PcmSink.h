// A sink of the tests' own for PCM: keeps every byte it receives with the
// samples' times, and reports EC_COMPLETE at end-of-stream.
#pragma once

#include "platform/mediagraph/PlatformFilter.h"
#include "platform/mediagraph/PlatformPin.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

class PcmSink;

class PcmInputPin final : public PlatformPin {
public:
    explicit PcmInputPin(PcmSink& sink);
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT EndOfStream() override;

private:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    PcmSink& sink;
};

class PcmSink final : public PlatformFilter {
public:
    PcmSink();
    PcmInputPin& Input() { return input; }

    struct Stamp {
        REFERENCE_TIME start;
        REFERENCE_TIME stop;
        LONG bytes;
    };
    std::vector<BYTE> Bytes();
    std::vector<Stamp> Stamps();
    // Whether a sample came within `limitMs`.
    bool WaitForSample(unsigned limitMs);
    std::atomic<int> endsOfStream{0};

    void Keep(IMediaSample* sample);

private:
    ~PcmSink() override = default;
    std::vector<PlatformPin*> Pins() override { return {&input}; }

    PcmInputPin input;
    std::mutex lock;
    std::condition_variable kept;
    std::vector<BYTE> bytes;
    std::vector<Stamp> stamps;
};
