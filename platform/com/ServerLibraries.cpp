#include "platform/com/ServerLibraries.h"

#include <dlfcn.h>

#include <vector>

ServerLibraries& ServerLibraries::Instance()
{
    static ServerLibraries libraries;
    return libraries;
}

HRESULT ServerLibraries::Load(const std::string& path, Library*& library)
{
    if (auto found = loaded.find(path); found != loaded.end()) {
        library = &found->second;
        return S_OK;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
    if (!getClassObject) {
        dlclose(handle);
        return CO_E_ERRORINDLL;
    }
    auto canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(dlsym(handle, "DllCanUnloadNow"));
    library = &loaded.emplace(path, Library{handle, getClassObject, canUnloadNow}).first->second;
    return S_OK;
}

HRESULT ServerLibraries::GetClassObject(const std::string& path, REFCLSID clsid, REFIID iid, void** object)
{
    // The lock covers the call into the library, so CoFreeUnusedLibraries cannot
    // unload it between the load and the first object it hands out; it is recursive
    // because a server may create objects of other servers while it is asked.
    std::lock_guard guard(lock);
    Library* library = nullptr;
    const HRESULT hr = Load(path, library);
    if (FAILED(hr)) return hr;
    return library->getClassObject(clsid, iid, object);
}

void ServerLibraries::FreeUnused()
{
    std::vector<void*> unloadable;
    {
        std::lock_guard guard(lock);
        for (auto it = loaded.begin(); it != loaded.end();) {
            if (it->second.canUnloadNow && it->second.canUnloadNow() == S_OK) {
                unloadable.push_back(it->second.handle);
                it = loaded.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Outside the lock: a library's destructors may call back into COM.
    for (void* handle : unloadable) dlclose(handle);
}
