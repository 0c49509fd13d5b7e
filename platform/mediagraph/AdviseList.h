// The advise requests of a reference clock (IReferenceClock::AdviseTime and
// AdvisePeriodic): checked, kept, and signalled as the clock's time reaches them. The
// handle of an advise is an event (CreateEventW); the platform has no semaphores, so
// a periodic advise sets its event once per period.
//
// Not locked: the clock holds its own lock around every call.
#pragma once

#include "platform/mediagraph/MediaGraph.h"

#include <limits>
#include <vector>

class AdviseList {
public:
    static constexpr REFERENCE_TIME kNone = std::numeric_limits<REFERENCE_TIME>::max();

    HRESULT AddOneTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event, DWORD_PTR* cookie);
    HRESULT AddPeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE semaphore, DWORD_PTR* cookie);
    // S_OK, or S_FALSE when no advise has that cookie.
    HRESULT Remove(DWORD_PTR cookie);
    // Sets the events of the advises due by `now`; answers the next due time, kNone when
    // none is left.
    REFERENCE_TIME SignalDue(REFERENCE_TIME now);
    // The earliest due time, kNone when no advise is waiting.
    REFERENCE_TIME NextDue() const;

private:
    struct Advise {
        DWORD_PTR cookie;
        REFERENCE_TIME due;
        REFERENCE_TIME period; // 0 for a one-time advise
        HANDLE event;
    };
    HRESULT Add(REFERENCE_TIME due, REFERENCE_TIME period, DWORD_PTR handle, DWORD_PTR* cookie);

    std::vector<Advise> advises;
    DWORD_PTR nextCookie = 1;
};
