// The creation function of a platform class whose objects start with one
// reference and cannot be aggregated.
#pragma once

#include "platform/com/Com.h"

#include <new>

template <typename T>
HRESULT CreateUnaggregatedInstance(IUnknown* outer, REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* created = new (std::nothrow) T;
    if (!created) return E_OUTOFMEMORY;
    const HRESULT hr = created->QueryInterface(iid, object);
    created->Release();
    return hr;
}
