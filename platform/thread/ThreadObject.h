// A thread started on a start routine, with its exit code and its system thread id.
#pragma once

#include "platform/thread/KernelObject.h"
#include "platform/thread/SyncEvent.h"

#include <atomic>
#include <sys/types.h>

using ThreadStartRoutine = DWORD (*)(void* parameter);

class ThreadObject final : public KernelObject {
public:
    // Starts the thread; false when the system refused to create one.
    static bool Start(const std::shared_ptr<ThreadObject>& thread, ThreadStartRoutine start, void* parameter);

    bool Wait(DWORD timeoutMs) override;
    bool HasEnded() const { return ended.load(); }
    DWORD ExitCode() const { return exitCode.load(); }
    pid_t SystemId() const { return systemId.load(); }

private:
    void Run(ThreadStartRoutine start, void* parameter);

    SyncEvent started{true, false};
    SyncEvent finished{true, false};
    std::atomic<pid_t> systemId{0};
    std::atomic<DWORD> exitCode{0};
    std::atomic<bool> ended{false};
};
