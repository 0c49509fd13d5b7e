// The classes the platform serves itself, found before the registry is asked. The
// libraries above the COM run time add their tables as they are loaded (the media
// library's is platform/PlatformClasses.cpp), so the run time includes none of them.
#pragma once

#include "platform/com/Com.h"

#include <span>

using CreateInstanceFn = HRESULT (*)(IUnknown* outer, REFIID iid, void** object);

struct BuiltinClass {
    CLSID clsid;
    CreateInstanceFn create;
};

// The table must outlive the process's last CoCreateInstance: a static one.
void AddBuiltinClasses(std::span<const BuiltinClass> classes);
const BuiltinClass* FindBuiltinClass(REFCLSID clsid);
