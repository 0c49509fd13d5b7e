// CLSID_SystemClock: the reference clock the graph uses when no filter offers
// one. Time runs from the machine's monotonic clock in 100 ns units, so it
// never jumps when the wall-clock time is set.
//
// Advise requests are kept in a list that one thread of the clock's own
// serves, started at the first request. The handle of an advise is an event
// (CreateEventW); the platform has no semaphores, so a periodic advise sets
// its event once per period.
#pragma once

#include "platform/mediagraph/MediaGraph.h"
#include "platform/mediagraph/PlatformObject.h"

#include <condition_variable>
#include <list>
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

    struct Advise {
        DWORD_PTR cookie;
        REFERENCE_TIME due;
        REFERENCE_TIME period; // 0 for a one-time advise
        HANDLE event;
    };

    HRESULT AddAdvise(REFERENCE_TIME due, REFERENCE_TIME period, DWORD_PTR handle, DWORD_PTR* cookie);
    void ServeAdvises();
    // Sets the events of the advises that are due; answers the next due time.
    REFERENCE_TIME SignalDue(REFERENCE_TIME now);

    std::mutex lock;
    std::condition_variable changed;
    std::list<Advise> advises;
    DWORD_PTR nextCookie = 1;
    bool closing = false;
    std::thread server;
};
