#include "platform/resource/Resource.h"

#include <list>
#include <mutex>
#include <string>

namespace {

struct ResourceEntry {
    std::u16string type;
    WORD id;
    const BYTE* bytes;
    DWORD size;
};

// A list keeps each entry's address stable: the entry is the HRSRC.
std::list<ResourceEntry>& Entries()
{
    static std::list<ResourceEntry> entries;
    return entries;
}

std::mutex& EntriesLock()
{
    static std::mutex lock;
    return lock;
}

bool IsIntResource(LPCWSTR name) { return reinterpret_cast<std::uintptr_t>(name) <= 0xFFFF; }

// The module handle of the program itself: any non-null value serves.
HMODULE ProgramModule()
{
    static int marker;
    return reinterpret_cast<HMODULE>(&marker);
}

} // namespace

void RegisterResource(LPCWSTR type, WORD id, const BYTE* bytes, DWORD size)
{
    std::lock_guard guard(EntriesLock());
    Entries().push_back({type, id, bytes, size});
}

HMODULE GetModuleHandleW(LPCWSTR moduleName) { return moduleName == nullptr ? ProgramModule() : nullptr; }

HRSRC FindResourceW(HMODULE, LPCWSTR name, LPCWSTR type)
{
    if (name == nullptr || type == nullptr || !IsIntResource(name) || IsIntResource(type)) return nullptr;
    const auto id = static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name));
    std::lock_guard guard(EntriesLock());
    for (ResourceEntry& entry : Entries()) {
        if (entry.id == id && entry.type == type) return reinterpret_cast<HRSRC>(&entry);
    }
    return nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) { return resource; }

DWORD SizeofResource(HMODULE, HRSRC resource)
{
    return resource == nullptr ? 0 : reinterpret_cast<const ResourceEntry*>(resource)->size;
}

LPVOID LockResource(HGLOBAL loaded)
{
    if (loaded == nullptr) return nullptr;
    return const_cast<BYTE*>(static_cast<const ResourceEntry*>(loaded)->bytes);
}
