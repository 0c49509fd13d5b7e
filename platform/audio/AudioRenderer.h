// CLSID_AudioRender: plays PCM on the default output device through SDL2's
// audio queue, and is a reference clock driven by what the device has played.
//
// Creation fails with VFW_E_NO_AUDIO_HARDWARE when SDL has no output device.
// The device opens when the input connects, at the connection's format, and
// plays only while the filter runs: pausing the graph pauses the device. At
// most a third of a second is queued ahead; Receive blocks beyond that.
// EC_COMPLETE follows end-of-stream once the device has played the last
// sample, and only while running.
//
// The clock: while running with sound queued, the run's start time plus the
// stream time of the played position; otherwise it runs on with the machine's
// monotonic clock. It never goes back.
#pragma once

#include "platform/audio/AudioInputPin.h"
#include "platform/mediagraph/MediaFormat.h"
#include "platform/mediagraph/PlatformFilter.h"

#include <condition_variable>
#include <mutex>
#include <thread>

class AudioRenderer final : public PlatformFilter, public IReferenceClock {
public:
    static HRESULT Create(IUnknown* outer, REFIID iid, void** object);

    HRESULT QueryInterface(REFIID iid, void** object) override { return PlatformFilter::QueryInterface(iid, object); }
    ULONG AddRef() override { return PlatformFilter::AddRef(); }
    ULONG Release() override { return PlatformFilter::Release(); }

    // IReferenceClock
    HRESULT GetTime(REFERENCE_TIME* time) override;
    HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event,
                       DWORD_PTR* adviseCookie) override;
    HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE semaphore,
                           DWORD_PTR* adviseCookie) override;
    HRESULT Unadvise(DWORD_PTR adviseCookie) override;

    // The input pin's calls: connection under the filter lock, the rest on the streaming thread.
    HRESULT OpenDevice(const AudioFormat& format);
    void CloseDevice();
    HRESULT Render(IMediaSample* sample);
    HRESULT EndOfStream();
    HRESULT BeginFlush();
    HRESULT EndFlush();

private:
    AudioRenderer();
    ~AudioRenderer() override;

    HRESULT QueryOtherInterface(REFIID iid, void** object) override;
    std::vector<PlatformPin*> Pins() override;
    HRESULT OnStop() override;
    HRESULT OnPause() override;
    HRESULT OnRun(REFERENCE_TIME start) override;

    // Under the stream lock.
    REFERENCE_TIME ClockNow();
    // How far this clock is ahead of the machine's; takes the stream lock.
    REFERENCE_TIME AheadOfSystemClock();
    void ResetStream();
    bool Halted() const { return streamState == State_Stopped || flushing; }
    // Watches the device for the end of the sound; runs while the device is open.
    void WatchPlayback();
    REFERENCE_TIME BytesToTime(std::uint64_t bytes) const;

    AudioInputPin input;
    ComPtr<IReferenceClock> systemClock;

    std::mutex streamLock;
    std::condition_variable changed;
    std::uint32_t device = 0;
    AudioFormat format;
    REFERENCE_TIME deviceLatency = 0;
    FILTER_STATE streamState = State_Stopped;
    REFERENCE_TIME runStart = 0;
    bool flushing = false;
    bool haveFirstSample = false;
    REFERENCE_TIME firstSampleStart = 0;
    std::uint64_t queuedBytes = 0;
    bool endOfStream = false;
    bool completed = false;
    REFERENCE_TIME drainedAt = -1;
    REFERENCE_TIME lastClock = 0;
    REFERENCE_TIME lastSystem = 0;
    bool closing = false;
    std::thread watcher;
};
