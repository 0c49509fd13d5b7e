// CLSID_SystemClock: the reference clock the graph uses when no filter offers
// one. Time runs from the machine's monotonic clock in 100 ns units, so it
// never jumps when the wall-clock time is set.
//
// Advise requests are kept in a list that one thread of the clock's own
// serves, started at the first request.
#pragma once

#include "platform/mediagraph/AdviseList.h"
#include "platform/mediagraph/MediaGraph.h"
#include "platform/mediagraph/PlatformObject.h"

#include <condition_variable>
#include <mutex>
#include <thread>

class SystemClock final : public PlatformObject<SystemClock, IReferenceClock, IID_IReferenceClock> {
public:
    SystemClock() = default;
    SystemClock(const SystemClock&) = delete;
    SystemClock& operator=(const SystemClock&) = delete;

    HRESULT GetTime(REFERENCE_TIME* time) override;
    HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event,
                       DWORD_PTR* adviseCookie) override;
    HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE semaphore,
                           DWORD_PTR* adviseCookie) override;
    HRESULT Unadvise(DWORD_PTR adviseCookie) override;

    static REFERENCE_TIME Now();

private:
    friend PlatformObject;
    ~SystemClock();

    // Starts the serving thread on the first request, and wakes it for the new one.
    HRESULT Added(HRESULT hr, std::unique_lock<std::mutex>& guard);
    void ServeAdvises();

    std::mutex lock;
    std::condition_variable changed;
    AdviseList advises;
    bool closing = false;
    std::thread server;
};
