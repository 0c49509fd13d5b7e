// The in-process server libraries loaded on behalf of CoGetClassObject, kept
// loaded until CoFreeUnusedLibraries finds them unused.
#pragma once

#include "platform/com/Com.h"

#include <map>
#include <mutex>
#include <string>

class ServerLibraries {
public:
    static ServerLibraries& Instance();

    // Loads the library at path (once) and asks its DllGetClassObject.
    HRESULT GetClassObject(const std::string& path, REFCLSID clsid, REFIID iid, void** object);
    // Unloads every library whose DllCanUnloadNow answers S_OK.
    void FreeUnused();

private:
    struct Library {
        void* handle;
        DllGetClassObjectFn getClassObject;
        DllCanUnloadNowFn canUnloadNow;
    };

    HRESULT Load(const std::string& path, Library*& library);

    std::recursive_mutex lock;
    std::map<std::string, Library> loaded;
};
