// Creation functions of the media-graph classes the platform carries itself,
// for the COM run time's table of built-in classes. None of them can be
// aggregated (CLASS_E_NOAGGREGATION).
#pragma once

#include "platform/com/Com.h"

// CLSID_MemoryAllocator.
HRESULT CreateMemoryAllocator(IUnknown* outer, REFIID iid, void** object);
// CLSID_FilterMapper2.
HRESULT CreateFilterMapper2(IUnknown* outer, REFIID iid, void** object);
// CLSID_FilterGraph.
HRESULT CreateFilterGraph(IUnknown* outer, REFIID iid, void** object);
// CLSID_SystemClock.
HRESULT CreateSystemClock(IUnknown* outer, REFIID iid, void** object);
// CLSID_CaptureGraphBuilder2.
HRESULT CreateCaptureGraphBuilder2(IUnknown* outer, REFIID iid, void** object);
// CLSID_InfTee.
HRESULT CreateInfTee(IUnknown* outer, REFIID iid, void** object);
// CLSID_VideoRenderer.
HRESULT CreateVideoRenderer(IUnknown* outer, REFIID iid, void** object);
