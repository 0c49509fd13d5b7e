#include "platform/editing/Timeline.h"

#include "platform/base/WideText.h"

#include <algorithm>
#include <filesystem>

Timeline* Timeline::From(IAMTimeline* timeline) { return dynamic_cast<Timeline*>(timeline); }

HRESULT Timeline::CreateEmptyNode(IAMTimelineObj** object, TIMELINE_MAJOR_TYPE type)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    switch (type) {
    case TIMELINE_MAJOR_TYPE_GROUP:
    case TIMELINE_MAJOR_TYPE_COMPOSITE:
    case TIMELINE_MAJOR_TYPE_TRACK:
    case TIMELINE_MAJOR_TYPE_SOURCE:
        break;
    case TIMELINE_MAJOR_TYPE_TRANSITION:
    case TIMELINE_MAJOR_TYPE_EFFECT:
        return E_NOTIMPL;
    default:
        return E_INVALIDARG;
    }
    auto* node = new (std::nothrow) TimelineNode(type);
    if (!node) return E_OUTOFMEMORY;
    *object = static_cast<IAMTimelineObj*>(node);
    return S_OK;
}

HRESULT Timeline::AddGroup(IAMTimelineObj* group)
{
    if (!group) return E_POINTER;
    TimelineNode* node = TimelineNode::From(group);
    if (!node || node->Type() != TIMELINE_MAJOR_TYPE_GROUP) return E_INVALIDARG;
    std::lock_guard guard(lock);
    const bool present =
        std::any_of(groups.begin(), groups.end(), [node](const ComPtr<TimelineNode>& g) { return g.Get() == node; });
    if (present) return E_INVALIDARG;
    groups.emplace_back(node);
    return S_OK;
}

ComPtr<TimelineNode> Timeline::Group(LONG which)
{
    std::lock_guard guard(lock);
    if (which < 0 || which >= static_cast<LONG>(groups.size())) return {};
    return groups[which];
}

HRESULT Timeline::GetGroup(IAMTimelineObj** group, LONG which)
{
    if (!group) return E_POINTER;
    ComPtr<TimelineNode> node = Group(which);
    *group = static_cast<IAMTimelineObj*>(node.Detach());
    return *group ? S_OK : E_INVALIDARG;
}

HRESULT Timeline::GetGroupCount(LONG* count)
{
    if (!count) return E_POINTER;
    std::lock_guard guard(lock);
    *count = static_cast<LONG>(groups.size());
    return S_OK;
}

HRESULT Timeline::ClearAllGroups()
{
    std::lock_guard guard(lock);
    groups.clear();
    return S_OK;
}

HRESULT Timeline::GetDuration(REFERENCE_TIME* duration)
{
    if (!duration) return E_POINTER;
    std::vector<ComPtr<TimelineNode>> snapshot;
    {
        std::lock_guard guard(lock);
        snapshot = groups;
    }
    *duration = 0;
    for (const ComPtr<TimelineNode>& group : snapshot) {
        for (const TimelineNode::Clip& clip : group->Clips()) *duration = std::max(*duration, clip.stop);
    }
    return S_OK;
}

HRESULT Timeline::ValidateSourceNames(LONG flags, IMediaLocator*, LONG_PTR)
{
    if (!(flags & SFN_VALIDATEF_CHECK)) return S_OK;
    std::vector<ComPtr<TimelineNode>> snapshot;
    {
        std::lock_guard guard(lock);
        snapshot = groups;
    }
    for (const ComPtr<TimelineNode>& group : snapshot) {
        for (const TimelineNode::Clip& clip : group->Clips()) {
            std::error_code error;
            if (!std::filesystem::is_regular_file(Utf8FromWide(clip.mediaName), error)) {
                return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
            }
        }
    }
    return S_OK;
}
