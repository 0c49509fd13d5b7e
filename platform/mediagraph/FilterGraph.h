// CLSID_FilterGraph: the filter graph manager.
//
// It holds the filters, connects their pins directly (no converters exist on
// this platform, so a connection that would need one fails with
// VFW_E_CANNOT_CONNECT), moves every filter through Stopped, Paused and
// Running, downstream filters first, picks and hands out the reference clock,
// and keeps the event queue the filters report to.
//
// Clock: unless the application chose one (also none, through
// SetSyncSource(nullptr)), the first pause or run picks a filter of the graph
// that offers a clock, else the system clock. Removing the filter that is the
// clock makes the next run pick again.
//
// Filter names are unique: a name already in use gets " 0001", " 0002", ...
// appended and AddFilter answers VFW_S_DUPLICATE_NAME. No filter is given a
// name longer than MAX_FILTER_NAME - 1 characters; a longer name is refused.
//
// The graph lock is recursive, as filters may call back into the graph while
// it calls them; it is never held while waiting for a filter's state change
// to complete (GetState), and events have a lock of their own.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/mediagraph/GraphControl.h"
#include "platform/mediagraph/GraphEventQueue.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

class FilterGraph final : public IFilterGraph2,
                          public IMediaControl,
                          public IMediaEventEx,
                          public IMediaEventSink,
                          public IMediaFilter,
                          public IVideoWindow,
                          public IBasicVideo {
public:
    FilterGraph() = default;
    FilterGraph(const FilterGraph&) = delete;
    FilterGraph& operator=(const FilterGraph&) = delete;

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IFilterGraph, IGraphBuilder, IFilterGraph2
    HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override;
    HRESULT RemoveFilter(IBaseFilter* filter) override;
    HRESULT EnumFilters(IEnumFilters** filters) override;
    HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) override;
    HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* mediaType) override;
    HRESULT Reconnect(IPin* pin) override;
    HRESULT Disconnect(IPin* pin) override;
    HRESULT SetDefaultSyncSource() override;
    HRESULT Connect(IPin* out, IPin* in) override;
    HRESULT Render(IPin* out) override;
    HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) override;
    HRESULT AddSourceFilter(LPCWSTR fileName, LPCWSTR filterName, IBaseFilter** filter) override;
    HRESULT SetLogFile(DWORD_PTR file) override;
    HRESULT Abort() override;
    HRESULT ShouldOperationContinue() override;
    HRESULT AddSourceFilterForMoniker(IMoniker* moniker, IBindCtx* context, LPCWSTR filterName,
                                      IBaseFilter** filter) override;
    HRESULT ReconnectEx(IPin* pin, const AM_MEDIA_TYPE* mediaType) override;
    HRESULT RenderEx(IPin* out, DWORD flags, DWORD* context) override;

    // IDispatch, for every automation interface: not carried.
    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    HRESULT Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, UINT* argumentError) override;

    // IMediaControl (Stop and Pause also serve IMediaFilter)
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(LONG msTimeout, OAFilterState* state) override;
    HRESULT RenderFile(BSTR fileName) override;
    HRESULT AddSourceFilter(BSTR fileName, IDispatch** filter) override;
    HRESULT get_FilterCollection(IDispatch** collection) override;
    HRESULT get_RegFilterCollection(IDispatch** collection) override;
    HRESULT StopWhenReady() override;

    // IMediaEvent, IMediaEventEx
    HRESULT GetEventHandle(OAEVENT* event) override;
    HRESULT GetEvent(LONG* eventCode, LONG_PTR* param1, LONG_PTR* param2, LONG msTimeout) override;
    HRESULT WaitForCompletion(LONG msTimeout, LONG* eventCode) override;
    HRESULT CancelDefaultHandling(LONG eventCode) override;
    HRESULT RestoreDefaultHandling(LONG eventCode) override;
    HRESULT FreeEventParams(LONG eventCode, LONG_PTR param1, LONG_PTR param2) override;
    HRESULT SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instanceData) override;
    HRESULT SetNotifyFlags(LONG flags) override;
    HRESULT GetNotifyFlags(LONG* flags) override;

    // IMediaEventSink
    HRESULT Notify(LONG eventCode, LONG_PTR param1, LONG_PTR param2) override;

    // IPersist, IMediaFilter
    HRESULT GetClassID(CLSID* classID) override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD milliSecsTimeout, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;

    // IVideoWindow, forwarded to the video renderer in the graph.
    HRESULT put_Caption(BSTR caption) override;
    HRESULT get_Caption(BSTR* caption) override;
    HRESULT put_WindowStyle(LONG style) override;
    HRESULT get_WindowStyle(LONG* style) override;
    HRESULT put_WindowStyleEx(LONG style) override;
    HRESULT get_WindowStyleEx(LONG* style) override;
    HRESULT put_AutoShow(LONG autoShow) override;
    HRESULT get_AutoShow(LONG* autoShow) override;
    HRESULT put_WindowState(LONG state) override;
    HRESULT get_WindowState(LONG* state) override;
    HRESULT put_BackgroundPalette(LONG palette) override;
    HRESULT get_BackgroundPalette(LONG* palette) override;
    HRESULT put_Visible(LONG visible) override;
    HRESULT get_Visible(LONG* visible) override;
    HRESULT put_Left(LONG left) override;
    HRESULT get_Left(LONG* left) override;
    HRESULT put_Width(LONG width) override;
    HRESULT get_Width(LONG* width) override;
    HRESULT put_Top(LONG top) override;
    HRESULT get_Top(LONG* top) override;
    HRESULT put_Height(LONG height) override;
    HRESULT get_Height(LONG* height) override;
    HRESULT put_Owner(OAHWND owner) override;
    HRESULT get_Owner(OAHWND* owner) override;
    HRESULT put_MessageDrain(OAHWND drain) override;
    HRESULT get_MessageDrain(OAHWND* drain) override;
    HRESULT get_BorderColor(LONG* color) override;
    HRESULT put_BorderColor(LONG color) override;
    HRESULT get_FullScreenMode(LONG* fullScreen) override;
    HRESULT put_FullScreenMode(LONG fullScreen) override;
    HRESULT SetWindowForeground(LONG focus) override;
    HRESULT NotifyOwnerMessage(OAHWND window, LONG message, LONG_PTR wParam, LONG_PTR lParam) override;
    HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) override;
    HRESULT GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) override;
    HRESULT GetMinIdealImageSize(LONG* width, LONG* height) override;
    HRESULT GetMaxIdealImageSize(LONG* width, LONG* height) override;
    HRESULT GetRestorePosition(LONG* left, LONG* top, LONG* width, LONG* height) override;
    HRESULT HideCursor(LONG hide) override;
    HRESULT IsCursorHidden(LONG* hidden) override;
    // IBasicVideo, forwarded to the video renderer in the graph.
    HRESULT get_AvgTimePerFrame(REFTIME* time) override;
    HRESULT get_BitRate(LONG* rate) override;
    HRESULT get_BitErrorRate(LONG* rate) override;
    HRESULT get_VideoWidth(LONG* width) override;
    HRESULT get_VideoHeight(LONG* height) override;
    HRESULT put_SourceLeft(LONG left) override;
    HRESULT get_SourceLeft(LONG* left) override;
    HRESULT put_SourceWidth(LONG width) override;
    HRESULT get_SourceWidth(LONG* width) override;
    HRESULT put_SourceTop(LONG top) override;
    HRESULT get_SourceTop(LONG* top) override;
    HRESULT put_SourceHeight(LONG height) override;
    HRESULT get_SourceHeight(LONG* height) override;
    HRESULT put_DestinationLeft(LONG left) override;
    HRESULT get_DestinationLeft(LONG* left) override;
    HRESULT put_DestinationWidth(LONG width) override;
    HRESULT get_DestinationWidth(LONG* width) override;
    HRESULT put_DestinationTop(LONG top) override;
    HRESULT get_DestinationTop(LONG* top) override;
    HRESULT put_DestinationHeight(LONG height) override;
    HRESULT get_DestinationHeight(LONG* height) override;
    HRESULT SetSourcePosition(LONG left, LONG top, LONG width, LONG height) override;
    HRESULT GetSourcePosition(LONG* left, LONG* top, LONG* width, LONG* height) override;
    HRESULT SetDefaultSourcePosition() override;
    HRESULT SetDestinationPosition(LONG left, LONG top, LONG width, LONG height) override;
    HRESULT GetDestinationPosition(LONG* left, LONG* top, LONG* width, LONG* height) override;
    HRESULT SetDefaultDestinationPosition() override;
    HRESULT GetVideoSize(LONG* width, LONG* height) override;
    HRESULT GetVideoPaletteEntries(LONG start, LONG count, LONG* retrieved, LONG* palette) override;
    HRESULT GetCurrentImage(LONG* bufferSize, LONG* image) override;
    HRESULT IsUsingDefaultSource() override;
    HRESULT IsUsingDefaultDestination() override;

private:
    struct Entry {
        ComPtr<IBaseFilter> filter;
        std::u16string name;
    };

    ~FilterGraph();

    // Building (FilterGraph.cpp).
    std::vector<Entry>::iterator FindEntry(IBaseFilter* filter);
    bool Contains(IBaseFilter* filter);
    bool PinInGraph(IPin* pin);
    HRESULT UniqueName(LPCWSTR requested, std::u16string* name);
    void DisconnectPins(IBaseFilter* filter);
    void RemoveEntry(std::vector<Entry>::iterator entry);
    std::vector<ComPtr<IBaseFilter>> FilterList();

    // State control (FilterGraphControl.cpp).
    std::vector<ComPtr<IBaseFilter>> DownstreamFirst();
    std::size_t CountRenderers();
    HRESULT PauseFilters();
    HRESULT RunFilters(REFERENCE_TIME start);
    HRESULT StopFilters();
    HRESULT PickDefaultClock();
    void HandOutClock();
    REFERENCE_TIME ClockTime();

    // Forwarding to the video renderer (FilterGraphVideo.cpp).
    template <typename Interface, typename... Params, typename... Args>
    HRESULT Forward(REFIID iid, HRESULT (Interface::*method)(Params...), Args... args);

    std::atomic<ULONG> references{1};
    std::recursive_mutex graphLock;
    std::vector<Entry> filters;
    FILTER_STATE state = State_Stopped;
    ComPtr<IReferenceClock> clock;
    bool clockChosen = false;
    REFERENCE_TIME runStart = 0;
    // The stream time reached when the graph paused from running.
    REFERENCE_TIME pausedStreamTime = 0;
    GraphEventQueue events;
};
