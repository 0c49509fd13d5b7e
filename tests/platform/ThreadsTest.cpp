// Events, threads, critical sections, interlocked counters and thread priorities.

#include "platform/thread/Threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <condition_variable>
#include <chrono>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long MillisecondsSince(Clock::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

TEST(Events, ManualResetStaysSetAndReleasesEveryWaiter)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);

    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) ++released;
        });
    }
    EXPECT_TRUE(SetEvent(event));
    for (auto& waiter : waiters) waiter.join();
    EXPECT_EQ(released, 3);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << "still set";

    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));
}

TEST(Events, AutomaticResetReleasesOneWaiterPerSet)
{
    HANDLE event = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << "initially set";
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "the wait cleared it";

    std::mutex lock;
    std::condition_variable counted;
    int released = 0;
    std::vector<std::thread> waiters;
    for (int i = 0; i < 2; ++i) {
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event, INFINITE) != WAIT_OBJECT_0) return;
            std::lock_guard guard(lock);
            ++released;
            counted.notify_all();
        });
    }
    SetEvent(event);
    {
        std::unique_lock guard(lock);
        counted.wait(guard, [&] { return released > 0; });
    }
    SetEvent(event);
    for (auto& waiter : waiters) waiter.join();
    EXPECT_EQ(released, 2);
    // Had the first set released both waiters, the second would still be standing.
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "each set released one waiter";
    CloseHandle(event);
}

TEST(Events, TimedWaitLastsAtLeastItsTimeout)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const auto start = Clock::now();
    EXPECT_EQ(WaitForSingleObject(event, 100), WAIT_TIMEOUT);
    EXPECT_GE(MillisecondsSince(start), 100);
    CloseHandle(event);
}

TEST(Handles, StaleAndForeignHandlesAreRefused)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    int notAHandle = 0;
    EXPECT_EQ(WaitForSingleObject(&notAHandle, 0), WAIT_FAILED);
}

struct GatedWork {
    HANDLE gate;
    DWORD result;
};

DWORD WaitAtGate(void* parameter)
{
    auto* work = static_cast<GatedWork*>(parameter);
    WaitForSingleObject(work->gate, INFINITE);
    return work->result;
}

TEST(Threads, ReportTheirExitCodeWhenTheyEnd)
{
    GatedWork work{CreateEventW(nullptr, TRUE, FALSE, nullptr), 42};
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, WaitAtGate, &work, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());

    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);

    SetEvent(work.gate);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    CloseHandle(thread);
    CloseHandle(work.gate);
}

DWORD SignalDone(void* parameter)
{
    Sleep(20);
    SetEvent(static_cast<HANDLE>(parameter));
    return 0;
}

TEST(Threads, GoOnAfterTheirHandleIsClosed)
{
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, SignalDone, done, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_EQ(WaitForSingleObject(done, 5000), WAIT_OBJECT_0);
    CloseHandle(done);
}

TEST(CriticalSections, AreReentrantForTheOwnerOnly)
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    bool otherGotIt = true;
    std::thread([&] { otherGotIt = TryEnterCriticalSection(&section); }).join();
    EXPECT_FALSE(otherGotIt);
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    std::thread([&] {
        otherGotIt = TryEnterCriticalSection(&section);
        if (otherGotIt) LeaveCriticalSection(&section);
    }).join();
    EXPECT_TRUE(otherGotIt);
    DeleteCriticalSection(&section);
}

TEST(Interlocked, CountersLoseNoUpdate)
{
    LONG volatile counter = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < 100000; ++i) {
                InterlockedIncrement(&counter);
                InterlockedIncrement(&counter);
                InterlockedDecrement(&counter);
            }
        });
    }
    for (auto& worker : workers) worker.join();
    EXPECT_EQ(counter, 400000);
    EXPECT_EQ(InterlockedExchange(&counter, 7), 400000);
    EXPECT_EQ(InterlockedCompareExchange(&counter, 9, 6), 7) << "no exchange when the comparand differs";
    EXPECT_EQ(InterlockedCompareExchange(&counter, 9, 7), 7);
    EXPECT_EQ(counter, 9);
}

DWORD LowerOwnPriority(void*)
{
    if (!SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL)) return 1;
    if (GetThreadPriority(GetCurrentThread()) != THREAD_PRIORITY_BELOW_NORMAL) return 2;
    if (!SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE)) return 3;
    if (GetThreadPriority(GetCurrentThread()) != THREAD_PRIORITY_IDLE) return 4;
    return 0;
}

TEST(Priorities, MapOntoTheThreadsNiceValue)
{
    HANDLE thread = CreateThread(nullptr, 0, LowerOwnPriority, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    DWORD code = 99;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(SetThreadPriority(thread, THREAD_PRIORITY_NORMAL)) << "the thread has ended";
    CloseHandle(thread);
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL) << "other threads keep theirs";
}

TEST(Priorities, RefusedOrUnknownChangesAnswerFalse)
{
    EXPECT_FALSE(SetThreadPriority(GetCurrentThread(), 7));
    EXPECT_FALSE(SetThreadPriority(GetCurrentThread(), -3));

    // An unprivileged process may not raise a thread above normal.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && setuid(65534) != 0) _exit(2);
        _exit(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL) ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
