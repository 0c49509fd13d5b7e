// The application-side interfaces of the filter graph manager and its helpers:
// graph control, graph events, the video window and basic video (the
// automation interfaces, which derive from IDispatch), and the capture graph
// builder. Published method order and identifiers.
//
// Automation is not carried: the four IDispatch methods answer E_NOTIMPL.
#pragma once

#include "platform/mediagraph/MediaGraph.h"

using OAHWND = LONG_PTR;
using OAEVENT = LONG_PTR;
using OAFilterState = LONG;
using REFTIME = double;
using BSTR = OLECHAR*;
using LCID = DWORD;
using DISPID = LONG;
using DWORDLONG = ULONGLONG;

constexpr LONG OATRUE = -1;
constexpr LONG OAFALSE = 0;

constexpr LONG WS_CHILD = 0x40000000;
constexpr LONG WS_CLIPSIBLINGS = 0x04000000;
constexpr LONG WS_CLIPCHILDREN = 0x02000000;
constexpr LONG SW_HIDE = 0;
constexpr LONG SW_SHOWNORMAL = 1;
constexpr LONG SW_SHOWMINIMIZED = 2;
constexpr LONG SW_SHOWMAXIMIZED = 3;
constexpr LONG SW_SHOW = 5;

// Opaque: named by automation parameters that nothing on this platform calls.
struct ITypeInfo;
struct DISPPARAMS;
struct VARIANT;
struct EXCEPINFO;
struct IFileSinkFilter;
struct IAMCopyCaptureFileProgress;

#define REELSMITH_INTERFACE_END(name) \
protected:                            \
    ~name() = default;

struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) = 0;
    virtual HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) = 0;
    virtual HRESULT Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, UINT* argumentError) = 0;
    REELSMITH_INTERFACE_END(IDispatch)
};

struct IMediaControl : IDispatch {
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT GetState(LONG msTimeout, OAFilterState* state) = 0;
    virtual HRESULT RenderFile(BSTR fileName) = 0;
    virtual HRESULT AddSourceFilter(BSTR fileName, IDispatch** filter) = 0;
    virtual HRESULT get_FilterCollection(IDispatch** collection) = 0;
    virtual HRESULT get_RegFilterCollection(IDispatch** collection) = 0;
    virtual HRESULT StopWhenReady() = 0;
    REELSMITH_INTERFACE_END(IMediaControl)
};

struct IMediaEvent : IDispatch {
    virtual HRESULT GetEventHandle(OAEVENT* event) = 0;
    virtual HRESULT GetEvent(LONG* eventCode, LONG_PTR* param1, LONG_PTR* param2, LONG msTimeout) = 0;
    virtual HRESULT WaitForCompletion(LONG msTimeout, LONG* eventCode) = 0;
    virtual HRESULT CancelDefaultHandling(LONG eventCode) = 0;
    virtual HRESULT RestoreDefaultHandling(LONG eventCode) = 0;
    virtual HRESULT FreeEventParams(LONG eventCode, LONG_PTR param1, LONG_PTR param2) = 0;
    REELSMITH_INTERFACE_END(IMediaEvent)
};

struct IMediaEventEx : IMediaEvent {
    virtual HRESULT SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instanceData) = 0;
    virtual HRESULT SetNotifyFlags(LONG flags) = 0;
    virtual HRESULT GetNotifyFlags(LONG* flags) = 0;
    REELSMITH_INTERFACE_END(IMediaEventEx)
};

struct IVideoWindow : IDispatch {
    virtual HRESULT put_Caption(BSTR caption) = 0;
    virtual HRESULT get_Caption(BSTR* caption) = 0;
    virtual HRESULT put_WindowStyle(LONG style) = 0;
    virtual HRESULT get_WindowStyle(LONG* style) = 0;
    virtual HRESULT put_WindowStyleEx(LONG style) = 0;
    virtual HRESULT get_WindowStyleEx(LONG* style) = 0;
    virtual HRESULT put_AutoShow(LONG autoShow) = 0;
    virtual HRESULT get_AutoShow(LONG* autoShow) = 0;
    virtual HRESULT put_WindowState(LONG state) = 0;
    virtual HRESULT get_WindowState(LONG* state) = 0;
    virtual HRESULT put_BackgroundPalette(LONG palette) = 0;
    virtual HRESULT get_BackgroundPalette(LONG* palette) = 0;
    virtual HRESULT put_Visible(LONG visible) = 0;
    virtual HRESULT get_Visible(LONG* visible) = 0;
    virtual HRESULT put_Left(LONG left) = 0;
    virtual HRESULT get_Left(LONG* left) = 0;
    virtual HRESULT put_Width(LONG width) = 0;
    virtual HRESULT get_Width(LONG* width) = 0;
    virtual HRESULT put_Top(LONG top) = 0;
    virtual HRESULT get_Top(LONG* top) = 0;
    virtual HRESULT put_Height(LONG height) = 0;
    virtual HRESULT get_Height(LONG* height) = 0;
    virtual HRESULT put_Owner(OAHWND owner) = 0;
    virtual HRESULT get_Owner(OAHWND* owner) = 0;
    virtual HRESULT put_MessageDrain(OAHWND drain) = 0;
    virtual HRESULT get_MessageDrain(OAHWND* drain) = 0;
    virtual HRESULT get_BorderColor(LONG* color) = 0;
    virtual HRESULT put_BorderColor(LONG color) = 0;
    virtual HRESULT get_FullScreenMode(LONG* fullScreen) = 0;
    virtual HRESULT put_FullScreenMode(LONG fullScreen) = 0;
    virtual HRESULT SetWindowForeground(LONG focus) = 0;
    virtual HRESULT NotifyOwnerMessage(OAHWND window, LONG message, LONG_PTR wParam, LONG_PTR lParam) = 0;
    virtual HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) = 0;
    virtual HRESULT GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) = 0;
    virtual HRESULT GetMinIdealImageSize(LONG* width, LONG* height) = 0;
    virtual HRESULT GetMaxIdealImageSize(LONG* width, LONG* height) = 0;
    virtual HRESULT GetRestorePosition(LONG* left, LONG* top, LONG* width, LONG* height) = 0;
    virtual HRESULT HideCursor(LONG hide) = 0;
    virtual HRESULT IsCursorHidden(LONG* hidden) = 0;
    REELSMITH_INTERFACE_END(IVideoWindow)
};

struct IBasicVideo : IDispatch {
    virtual HRESULT get_AvgTimePerFrame(REFTIME* time) = 0;
    virtual HRESULT get_BitRate(LONG* rate) = 0;
    virtual HRESULT get_BitErrorRate(LONG* rate) = 0;
    virtual HRESULT get_VideoWidth(LONG* width) = 0;
    virtual HRESULT get_VideoHeight(LONG* height) = 0;
    virtual HRESULT put_SourceLeft(LONG left) = 0;
    virtual HRESULT get_SourceLeft(LONG* left) = 0;
    virtual HRESULT put_SourceWidth(LONG width) = 0;
    virtual HRESULT get_SourceWidth(LONG* width) = 0;
    virtual HRESULT put_SourceTop(LONG top) = 0;
    virtual HRESULT get_SourceTop(LONG* top) = 0;
    virtual HRESULT put_SourceHeight(LONG height) = 0;
    virtual HRESULT get_SourceHeight(LONG* height) = 0;
    virtual HRESULT put_DestinationLeft(LONG left) = 0;
    virtual HRESULT get_DestinationLeft(LONG* left) = 0;
    virtual HRESULT put_DestinationWidth(LONG width) = 0;
    virtual HRESULT get_DestinationWidth(LONG* width) = 0;
    virtual HRESULT put_DestinationTop(LONG top) = 0;
    virtual HRESULT get_DestinationTop(LONG* top) = 0;
    virtual HRESULT put_DestinationHeight(LONG height) = 0;
    virtual HRESULT get_DestinationHeight(LONG* height) = 0;
    virtual HRESULT SetSourcePosition(LONG left, LONG top, LONG width, LONG height) = 0;
    virtual HRESULT GetSourcePosition(LONG* left, LONG* top, LONG* width, LONG* height) = 0;
    virtual HRESULT SetDefaultSourcePosition() = 0;
    virtual HRESULT SetDestinationPosition(LONG left, LONG top, LONG width, LONG height) = 0;
    virtual HRESULT GetDestinationPosition(LONG* left, LONG* top, LONG* width, LONG* height) = 0;
    virtual HRESULT SetDefaultDestinationPosition() = 0;
    virtual HRESULT GetVideoSize(LONG* width, LONG* height) = 0;
    virtual HRESULT GetVideoPaletteEntries(LONG start, LONG count, LONG* retrieved, LONG* palette) = 0;
    virtual HRESULT GetCurrentImage(LONG* bufferSize, LONG* image) = 0;
    virtual HRESULT IsUsingDefaultSource() = 0;
    virtual HRESULT IsUsingDefaultDestination() = 0;
    REELSMITH_INTERFACE_END(IBasicVideo)
};

// A video renderer's frame statistics (amvideo.h).
struct IQualProp : IUnknown {
    virtual HRESULT get_FramesDroppedInRenderer(int* frames) = 0;
    virtual HRESULT get_FramesDrawn(int* frames) = 0;
    virtual HRESULT get_AvgFrameRate(int* rate) = 0;
    virtual HRESULT get_Jitter(int* jitter) = 0;
    virtual HRESULT get_AvgSyncOffset(int* offset) = 0;
    virtual HRESULT get_DevSyncOffset(int* deviation) = 0;
    REELSMITH_INTERFACE_END(IQualProp)
};

struct ICaptureGraphBuilder2 : IUnknown {
    virtual HRESULT SetFiltergraph(IGraphBuilder* graph) = 0;
    virtual HRESULT GetFiltergraph(IGraphBuilder** graph) = 0;
    virtual HRESULT SetOutputFileName(const GUID* type, LPCOLESTR file, IBaseFilter** mux, IFileSinkFilter** sink) = 0;
    virtual HRESULT FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter, REFIID iid,
                                  void** object) = 0;
    virtual HRESULT RenderStream(const GUID* category, const GUID* type, IUnknown* source, IBaseFilter* intermediate,
                                 IBaseFilter* sink) = 0;
    virtual HRESULT ControlStream(const GUID* category, const GUID* type, IBaseFilter* filter, REFERENCE_TIME* start,
                                  REFERENCE_TIME* stop, WORD startCookie, WORD stopCookie) = 0;
    virtual HRESULT AllocCapFile(LPCOLESTR file, DWORDLONG size) = 0;
    virtual HRESULT CopyCaptureFile(LPOLESTR oldFile, LPOLESTR newFile, int allowEscAbort,
                                    IAMCopyCaptureFileProgress* callback) = 0;
    virtual HRESULT FindPin(IUnknown* source, PIN_DIRECTION direction, const GUID* category, const GUID* type,
                            BOOL unconnected, int index, IPin** pin) = 0;
    REELSMITH_INTERFACE_END(ICaptureGraphBuilder2)
};

#undef REELSMITH_INTERFACE_END

inline constexpr IID IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IMediaControl{0x56A868B1, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IVideoWindow{0x56A868B4, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IBasicVideo{0x56A868B5, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaEvent{0x56A868B6, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaEventEx{0x56A868C0, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IQualProp{0x1BD0ECB0, 0xF8E2, 0x11CE, {0xAA, 0xC6, 0x00, 0x20, 0xAF, 0x0B, 0x99, 0xA3}};
inline constexpr IID IID_ICaptureGraphBuilder2{
    0x93E5A4E0, 0x2D50, 0x11D2, {0xAB, 0xFA, 0x00, 0xA0, 0xC9, 0xC6, 0xE3, 0x8D}};
