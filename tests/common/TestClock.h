// A reference clock whose time moves only when the test moves it, as GStreamer's
// GstTestClock: what a renderer presents, and when by the clock, no longer depends
// on how fast a shared machine runs the test.
//
// The test sees the advises waiting on the clock, so it can move the time exactly
// to the next one and know the waiter was released.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/AdviseList.h"
#include "platform/mediagraph/MediaGraph.h"
#include "platform/mediagraph/PlatformObject.h"

#include <condition_variable>
#include <mutex>
#include <optional>

class TestClock final : public PlatformObject<TestClock, IReferenceClock, IID_IReferenceClock> {
public:
    static ComPtr<TestClock> Make(REFERENCE_TIME start);

    HRESULT GetTime(REFERENCE_TIME* time) override;
    HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event,
                       DWORD_PTR* adviseCookie) override;
    HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE semaphore,
                           DWORD_PTR* adviseCookie) override;
    HRESULT Unadvise(DWORD_PTR adviseCookie) override;

    REFERENCE_TIME Now();
    // Moves the time forward to `time` (never back) and signals the advises due by then.
    void SetTime(REFERENCE_TIME time);
    // The earliest due time among the advises waiting, once there is one; nothing when
    // none came within `limitMs` (a test that fails, not one that waits for time).
    std::optional<REFERENCE_TIME> WaitForPendingAdvise(unsigned limitMs = 5000);

private:
    friend PlatformObject;
    TestClock() = default;
    ~TestClock() = default;

    // Signals what the time has reached, and wakes a test waiting for an advise.
    HRESULT Added(HRESULT hr, std::unique_lock<std::mutex>& guard);

    std::mutex lock;
    std::condition_variable advised;
    REFERENCE_TIME now = 0;
    AdviseList advises;
};
