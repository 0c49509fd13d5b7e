#include "platform/editing/RenderEngine.h"

#include "platform/editing/Timeline.h"
#include "platform/editing/TimelineAudioSource.h"
#include "platform/mediagraph/MediaResults.h"
#include "platform/mediagraph/MediaTypes.h"

#include <string>

RenderEngine::~RenderEngine()
{
    std::lock_guard guard(lock);
    RemoveSources();
}

HRESULT RenderEngine::SetTimelineObject(IAMTimeline* newTimeline)
{
    if (!newTimeline) return E_POINTER;
    if (!Timeline::From(newTimeline)) return E_NOINTERFACE;
    std::lock_guard guard(lock);
    timeline = ComPtr<IAMTimeline>(newTimeline);
    return S_OK;
}

HRESULT RenderEngine::GetTimelineObject(IAMTimeline** result)
{
    if (!result) return E_POINTER;
    std::lock_guard guard(lock);
    *result = ComPtr<IAMTimeline>(timeline).Detach();
    return S_OK;
}

HRESULT RenderEngine::GetFilterGraph(IGraphBuilder** result)
{
    if (!result) return E_POINTER;
    std::lock_guard guard(lock);
    *result = ComPtr<IGraphBuilder>(graph).Detach();
    return S_OK;
}

HRESULT RenderEngine::SetFilterGraph(IGraphBuilder* newGraph)
{
    std::lock_guard guard(lock);
    // The front end lives in the graph it was built in.
    if (!sources.empty()) return E_UNEXPECTED;
    graph = ComPtr<IGraphBuilder>(newGraph);
    return S_OK;
}

HRESULT RenderEngine::ConnectFrontEnd()
{
    std::lock_guard guard(lock);
    if (!timeline) return E_UNEXPECTED;
    RemoveSources();
    if (!graph) {
        const HRESULT hr =
            CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.ReceiveVoid());
        if (FAILED(hr)) return hr;
    }
    LONG groups = 0;
    REFERENCE_TIME duration = 0;
    timeline->GetGroupCount(&groups);
    timeline->GetDuration(&duration);
    for (LONG index = 0; index < groups; ++index) {
        const HRESULT hr = AddGroupSource(index, duration);
        if (FAILED(hr)) {
            RemoveSources();
            return hr;
        }
    }
    return S_OK;
}

HRESULT RenderEngine::AddGroupSource(LONG index, REFERENCE_TIME duration)
{
    ComPtr<TimelineNode> group = Timeline::From(timeline.Get())->Group(index);
    if (!group) return E_UNEXPECTED;
    const OwnedMediaType groupType = group->MediaType();
    if (groupType.Record().majortype != MEDIATYPE_Audio) return VFW_E_UNSUPPORTED_VIDEO;
    const OwnedMediaType pcm = TimelineAudioSource::OutputTypeFor(groupType.Record());
    auto source = ComPtr<TimelineAudioSource>::Attach(
        new (std::nothrow) TimelineAudioSource(pcm.Record(), group->Clips(), duration, group->AudioFades()));
    if (!source) return E_OUTOFMEMORY;
    const std::string name = "Audio Group " + std::to_string(index);
    const HRESULT hr = graph->AddFilter(source.Get(), std::u16string(name.begin(), name.end()).c_str());
    if (FAILED(hr)) return hr;
    sources.push_back(source);
    return S_OK;
}

HRESULT RenderEngine::GetGroupOutputPin(LONG group, IPin** pin)
{
    if (!pin) return E_POINTER;
    *pin = nullptr;
    std::lock_guard guard(lock);
    if (group < 0 || group >= static_cast<LONG>(sources.size())) return E_INVALIDARG;
    *pin = static_cast<IPin*>(&sources[group]->Output());
    (*pin)->AddRef();
    return S_OK;
}

HRESULT RenderEngine::ScrapIt()
{
    std::lock_guard guard(lock);
    RemoveSources();
    return S_OK;
}

void RenderEngine::RemoveSources()
{
    // A source the graph's owner already removed is simply let go.
    for (const ComPtr<TimelineAudioSource>& source : sources) {
        if (graph) graph->RemoveFilter(source.Get());
    }
    sources.clear();
}
