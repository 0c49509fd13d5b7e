#include "picsource/SourceFilterBase.h"

#include "picsource/PinEnumerator.h"
#include "picsource/SourceStreamBase.h"

#include <algorithm>
#include <new>

namespace {

void CopyName(const std::u16string& name, WCHAR* target, std::size_t capacity)
{
    const std::size_t length = std::min(name.size(), capacity - 1);
    std::copy_n(name.data(), length, target);
    target[length] = 0;
}

} // namespace

SourceFilterBase::SourceFilterBase(IUnknown* outer, REFCLSID classId) : ObjectBase(outer), clsid(classId) {}

SourceFilterBase::~SourceFilterBase() = default;

HRESULT SourceFilterBase::NonDelegatingQueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (iid == IID_IBaseFilter || iid == IID_IMediaFilter || iid == IID_IPersist)
        return GetInterface(static_cast<IBaseFilter*>(this), object);
    if (iid == IID_IAMovieSetup) return GetInterface(static_cast<IAMovieSetup*>(this), object);
    return ObjectBase::NonDelegatingQueryInterface(iid, object);
}

HRESULT SourceFilterBase::GetClassID(CLSID* classID)
{
    if (!classID) return E_POINTER;
    *classID = clsid;
    return S_OK;
}

HRESULT SourceFilterBase::Stop()
{
    std::lock_guard lock(stateLock);
    HRESULT kept = S_OK;
    if (state != State_Stopped) {
        for (SourceStreamBase* pin : pins) {
            if (!pin->IsConnected()) continue;
            const HRESULT hr = pin->Inactive();
            if (FAILED(hr) && SUCCEEDED(kept)) kept = hr;
        }
    }
    state = State_Stopped;
    return kept;
}

HRESULT SourceFilterBase::Pause()
{
    std::lock_guard lock(stateLock);
    if (state == State_Stopped) {
        for (SourceStreamBase* pin : pins) {
            if (!pin->IsConnected()) continue;
            const HRESULT hr = pin->Active();
            if (FAILED(hr)) return hr;
        }
    }
    state = State_Paused;
    return S_OK;
}

HRESULT SourceFilterBase::Run(REFERENCE_TIME start)
{
    std::lock_guard lock(stateLock);
    startTime = start;
    if (state == State_Stopped) {
        const HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    if (state != State_Running) {
        for (SourceStreamBase* pin : pins) {
            if (!pin->IsConnected()) continue;
            const HRESULT hr = pin->Run(start);
            if (FAILED(hr)) return hr;
        }
    }
    state = State_Running;
    return S_OK;
}

HRESULT SourceFilterBase::GetState(DWORD, FILTER_STATE* current)
{
    if (!current) return E_POINTER;
    std::lock_guard lock(stateLock);
    *current = state;
    return S_OK;
}

HRESULT SourceFilterBase::SetSyncSource(IReferenceClock* newClock)
{
    std::lock_guard lock(stateLock);
    clock = ComPtr<IReferenceClock>(newClock);
    return S_OK;
}

HRESULT SourceFilterBase::GetSyncSource(IReferenceClock** current)
{
    if (!current) return E_POINTER;
    std::lock_guard lock(stateLock);
    *current = ComPtr<IReferenceClock>(clock).Detach();
    return S_OK;
}

HRESULT SourceFilterBase::EnumPins(IEnumPins** result)
{
    if (!result) return E_POINTER;
    *result = new (std::nothrow) PinEnumerator(*this, nullptr);
    if (!*result) return E_OUTOFMEMORY;
    (*result)->AddRef();
    return S_OK;
}

HRESULT SourceFilterBase::FindPin(LPCWSTR id, IPin** result)
{
    if (!id || !result) return E_POINTER;
    *result = nullptr;
    // A decimal pin number; anything else names no pin.
    long long number = 0;
    for (const WCHAR* c = id; *c; ++c) {
        if (*c < u'0' || *c > u'9' || number > 1000000) return VFW_E_NOT_FOUND;
        number = number * 10 + (*c - u'0');
    }
    if (*id == 0) return VFW_E_NOT_FOUND;
    std::lock_guard lock(stateLock);
    SourceStreamBase* pin = GetPin(static_cast<int>(number - 1));
    if (!pin) return VFW_E_NOT_FOUND;
    *result = pin->AsPin();
    (*result)->AddRef();
    return S_OK;
}

HRESULT SourceFilterBase::QueryFilterInfo(FILTER_INFO* info)
{
    if (!info) return E_POINTER;
    std::lock_guard lock(stateLock);
    CopyName(filterName, info->achName, MAX_FILTER_NAME);
    info->pGraph = graph;
    if (graph) graph->AddRef();
    return S_OK;
}

HRESULT SourceFilterBase::JoinFilterGraph(IFilterGraph* newGraph, LPCWSTR newName)
{
    std::lock_guard lock(stateLock);
    graph = newGraph;
    eventSink = nullptr;
    if (graph) {
        ComPtr<IMediaEventSink> sink;
        // The graph owns the filter: a counted reference back would keep both alive.
        if (SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, sink.ReceiveVoid()))) eventSink = sink.Get();
    }
    filterName = newName ? std::u16string(newName) : std::u16string();
    return S_OK;
}

HRESULT SourceFilterBase::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

LONG SourceFilterBase::GetPinVersion()
{
    std::lock_guard lock(stateLock);
    return pinVersion;
}

int SourceFilterBase::GetPinCount()
{
    std::lock_guard lock(stateLock);
    return static_cast<int>(pins.size());
}

SourceStreamBase* SourceFilterBase::GetPin(int index)
{
    std::lock_guard lock(stateLock);
    if (index < 0 || index >= static_cast<int>(pins.size())) return nullptr;
    return pins[static_cast<std::size_t>(index)];
}

HRESULT SourceFilterBase::NotifyEvent(LONG eventCode, LONG_PTR param1, LONG_PTR param2)
{
    // The worker reports here while Stop may hold the state lock waiting for it.
    IMediaEventSink* sink = eventSink.load();
    if (!sink) return E_NOTIMPL;
    if (eventCode == EC_COMPLETE) param2 = reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this));
    return sink->Notify(eventCode, param1, param2);
}

HRESULT SourceFilterBase::ReconnectPin(IPin* pin, const AM_MEDIA_TYPE* type)
{
    IFilterGraph* current = nullptr;
    {
        std::lock_guard lock(stateLock);
        current = graph;
    }
    if (!current) return E_NOINTERFACE;
    ComPtr<IFilterGraph2> graph2;
    if (SUCCEEDED(current->QueryInterface(IID_IFilterGraph2, graph2.ReceiveVoid())) && graph2)
        return graph2->ReconnectEx(pin, type);
    return current->Reconnect(pin);
}

bool SourceFilterBase::IsStopped()
{
    std::lock_guard lock(stateLock);
    return state == State_Stopped;
}

void SourceFilterBase::AddPin(SourceStreamBase* pin)
{
    std::lock_guard lock(stateLock);
    pins.push_back(pin);
    ++pinVersion;
}

void SourceFilterBase::RemovePin(SourceStreamBase* pin)
{
    std::lock_guard lock(stateLock);
    const auto found = std::find(pins.begin(), pins.end(), pin);
    if (found == pins.end()) return;
    pins.erase(found);
    ++pinVersion;
}

int SourceFilterBase::FindPinNumber(const OutputPinBase* pin)
{
    std::lock_guard lock(stateLock);
    const auto found = std::find(pins.begin(), pins.end(), pin);
    return found == pins.end() ? -1 : static_cast<int>(found - pins.begin());
}
