#include "tests/common/TestClock.h"

#include <algorithm>
#include <chrono>

ComPtr<TestClock> TestClock::Make(REFERENCE_TIME start)
{
    auto* clock = new TestClock;
    clock->now = start;
    return ComPtr<TestClock>::Attach(clock);
}

HRESULT TestClock::GetTime(REFERENCE_TIME* time)
{
    if (!time) return E_POINTER;
    *time = Now();
    return S_OK;
}

REFERENCE_TIME TestClock::Now()
{
    std::lock_guard guard(lock);
    return now;
}

HRESULT TestClock::AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event, DWORD_PTR* adviseCookie)
{
    std::unique_lock guard(lock);
    return Added(advises.AddOneTime(baseTime, streamTime, event, adviseCookie), guard);
}

HRESULT TestClock::AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE semaphore,
                                  DWORD_PTR* adviseCookie)
{
    std::unique_lock guard(lock);
    return Added(advises.AddPeriodic(startTime, periodTime, semaphore, adviseCookie), guard);
}

HRESULT TestClock::Added(HRESULT hr, std::unique_lock<std::mutex>& guard)
{
    if (hr != S_OK) return hr;
    advises.SignalDue(now);
    guard.unlock();
    advised.notify_all();
    return hr;
}

HRESULT TestClock::Unadvise(DWORD_PTR adviseCookie)
{
    std::lock_guard guard(lock);
    return advises.Remove(adviseCookie);
}

void TestClock::SetTime(REFERENCE_TIME time)
{
    std::lock_guard guard(lock);
    now = std::max(now, time);
    advises.SignalDue(now);
}

std::optional<REFERENCE_TIME> TestClock::WaitForPendingAdvise(unsigned limitMs)
{
    std::unique_lock guard(lock);
    if (!advised.wait_for(guard, std::chrono::milliseconds(limitMs),
                          [&] { return advises.NextDue() != AdviseList::kNone; }))
        return std::nullopt;
    return advises.NextDue();
}
