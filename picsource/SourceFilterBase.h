// A source filter: an array of output pins, a state lock, the filter state
// (Stopped, Paused, Running) and the graph it has joined. State changes are
// passed on to the connected pins.
#pragma once

#include "picsource/ObjectBase.h"
#include "platform/com/ComPtr.h"
#include "platform/mediagraph/MediaGraph.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

class OutputPinBase;
class SourceStreamBase;

class SourceFilterBase : public ObjectBase, public IBaseFilter, public IAMovieSetup {
public:
    SourceFilterBase(IUnknown* outer, REFCLSID clsid);
    ~SourceFilterBase() override;

    OBJECTBASE_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

    // IPersist
    HRESULT GetClassID(CLSID* classID) override;
    // IMediaFilter
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD milliSecsTimeout, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;
    // IBaseFilter
    HRESULT EnumPins(IEnumPins** pins) override;
    HRESULT FindPin(LPCWSTR id, IPin** pin) override;
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    HRESULT QueryVendorInfo(LPWSTR* vendorInfo) override;
    // IAMovieSetup: no setup data is offered here.
    HRESULT Register() override { return S_FALSE; }
    HRESULT Unregister() override { return S_FALSE; }

    virtual LONG GetPinVersion();
    virtual int GetPinCount();
    // The pin at `index` (no reference added), or null.
    virtual SourceStreamBase* GetPin(int index);

    // Passes an event to the graph's event sink; EC_COMPLETE carries the filter itself.
    HRESULT NotifyEvent(LONG eventCode, LONG_PTR param1, LONG_PTR param2);
    // Asks the graph to connect the pin again, with `type` when the graph can take one.
    HRESULT ReconnectPin(IPin* pin, const AM_MEDIA_TYPE* type);

    bool IsStopped();
    std::recursive_mutex& StateLock() { return stateLock; }

    // Pins enter and leave the array themselves.
    void AddPin(SourceStreamBase* pin);
    void RemovePin(SourceStreamBase* pin);
    // The pin's place in the array, or -1.
    int FindPinNumber(const OutputPinBase* pin);

private:
    std::recursive_mutex stateLock;
    FILTER_STATE state = State_Stopped;
    ComPtr<IReferenceClock> clock;
    REFERENCE_TIME startTime = 0;
    const CLSID clsid;
    std::u16string filterName;
    IFilterGraph* graph = nullptr;
    std::atomic<IMediaEventSink*> eventSink{nullptr};
    LONG pinVersion = 1;
    std::vector<SourceStreamBase*> pins;
};
