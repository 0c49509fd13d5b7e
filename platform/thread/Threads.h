// Threads, events, critical sections and interlocked counters with the Win32
// calling conventions the system is written against.
//
// Events and threads are handles: wait on them with WaitForSingleObject and
// close them with CloseHandle. Thread priorities map onto the thread's nice value.
#pragma once

#include "platform/base/WinTypes.h"

#include <atomic>
#include <mutex>

using LPTHREAD_START_ROUTINE = DWORD (*)(void* parameter);

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD STILL_ACTIVE = 259;
constexpr DWORD CREATE_SUSPENDED = 0x4;

constexpr int THREAD_PRIORITY_IDLE = -15;
constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;
constexpr int THREAD_PRIORITY_ERROR_RETURN = 0x7FFFFFFF;

PLATFORM_API HANDLE CreateEventW(void* security, BOOL manualReset, BOOL initialState, LPCWSTR name);
PLATFORM_API BOOL SetEvent(HANDLE event);
PLATFORM_API BOOL ResetEvent(HANDLE event);

// CREATE_SUSPENDED is not supported (nothing in the system asks for it): the call fails.
PLATFORM_API HANDLE CreateThread(void* security, std::size_t stackSize, LPTHREAD_START_ROUTINE start, void* parameter,
                                 DWORD flags, LPDWORD threadId);
// STILL_ACTIVE while the thread runs, then its start routine's answer.
PLATFORM_API BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
// A pseudo handle that names the calling thread; it needs no CloseHandle.
PLATFORM_API HANDLE GetCurrentThread();
PLATFORM_API DWORD GetCurrentThreadId();
// IDLE -15, LOWEST -2 .. HIGHEST 2, TIME_CRITICAL 15 map onto nice 19, 10, 5, 0, -5, -10, -20.
// FALSE for another value, an ended thread, or a change the system refuses.
PLATFORM_API BOOL SetThreadPriority(HANDLE thread, int priority);
PLATFORM_API int GetThreadPriority(HANDLE thread);

// WAIT_OBJECT_0 when the event is set or the thread has ended, WAIT_TIMEOUT after
// timeoutMs milliseconds (INFINITE waits for ever), WAIT_FAILED for a bad handle.
PLATFORM_API DWORD WaitForSingleObject(HANDLE handle, DWORD timeoutMs);
// A running thread goes on after its handle is closed.
PLATFORM_API BOOL CloseHandle(HANDLE handle);
PLATFORM_API void Sleep(DWORD milliseconds);

// Re-entrant by the owning thread, as Windows critical sections are.
struct CRITICAL_SECTION {
    std::recursive_mutex mutex;
};
PLATFORM_API void InitializeCriticalSection(CRITICAL_SECTION* section);
PLATFORM_API void DeleteCriticalSection(CRITICAL_SECTION* section);
PLATFORM_API void EnterCriticalSection(CRITICAL_SECTION* section);
PLATFORM_API BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);
PLATFORM_API void LeaveCriticalSection(CRITICAL_SECTION* section);

// The Windows signatures take volatile pointers; the counters themselves are plain
// objects, so std::atomic_ref may view them.
template <typename T>
std::atomic_ref<T> AtomicView(T volatile* target)
{
    return std::atomic_ref<T>(*const_cast<T*>(target));
}
inline LONG InterlockedIncrement(LONG volatile* value) { return ++AtomicView(value); }
inline LONG InterlockedDecrement(LONG volatile* value) { return --AtomicView(value); }
inline LONG InterlockedExchange(LONG volatile* target, LONG value) { return AtomicView(target).exchange(value); }
inline LONG InterlockedExchangeAdd(LONG volatile* target, LONG value) { return AtomicView(target).fetch_add(value); }
inline LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand)
{
    AtomicView(target).compare_exchange_strong(comparand, exchange);
    return comparand;
}
template <typename T>
T* InterlockedExchangePointer(T* volatile* target, T* value)
{
    return AtomicView(target).exchange(value);
}
