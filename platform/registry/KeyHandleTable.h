// The open registry handles of the process.
//
// A handle names its key by full path, resolved afresh by every call, so a key that another
// process deletes is noticed on the next call rather than through stale state. The predefined
// roots are handles of their own that never close.
#pragma once

#include "platform/registry/Registry.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

struct KeyHandle {
    std::string path;
    REGSAM access = 0;
};

class KeyHandleTable {
public:
    static KeyHandleTable& Instance();

    HKEY Open(std::string path, REGSAM access);
    std::optional<KeyHandle> Find(HKEY key) const;
    // Answers false for a handle that is not open; closing a predefined root succeeds.
    bool Close(HKEY key);

private:
    mutable std::mutex mutex_;
    std::unordered_map<std::uintptr_t, KeyHandle> handles_;
    std::uintptr_t next_ = 0x1000;
};
