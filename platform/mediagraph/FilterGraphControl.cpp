// The state control and clock of the filter graph manager.
#include "platform/mediagraph/FilterGraph.h"

#include "platform/mediagraph/BuiltinFactories.h"
#include "platform/mediagraph/PinList.h"

#include <algorithm>
#include <chrono>
#include <set>

namespace {

// Filters start running this far ahead of the clock, so that each has the
// same start time in the future when it is told.
constexpr REFERENCE_TIME kRunLead = 10 * 10'000;

struct PinCounts {
    int connectedInputs = 0;
    int outputs = 0;
    std::vector<ComPtr<IBaseFilter>> downstream;
};

PinCounts CountPins(IBaseFilter* filter)
{
    PinCounts counts;
    for (const auto& input : MatchingPins(filter, PINDIR_INPUT, nullptr, false)) {
        if (PeerOf(input.Get())) ++counts.connectedInputs;
    }
    for (const auto& output : MatchingPins(filter, PINDIR_OUTPUT, nullptr, false)) {
        ++counts.outputs;
        const ComPtr<IPin> peer = PeerOf(output.Get());
        PIN_INFO info{};
        if (peer && SUCCEEDED(peer->QueryPinInfo(&info)) && info.pFilter) {
            counts.downstream.push_back(ComPtr<IBaseFilter>::Attach(info.pFilter));
        }
    }
    return counts;
}

} // namespace

std::vector<ComPtr<IBaseFilter>> FilterGraph::DownstreamFirst()
{
    std::vector<ComPtr<IBaseFilter>> left = FilterList();
    std::vector<std::vector<ComPtr<IBaseFilter>>> downstream;
    for (const auto& filter : left) downstream.push_back(CountPins(filter.Get()).downstream);

    std::vector<ComPtr<IBaseFilter>> order;
    std::set<IBaseFilter*> placed;
    std::vector<bool> done(left.size(), false);
    for (bool progress = true; progress;) {
        progress = false;
        for (std::size_t i = 0; i < left.size(); ++i) {
            if (done[i]) continue;
            const bool ready = std::all_of(downstream[i].begin(), downstream[i].end(), [&](const auto& next) {
                return placed.count(next.Get()) || !Contains(next.Get());
            });
            if (!ready) continue;
            order.push_back(left[i]);
            placed.insert(left[i].Get());
            done[i] = true;
            progress = true;
        }
    }
    // Filters in a loop, which a well-formed graph has none of, go last.
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (!done[i]) order.push_back(left[i]);
    }
    return order;
}

std::size_t FilterGraph::CountRenderers()
{
    std::size_t renderers = 0;
    for (const auto& filter : FilterList()) {
        const PinCounts counts = CountPins(filter.Get());
        if (counts.connectedInputs > 0 && counts.outputs == 0) ++renderers;
    }
    return renderers;
}

HRESULT FilterGraph::PauseFilters()
{
    HRESULT result = S_OK;
    for (const auto& filter : DownstreamFirst()) {
        const HRESULT hr = filter->Pause();
        if (FAILED(hr)) return hr;
        if (hr == S_FALSE) result = S_FALSE;
    }
    return result;
}

HRESULT FilterGraph::RunFilters(REFERENCE_TIME start)
{
    HRESULT result = S_OK;
    for (const auto& filter : DownstreamFirst()) {
        const HRESULT hr = filter->Run(start);
        if (FAILED(hr)) return hr;
        if (hr == S_FALSE) result = S_FALSE;
    }
    return result;
}

HRESULT FilterGraph::StopFilters()
{
    HRESULT result = S_OK;
    for (const auto& filter : DownstreamFirst()) {
        const HRESULT hr = filter->Stop();
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    return result;
}

REFERENCE_TIME FilterGraph::ClockTime()
{
    REFERENCE_TIME now = 0;
    if (clock) clock->GetTime(&now);
    return now;
}

void FilterGraph::HandOutClock()
{
    for (const Entry& entry : filters) entry.filter->SetSyncSource(clock.Get());
}

HRESULT FilterGraph::PickDefaultClock()
{
    ComPtr<IReferenceClock> picked;
    for (const Entry& entry : filters) {
        if (SUCCEEDED(entry.filter->QueryInterface(IID_IReferenceClock, picked.ReceiveVoid()))) break;
    }
    if (!picked) {
        const HRESULT hr = CreateSystemClock(nullptr, IID_IReferenceClock, picked.ReceiveVoid());
        if (FAILED(hr)) return hr;
    }
    clock = picked;
    clockChosen = true;
    HandOutClock();
    return S_OK;
}

HRESULT FilterGraph::SetDefaultSyncSource()
{
    std::lock_guard guard(graphLock);
    if (state != State_Stopped) return VFW_E_NOT_STOPPED;
    return PickDefaultClock();
}

HRESULT FilterGraph::SetSyncSource(IReferenceClock* newClock)
{
    std::lock_guard guard(graphLock);
    if (state != State_Stopped) return VFW_E_NOT_STOPPED;
    clock = ComPtr<IReferenceClock>(newClock);
    clockChosen = true;
    HandOutClock();
    return S_OK;
}

HRESULT FilterGraph::GetSyncSource(IReferenceClock** result)
{
    if (!result) return E_POINTER;
    std::lock_guard guard(graphLock);
    *result = ComPtr<IReferenceClock>(clock).Detach();
    return S_OK;
}

HRESULT FilterGraph::GetClassID(CLSID* classID)
{
    if (!classID) return E_POINTER;
    *classID = CLSID_FilterGraph;
    return S_OK;
}

HRESULT FilterGraph::Pause()
{
    std::lock_guard guard(graphLock);
    if (state == State_Paused) return S_OK;
    if (state == State_Stopped) {
        if (!clockChosen) {
            const HRESULT hr = PickDefaultClock();
            if (FAILED(hr)) return hr;
        }
        events.BeginRun(CountRenderers());
    } else {
        pausedStreamTime = clock ? ClockTime() - runStart : 0;
    }
    const HRESULT hr = PauseFilters();
    if (FAILED(hr)) {
        StopFilters();
        events.EndRun();
        state = State_Stopped;
        return hr;
    }
    state = State_Paused;
    return hr;
}

HRESULT FilterGraph::Run()
{
    std::lock_guard guard(graphLock);
    if (state == State_Running) return S_OK;
    if (state == State_Stopped) {
        const HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    runStart = clock ? ClockTime() + kRunLead - pausedStreamTime : 0;
    const HRESULT hr = RunFilters(runStart);
    if (FAILED(hr)) {
        Stop();
        return hr;
    }
    state = State_Running;
    return hr;
}

HRESULT FilterGraph::Run(REFERENCE_TIME) { return Run(); }

HRESULT FilterGraph::Stop()
{
    std::lock_guard guard(graphLock);
    const HRESULT hr = StopFilters();
    state = State_Stopped;
    pausedStreamTime = 0;
    events.EndRun();
    return hr;
}

HRESULT FilterGraph::StopWhenReady() { return Stop(); }

HRESULT FilterGraph::GetState(LONG msTimeout, OAFilterState* result)
{
    if (!result) return E_POINTER;
    FILTER_STATE graphState;
    const HRESULT hr = GetState(static_cast<DWORD>(msTimeout), &graphState);
    *result = graphState;
    return hr;
}

HRESULT FilterGraph::GetState(DWORD milliSecsTimeout, FILTER_STATE* result)
{
    if (!result) return E_POINTER;
    std::vector<ComPtr<IBaseFilter>> list;
    {
        std::lock_guard guard(graphLock);
        *result = state;
        list = FilterList();
    }
    // The filters are asked without the graph lock: a filter completing its
    // pause may need a thread that calls into the graph.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliSecsTimeout);
    for (const auto& filter : list) {
        DWORD wait = INFINITE;
        if (milliSecsTimeout != INFINITE) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            wait = static_cast<DWORD>(std::max<long long>(0, left.count()));
        }
        FILTER_STATE filterState;
        const HRESULT hr = filter->GetState(wait, &filterState);
        if (FAILED(hr) || hr == VFW_S_STATE_INTERMEDIATE) return hr;
    }
    return S_OK;
}
