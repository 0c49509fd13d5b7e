// CLSID_RenderEngine: turns the audio groups of a timeline into source
// filters inside a filter graph. ConnectFrontEnd adds one source per group
// (replacing an earlier front end), GetGroupOutputPin hands out a group's
// output and ScrapIt takes the sources out of the graph again. A video group
// is refused with VFW_E_UNSUPPORTED_VIDEO: the platform renders only sound
// from timelines.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/editing/EditingServices.h"
#include "platform/editing/TimelineAudioSource.h"
#include "platform/mediagraph/PlatformObject.h"

#include <mutex>
#include <vector>

class RenderEngine final : public PlatformObject<RenderEngine, IRenderEngine, IID_IRenderEngine> {
public:
    RenderEngine() = default;
    RenderEngine(const RenderEngine&) = delete;
    RenderEngine& operator=(const RenderEngine&) = delete;

    HRESULT SetTimelineObject(IAMTimeline* timeline) override;
    HRESULT GetTimelineObject(IAMTimeline** timeline) override;
    HRESULT GetFilterGraph(IGraphBuilder** graph) override;
    HRESULT SetFilterGraph(IGraphBuilder* graph) override;
    HRESULT GetGroupOutputPin(LONG group, IPin** pin) override;
    HRESULT ScrapIt() override;
    HRESULT ConnectFrontEnd() override;

private:
    friend PlatformObject;
    ~RenderEngine();

    // Under the lock.
    void RemoveSources();
    HRESULT AddGroupSource(LONG index, REFERENCE_TIME duration);

    std::mutex lock;
    ComPtr<IAMTimeline> timeline;
    ComPtr<IGraphBuilder> graph;
    std::vector<ComPtr<TimelineAudioSource>> sources;
};
