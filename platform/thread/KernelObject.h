// What a thread or event handle names: something that can be waited on.
#pragma once

#include "platform/base/WinTypes.h"

#include <memory>

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // True when signalled within timeoutMs milliseconds (INFINITE: no limit).
    virtual bool Wait(DWORD timeoutMs) = 0;
};

// Handles are registered so that a stale or foreign handle is refused, not followed.
HANDLE OpenHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> ObjectOfHandle(HANDLE handle);
bool CloseObjectHandle(HANDLE handle);
