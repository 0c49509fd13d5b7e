// CLSID_VideoRenderer: shows uncompressed RGB video in a window of the front
// end. Each frame is handed to the window service for the owner window set
// through IVideoWindow, placed at the window position; without an owner, or
// with no window service installed, frames are dropped and everything else
// behaves the same.
//
// Timing: with a reference clock each sample is shown when the clock reaches
// the run's start time plus the sample's start time; without one, or for a
// sample without times, at once. Paused from stopped, the first sample is
// shown at once, completes the pause and is held (Receive blocks) until the
// graph runs, stops or flushes. Paused from running, the picture on screen
// stays and the pause is complete at once; the sample waiting for its time,
// or arriving meanwhile, is shown when its time comes after the next run
// (the graph's stream time goes on from where it paused).
// EC_COMPLETE follows end-of-stream once the last sample's stop time has come
// (at once without a clock), and only while running.
//
// IQualProp counts the samples shown at their time since the stream last
// started (a paused picture shown again when it falls due counts once); the
// other statistics are not kept.
//
// put_WindowState stores any value, also 0x01000000 which is no show command:
// only SW_HIDE and the showing commands change visibility.
#pragma once

#include "platform/mediagraph/GraphControl.h"
#include "platform/mediagraph/PlatformFilter.h"
#include "platform/mediagraph/VideoInputPin.h"

#include <condition_variable>
#include <mutex>

class VideoRenderer final : public PlatformFilter, public IVideoWindow, public IBasicVideo, public IQualProp {
public:
    VideoRenderer();

    HRESULT QueryInterface(REFIID iid, void** object) override { return PlatformFilter::QueryInterface(iid, object); }
    ULONG AddRef() override { return PlatformFilter::AddRef(); }
    ULONG Release() override { return PlatformFilter::Release(); }

    // The input pin's calls, on the streaming thread.
    HRESULT Render(IMediaSample* sample);
    HRESULT EndOfStream();
    HRESULT BeginFlush();
    HRESULT EndFlush();
    void OnConnected(const VideoFormat& format);

    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    HRESULT Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, UINT* argumentError) override;

    // IVideoWindow
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

    // IBasicVideo
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

    // IQualProp
    HRESULT get_FramesDroppedInRenderer(int* frames) override;
    HRESULT get_FramesDrawn(int* frames) override;
    HRESULT get_AvgFrameRate(int* rate) override;
    HRESULT get_Jitter(int* jitter) override;
    HRESULT get_AvgSyncOffset(int* offset) override;
    HRESULT get_DevSyncOffset(int* deviation) override;

private:
    ~VideoRenderer() override;

    HRESULT QueryOtherInterface(REFIID iid, void** object) override;
    std::vector<PlatformPin*> Pins() override;
    HRESULT OnStop() override;
    HRESULT OnPause() override;
    HRESULT OnRun(REFERENCE_TIME start) override;
    HRESULT StateCompletion(DWORD timeoutMs) override;

    // Waits, with the stream lock held, until the stream time reaches `due`
    // while running; false when the stream stopped or flushed meanwhile.
    bool WaitUntilDue(std::unique_lock<std::mutex>& guard, bool hasTime, REFERENCE_TIME due);
    // Whether `due` has come by `clock`; false also when the clock cannot be asked for it.
    bool AwaitClock(std::unique_lock<std::mutex>& guard, IReferenceClock* timer, REFERENCE_TIME due);
    // Wakes the streaming thread, whether it waits on `changed` or on the clock.
    void WakeStream();
    bool StreamHalted() const { return streamState == State_Stopped || flushing; }
    // Shows the sample as the paused picture and completes the pause.
    void Cue(IMediaSample* sample);
    void Present(IMediaSample* sample);
    struct Placement;
    HRESULT SetPlacementPart(LONG Placement::*field, LONG value);
    HRESULT GetPlacementPart(LONG Placement::*field, LONG* value);

    VideoInputPin input;

    // Streaming state, guarded by streamLock; waits use `changed`, and the wait for a
    // sample's time the clock's advise on `clockEvent`.
    std::mutex streamLock;
    std::condition_variable changed;
    HANDLE clockEvent = nullptr;
    FILTER_STATE streamState = State_Stopped;
    ComPtr<IReferenceClock> streamClock;
    REFERENCE_TIME runStart = 0;
    bool cued = false;
    bool endOfStream = false;
    bool flushing = false;
    bool hasLastStop = false;
    REFERENCE_TIME lastStop = 0;
    int framesDrawn = 0;
    VideoFormat streamFormat;

    // Window properties, guarded by windowLock.
    std::mutex windowLock;
    OAHWND owner = 0;
    LONG windowStyle = 0;
    LONG windowState = SW_SHOWNORMAL;
    LONG autoShow = OATRUE;
    bool visible = false;
    struct Placement {
        LONG left = 0;
        LONG top = 0;
        LONG width = 0;
        LONG height = 0;
    };
    Placement placement;
};
