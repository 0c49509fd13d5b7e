#include "platform/mediagraph/VideoRenderer.h"

#include "platform/mediagraph/BuiltinFactories.h"
#include "platform/mediagraph/UnaggregatedInstance.h"

#include "platform/mediagraph/MediaTypes.h"
#include "platform/thread/Threads.h"
#include "platform/window/WindowService.h"

#include <algorithm>
#include <chrono>

namespace {

// An advise is asked again this often, in case the clock runs slower or faster than
// the one that serves its advises.
constexpr DWORD kLongestWaitMs = 100;

bool ShowsWindow(LONG showCommand)
{
    return showCommand == SW_SHOWNORMAL || showCommand == SW_SHOWMINIMIZED || showCommand == SW_SHOWMAXIMIZED ||
           showCommand == SW_SHOW;
}

} // namespace

VideoRenderer::VideoRenderer() : PlatformFilter(CLSID_VideoRenderer), input(*this)
{
    clockEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

VideoRenderer::~VideoRenderer()
{
    if (clockEvent) CloseHandle(clockEvent);
}

void VideoRenderer::WakeStream()
{
    changed.notify_all();
    if (clockEvent) SetEvent(clockEvent);
}

HRESULT CreateVideoRenderer(IUnknown* outer, REFIID iid, void** object)
{
    return CreateUnaggregatedInstance<VideoRenderer>(outer, iid, object);
}

HRESULT VideoRenderer::QueryOtherInterface(REFIID iid, void** object)
{
    if (iid == IID_IVideoWindow || iid == IID_IDispatch) {
        *object = static_cast<IVideoWindow*>(this);
    } else if (iid == IID_IBasicVideo) {
        *object = static_cast<IBasicVideo*>(this);
    } else if (iid == IID_IQualProp) {
        *object = static_cast<IQualProp*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

std::vector<PlatformPin*> VideoRenderer::Pins() { return {&input}; }

// An empty format: disconnected.
void VideoRenderer::OnConnected(const VideoFormat& format)
{
    {
        std::lock_guard guard(streamLock);
        streamFormat = format;
    }
    std::lock_guard guard(windowLock);
    if (placement.width == 0 && placement.height == 0) {
        placement.width = format.width;
        placement.height = static_cast<LONG>(format.Rows());
    }
}

// ---- States ----

HRESULT VideoRenderer::OnStop()
{
    {
        std::lock_guard guard(streamLock);
        streamState = State_Stopped;
        flushing = false;
        cued = false;
        endOfStream = false;
        hasLastStop = false;
    }
    WakeStream();
    return S_OK;
}

HRESULT VideoRenderer::OnPause()
{
    {
        std::lock_guard window(windowLock);
        if (autoShow == OATRUE) visible = true;
    }
    bool complete;
    {
        std::lock_guard guard(streamLock);
        if (streamState == State_Stopped) framesDrawn = 0;
        // Leaving Running, the picture on screen is the paused one: a sample waiting for its
        // time, or arriving during the pause, keeps waiting for it.
        if (streamState == State_Running) cued = true;
        streamState = State_Paused;
        complete = cued || streamFormat.width == 0;
    }
    WakeStream();
    return complete ? S_OK : S_FALSE;
}

HRESULT VideoRenderer::OnRun(REFERENCE_TIME start)
{
    {
        std::lock_guard guard(streamLock);
        streamState = State_Running;
        streamClock = clock;
        runStart = start;
    }
    WakeStream();
    return S_OK;
}

HRESULT VideoRenderer::StateCompletion(DWORD timeoutMs)
{
    std::unique_lock guard(streamLock);
    const auto complete = [&] { return streamState != State_Paused || cued || streamFormat.width == 0; };
    if (timeoutMs == INFINITE) {
        changed.wait(guard, complete);
    } else {
        changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), complete);
    }
    return complete() ? S_OK : VFW_S_STATE_INTERMEDIATE;
}

// ---- Streaming ----

bool VideoRenderer::WaitUntilDue(std::unique_lock<std::mutex>& guard, bool hasTime, REFERENCE_TIME due)
{
    for (;;) {
        if (StreamHalted()) return false;
        if (streamState == State_Paused) {
            changed.wait(guard);
            continue;
        }
        if (!streamClock || !hasTime) return true;
        const ComPtr<IReferenceClock> timer = streamClock;
        if (AwaitClock(guard, timer.Get(), due)) return true;
    }
}

// The clock signals the advise when the time comes, and a change of state sets the
// same event, so the thread never sleeps past either.
bool VideoRenderer::AwaitClock(std::unique_lock<std::mutex>& guard, IReferenceClock* timer, REFERENCE_TIME due)
{
    REFERENCE_TIME now = 0;
    if (FAILED(timer->GetTime(&now)) || runStart + due <= now) return true;
    DWORD_PTR cookie = 0;
    if (!clockEvent || FAILED(timer->AdviseTime(runStart, due, reinterpret_cast<HEVENT>(clockEvent), &cookie)))
        return true;
    guard.unlock();
    WaitForSingleObject(clockEvent, kLongestWaitMs);
    timer->Unadvise(cookie);
    guard.lock();
    return false;
}

HRESULT VideoRenderer::Render(IMediaSample* sample)
{
    std::unique_lock guard(streamLock);
    if (streamState == State_Stopped) return VFW_E_WRONG_STATE;
    if (flushing) return S_FALSE;
    if (endOfStream) return VFW_E_SAMPLE_REJECTED_EOS;
    // A short buffer would make the window read past the sample's end.
    if (sample->GetActualDataLength() < 0 ||
        static_cast<std::size_t>(sample->GetActualDataLength()) < streamFormat.FrameBytes()) {
        return VFW_E_BUFFER_UNDERFLOW;
    }
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    const HRESULT timed = sample->GetTime(&start, &stop);
    const bool hasTime = SUCCEEDED(timed);
    if (hasTime) {
        hasLastStop = true;
        lastStop = timed == VFW_S_NO_STOP_TIME ? start : stop;
    }
    if (streamState == State_Paused && !cued) Cue(sample);
    const bool due = WaitUntilDue(guard, hasTime, start);
    if (!due) return streamState == State_Stopped ? VFW_E_WRONG_STATE : S_FALSE;
    ++framesDrawn;
    Present(sample);
    return S_OK;
}

void VideoRenderer::Cue(IMediaSample* sample)
{
    cued = true;
    WakeStream();
    Present(sample);
}

HRESULT VideoRenderer::EndOfStream()
{
    {
        std::unique_lock guard(streamLock);
        if (streamState == State_Stopped || flushing) return S_OK;
        endOfStream = true;
        cued = true;
        WakeStream();
        if (!WaitUntilDue(guard, hasLastStop, lastStop)) return S_OK;
    }
    NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
    return S_OK;
}

HRESULT VideoRenderer::BeginFlush()
{
    {
        std::lock_guard guard(streamLock);
        flushing = true;
    }
    WakeStream();
    return S_OK;
}

HRESULT VideoRenderer::EndFlush()
{
    std::lock_guard guard(streamLock);
    flushing = false;
    endOfStream = false;
    cued = false;
    hasLastStop = false;
    return S_OK;
}

void VideoRenderer::Present(IMediaSample* sample)
{
    BYTE* pixels = nullptr;
    if (FAILED(sample->GetPointer(&pixels)) || !pixels) return;
    VideoFrame frame{streamFormat.width,
                     streamFormat.height,
                     streamFormat.bitCount,
                     static_cast<LONG>(streamFormat.Stride()),
                     pixels,
                     {}};
    HWND window;
    {
        std::lock_guard guard(windowLock);
        if (!owner || !visible) return;
        window = reinterpret_cast<HWND>(owner);
        frame.position = {placement.left, placement.top, placement.left + placement.width,
                          placement.top + placement.height};
    }
    PresentVideoFrame(window, frame);
}

// ---- IQualProp ----

HRESULT VideoRenderer::get_FramesDrawn(int* frames)
{
    if (!frames) return E_POINTER;
    std::lock_guard guard(streamLock);
    *frames = framesDrawn;
    return S_OK;
}

HRESULT VideoRenderer::get_FramesDroppedInRenderer(int*) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_AvgFrameRate(int*) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_Jitter(int*) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_AvgSyncOffset(int*) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_DevSyncOffset(int*) { return E_NOTIMPL; }

// ---- IDispatch: automation is not carried ----

HRESULT VideoRenderer::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }
HRESULT VideoRenderer::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT VideoRenderer::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT VideoRenderer::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return E_NOTIMPL;
}

// ---- IVideoWindow ----

HRESULT VideoRenderer::put_Caption(BSTR) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_Caption(BSTR*) { return E_NOTIMPL; }

HRESULT VideoRenderer::put_WindowStyle(LONG style)
{
    // The styles the published window refuses: disabled, scroll bars, minimised, maximised.
    constexpr LONG kRefused = 0x08000000 | 0x00100000 | 0x00200000 | 0x20000000 | 0x01000000;
    if (style & kRefused) return E_INVALIDARG;
    std::lock_guard guard(windowLock);
    windowStyle = style;
    return S_OK;
}

HRESULT VideoRenderer::get_WindowStyle(LONG* style)
{
    if (!style) return E_POINTER;
    std::lock_guard guard(windowLock);
    *style = windowStyle;
    return S_OK;
}

HRESULT VideoRenderer::put_WindowStyleEx(LONG) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_WindowStyleEx(LONG*) { return E_NOTIMPL; }

HRESULT VideoRenderer::put_AutoShow(LONG value)
{
    if (value != OATRUE && value != OAFALSE) return E_INVALIDARG;
    std::lock_guard guard(windowLock);
    autoShow = value;
    return S_OK;
}

HRESULT VideoRenderer::get_AutoShow(LONG* value)
{
    if (!value) return E_POINTER;
    std::lock_guard guard(windowLock);
    *value = autoShow;
    return S_OK;
}

HRESULT VideoRenderer::put_WindowState(LONG showCommand)
{
    std::lock_guard guard(windowLock);
    windowState = showCommand;
    if (showCommand == SW_HIDE) visible = false;
    if (ShowsWindow(showCommand)) visible = true;
    return S_OK;
}

HRESULT VideoRenderer::get_WindowState(LONG* showCommand)
{
    if (!showCommand) return E_POINTER;
    std::lock_guard guard(windowLock);
    *showCommand = windowState;
    return S_OK;
}

HRESULT VideoRenderer::put_BackgroundPalette(LONG) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_BackgroundPalette(LONG*) { return E_NOTIMPL; }

HRESULT VideoRenderer::put_Visible(LONG value)
{
    if (value != OATRUE && value != OAFALSE) return E_INVALIDARG;
    std::lock_guard guard(windowLock);
    visible = value == OATRUE;
    return S_OK;
}

HRESULT VideoRenderer::get_Visible(LONG* value)
{
    if (!value) return E_POINTER;
    std::lock_guard guard(windowLock);
    *value = visible ? OATRUE : OAFALSE;
    return S_OK;
}

HRESULT VideoRenderer::SetPlacementPart(LONG Placement::*field, LONG value)
{
    const bool extent = field == &Placement::width || field == &Placement::height;
    if (extent && value < 0) return E_INVALIDARG;
    std::lock_guard guard(windowLock);
    placement.*field = value;
    return S_OK;
}

HRESULT VideoRenderer::GetPlacementPart(LONG Placement::*field, LONG* value)
{
    if (!value) return E_POINTER;
    std::lock_guard guard(windowLock);
    *value = placement.*field;
    return S_OK;
}

HRESULT VideoRenderer::put_Left(LONG left) { return SetPlacementPart(&Placement::left, left); }
HRESULT VideoRenderer::get_Left(LONG* left) { return GetPlacementPart(&Placement::left, left); }
HRESULT VideoRenderer::put_Width(LONG width) { return SetPlacementPart(&Placement::width, width); }
HRESULT VideoRenderer::get_Width(LONG* width) { return GetPlacementPart(&Placement::width, width); }
HRESULT VideoRenderer::put_Top(LONG top) { return SetPlacementPart(&Placement::top, top); }
HRESULT VideoRenderer::get_Top(LONG* top) { return GetPlacementPart(&Placement::top, top); }
HRESULT VideoRenderer::put_Height(LONG height) { return SetPlacementPart(&Placement::height, height); }
HRESULT VideoRenderer::get_Height(LONG* height) { return GetPlacementPart(&Placement::height, height); }

HRESULT VideoRenderer::put_Owner(OAHWND newOwner)
{
    std::lock_guard guard(windowLock);
    owner = newOwner;
    return S_OK;
}

HRESULT VideoRenderer::get_Owner(OAHWND* result)
{
    if (!result) return E_POINTER;
    std::lock_guard guard(windowLock);
    *result = owner;
    return S_OK;
}

HRESULT VideoRenderer::put_MessageDrain(OAHWND) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_MessageDrain(OAHWND*) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_BorderColor(LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::put_BorderColor(LONG) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_FullScreenMode(LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::put_FullScreenMode(LONG) { return E_NOTIMPL; }
HRESULT VideoRenderer::SetWindowForeground(LONG) { return E_NOTIMPL; }
HRESULT VideoRenderer::NotifyOwnerMessage(OAHWND, LONG, LONG_PTR, LONG_PTR) { return E_NOTIMPL; }

HRESULT VideoRenderer::SetWindowPosition(LONG left, LONG top, LONG width, LONG height)
{
    if (width < 0 || height < 0) return E_INVALIDARG;
    std::lock_guard guard(windowLock);
    placement = {left, top, width, height};
    return S_OK;
}

HRESULT VideoRenderer::GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height)
{
    if (!left || !top || !width || !height) return E_POINTER;
    std::lock_guard guard(windowLock);
    *left = placement.left;
    *top = placement.top;
    *width = placement.width;
    *height = placement.height;
    return S_OK;
}

HRESULT VideoRenderer::GetMinIdealImageSize(LONG*, LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::GetMaxIdealImageSize(LONG*, LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::GetRestorePosition(LONG*, LONG*, LONG*, LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::HideCursor(LONG) { return E_NOTIMPL; }
HRESULT VideoRenderer::IsCursorHidden(LONG*) { return E_NOTIMPL; }

// ---- IBasicVideo ----

HRESULT VideoRenderer::GetVideoSize(LONG* width, LONG* height)
{
    if (!width || !height) return E_POINTER;
    std::lock_guard guard(filterLock);
    if (!input.IsConnected()) return VFW_E_NOT_CONNECTED;
    const VideoFormat& format = input.Format();
    *width = format.width;
    *height = static_cast<LONG>(format.Rows());
    return S_OK;
}

HRESULT VideoRenderer::get_VideoWidth(LONG* width)
{
    LONG height;
    return width ? GetVideoSize(width, &height) : E_POINTER;
}

HRESULT VideoRenderer::get_VideoHeight(LONG* height)
{
    LONG width;
    return height ? GetVideoSize(&width, height) : E_POINTER;
}

HRESULT VideoRenderer::get_AvgTimePerFrame(REFTIME* time)
{
    if (!time) return E_POINTER;
    std::lock_guard guard(filterLock);
    if (!input.IsConnected()) return VFW_E_NOT_CONNECTED;
    *time = static_cast<REFTIME>(input.Format().frameTime) / 10'000'000.0;
    return S_OK;
}

HRESULT VideoRenderer::get_BitRate(LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_BitErrorRate(LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::put_SourceLeft(LONG) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_SourceLeft(LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::put_SourceWidth(LONG) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_SourceWidth(LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::put_SourceTop(LONG) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_SourceTop(LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::put_SourceHeight(LONG) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_SourceHeight(LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::put_DestinationLeft(LONG) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_DestinationLeft(LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::put_DestinationWidth(LONG) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_DestinationWidth(LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::put_DestinationTop(LONG) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_DestinationTop(LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::put_DestinationHeight(LONG) { return E_NOTIMPL; }
HRESULT VideoRenderer::get_DestinationHeight(LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::SetSourcePosition(LONG, LONG, LONG, LONG) { return E_NOTIMPL; }
HRESULT VideoRenderer::GetSourcePosition(LONG*, LONG*, LONG*, LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::SetDefaultSourcePosition() { return E_NOTIMPL; }
HRESULT VideoRenderer::SetDestinationPosition(LONG, LONG, LONG, LONG) { return E_NOTIMPL; }
HRESULT VideoRenderer::GetDestinationPosition(LONG*, LONG*, LONG*, LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::SetDefaultDestinationPosition() { return E_NOTIMPL; }
HRESULT VideoRenderer::GetVideoPaletteEntries(LONG, LONG, LONG*, LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::GetCurrentImage(LONG*, LONG*) { return E_NOTIMPL; }
HRESULT VideoRenderer::IsUsingDefaultSource() { return E_NOTIMPL; }
HRESULT VideoRenderer::IsUsingDefaultDestination() { return E_NOTIMPL; }
