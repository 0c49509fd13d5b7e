// The editing-services interfaces: the timeline and its objects, the render
// engine and the media detector, with their published identifiers, in their
// published method order. Methods nothing on this platform calls answer
// E_NOTIMPL from here, so the objects implement only what is used.
#pragma once

#include "platform/mediagraph/GraphControl.h"
#include "platform/mediagraph/MediaGraph.h"

enum TIMELINE_MAJOR_TYPE {
    TIMELINE_MAJOR_TYPE_COMPOSITE = 1,
    TIMELINE_MAJOR_TYPE_TRACK = 2,
    TIMELINE_MAJOR_TYPE_SOURCE = 4,
    TIMELINE_MAJOR_TYPE_TRANSITION = 8,
    TIMELINE_MAJOR_TYPE_EFFECT = 16,
    TIMELINE_MAJOR_TYPE_GROUP = 128,
};

constexpr LONG SFN_VALIDATEF_CHECK = 0x1;
constexpr LONG SFN_VALIDATEF_POPUP = 0x2;
constexpr LONG SFN_VALIDATEF_TELLME = 0x4;
constexpr LONG SFN_VALIDATEF_REPLACE = 0x8;

#define REELSMITH_INTERFACE_END(name) \
protected:                            \
    ~name() = default;

struct IAMTimelineObj;
struct IMediaLocator;
struct IPropertySetter;

struct IAMTimeline : IUnknown {
    virtual HRESULT CreateEmptyNode(IAMTimelineObj** object, TIMELINE_MAJOR_TYPE type) = 0;
    virtual HRESULT AddGroup(IAMTimelineObj* group) = 0;
    virtual HRESULT RemGroupFromList(IAMTimelineObj*) { return E_NOTIMPL; }
    virtual HRESULT GetGroup(IAMTimelineObj** group, LONG which) = 0;
    virtual HRESULT GetGroupCount(LONG* count) = 0;
    virtual HRESULT ClearAllGroups() = 0;
    virtual HRESULT GetInsertMode(LONG*) { return E_NOTIMPL; }
    virtual HRESULT SetInsertMode(LONG) { return E_NOTIMPL; }
    virtual HRESULT EnableTransitions(BOOL) { return E_NOTIMPL; }
    virtual HRESULT TransitionsEnabled(BOOL*) { return E_NOTIMPL; }
    virtual HRESULT EnableEffects(BOOL) { return E_NOTIMPL; }
    virtual HRESULT EffectsEnabled(BOOL*) { return E_NOTIMPL; }
    virtual HRESULT SetInterestRange(REFERENCE_TIME, REFERENCE_TIME) { return E_NOTIMPL; }
    virtual HRESULT GetDuration(REFERENCE_TIME* duration) = 0;
    virtual HRESULT GetDuration2(double*) { return E_NOTIMPL; }
    virtual HRESULT SetDefaultFPS(double) { return E_NOTIMPL; }
    virtual HRESULT GetDefaultFPS(double*) { return E_NOTIMPL; }
    virtual HRESULT IsDirty(BOOL*) { return E_NOTIMPL; }
    virtual HRESULT GetDirtyRange(REFERENCE_TIME*, REFERENCE_TIME*) { return E_NOTIMPL; }
    virtual HRESULT GetCountOfType(LONG, LONG*, LONG*, TIMELINE_MAJOR_TYPE) { return E_NOTIMPL; }
    virtual HRESULT ValidateSourceNames(LONG flags, IMediaLocator* override, LONG_PTR notifyEvent) = 0;
    virtual HRESULT SetDefaultTransition(GUID*) { return E_NOTIMPL; }
    virtual HRESULT GetDefaultTransition(GUID*) { return E_NOTIMPL; }
    virtual HRESULT SetDefaultEffect(GUID*) { return E_NOTIMPL; }
    virtual HRESULT GetDefaultEffect(GUID*) { return E_NOTIMPL; }
    virtual HRESULT SetDefaultTransitionB(BSTR) { return E_NOTIMPL; }
    virtual HRESULT GetDefaultTransitionB(BSTR*) { return E_NOTIMPL; }
    virtual HRESULT SetDefaultEffectB(BSTR) { return E_NOTIMPL; }
    virtual HRESULT GetDefaultEffectB(BSTR*) { return E_NOTIMPL; }
    REELSMITH_INTERFACE_END(IAMTimeline)
};

struct IAMTimelineObj : IUnknown {
    virtual HRESULT GetStartStop(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
    virtual HRESULT GetStartStop2(REFTIME*, REFTIME*) { return E_NOTIMPL; }
    virtual HRESULT FixTimes(REFERENCE_TIME*, REFERENCE_TIME*) { return E_NOTIMPL; }
    virtual HRESULT FixTimes2(REFTIME*, REFTIME*) { return E_NOTIMPL; }
    virtual HRESULT SetStartStop(REFERENCE_TIME start, REFERENCE_TIME stop) = 0;
    virtual HRESULT SetStartStop2(REFTIME, REFTIME) { return E_NOTIMPL; }
    virtual HRESULT GetPropertySetter(IPropertySetter**) { return E_NOTIMPL; }
    virtual HRESULT SetPropertySetter(IPropertySetter*) { return E_NOTIMPL; }
    virtual HRESULT GetSubObject(IUnknown**) { return E_NOTIMPL; }
    virtual HRESULT SetSubObject(IUnknown*) { return E_NOTIMPL; }
    virtual HRESULT SetSubObjectGUID(GUID) { return E_NOTIMPL; }
    virtual HRESULT SetSubObjectGUIDB(BSTR) { return E_NOTIMPL; }
    virtual HRESULT GetSubObjectGUID(GUID*) { return E_NOTIMPL; }
    virtual HRESULT GetSubObjectGUIDB(BSTR*) { return E_NOTIMPL; }
    virtual HRESULT GetSubObjectLoaded(BOOL*) { return E_NOTIMPL; }
    virtual HRESULT GetTimelineType(TIMELINE_MAJOR_TYPE* type) = 0;
    virtual HRESULT SetTimelineType(TIMELINE_MAJOR_TYPE) { return E_NOTIMPL; }
    virtual HRESULT GetUserID(LONG*) { return E_NOTIMPL; }
    virtual HRESULT SetUserID(LONG) { return E_NOTIMPL; }
    virtual HRESULT GetGenID(LONG*) { return E_NOTIMPL; }
    virtual HRESULT GetUserName(BSTR*) { return E_NOTIMPL; }
    virtual HRESULT SetUserName(BSTR) { return E_NOTIMPL; }
    virtual HRESULT GetUserData(BYTE*, LONG*) { return E_NOTIMPL; }
    virtual HRESULT SetUserData(BYTE*, LONG) { return E_NOTIMPL; }
    virtual HRESULT GetMuted(BOOL*) { return E_NOTIMPL; }
    virtual HRESULT SetMuted(BOOL) { return E_NOTIMPL; }
    virtual HRESULT GetLocked(BOOL*) { return E_NOTIMPL; }
    virtual HRESULT SetLocked(BOOL) { return E_NOTIMPL; }
    virtual HRESULT GetDirtyRange(REFERENCE_TIME*, REFERENCE_TIME*) { return E_NOTIMPL; }
    virtual HRESULT GetDirtyRange2(REFTIME*, REFTIME*) { return E_NOTIMPL; }
    virtual HRESULT SetDirtyRange(REFERENCE_TIME, REFERENCE_TIME) { return E_NOTIMPL; }
    virtual HRESULT SetDirtyRange2(REFTIME, REFTIME) { return E_NOTIMPL; }
    virtual HRESULT ClearDirty() { return E_NOTIMPL; }
    virtual HRESULT Remove() { return E_NOTIMPL; }
    virtual HRESULT RemoveAll() { return E_NOTIMPL; }
    virtual HRESULT GetTimelineNoRef(IAMTimeline**) { return E_NOTIMPL; }
    virtual HRESULT GetGroupIBelongTo(IUnknown**) { return E_NOTIMPL; }
    virtual HRESULT GetEmbedDepth(LONG*) { return E_NOTIMPL; }
    REELSMITH_INTERFACE_END(IAMTimelineObj)
};

struct IAMTimelineGroup : IUnknown {
    virtual HRESULT SetTimeline(IAMTimeline*) { return E_NOTIMPL; }
    virtual HRESULT GetTimeline(IAMTimeline**) { return E_NOTIMPL; }
    virtual HRESULT GetPriority(LONG*) { return E_NOTIMPL; }
    virtual HRESULT GetMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT SetMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT SetOutputFPS(double) { return E_NOTIMPL; }
    virtual HRESULT GetOutputFPS(double*) { return E_NOTIMPL; }
    virtual HRESULT SetGroupName(BSTR) { return E_NOTIMPL; }
    virtual HRESULT GetGroupName(BSTR*) { return E_NOTIMPL; }
    virtual HRESULT SetPreviewMode(BOOL) { return E_NOTIMPL; }
    virtual HRESULT GetPreviewMode(BOOL*) { return E_NOTIMPL; }
    virtual HRESULT SetMediaTypeForVB(LONG) { return E_NOTIMPL; }
    virtual HRESULT GetOutputBuffering(int*) { return E_NOTIMPL; }
    virtual HRESULT SetOutputBuffering(int) { return E_NOTIMPL; }
    virtual HRESULT SetSmartRecompressFormat(LONG*) { return E_NOTIMPL; }
    virtual HRESULT GetSmartRecompressFormat(LONG**) { return E_NOTIMPL; }
    virtual HRESULT IsSmartRecompressFormatSet(BOOL*) { return E_NOTIMPL; }
    virtual HRESULT IsRecompressFormatDirty(BOOL*) { return E_NOTIMPL; }
    virtual HRESULT ClearRecompressFormatDirty() { return E_NOTIMPL; }
    virtual HRESULT SetRecompFormatFromSource(IAMTimelineObj*) { return E_NOTIMPL; }
    REELSMITH_INTERFACE_END(IAMTimelineGroup)
};

struct IAMTimelineComp : IUnknown {
    virtual HRESULT VTrackInsBefore(IAMTimelineObj* track, LONG priority) = 0;
    virtual HRESULT VTrackSwapPriorities(LONG, LONG) { return E_NOTIMPL; }
    virtual HRESULT VTrackGetCount(LONG* count) = 0;
    virtual HRESULT GetVTrack(IAMTimelineObj** track, LONG which) = 0;
    virtual HRESULT GetCountOfType(LONG*, LONG*, TIMELINE_MAJOR_TYPE) { return E_NOTIMPL; }
    virtual HRESULT GetRecursiveLayerOfType(IAMTimelineObj**, LONG, TIMELINE_MAJOR_TYPE) { return E_NOTIMPL; }
    virtual HRESULT GetRecursiveLayerOfTypeI(IAMTimelineObj**, LONG*, TIMELINE_MAJOR_TYPE) { return E_NOTIMPL; }
    virtual HRESULT GetNextVTrack(IAMTimelineObj*, IAMTimelineObj**) { return E_NOTIMPL; }
    REELSMITH_INTERFACE_END(IAMTimelineComp)
};

struct IAMTimelineTrack : IUnknown {
    virtual HRESULT SrcAdd(IAMTimelineObj* source) = 0;
    virtual HRESULT GetNextSrc(IAMTimelineObj** source, REFERENCE_TIME* start) = 0;
    virtual HRESULT GetNextSrc2(IAMTimelineObj**, REFTIME*) { return E_NOTIMPL; }
    virtual HRESULT MoveEverythingBy(REFERENCE_TIME, REFERENCE_TIME) { return E_NOTIMPL; }
    virtual HRESULT MoveEverythingBy2(REFTIME, REFTIME) { return E_NOTIMPL; }
    virtual HRESULT GetSourcesCount(LONG* count) = 0;
    virtual HRESULT AreYouBlank(LONG*) { return E_NOTIMPL; }
    virtual HRESULT GetSrcAtTime(IAMTimelineObj**, REFERENCE_TIME, LONG) { return E_NOTIMPL; }
    virtual HRESULT GetSrcAtTime2(IAMTimelineObj**, REFTIME, LONG) { return E_NOTIMPL; }
    virtual HRESULT InsertSpace(REFERENCE_TIME, REFERENCE_TIME) { return E_NOTIMPL; }
    virtual HRESULT InsertSpace2(REFTIME, REFTIME) { return E_NOTIMPL; }
    virtual HRESULT ZeroBetween(REFERENCE_TIME, REFERENCE_TIME) { return E_NOTIMPL; }
    virtual HRESULT ZeroBetween2(REFTIME, REFTIME) { return E_NOTIMPL; }
    virtual HRESULT GetNextSrcEx(IAMTimelineObj*, IAMTimelineObj**) { return E_NOTIMPL; }
    REELSMITH_INTERFACE_END(IAMTimelineTrack)
};

struct IAMTimelineSrc : IUnknown {
    virtual HRESULT GetMediaTimes(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
    virtual HRESULT GetMediaTimes2(REFTIME*, REFTIME*) { return E_NOTIMPL; }
    virtual HRESULT ModifyStopTime(REFERENCE_TIME) { return E_NOTIMPL; }
    virtual HRESULT ModifyStopTime2(REFTIME) { return E_NOTIMPL; }
    virtual HRESULT FixMediaTimes(REFERENCE_TIME*, REFERENCE_TIME*) { return E_NOTIMPL; }
    virtual HRESULT FixMediaTimes2(REFTIME*, REFTIME*) { return E_NOTIMPL; }
    virtual HRESULT SetMediaTimes(REFERENCE_TIME start, REFERENCE_TIME stop) = 0;
    virtual HRESULT SetMediaTimes2(REFTIME, REFTIME) { return E_NOTIMPL; }
    virtual HRESULT SetMediaLength(REFERENCE_TIME) { return E_NOTIMPL; }
    virtual HRESULT SetMediaLength2(REFTIME) { return E_NOTIMPL; }
    virtual HRESULT GetMediaLength(REFERENCE_TIME*) { return E_NOTIMPL; }
    virtual HRESULT GetMediaLength2(REFTIME*) { return E_NOTIMPL; }
    virtual HRESULT GetMediaName(BSTR* name) = 0;
    virtual HRESULT SetMediaName(BSTR name) = 0;
    virtual HRESULT SpliceWithNext(IAMTimelineObj*) { return E_NOTIMPL; }
    virtual HRESULT GetStreamNumber(LONG*) { return E_NOTIMPL; }
    virtual HRESULT SetStreamNumber(LONG) { return E_NOTIMPL; }
    virtual HRESULT IsNormalRate(BOOL*) { return E_NOTIMPL; }
    virtual HRESULT GetDefaultFPS(double*) { return E_NOTIMPL; }
    virtual HRESULT SetDefaultFPS(double) { return E_NOTIMPL; }
    virtual HRESULT GetStretchMode(int*) { return E_NOTIMPL; }
    virtual HRESULT SetStretchMode(int) { return E_NOTIMPL; }
    REELSMITH_INTERFACE_END(IAMTimelineSrc)
};

// This platform's own, answered by a timeline group: the group's whole sound fades in
// from silence over `fadeIn` from the timeline's start, and out to silence over
// `fadeOut` ending where its last clip ends (where the sound is cut). Zero is no fade.
// The gain follows the cube of the time's share, so that the fade sounds even to the
// ear and its last twentieth lies below -78 dB.
struct IAMTimelineGroupFades : IUnknown {
    virtual HRESULT SetAudioFades(REFERENCE_TIME fadeIn, REFERENCE_TIME fadeOut) = 0;
    virtual HRESULT GetAudioFades(REFERENCE_TIME* fadeIn, REFERENCE_TIME* fadeOut) = 0;
    REELSMITH_INTERFACE_END(IAMTimelineGroupFades)
};

struct IRenderEngine : IUnknown {
    virtual HRESULT SetTimelineObject(IAMTimeline* timeline) = 0;
    virtual HRESULT GetTimelineObject(IAMTimeline** timeline) = 0;
    virtual HRESULT GetFilterGraph(IGraphBuilder** graph) = 0;
    virtual HRESULT SetFilterGraph(IGraphBuilder* graph) = 0;
    virtual HRESULT SetInterestRange(REFERENCE_TIME, REFERENCE_TIME) { return E_NOTIMPL; }
    virtual HRESULT SetInterestRange2(REFTIME, REFTIME) { return E_NOTIMPL; }
    virtual HRESULT SetRenderRange(REFERENCE_TIME, REFERENCE_TIME) { return E_NOTIMPL; }
    virtual HRESULT SetRenderRange2(REFTIME, REFTIME) { return E_NOTIMPL; }
    virtual HRESULT GetGroupOutputPin(LONG group, IPin** pin) = 0;
    virtual HRESULT ScrapIt() = 0;
    virtual HRESULT RenderOutputPins() { return E_NOTIMPL; }
    virtual HRESULT GetVendorString(BSTR*) { return E_NOTIMPL; }
    virtual HRESULT ConnectFrontEnd() = 0;
    virtual HRESULT SetSourceConnectCallback(IUnknown*) { return E_NOTIMPL; }
    virtual HRESULT SetDynamicReconnectLevel(LONG) { return E_NOTIMPL; }
    virtual HRESULT DoSmartRecompression() { return E_NOTIMPL; }
    virtual HRESULT UseInSmartRecompressionGraph() { return E_NOTIMPL; }
    virtual HRESULT SetSourceNameValidation(BSTR, IMediaLocator*, LONG) { return E_NOTIMPL; }
    virtual HRESULT Commit() { return E_NOTIMPL; }
    virtual HRESULT Decommit() { return E_NOTIMPL; }
    virtual HRESULT GetCaps(LONG, LONG*) { return E_NOTIMPL; }
    REELSMITH_INTERFACE_END(IRenderEngine)
};

struct IMediaDet : IUnknown {
    virtual HRESULT get_Filter(IUnknown**) { return E_NOTIMPL; }
    virtual HRESULT put_Filter(IUnknown*) { return E_NOTIMPL; }
    virtual HRESULT get_OutputStreams(LONG* count) = 0;
    virtual HRESULT get_CurrentStream(LONG* stream) = 0;
    virtual HRESULT put_CurrentStream(LONG stream) = 0;
    virtual HRESULT get_StreamType(GUID* type) = 0;
    virtual HRESULT get_StreamTypeB(BSTR*) { return E_NOTIMPL; }
    virtual HRESULT get_StreamLength(double* seconds) = 0;
    virtual HRESULT get_Filename(BSTR* name) = 0;
    virtual HRESULT put_Filename(BSTR name) = 0;
    virtual HRESULT GetBitmapBits(double streamTime, LONG* bufferSize, char* buffer, LONG width, LONG height) = 0;
    virtual HRESULT WriteBitmapBits(double, LONG, LONG, BSTR) { return E_NOTIMPL; }
    virtual HRESULT get_StreamMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT GetSampleGrabber(IUnknown**) { return E_NOTIMPL; }
    virtual HRESULT get_FrameRate(double*) { return E_NOTIMPL; }
    virtual HRESULT EnterBitmapGrabMode(double) { return E_NOTIMPL; }
    REELSMITH_INTERFACE_END(IMediaDet)
};

#undef REELSMITH_INTERFACE_END

inline constexpr CLSID CLSID_AMTimeline{0x78530B75, 0x61F9, 0x11D2, {0x8C, 0xAD, 0x00, 0xA0, 0x24, 0x58, 0x09, 0x02}};
inline constexpr CLSID CLSID_RenderEngine{0x64D8A8E0, 0x80A2, 0x11D2, {0x8C, 0xF3, 0x00, 0xA0, 0xC9, 0x44, 0x1E, 0x20}};
inline constexpr CLSID CLSID_MediaDet{0x65BD0711, 0x24D2, 0x4FF7, {0x93, 0x24, 0xED, 0x2E, 0x5D, 0x3A, 0xBA, 0xFA}};
inline constexpr IID IID_IAMTimeline{0x78530B74, 0x61F9, 0x11D2, {0x8C, 0xAD, 0x00, 0xA0, 0x24, 0x58, 0x09, 0x02}};
inline constexpr IID IID_IAMTimelineObj{0x78530B77, 0x61F9, 0x11D2, {0x8C, 0xAD, 0x00, 0xA0, 0x24, 0x58, 0x09, 0x02}};
inline constexpr IID IID_IAMTimelineSrc{0x78530B79, 0x61F9, 0x11D2, {0x8C, 0xAD, 0x00, 0xA0, 0x24, 0x58, 0x09, 0x02}};
inline constexpr IID IID_IAMTimelineGroup{0x9EED4F00, 0xB8A6, 0x11D2, {0x80, 0x23, 0x00, 0xC0, 0xDF, 0x10, 0xD4, 0x34}};
inline constexpr IID IID_IAMTimelineComp{0xEAE58536, 0x622E, 0x11D2, {0x8C, 0xAD, 0x00, 0xA0, 0x24, 0x58, 0x09, 0x02}};
inline constexpr IID IID_IAMTimelineTrack{0xEAE58538, 0x622E, 0x11D2, {0x8C, 0xAD, 0x00, 0xA0, 0x24, 0x58, 0x09, 0x02}};
inline constexpr IID IID_IAMTimelineGroupFades{
    0x3C1F7A62, 0x5D84, 0x4E2B, {0x9A, 0x61, 0x7E, 0x20, 0xB4, 0xC5, 0x13, 0x8F}};
inline constexpr IID IID_IRenderEngine{0x6BEE3A81, 0x66C9, 0x11D2, {0x91, 0x8F, 0x00, 0xC0, 0xDF, 0x10, 0xD4, 0x34}};
inline constexpr IID IID_IMediaDet{0x65BD0710, 0x24D2, 0x4FF7, {0x93, 0x24, 0xED, 0x2E, 0x5D, 0x3A, 0xBA, 0xFA}};
