// The library's process-wide counters: live COM objects (factories included) and
// server locks. The library may be unloaded only when both are zero.
#pragma once

#include "platform/base/WinTypes.h"

#include <atomic>

class ServerCounters {
public:
    static void ObjectCreated() { liveObjects.fetch_add(1); }
    static void ObjectDestroyed() { liveObjects.fetch_sub(1); }
    static void Lock(bool lock) { serverLocks.fetch_add(lock ? 1 : -1); }
    static bool CanUnload() { return liveObjects.load() == 0 && serverLocks.load() <= 0; }

private:
    static inline std::atomic<LONG> liveObjects{0};
    static inline std::atomic<LONG> serverLocks{0};
};
