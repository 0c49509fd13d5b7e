#include "platform/mediagraph/SystemClock.h"

#include "platform/mediagraph/BuiltinFactories.h"

#include <chrono>

REFERENCE_TIME SystemClock::Now()
{
    using Units = std::chrono::duration<REFERENCE_TIME, std::ratio<1, 10'000'000>>;
    return std::chrono::duration_cast<Units>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

SystemClock::~SystemClock()
{
    {
        std::lock_guard guard(lock);
        closing = true;
    }
    changed.notify_all();
    if (server.joinable()) server.join();
}

HRESULT SystemClock::GetTime(REFERENCE_TIME* time)
{
    if (!time) return E_POINTER;
    *time = Now();
    return S_OK;
}

HRESULT SystemClock::AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event,
                                DWORD_PTR* adviseCookie)
{
    std::unique_lock guard(lock);
    return Added(advises.AddOneTime(baseTime, streamTime, event, adviseCookie), guard);
}

HRESULT SystemClock::AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE semaphore,
                                    DWORD_PTR* adviseCookie)
{
    std::unique_lock guard(lock);
    return Added(advises.AddPeriodic(startTime, periodTime, semaphore, adviseCookie), guard);
}

HRESULT SystemClock::Added(HRESULT hr, std::unique_lock<std::mutex>& guard)
{
    if (hr != S_OK) return hr;
    if (!server.joinable()) server = std::thread([this] { ServeAdvises(); });
    guard.unlock();
    changed.notify_all();
    return hr;
}

HRESULT SystemClock::Unadvise(DWORD_PTR adviseCookie)
{
    std::lock_guard guard(lock);
    return advises.Remove(adviseCookie);
}

void SystemClock::ServeAdvises()
{
    std::unique_lock guard(lock);
    while (!closing) {
        const REFERENCE_TIME next = advises.SignalDue(Now());
        if (next == AdviseList::kNone) {
            changed.wait(guard);
        } else {
            changed.wait_for(guard, std::chrono::microseconds((next - Now()) / 10 + 1));
        }
    }
}

HRESULT CreateSystemClock(IUnknown* outer, REFIID iid, void** object)
{
    return SystemClock::Create(outer, iid, object);
}
