#include "picsource/WorkerThread.h"

#include "platform/com/Com.h"
#include "platform/thread/Threads.h"

#include <utility>

WorkerThread::WorkerThread()
    : commandEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      replyEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
}

WorkerThread::~WorkerThread()
{
    Close();
    if (commandEvent) CloseHandle(commandEvent);
    if (replyEvent) CloseHandle(replyEvent);
}

bool WorkerThread::Create()
{
    std::lock_guard access(accessLock);
    std::lock_guard guard(threadLock);
    if (thread || !commandEvent || !replyEvent) return false;
    thread = CreateThread(nullptr, 0, &WorkerThread::StartRoutine, this, 0, nullptr);
    workerEnded = false;
    return thread != nullptr;
}

std::int32_t WorkerThread::CallWorker(DWORD newCommand)
{
    std::lock_guard access(accessLock);
    if (!ThreadExists() || workerEnded) return E_FAIL;
    postedCommand = newCommand;
    SetEvent(commandEvent);
    WaitForSingleObject(replyEvent, INFINITE);
    const auto answer = static_cast<std::int32_t>(reply);
    // The worker ends after these replies: nobody may wait for it again.
    if (newCommand == CMD_EXIT || (newCommand == CMD_INIT && FAILED(answer))) workerEnded = true;
    return answer;
}

void WorkerThread::Close()
{
    HANDLE ended = nullptr;
    {
        std::lock_guard guard(threadLock);
        ended = std::exchange(thread, nullptr);
    }
    if (!ended) return;
    WaitForSingleObject(ended, INFINITE);
    CloseHandle(ended);
}

bool WorkerThread::ThreadExists()
{
    std::lock_guard guard(threadLock);
    return thread != nullptr;
}

bool WorkerThread::SetPriority(int priority)
{
    std::lock_guard guard(threadLock);
    return thread && SetThreadPriority(thread, priority);
}

DWORD WorkerThread::GetRequest()
{
    WaitForSingleObject(commandEvent, INFINITE);
    return postedCommand;
}

bool WorkerThread::CheckRequest(DWORD* pending)
{
    if (WaitForSingleObject(commandEvent, 0) != WAIT_OBJECT_0) return false;
    if (pending) *pending = postedCommand;
    return true;
}

void WorkerThread::Reply(DWORD value)
{
    reply = value;
    ResetEvent(commandEvent);
    SetEvent(replyEvent);
}

DWORD WorkerThread::StartRoutine(void* parameter)
{
    auto* worker = static_cast<WorkerThread*>(parameter);
    const HRESULT initialised = CoInitializeEx(nullptr, COINIT_MULTITHREADED | COINIT_DISABLE_OLE1DDE);
    const DWORD exitCode = worker->ThreadProc();
    if (SUCCEEDED(initialised)) CoUninitialize();
    return exitCode;
}
