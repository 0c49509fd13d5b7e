#include "platform/thread/SyncEvent.h"

#include <chrono>

SyncEvent::SyncEvent(bool resetByHand, bool initialState) : manualReset(resetByHand), signalled(initialState) {}

void SyncEvent::Set()
{
    {
        std::lock_guard guard(lock);
        signalled = true;
    }
    if (manualReset) {
        changed.notify_all();
    } else {
        changed.notify_one();
    }
}

void SyncEvent::Reset()
{
    std::lock_guard guard(lock);
    signalled = false;
}

bool SyncEvent::Wait(DWORD timeoutMs)
{
    std::unique_lock guard(lock);
    const auto isSignalled = [this] { return signalled; };
    if (timeoutMs == INFINITE) {
        changed.wait(guard, isSignalled);
    } else if (!changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), isSignalled)) {
        return false;
    }
    if (!manualReset) signalled = false;
    return true;
}
