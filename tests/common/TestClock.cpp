#include "tests/common/TestClock.h"

#include "platform/thread/Threads.h"

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
    if (!adviseCookie) return E_POINTER;
    if (baseTime < 0 || streamTime < 0) return E_INVALIDARG;
    return AddAdvise(baseTime + streamTime, 0, event, adviseCookie);
}

HRESULT TestClock::AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE semaphore,
                                  DWORD_PTR* adviseCookie)
{
    if (!adviseCookie) return E_POINTER;
    if (startTime < 0 || periodTime <= 0) return E_INVALIDARG;
    return AddAdvise(startTime, periodTime, semaphore, adviseCookie);
}

HRESULT TestClock::AddAdvise(REFERENCE_TIME due, REFERENCE_TIME period, DWORD_PTR handle, DWORD_PTR* cookie)
{
    if (!handle) return E_INVALIDARG;
    {
        std::lock_guard guard(lock);
        *cookie = nextCookie++;
        advises.push_back({*cookie, due, period, reinterpret_cast<HANDLE>(handle)});
        SignalDue();
    }
    advised.notify_all();
    return S_OK;
}

HRESULT TestClock::Unadvise(DWORD_PTR adviseCookie)
{
    std::lock_guard guard(lock);
    return std::erase_if(advises, [&](const Advise& a) { return a.cookie == adviseCookie; }) ? S_OK : S_FALSE;
}

void TestClock::SetTime(REFERENCE_TIME time)
{
    std::lock_guard guard(lock);
    now = std::max(now, time);
    SignalDue();
}

void TestClock::SignalDue()
{
    std::erase_if(advises, [&](Advise& a) {
        if (a.due > now) return false;
        SetEvent(a.event);
        if (a.period == 0) return true;
        a.due += ((now - a.due) / a.period + 1) * a.period;
        return false;
    });
}

std::optional<REFERENCE_TIME> TestClock::WaitForPendingAdvise(unsigned limitMs)
{
    std::unique_lock guard(lock);
    if (!advised.wait_for(guard, std::chrono::milliseconds(limitMs), [&] { return !advises.empty(); }))
        return std::nullopt;
    return std::min_element(advises.begin(), advises.end(),
                            [](const Advise& a, const Advise& b) { return a.due < b.due; })
        ->due;
}
