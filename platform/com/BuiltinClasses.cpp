#include "platform/com/BuiltinClasses.h"

#include <vector>

std::span<const BuiltinClass> BuiltinClasses()
{
    static const std::vector<BuiltinClass> table = {
    };
    return table;
}

const BuiltinClass* FindBuiltinClass(REFCLSID clsid)
{
    for (const BuiltinClass& entry : BuiltinClasses()) {
        if (entry.clsid == clsid) return &entry;
    }
    return nullptr;
}
