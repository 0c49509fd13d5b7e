#include "platform/mediagraph/FilterGraph.h"

#include "platform/mediagraph/BuiltinFactories.h"
#include "platform/mediagraph/UnaggregatedInstance.h"

#include "platform/mediagraph/PinList.h"
#include "platform/mediagraph/SnapshotEnumerator.h"

#include <algorithm>

namespace {

constexpr std::size_t kLongestName = MAX_FILTER_NAME - 1;
// " 0001": what a duplicate name gets appended.
constexpr std::size_t kSuffixLength = 5;
constexpr int kMaxDuplicates = 9999;

// A connection attempt that failed on the media type: a converter would have been needed.
bool NeedsConverter(HRESULT hr)
{
    return hr == VFW_E_NO_ACCEPTABLE_TYPES || hr == VFW_E_TYPE_NOT_ACCEPTED || hr == VFW_E_INVALIDMEDIATYPE ||
           hr == VFW_E_INVALIDSUBTYPE || hr == VFW_E_NO_TYPES || hr == E_FAIL || hr == E_INVALIDARG;
}

ComPtr<IBaseFilter> OwnerOf(IPin* pin)
{
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info))) return nullptr;
    return ComPtr<IBaseFilter>::Attach(info.pFilter);
}

ComPtr<IUnknown> IdentityOf(IUnknown* object)
{
    ComPtr<IUnknown> identity;
    if (object) object->QueryInterface(IID_IUnknown, identity.ReceiveVoid());
    return identity;
}

std::u16string Numbered(const std::u16string& base, int number)
{
    std::u16string suffix = u" 0000";
    for (std::size_t digit = suffix.size() - 1; number > 0; --digit, number /= 10) {
        suffix[digit] = static_cast<char16_t>(u'0' + number % 10);
    }
    return base.substr(0, kLongestName - kSuffixLength) + suffix;
}

} // namespace

HRESULT CreateFilterGraph(IUnknown* outer, REFIID iid, void** object)
{
    return CreateUnaggregatedInstance<FilterGraph>(outer, iid, object);
}

FilterGraph::~FilterGraph()
{
    Stop();
    while (!filters.empty()) RemoveEntry(filters.end() - 1);
}

HRESULT FilterGraph::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IFilterGraph || iid == IID_IGraphBuilder || iid == IID_IFilterGraph2) {
        *object = static_cast<IFilterGraph2*>(this);
    } else if (iid == IID_IMediaControl || iid == IID_IDispatch) {
        *object = static_cast<IMediaControl*>(this);
    } else if (iid == IID_IMediaEvent || iid == IID_IMediaEventEx) {
        *object = static_cast<IMediaEventEx*>(this);
    } else if (iid == IID_IMediaEventSink) {
        *object = static_cast<IMediaEventSink*>(this);
    } else if (iid == IID_IMediaFilter || iid == IID_IPersist) {
        *object = static_cast<IMediaFilter*>(this);
    } else if (iid == IID_IVideoWindow) {
        *object = static_cast<IVideoWindow*>(this);
    } else if (iid == IID_IBasicVideo) {
        *object = static_cast<IBasicVideo*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG FilterGraph::AddRef() { return ++references; }

ULONG FilterGraph::Release()
{
    const ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

// ---- Filters ----

std::vector<FilterGraph::Entry>::iterator FilterGraph::FindEntry(IBaseFilter* filter)
{
    const ComPtr<IUnknown> identity = IdentityOf(filter);
    return std::find_if(filters.begin(), filters.end(), [&](const Entry& entry) {
        return entry.filter.Get() == filter || IdentityOf(entry.filter.Get()).Get() == identity.Get();
    });
}

bool FilterGraph::Contains(IBaseFilter* filter) { return filter && FindEntry(filter) != filters.end(); }

bool FilterGraph::PinInGraph(IPin* pin)
{
    const ComPtr<IBaseFilter> owner = OwnerOf(pin);
    return owner && Contains(owner.Get());
}

std::vector<ComPtr<IBaseFilter>> FilterGraph::FilterList()
{
    std::lock_guard guard(graphLock);
    std::vector<ComPtr<IBaseFilter>> list;
    for (const Entry& entry : filters) list.push_back(entry.filter);
    return list;
}

HRESULT FilterGraph::UniqueName(LPCWSTR requested, std::u16string* name)
{
    const std::u16string base = requested ? std::u16string(requested) : std::u16string(u"Filter");
    if (base.size() > kLongestName) return E_INVALIDARG;
    const auto inUse = [&](const std::u16string& candidate) {
        return std::any_of(filters.begin(), filters.end(), [&](const Entry& e) { return e.name == candidate; });
    };
    if (!inUse(base)) {
        *name = base;
        return S_OK;
    }
    for (int number = 1; number <= kMaxDuplicates; ++number) {
        *name = Numbered(base, number);
        if (!inUse(*name)) return VFW_S_DUPLICATE_NAME;
    }
    return VFW_E_DUPLICATE_NAME;
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR requestedName)
{
    if (!filter) return E_POINTER;
    std::lock_guard guard(graphLock);
    if (Contains(filter)) return E_INVALIDARG;
    std::u16string name;
    const HRESULT named = UniqueName(requestedName, &name);
    if (FAILED(named)) return named;
    const HRESULT joined = filter->JoinFilterGraph(this, name.c_str());
    if (FAILED(joined)) return joined;
    if (clock) filter->SetSyncSource(clock.Get());
    filters.push_back({ComPtr<IBaseFilter>(filter), std::move(name)});
    return named;
}

void FilterGraph::DisconnectPins(IBaseFilter* filter)
{
    for (PIN_DIRECTION direction : {PINDIR_INPUT, PINDIR_OUTPUT}) {
        for (const auto& pin : MatchingPins(filter, direction, nullptr, false)) {
            if (const ComPtr<IPin> peer = PeerOf(pin.Get())) {
                peer->Disconnect();
                pin->Disconnect();
            }
        }
    }
}

void FilterGraph::RemoveEntry(std::vector<Entry>::iterator entry)
{
    const ComPtr<IBaseFilter> filter = entry->filter;
    filters.erase(entry);
    filter->Stop();
    DisconnectPins(filter.Get());
    ComPtr<IReferenceClock> filterClock;
    if (clock && SUCCEEDED(filter->QueryInterface(IID_IReferenceClock, filterClock.ReceiveVoid())) &&
        IdentityOf(filterClock.Get()).Get() == IdentityOf(clock.Get()).Get()) {
        clock.Reset();
        clockChosen = false;
        HandOutClock();
    }
    filter->SetSyncSource(nullptr);
    filter->JoinFilterGraph(nullptr, nullptr);
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter)
{
    if (!filter) return E_POINTER;
    std::lock_guard guard(graphLock);
    const auto entry = FindEntry(filter);
    if (entry == filters.end()) return VFW_E_NOT_FOUND;
    RemoveEntry(entry);
    return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** result)
{
    if (!result) return E_POINTER;
    ComPtr<IFilterGraph2> self(this);
    *result = FilterEnumerator::Make([self, this] { return FilterList(); });
    return *result ? S_OK : E_OUTOFMEMORY;
}

HRESULT FilterGraph::FindFilterByName(LPCWSTR name, IBaseFilter** filter)
{
    if (!name || !filter) return E_POINTER;
    *filter = nullptr;
    std::lock_guard guard(graphLock);
    for (const Entry& entry : filters) {
        if (entry.name == name) {
            *filter = ComPtr<IBaseFilter>(entry.filter).Detach();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

// ---- Connections ----

HRESULT FilterGraph::ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* mediaType)
{
    if (!out || !in) return E_POINTER;
    std::lock_guard guard(graphLock);
    if (!PinInGraph(out) || !PinInGraph(in)) return VFW_E_NOT_IN_GRAPH;
    PIN_DIRECTION outDirection;
    PIN_DIRECTION inDirection;
    if (FAILED(out->QueryDirection(&outDirection)) || FAILED(in->QueryDirection(&inDirection)) ||
        outDirection != PINDIR_OUTPUT || inDirection != PINDIR_INPUT) {
        return VFW_E_INVALID_DIRECTION;
    }
    if (state != State_Stopped) return VFW_E_NOT_STOPPED;
    return out->Connect(in, mediaType);
}

HRESULT FilterGraph::Connect(IPin* out, IPin* in)
{
    const HRESULT hr = ConnectDirect(out, in, nullptr);
    return NeedsConverter(hr) ? VFW_E_CANNOT_CONNECT : hr;
}

HRESULT FilterGraph::Disconnect(IPin* pin)
{
    if (!pin) return E_POINTER;
    std::lock_guard guard(graphLock);
    return pin->Disconnect();
}

HRESULT FilterGraph::Reconnect(IPin* pin) { return ReconnectEx(pin, nullptr); }

HRESULT FilterGraph::ReconnectEx(IPin* pin, const AM_MEDIA_TYPE* mediaType)
{
    if (!pin) return E_POINTER;
    std::lock_guard guard(graphLock);
    if (!PinInGraph(pin)) return VFW_E_NOT_IN_GRAPH;
    if (state != State_Stopped) return VFW_E_NOT_STOPPED;
    ComPtr<IPin> peer;
    HRESULT hr = pin->ConnectedTo(peer.Receive());
    if (FAILED(hr)) return VFW_E_NOT_CONNECTED;
    PIN_DIRECTION direction;
    hr = pin->QueryDirection(&direction);
    if (FAILED(hr)) return hr;
    IPin* out = direction == PINDIR_OUTPUT ? pin : peer.Get();
    IPin* in = direction == PINDIR_OUTPUT ? peer.Get() : pin;
    out->Disconnect();
    in->Disconnect();
    return out->Connect(in, mediaType);
}

// ---- Intelligent building is not carried: nothing here needs it ----

HRESULT FilterGraph::Render(IPin*) { return E_NOTIMPL; }
HRESULT FilterGraph::RenderFile(LPCWSTR, LPCWSTR) { return E_NOTIMPL; }
HRESULT FilterGraph::AddSourceFilter(LPCWSTR, LPCWSTR, IBaseFilter**) { return E_NOTIMPL; }
HRESULT FilterGraph::SetLogFile(DWORD_PTR) { return E_NOTIMPL; }
HRESULT FilterGraph::Abort() { return E_NOTIMPL; }
HRESULT FilterGraph::ShouldOperationContinue() { return S_OK; }
HRESULT FilterGraph::AddSourceFilterForMoniker(IMoniker*, IBindCtx*, LPCWSTR, IBaseFilter**) { return E_NOTIMPL; }
HRESULT FilterGraph::RenderEx(IPin*, DWORD, DWORD*) { return E_NOTIMPL; }

// ---- Events ----

HRESULT FilterGraph::GetEventHandle(OAEVENT* event) { return events.GetEventHandle(event); }
HRESULT FilterGraph::GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG msTimeout)
{
    return events.GetEvent(code, param1, param2, msTimeout);
}
HRESULT FilterGraph::WaitForCompletion(LONG msTimeout, LONG* eventCode)
{
    if (!eventCode) return E_POINTER;
    {
        std::lock_guard guard(graphLock);
        if (state != State_Running) return VFW_E_WRONG_STATE;
    }
    return events.WaitForCompletion(msTimeout, eventCode);
}
HRESULT FilterGraph::CancelDefaultHandling(LONG code) { return events.CancelDefaultHandling(code); }
HRESULT FilterGraph::RestoreDefaultHandling(LONG code) { return events.RestoreDefaultHandling(code); }
// No event of this platform carries allocated parameters.
HRESULT FilterGraph::FreeEventParams(LONG, LONG_PTR, LONG_PTR) { return S_OK; }
HRESULT FilterGraph::SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instanceData)
{
    return events.SetNotifyWindow(window, message, instanceData);
}
HRESULT FilterGraph::SetNotifyFlags(LONG flags) { return events.SetNotifyFlags(flags); }
HRESULT FilterGraph::GetNotifyFlags(LONG* flags) { return events.GetNotifyFlags(flags); }
HRESULT FilterGraph::Notify(LONG code, LONG_PTR param1, LONG_PTR param2) { return events.Notify(code, param1, param2); }

// ---- Automation is not carried ----

HRESULT FilterGraph::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }
HRESULT FilterGraph::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT FilterGraph::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT FilterGraph::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) { return E_NOTIMPL; }
HRESULT FilterGraph::RenderFile(BSTR) { return E_NOTIMPL; }
HRESULT FilterGraph::AddSourceFilter(BSTR, IDispatch**) { return E_NOTIMPL; }
HRESULT FilterGraph::get_FilterCollection(IDispatch**) { return E_NOTIMPL; }
HRESULT FilterGraph::get_RegFilterCollection(IDispatch**) { return E_NOTIMPL; }
