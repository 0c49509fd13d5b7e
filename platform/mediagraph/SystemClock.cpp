#include "platform/mediagraph/SystemClock.h"

#include "platform/mediagraph/BuiltinFactories.h"
#include "platform/thread/Threads.h"

#include <chrono>
#include <limits>

namespace {

constexpr REFERENCE_TIME kNoAdvise = std::numeric_limits<REFERENCE_TIME>::max();

} // namespace

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
    if (!adviseCookie) return E_POINTER;
    if (baseTime < 0 || streamTime < 0 || baseTime > kNoAdvise - 1 - streamTime) return E_INVALIDARG;
    return AddAdvise(baseTime + streamTime, 0, event, adviseCookie);
}

HRESULT SystemClock::AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE semaphore,
                                    DWORD_PTR* adviseCookie)
{
    if (!adviseCookie) return E_POINTER;
    if (startTime < 0 || periodTime <= 0 || startTime == kNoAdvise) return E_INVALIDARG;
    return AddAdvise(startTime, periodTime, semaphore, adviseCookie);
}

HRESULT SystemClock::AddAdvise(REFERENCE_TIME due, REFERENCE_TIME period, DWORD_PTR handle, DWORD_PTR* cookie)
{
    if (!handle) return E_INVALIDARG;
    {
        std::lock_guard guard(lock);
        if (!server.joinable()) server = std::thread([this] { ServeAdvises(); });
        *cookie = nextCookie++;
        advises.push_back({*cookie, due, period, reinterpret_cast<HANDLE>(handle)});
    }
    changed.notify_all();
    return S_OK;
}

HRESULT SystemClock::Unadvise(DWORD_PTR adviseCookie)
{
    std::lock_guard guard(lock);
    const auto erased = std::erase_if(advises, [&](const Advise& a) { return a.cookie == adviseCookie; });
    return erased ? S_OK : S_FALSE;
}

REFERENCE_TIME SystemClock::SignalDue(REFERENCE_TIME now)
{
    REFERENCE_TIME next = kNoAdvise;
    for (auto it = advises.begin(); it != advises.end();) {
        if (it->due <= now) {
            SetEvent(it->event);
            if (it->period == 0) {
                it = advises.erase(it);
                continue;
            }
            // A period missed while the machine was busy is signalled once, not caught up.
            const REFERENCE_TIME missed = (now - it->due) / it->period + 1;
            if (missed > (kNoAdvise - it->due) / it->period) {
                it = advises.erase(it); // its next time lies beyond any clock time
                continue;
            }
            it->due += missed * it->period;
        }
        if (it->due < next) next = it->due;
        ++it;
    }
    return next;
}

void SystemClock::ServeAdvises()
{
    std::unique_lock guard(lock);
    while (!closing) {
        const REFERENCE_TIME next = SignalDue(Now());
        if (next == kNoAdvise) {
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
