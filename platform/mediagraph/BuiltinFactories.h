// Creation functions of the media-graph classes the platform carries itself,
// for the COM run time's table of built-in classes. Neither class can be
// aggregated (CLASS_E_NOAGGREGATION).
#pragma once

#include "platform/com/Com.h"

// CLSID_MemoryAllocator.
HRESULT CreateMemoryAllocator(IUnknown* outer, REFIID iid, void** object);
// CLSID_FilterMapper2.
HRESULT CreateFilterMapper2(IUnknown* outer, REFIID iid, void** object);
