// The classes the platform serves itself, found before the registry is asked. The
// table is the platform's composition (platform/PlatformClasses.cpp).
#pragma once

#include "platform/com/Com.h"

#include <span>

using CreateInstanceFn = HRESULT (*)(IUnknown* outer, REFIID iid, void** object);

struct BuiltinClass {
    CLSID clsid;
    CreateInstanceFn create;
};

std::span<const BuiltinClass> BuiltinClasses();
const BuiltinClass* FindBuiltinClass(REFCLSID clsid);
