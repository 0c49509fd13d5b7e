#include "platform/thread/Threads.h"

#include "platform/thread/SyncEvent.h"
#include "platform/thread/ThreadObject.h"

#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <new>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

// Any value no real handle can have: handles are addresses of live objects.
HANDLE const kCurrentThreadPseudoHandle = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-2));

struct PriorityLevel {
    int priority;
    int nice;
};

constexpr PriorityLevel kPriorityLevels[] = {
    {THREAD_PRIORITY_IDLE, 19},           {THREAD_PRIORITY_LOWEST, 10},       {THREAD_PRIORITY_BELOW_NORMAL, 5},
    {THREAD_PRIORITY_NORMAL, 0},          {THREAD_PRIORITY_ABOVE_NORMAL, -5}, {THREAD_PRIORITY_HIGHEST, -10},
    {THREAD_PRIORITY_TIME_CRITICAL, -20},
};

template <typename T>
std::shared_ptr<T> ObjectAs(HANDLE handle)
{
    return std::dynamic_pointer_cast<T>(ObjectOfHandle(handle));
}

// The system id of the thread a handle names, or 0 when it names none that runs.
pid_t RunningThreadId(HANDLE thread)
{
    if (thread == kCurrentThreadPseudoHandle) return gettid();
    auto object = ObjectAs<ThreadObject>(thread);
    if (!object || object->HasEnded()) return 0;
    return object->SystemId();
}

} // namespace

PLATFORM_API HANDLE CreateEventW(void*, BOOL manualReset, BOOL initialState, LPCWSTR)
{
    auto event = std::shared_ptr<SyncEvent>(new (std::nothrow) SyncEvent(manualReset != 0, initialState != 0));
    return event ? OpenHandle(event) : nullptr;
}

PLATFORM_API BOOL SetEvent(HANDLE event)
{
    auto object = ObjectAs<SyncEvent>(event);
    if (!object) return FALSE;
    object->Set();
    return TRUE;
}

PLATFORM_API BOOL ResetEvent(HANDLE event)
{
    auto object = ObjectAs<SyncEvent>(event);
    if (!object) return FALSE;
    object->Reset();
    return TRUE;
}

PLATFORM_API HANDLE CreateThread(void*, std::size_t, LPTHREAD_START_ROUTINE start, void* parameter, DWORD flags,
                                 LPDWORD threadId)
{
    if (!start || (flags & CREATE_SUSPENDED)) return nullptr;
    auto thread = std::shared_ptr<ThreadObject>(new (std::nothrow) ThreadObject);
    if (!thread || !ThreadObject::Start(thread, start, parameter)) return nullptr;
    if (threadId) *threadId = static_cast<DWORD>(thread->SystemId());
    return OpenHandle(thread);
}

PLATFORM_API BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode)
{
    auto object = ObjectAs<ThreadObject>(thread);
    if (!object || !exitCode) return FALSE;
    *exitCode = object->HasEnded() ? object->ExitCode() : STILL_ACTIVE;
    return TRUE;
}

PLATFORM_API HANDLE GetCurrentThread() { return kCurrentThreadPseudoHandle; }

PLATFORM_API DWORD GetCurrentThreadId() { return static_cast<DWORD>(gettid()); }

PLATFORM_API BOOL SetThreadPriority(HANDLE thread, int priority)
{
    const pid_t id = RunningThreadId(thread);
    if (id == 0) return FALSE;
    for (const PriorityLevel& level : kPriorityLevels) {
        if (level.priority == priority) return setpriority(PRIO_PROCESS, id, level.nice) == 0 ? TRUE : FALSE;
    }
    return FALSE;
}

PLATFORM_API int GetThreadPriority(HANDLE thread)
{
    const pid_t id = RunningThreadId(thread);
    if (id == 0) return THREAD_PRIORITY_ERROR_RETURN;
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, id);
    if (nice == -1 && errno != 0) return THREAD_PRIORITY_ERROR_RETURN;
    // A nice value set by other means reads as the nearest level.
    const PriorityLevel* nearest = &kPriorityLevels[0];
    for (const PriorityLevel& level : kPriorityLevels) {
        if (std::abs(level.nice - nice) < std::abs(nearest->nice - nice)) nearest = &level;
    }
    return nearest->priority;
}

PLATFORM_API DWORD WaitForSingleObject(HANDLE handle, DWORD timeoutMs)
{
    auto object = ObjectOfHandle(handle);
    if (!object) return WAIT_FAILED;
    return object->Wait(timeoutMs) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

PLATFORM_API BOOL CloseHandle(HANDLE handle) { return CloseObjectHandle(handle) ? TRUE : FALSE; }

PLATFORM_API void Sleep(DWORD milliseconds)
{
    if (milliseconds == 0) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

// The mutex is constructed and destroyed with the section itself: nothing more to set up or tear down.
PLATFORM_API void InitializeCriticalSection(CRITICAL_SECTION*) {}

PLATFORM_API void DeleteCriticalSection(CRITICAL_SECTION*) {}

PLATFORM_API void EnterCriticalSection(CRITICAL_SECTION* section) { section->mutex.lock(); }

PLATFORM_API BOOL TryEnterCriticalSection(CRITICAL_SECTION* section)
{
    return section->mutex.try_lock() ? TRUE : FALSE;
}

PLATFORM_API void LeaveCriticalSection(CRITICAL_SECTION* section) { section->mutex.unlock(); }
