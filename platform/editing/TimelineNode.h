// One object of a timeline: a group, a composition, a track or a source clip.
// Every node answers IAMTimelineObj; a group also answers IAMTimelineGroup and
// IAMTimelineComp (a group is the composition its tracks live in), a
// composition IAMTimelineComp, a track IAMTimelineTrack and a source
// IAMTimelineSrc.
//
// Text handed out (GetMediaName) is task memory that the caller frees with
// CoTaskMemFree: the platform has no separate string allocator.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/editing/EditingServices.h"
#include "platform/mediagraph/OwnedMediaType.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

class TimelineNode final : public IAMTimelineObj,
                           public IAMTimelineGroup,
                           public IAMTimelineComp,
                           public IAMTimelineTrack,
                           public IAMTimelineSrc,
                           public IAMTimelineGroupFades {
public:
    explicit TimelineNode(TIMELINE_MAJOR_TYPE type);
    TimelineNode(const TimelineNode&) = delete;
    TimelineNode& operator=(const TimelineNode&) = delete;

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IAMTimelineObj
    HRESULT GetStartStop(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
    HRESULT SetStartStop(REFERENCE_TIME start, REFERENCE_TIME stop) override;
    HRESULT GetTimelineType(TIMELINE_MAJOR_TYPE* type) override;

    // IAMTimelineGroup
    HRESULT GetMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT SetMediaType(AM_MEDIA_TYPE* type) override;

    // IAMTimelineComp
    HRESULT VTrackInsBefore(IAMTimelineObj* track, LONG priority) override;
    HRESULT VTrackGetCount(LONG* count) override;
    HRESULT GetVTrack(IAMTimelineObj** track, LONG which) override;

    // IAMTimelineTrack
    HRESULT SrcAdd(IAMTimelineObj* source) override;
    HRESULT GetNextSrc(IAMTimelineObj** source, REFERENCE_TIME* start) override;
    HRESULT GetSourcesCount(LONG* count) override;

    // IAMTimelineSrc
    HRESULT GetMediaTimes(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
    HRESULT SetMediaTimes(REFERENCE_TIME start, REFERENCE_TIME stop) override;
    HRESULT GetMediaName(BSTR* name) override;
    HRESULT SetMediaName(BSTR name) override;

    // IAMTimelineGroupFades
    HRESULT SetAudioFades(REFERENCE_TIME fadeIn, REFERENCE_TIME fadeOut) override;
    HRESULT GetAudioFades(REFERENCE_TIME* fadeIn, REFERENCE_TIME* fadeOut) override;

    // What the render engine and the timeline read, each under the node's lock.
    struct Fades {
        REFERENCE_TIME fadeIn = 0;
        REFERENCE_TIME fadeOut = 0;
    };
    Fades AudioFades();
    struct Clip {
        REFERENCE_TIME start;
        REFERENCE_TIME stop;
        REFERENCE_TIME mediaStart;
        REFERENCE_TIME mediaStop;
        std::u16string mediaName;
    };
    TIMELINE_MAJOR_TYPE Type() const { return type; }
    // The source clips under this node, times relative to the timeline.
    std::vector<Clip> Clips();
    OwnedMediaType MediaType();
    // The node a timeline object is, or none for a foreign object.
    static TimelineNode* From(IUnknown* object);

private:
    ~TimelineNode() = default;

    HRESULT AdoptChild(IAMTimelineObj* child, TIMELINE_MAJOR_TYPE expected, TimelineNode** adopted);
    void CollectClips(REFERENCE_TIME offset, std::vector<Clip>& clips);

    const TIMELINE_MAJOR_TYPE type;
    std::atomic<ULONG> references{1};
    std::recursive_mutex lock;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    REFERENCE_TIME mediaStart = 0;
    REFERENCE_TIME mediaStop = 0;
    std::u16string mediaName;
    OwnedMediaType mediaType;
    Fades fades;
    bool hasParent = false;
    std::vector<ComPtr<TimelineNode>> children;
};
