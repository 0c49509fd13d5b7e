#include "platform/com/BuiltinClasses.h"

const BuiltinClass* FindBuiltinClass(REFCLSID clsid)
{
    for (const BuiltinClass& entry : BuiltinClasses()) {
        if (entry.clsid == clsid) return &entry;
    }
    return nullptr;
}
