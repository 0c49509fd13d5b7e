#include "platform/editing/TimelineNode.h"

#include "platform/editing/TaskText.h"

#include <algorithm>

namespace {

// Answered only by this class, so a node can be told from a foreign object.
constexpr IID IID_TimelineNodeSelf{0x3F1C2A90, 0x5B7E, 0x4D21, {0x9A, 0x61, 0x2C, 0x8E, 0x4B, 0x17, 0xD0, 0x53}};

bool IsComposition(TIMELINE_MAJOR_TYPE type)
{
    return type == TIMELINE_MAJOR_TYPE_GROUP || type == TIMELINE_MAJOR_TYPE_COMPOSITE;
}

} // namespace

TimelineNode::TimelineNode(TIMELINE_MAJOR_TYPE majorType) : type(majorType) { mediaType.Blank(); }

HRESULT TimelineNode::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IAMTimelineObj) {
        *object = static_cast<IAMTimelineObj*>(this);
    } else if (iid == IID_TimelineNodeSelf) {
        *object = this;
    } else if (iid == IID_IAMTimelineGroup && type == TIMELINE_MAJOR_TYPE_GROUP) {
        *object = static_cast<IAMTimelineGroup*>(this);
    } else if (iid == IID_IAMTimelineGroupFades && type == TIMELINE_MAJOR_TYPE_GROUP) {
        *object = static_cast<IAMTimelineGroupFades*>(this);
    } else if (iid == IID_IAMTimelineComp && IsComposition(type)) {
        *object = static_cast<IAMTimelineComp*>(this);
    } else if (iid == IID_IAMTimelineTrack && type == TIMELINE_MAJOR_TYPE_TRACK) {
        *object = static_cast<IAMTimelineTrack*>(this);
    } else if (iid == IID_IAMTimelineSrc && type == TIMELINE_MAJOR_TYPE_SOURCE) {
        *object = static_cast<IAMTimelineSrc*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG TimelineNode::AddRef() { return ++references; }

ULONG TimelineNode::Release()
{
    const ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

TimelineNode* TimelineNode::From(IUnknown* object)
{
    if (!object) return nullptr;
    void* self = nullptr;
    if (FAILED(object->QueryInterface(IID_TimelineNodeSelf, &self))) return nullptr;
    auto* node = static_cast<TimelineNode*>(self);
    node->Release();
    return node;
}

HRESULT TimelineNode::SetAudioFades(REFERENCE_TIME fadeIn, REFERENCE_TIME fadeOut)
{
    if (fadeIn < 0 || fadeOut < 0) return E_INVALIDARG;
    std::lock_guard guard(lock);
    fades = {fadeIn, fadeOut};
    return S_OK;
}

HRESULT TimelineNode::GetAudioFades(REFERENCE_TIME* fadeIn, REFERENCE_TIME* fadeOut)
{
    if (!fadeIn || !fadeOut) return E_POINTER;
    std::lock_guard guard(lock);
    *fadeIn = fades.fadeIn;
    *fadeOut = fades.fadeOut;
    return S_OK;
}

TimelineNode::Fades TimelineNode::AudioFades()
{
    std::lock_guard guard(lock);
    return fades;
}

HRESULT TimelineNode::GetStartStop(REFERENCE_TIME* startOut, REFERENCE_TIME* stopOut)
{
    if (!startOut || !stopOut) return E_POINTER;
    std::lock_guard guard(lock);
    *startOut = start;
    *stopOut = stop;
    return S_OK;
}

HRESULT TimelineNode::SetStartStop(REFERENCE_TIME newStart, REFERENCE_TIME newStop)
{
    if (newStart < 0 || newStop < newStart) return E_INVALIDARG;
    std::lock_guard guard(lock);
    start = newStart;
    stop = newStop;
    return S_OK;
}

HRESULT TimelineNode::GetTimelineType(TIMELINE_MAJOR_TYPE* result)
{
    if (!result) return E_POINTER;
    *result = type;
    return S_OK;
}

HRESULT TimelineNode::GetMediaType(AM_MEDIA_TYPE* result)
{
    if (!result) return E_POINTER;
    std::lock_guard guard(lock);
    return mediaType.CopyTo(result);
}

HRESULT TimelineNode::SetMediaType(AM_MEDIA_TYPE* newType)
{
    if (!newType) return E_POINTER;
    if (newType->majortype != MEDIATYPE_Audio && newType->majortype != MEDIATYPE_Video) return E_INVALIDARG;
    if (newType->cbFormat > 0 && !newType->pbFormat) return E_POINTER;
    std::lock_guard guard(lock);
    return mediaType.Assign(WithoutInterface(*newType));
}

HRESULT TimelineNode::AdoptChild(IAMTimelineObj* child, TIMELINE_MAJOR_TYPE expected, TimelineNode** adopted)
{
    if (!child) return E_POINTER;
    TimelineNode* node = From(child);
    if (!node || node == this || node->type != expected) return E_INVALIDARG;
    std::lock_guard childGuard(node->lock);
    if (node->hasParent) return E_INVALIDARG;
    node->hasParent = true;
    *adopted = node;
    return S_OK;
}

HRESULT TimelineNode::VTrackInsBefore(IAMTimelineObj* track, LONG priority)
{
    std::lock_guard guard(lock);
    TimelineNode* node = nullptr;
    const HRESULT hr = AdoptChild(track, TIMELINE_MAJOR_TYPE_TRACK, &node);
    if (FAILED(hr)) return hr;
    // A priority of -1, or past the end, puts the track after all others.
    const auto count = static_cast<LONG>(children.size());
    const LONG at = priority < 0 || priority > count ? count : priority;
    children.insert(children.begin() + at, ComPtr<TimelineNode>(node));
    return S_OK;
}

HRESULT TimelineNode::VTrackGetCount(LONG* count)
{
    if (!count) return E_POINTER;
    std::lock_guard guard(lock);
    *count = static_cast<LONG>(children.size());
    return S_OK;
}

HRESULT TimelineNode::GetVTrack(IAMTimelineObj** track, LONG which)
{
    if (!track) return E_POINTER;
    *track = nullptr;
    std::lock_guard guard(lock);
    if (which < 0 || which >= static_cast<LONG>(children.size())) return E_INVALIDARG;
    *track = static_cast<IAMTimelineObj*>(children[which].Get());
    (*track)->AddRef();
    return S_OK;
}

HRESULT TimelineNode::SrcAdd(IAMTimelineObj* source)
{
    std::lock_guard guard(lock);
    TimelineNode* node = nullptr;
    const HRESULT hr = AdoptChild(source, TIMELINE_MAJOR_TYPE_SOURCE, &node);
    if (FAILED(hr)) return hr;
    // Sources stay in the order of their start times.
    REFERENCE_TIME nodeStart;
    REFERENCE_TIME nodeStop;
    node->GetStartStop(&nodeStart, &nodeStop);
    auto at = std::find_if(children.begin(), children.end(), [&](const ComPtr<TimelineNode>& other) {
        REFERENCE_TIME otherStart;
        REFERENCE_TIME otherStop;
        other->GetStartStop(&otherStart, &otherStop);
        return otherStart > nodeStart;
    });
    children.insert(at, ComPtr<TimelineNode>(node));
    return S_OK;
}

HRESULT TimelineNode::GetNextSrc(IAMTimelineObj** source, REFERENCE_TIME* after)
{
    if (!source || !after) return E_POINTER;
    *source = nullptr;
    std::lock_guard guard(lock);
    for (const ComPtr<TimelineNode>& child : children) {
        REFERENCE_TIME childStart;
        REFERENCE_TIME childStop;
        child->GetStartStop(&childStart, &childStop);
        if (childStart >= *after) {
            *source = static_cast<IAMTimelineObj*>(child.Get());
            (*source)->AddRef();
            *after = childStop;
            return S_OK;
        }
    }
    return S_FALSE;
}

HRESULT TimelineNode::GetSourcesCount(LONG* count)
{
    if (!count) return E_POINTER;
    std::lock_guard guard(lock);
    *count = static_cast<LONG>(children.size());
    return S_OK;
}

HRESULT TimelineNode::GetMediaTimes(REFERENCE_TIME* startOut, REFERENCE_TIME* stopOut)
{
    if (!startOut || !stopOut) return E_POINTER;
    std::lock_guard guard(lock);
    *startOut = mediaStart;
    *stopOut = mediaStop;
    return S_OK;
}

HRESULT TimelineNode::SetMediaTimes(REFERENCE_TIME newStart, REFERENCE_TIME newStop)
{
    if (newStart < 0 || newStop < newStart) return E_INVALIDARG;
    std::lock_guard guard(lock);
    mediaStart = newStart;
    mediaStop = newStop;
    return S_OK;
}

HRESULT TimelineNode::GetMediaName(BSTR* name)
{
    if (!name) return E_POINTER;
    std::lock_guard guard(lock);
    return CopyTextToTaskMemory(mediaName, name);
}

HRESULT TimelineNode::SetMediaName(BSTR name)
{
    if (!name) return E_POINTER;
    std::lock_guard guard(lock);
    mediaName = name;
    return S_OK;
}

std::vector<TimelineNode::Clip> TimelineNode::Clips()
{
    std::vector<Clip> clips;
    CollectClips(0, clips);
    return clips;
}

void TimelineNode::CollectClips(REFERENCE_TIME offset, std::vector<Clip>& clips)
{
    std::lock_guard guard(lock);
    if (type == TIMELINE_MAJOR_TYPE_SOURCE) {
        clips.push_back({offset + start, offset + stop, mediaStart, mediaStop, mediaName});
        return;
    }
    // Groups start the timeline; a track or composition shifts what it holds.
    const REFERENCE_TIME childOffset = type == TIMELINE_MAJOR_TYPE_GROUP ? offset : offset + start;
    for (const ComPtr<TimelineNode>& child : children) child->CollectClips(childOffset, clips);
}

OwnedMediaType TimelineNode::MediaType()
{
    std::lock_guard guard(lock);
    return mediaType;
}
