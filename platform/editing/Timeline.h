// CLSID_AMTimeline: the root of a tree of groups, their tracks and the tracks'
// source clips. ValidateSourceNames with SFN_VALIDATEF_CHECK checks that every
// clip's file can be opened; nothing is popped up or replaced on this platform.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/editing/EditingServices.h"
#include "platform/editing/TimelineNode.h"
#include "platform/mediagraph/PlatformObject.h"

#include <mutex>
#include <vector>

class Timeline final : public PlatformObject<Timeline, IAMTimeline, IID_IAMTimeline> {
public:
    Timeline() = default;
    Timeline(const Timeline&) = delete;
    Timeline& operator=(const Timeline&) = delete;

    HRESULT CreateEmptyNode(IAMTimelineObj** object, TIMELINE_MAJOR_TYPE type) override;
    HRESULT AddGroup(IAMTimelineObj* group) override;
    HRESULT GetGroup(IAMTimelineObj** group, LONG which) override;
    HRESULT GetGroupCount(LONG* count) override;
    HRESULT ClearAllGroups() override;
    HRESULT GetDuration(REFERENCE_TIME* duration) override;
    HRESULT ValidateSourceNames(LONG flags, IMediaLocator* override, LONG_PTR notifyEvent) override;

    // The group at an index, or none.
    ComPtr<TimelineNode> Group(LONG which);
    // The timeline of an object handed to the render engine, or none for a foreign one.
    static Timeline* From(IAMTimeline* timeline);

private:
    friend PlatformObject;
    ~Timeline() = default;

    std::mutex lock;
    std::vector<ComPtr<TimelineNode>> groups;
};
