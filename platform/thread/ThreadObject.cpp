#include "platform/thread/ThreadObject.h"

#include <system_error>
#include <thread>
#include <unistd.h>

bool ThreadObject::Start(const std::shared_ptr<ThreadObject>& thread, ThreadStartRoutine start, void* parameter)
{
    try {
        // The running thread holds its own reference: it outlives a closed handle.
        std::thread([thread, start, parameter] { thread->Run(start, parameter); }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    // Callers may set the priority at once, which needs the system id.
    thread->started.Wait(INFINITE);
    return true;
}

void ThreadObject::Run(ThreadStartRoutine start, void* parameter)
{
    systemId = gettid();
    started.Set();
    exitCode = start(parameter);
    ended = true;
    finished.Set();
}

bool ThreadObject::Wait(DWORD timeoutMs) { return finished.Wait(timeoutMs); }
