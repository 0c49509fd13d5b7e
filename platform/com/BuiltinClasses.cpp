#include "platform/com/BuiltinClasses.h"

#include <dlfcn.h>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct ClassTables {
    std::recursive_mutex lock; // the media library adds its table while it is loaded under it
    std::vector<std::span<const BuiltinClass>> tables;
    bool mediaLoaded = false;
};

// Built on first use: libraries add their tables from their own static initialisers.
ClassTables& Tables()
{
    static ClassTables tables;
    return tables;
}

const BuiltinClass* FindIn(const ClassTables& all, REFCLSID clsid)
{
    for (const std::span<const BuiltinClass> table : all.tables) {
        for (const BuiltinClass& entry : table) {
            if (entry.clsid == clsid) return &entry;
        }
    }
    return nullptr;
}

// The media library serves the graph's classes, as the system's media libraries do on
// Windows; a process that links it has them at once, any other (a tool registering a
// filter) loads it from beside this library on its first request. It stays loaded.
void LoadMediaClasses(ClassTables& all)
{
    all.mediaLoaded = true;
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&AddBuiltinClasses), &self) == 0 || !self.dli_fname) return;
    std::string path = self.dli_fname;
    path.erase(path.find_last_of('/') + 1);
    dlopen((path + REELSMITH_MEDIA_LIBRARY).c_str(), RTLD_NOW | RTLD_GLOBAL);
}

} // namespace

void AddBuiltinClasses(std::span<const BuiltinClass> classes)
{
    ClassTables& all = Tables();
    const std::lock_guard<std::recursive_mutex> hold(all.lock);
    all.tables.push_back(classes);
}

const BuiltinClass* FindBuiltinClass(REFCLSID clsid)
{
    ClassTables& all = Tables();
    const std::lock_guard<std::recursive_mutex> hold(all.lock);
    if (const BuiltinClass* found = FindIn(all, clsid)) return found;
    if (all.mediaLoaded) return nullptr;
    LoadMediaClasses(all);
    return FindIn(all, clsid);
}
