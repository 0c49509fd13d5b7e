#include "platform/mediagraph/AdviseList.h"

#include "platform/thread/Threads.h"

#include <algorithm>

HRESULT AdviseList::AddOneTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event, DWORD_PTR* cookie)
{
    if (!cookie) return E_POINTER;
    if (baseTime < 0 || streamTime < 0 || baseTime > kNone - 1 - streamTime) return E_INVALIDARG;
    return Add(baseTime + streamTime, 0, event, cookie);
}

HRESULT AdviseList::AddPeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE semaphore,
                                DWORD_PTR* cookie)
{
    if (!cookie) return E_POINTER;
    if (startTime < 0 || periodTime <= 0 || startTime == kNone) return E_INVALIDARG;
    return Add(startTime, periodTime, semaphore, cookie);
}

HRESULT AdviseList::Add(REFERENCE_TIME due, REFERENCE_TIME period, DWORD_PTR handle, DWORD_PTR* cookie)
{
    if (!handle) return E_INVALIDARG;
    *cookie = nextCookie++;
    advises.push_back({*cookie, due, period, reinterpret_cast<HANDLE>(handle)});
    return S_OK;
}

HRESULT AdviseList::Remove(DWORD_PTR cookie)
{
    return std::erase_if(advises, [&](const Advise& a) { return a.cookie == cookie; }) ? S_OK : S_FALSE;
}

REFERENCE_TIME AdviseList::SignalDue(REFERENCE_TIME now)
{
    std::erase_if(advises, [&](Advise& a) {
        if (a.due > now) return false;
        SetEvent(a.event);
        if (a.period == 0) return true;
        // A period missed while the machine was busy is signalled once, not caught up.
        const REFERENCE_TIME missed = (now - a.due) / a.period + 1;
        if (missed > (kNone - a.due) / a.period) return true; // its next time lies beyond any clock time
        a.due += missed * a.period;
        return false;
    });
    return NextDue();
}

REFERENCE_TIME AdviseList::NextDue() const
{
    REFERENCE_TIME next = kNone;
    for (const Advise& a : advises) next = std::min(next, a.due);
    return next;
}
