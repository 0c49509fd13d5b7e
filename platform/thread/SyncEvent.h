// An event: manual reset stays set until reset; automatic reset releases one waiter and clears.
#pragma once

#include "platform/thread/KernelObject.h"

#include <condition_variable>
#include <mutex>

class SyncEvent final : public KernelObject {
public:
    SyncEvent(bool manualReset, bool initialState);

    void Set();
    void Reset();
    bool Wait(DWORD timeoutMs) override;

private:
    std::mutex lock;
    std::condition_variable changed;
    const bool manualReset;
    bool signalled;
};
