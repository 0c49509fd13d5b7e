// The common part of the filters the platform carries itself (the pin tee and
// the video renderer): reference counting, the filter state, clock, graph,
// name and event sink, and the pin lookups, over the pins a derived filter
// lists.
//
// The filter lock guards state, clock, graph, name and the pins' connections.
// Nothing here waits for another thread while holding it, so a state change
// can always reach a streaming thread that is blocked further down.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/MediaGraph.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

class PlatformPin;

class PlatformFilter : public IBaseFilter {
public:
    PlatformFilter(const PlatformFilter&) = delete;
    PlatformFilter& operator=(const PlatformFilter&) = delete;

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetClassID(CLSID* classID) override;
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD milliSecsTimeout, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;
    HRESULT EnumPins(IEnumPins** pins) override;
    HRESULT FindPin(LPCWSTR id, IPin** pin) override;
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    HRESULT QueryVendorInfo(LPWSTR* vendorInfo) override;

    std::recursive_mutex& Lock() { return filterLock; }
    FILTER_STATE State() const { return state; }
    // Passes an event to the graph; E_NOTIMPL outside a graph.
    HRESULT NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2);

protected:
    explicit PlatformFilter(const CLSID& clsid);
    virtual ~PlatformFilter() = default;

    // Interfaces beyond the filter's own.
    virtual HRESULT QueryOtherInterface(REFIID iid, void** object);
    // The pins, under the filter lock.
    virtual std::vector<PlatformPin*> Pins() = 0;
    // State hooks, under the filter lock, before the state changes.
    virtual HRESULT OnStop() { return S_OK; }
    virtual HRESULT OnPause() { return S_OK; }
    virtual HRESULT OnRun(REFERENCE_TIME) { return S_OK; }
    // Whether the last state change is complete; may wait up to the time-out.
    virtual HRESULT StateCompletion(DWORD) { return S_OK; }

    std::recursive_mutex filterLock;
    // Changed under the filter lock; read by streaming threads without it.
    std::atomic<FILTER_STATE> state{State_Stopped};
    REFERENCE_TIME startTime = 0;
    ComPtr<IReferenceClock> clock;

private:
    const CLSID clsid;
    std::atomic<ULONG> references{1};
    IFilterGraph* graph = nullptr;
    std::atomic<IMediaEventSink*> eventSink{nullptr};
    std::u16string filterName;
};
