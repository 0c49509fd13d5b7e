#include "platform/mediagraph/PlatformFilter.h"

#include "platform/mediagraph/PlatformPin.h"
#include "platform/mediagraph/SnapshotEnumerator.h"

#include <algorithm>

PlatformFilter::PlatformFilter(const CLSID& classId) : clsid(classId) {}

HRESULT PlatformFilter::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IMediaFilter || iid == IID_IBaseFilter) {
        *object = static_cast<IBaseFilter*>(this);
        AddRef();
        return S_OK;
    }
    return QueryOtherInterface(iid, object);
}

HRESULT PlatformFilter::QueryOtherInterface(REFIID, void** object)
{
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG PlatformFilter::AddRef() { return ++references; }

ULONG PlatformFilter::Release()
{
    const ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

HRESULT PlatformFilter::GetClassID(CLSID* classID)
{
    if (!classID) return E_POINTER;
    *classID = clsid;
    return S_OK;
}

HRESULT PlatformFilter::Stop()
{
    std::lock_guard guard(filterLock);
    const HRESULT hr = state == State_Stopped ? S_OK : OnStop();
    state = State_Stopped;
    return hr;
}

HRESULT PlatformFilter::Pause()
{
    std::lock_guard guard(filterLock);
    if (state == State_Paused) return S_OK;
    const HRESULT hr = OnPause();
    if (FAILED(hr)) return hr;
    state = State_Paused;
    return hr;
}

HRESULT PlatformFilter::Run(REFERENCE_TIME start)
{
    std::lock_guard guard(filterLock);
    if (state == State_Stopped) {
        const HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    startTime = start;
    const HRESULT hr = OnRun(start);
    if (FAILED(hr)) return hr;
    state = State_Running;
    return S_OK;
}

HRESULT PlatformFilter::GetState(DWORD milliSecsTimeout, FILTER_STATE* result)
{
    if (!result) return E_POINTER;
    *result = state;
    return StateCompletion(milliSecsTimeout);
}

HRESULT PlatformFilter::SetSyncSource(IReferenceClock* newClock)
{
    std::lock_guard guard(filterLock);
    clock = ComPtr<IReferenceClock>(newClock);
    return S_OK;
}

HRESULT PlatformFilter::GetSyncSource(IReferenceClock** result)
{
    if (!result) return E_POINTER;
    std::lock_guard guard(filterLock);
    *result = ComPtr<IReferenceClock>(clock).Detach();
    return S_OK;
}

HRESULT PlatformFilter::EnumPins(IEnumPins** pins)
{
    if (!pins) return E_POINTER;
    ComPtr<IBaseFilter> self(this);
    *pins = PinEnumerator::Make([self, this] {
        std::lock_guard guard(filterLock);
        std::vector<ComPtr<IPin>> list;
        for (PlatformPin* pin : Pins()) list.emplace_back(static_cast<IPin*>(pin));
        return list;
    });
    return *pins ? S_OK : E_OUTOFMEMORY;
}

HRESULT PlatformFilter::FindPin(LPCWSTR id, IPin** pin)
{
    if (!id || !pin) return E_POINTER;
    *pin = nullptr;
    std::lock_guard guard(filterLock);
    for (PlatformPin* candidate : Pins()) {
        if (candidate->Name() == id) {
            *pin = candidate;
            candidate->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT PlatformFilter::QueryFilterInfo(FILTER_INFO* info)
{
    if (!info) return E_POINTER;
    std::lock_guard guard(filterLock);
    const std::size_t length = std::min<std::size_t>(filterName.size(), MAX_FILTER_NAME - 1);
    std::copy_n(filterName.begin(), length, info->achName);
    info->achName[length] = u'\0';
    info->pGraph = graph;
    if (graph) graph->AddRef();
    return S_OK;
}

HRESULT PlatformFilter::JoinFilterGraph(IFilterGraph* newGraph, LPCWSTR newName)
{
    std::lock_guard guard(filterLock);
    // The graph owns the filter, so neither pointer holds a reference.
    graph = newGraph;
    IMediaEventSink* sink = nullptr;
    if (graph && SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink)))) {
        sink->Release();
    }
    eventSink = sink;
    filterName = newName ? std::u16string(newName) : std::u16string();
    return S_OK;
}

HRESULT PlatformFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

HRESULT PlatformFilter::NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2)
{
    IMediaEventSink* sink = eventSink;
    return sink ? sink->Notify(code, param1, param2) : E_NOTIMPL;
}
