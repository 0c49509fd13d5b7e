// A thread driven by commands: a caller posts one command at a time and waits
// for the worker's reply; the worker waits for commands or polls for them
// between units of work.
#pragma once

#include "platform/base/WinTypes.h"

#include <mutex>

enum WorkerCommand : DWORD { CMD_INIT = 0, CMD_PAUSE = 1, CMD_RUN = 2, CMD_STOP = 3, CMD_EXIT = 4 };

class WorkerThread {
public:
    WorkerThread();
    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts the thread on ThreadProc; false when one exists or it cannot start.
    bool Create();
    // Posts a command and waits for the reply; E_FAIL without a thread or once the
    // worker has been told to exit (or failed to start).
    std::int32_t CallWorker(DWORD command);
    // Waits for the thread to end and forgets it.
    void Close();
    bool ThreadExists();
    // Applies a priority to the running thread; false without one or when refused.
    bool SetPriority(int priority);

protected:
    virtual DWORD ThreadProc() = 0;
    // Worker side.
    DWORD GetRequest();
    bool CheckRequest(DWORD* command);
    void Reply(DWORD value);

private:
    static DWORD StartRoutine(void* parameter);

    HANDLE commandEvent;
    HANDLE replyEvent;
    DWORD postedCommand = 0;
    DWORD reply = 0;
    HANDLE thread = nullptr;
    bool workerEnded = false;
    std::mutex threadLock;
    std::mutex accessLock;
};
