#include "platform/thread/KernelObject.h"

#include <mutex>
#include <unordered_map>

namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<HANDLE, std::shared_ptr<KernelObject>> objects;
};

HandleTable& Handles()
{
    static HandleTable table;
    return table;
}

} // namespace

HANDLE OpenHandle(std::shared_ptr<KernelObject> object)
{
    HANDLE handle = object.get();
    HandleTable& table = Handles();
    std::lock_guard guard(table.lock);
    table.objects.emplace(handle, std::move(object));
    return handle;
}

std::shared_ptr<KernelObject> ObjectOfHandle(HANDLE handle)
{
    HandleTable& table = Handles();
    std::lock_guard guard(table.lock);
    auto found = table.objects.find(handle);
    return found == table.objects.end() ? nullptr : found->second;
}

bool CloseObjectHandle(HANDLE handle)
{
    std::shared_ptr<KernelObject> object;
    HandleTable& table = Handles();
    std::lock_guard guard(table.lock);
    auto found = table.objects.find(handle);
    if (found == table.objects.end()) return false;
    // Moved out so that the object, if this was its last reference, dies after the lock is released.
    object = std::move(found->second);
    table.objects.erase(found);
    return true;
}
