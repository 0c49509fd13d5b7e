// IVideoWindow and IBasicVideo of the filter graph manager: each call goes to
// the first filter of the graph that offers the interface (the video
// renderer); without one the call answers E_NOINTERFACE.
#include "platform/mediagraph/FilterGraph.h"

template <typename Interface, typename... Params, typename... Args>
HRESULT FilterGraph::Forward(REFIID iid, HRESULT (Interface::*method)(Params...), Args... args)
{
    ComPtr<Interface> target;
    {
        std::lock_guard guard(graphLock);
        for (const Entry& entry : filters) {
            if (SUCCEEDED(entry.filter->QueryInterface(iid, target.ReceiveVoid()))) break;
        }
    }
    if (!target) return E_NOINTERFACE;
    return (target.Get()->*method)(args...);
}

HRESULT FilterGraph::put_Caption(BSTR caption)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::put_Caption, caption);
}

HRESULT FilterGraph::get_Caption(BSTR* caption)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::get_Caption, caption);
}

HRESULT FilterGraph::put_WindowStyle(LONG style)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::put_WindowStyle, style);
}

HRESULT FilterGraph::get_WindowStyle(LONG* style)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::get_WindowStyle, style);
}

HRESULT FilterGraph::put_WindowStyleEx(LONG style)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::put_WindowStyleEx, style);
}

HRESULT FilterGraph::get_WindowStyleEx(LONG* style)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::get_WindowStyleEx, style);
}

HRESULT FilterGraph::put_AutoShow(LONG autoShow)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::put_AutoShow, autoShow);
}

HRESULT FilterGraph::get_AutoShow(LONG* autoShow)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::get_AutoShow, autoShow);
}

HRESULT FilterGraph::put_WindowState(LONG windowState)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::put_WindowState, windowState);
}

HRESULT FilterGraph::get_WindowState(LONG* windowState)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::get_WindowState, windowState);
}

HRESULT FilterGraph::put_BackgroundPalette(LONG palette)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::put_BackgroundPalette, palette);
}

HRESULT FilterGraph::get_BackgroundPalette(LONG* palette)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::get_BackgroundPalette, palette);
}

HRESULT FilterGraph::put_Visible(LONG visible)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::put_Visible, visible);
}

HRESULT FilterGraph::get_Visible(LONG* visible)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::get_Visible, visible);
}

HRESULT FilterGraph::put_Left(LONG left) { return Forward(IID_IVideoWindow, &IVideoWindow::put_Left, left); }

HRESULT FilterGraph::get_Left(LONG* left) { return Forward(IID_IVideoWindow, &IVideoWindow::get_Left, left); }

HRESULT FilterGraph::put_Width(LONG width) { return Forward(IID_IVideoWindow, &IVideoWindow::put_Width, width); }

HRESULT FilterGraph::get_Width(LONG* width) { return Forward(IID_IVideoWindow, &IVideoWindow::get_Width, width); }

HRESULT FilterGraph::put_Top(LONG top) { return Forward(IID_IVideoWindow, &IVideoWindow::put_Top, top); }

HRESULT FilterGraph::get_Top(LONG* top) { return Forward(IID_IVideoWindow, &IVideoWindow::get_Top, top); }

HRESULT FilterGraph::put_Height(LONG height) { return Forward(IID_IVideoWindow, &IVideoWindow::put_Height, height); }

HRESULT FilterGraph::get_Height(LONG* height) { return Forward(IID_IVideoWindow, &IVideoWindow::get_Height, height); }

HRESULT FilterGraph::put_Owner(OAHWND owner) { return Forward(IID_IVideoWindow, &IVideoWindow::put_Owner, owner); }

HRESULT FilterGraph::get_Owner(OAHWND* owner) { return Forward(IID_IVideoWindow, &IVideoWindow::get_Owner, owner); }

HRESULT FilterGraph::put_MessageDrain(OAHWND drain)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::put_MessageDrain, drain);
}

HRESULT FilterGraph::get_MessageDrain(OAHWND* drain)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::get_MessageDrain, drain);
}

HRESULT FilterGraph::get_BorderColor(LONG* color)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::get_BorderColor, color);
}

HRESULT FilterGraph::put_BorderColor(LONG color)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::put_BorderColor, color);
}

HRESULT FilterGraph::get_FullScreenMode(LONG* fullScreen)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::get_FullScreenMode, fullScreen);
}

HRESULT FilterGraph::put_FullScreenMode(LONG fullScreen)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::put_FullScreenMode, fullScreen);
}

HRESULT FilterGraph::SetWindowForeground(LONG focus)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::SetWindowForeground, focus);
}

HRESULT FilterGraph::NotifyOwnerMessage(OAHWND window, LONG message, LONG_PTR wParam, LONG_PTR lParam)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::NotifyOwnerMessage, window, message, wParam, lParam);
}

HRESULT FilterGraph::SetWindowPosition(LONG left, LONG top, LONG width, LONG height)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::SetWindowPosition, left, top, width, height);
}

HRESULT FilterGraph::GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::GetWindowPosition, left, top, width, height);
}

HRESULT FilterGraph::GetMinIdealImageSize(LONG* width, LONG* height)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::GetMinIdealImageSize, width, height);
}

HRESULT FilterGraph::GetMaxIdealImageSize(LONG* width, LONG* height)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::GetMaxIdealImageSize, width, height);
}

HRESULT FilterGraph::GetRestorePosition(LONG* left, LONG* top, LONG* width, LONG* height)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::GetRestorePosition, left, top, width, height);
}

HRESULT FilterGraph::HideCursor(LONG hide) { return Forward(IID_IVideoWindow, &IVideoWindow::HideCursor, hide); }

HRESULT FilterGraph::IsCursorHidden(LONG* hidden)
{
    return Forward(IID_IVideoWindow, &IVideoWindow::IsCursorHidden, hidden);
}

HRESULT FilterGraph::get_AvgTimePerFrame(REFTIME* time)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::get_AvgTimePerFrame, time);
}

HRESULT FilterGraph::get_BitRate(LONG* rate) { return Forward(IID_IBasicVideo, &IBasicVideo::get_BitRate, rate); }

HRESULT FilterGraph::get_BitErrorRate(LONG* rate)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::get_BitErrorRate, rate);
}

HRESULT FilterGraph::get_VideoWidth(LONG* width)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::get_VideoWidth, width);
}

HRESULT FilterGraph::get_VideoHeight(LONG* height)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::get_VideoHeight, height);
}

HRESULT FilterGraph::put_SourceLeft(LONG left) { return Forward(IID_IBasicVideo, &IBasicVideo::put_SourceLeft, left); }

HRESULT FilterGraph::get_SourceLeft(LONG* left) { return Forward(IID_IBasicVideo, &IBasicVideo::get_SourceLeft, left); }

HRESULT FilterGraph::put_SourceWidth(LONG width)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::put_SourceWidth, width);
}

HRESULT FilterGraph::get_SourceWidth(LONG* width)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::get_SourceWidth, width);
}

HRESULT FilterGraph::put_SourceTop(LONG top) { return Forward(IID_IBasicVideo, &IBasicVideo::put_SourceTop, top); }

HRESULT FilterGraph::get_SourceTop(LONG* top) { return Forward(IID_IBasicVideo, &IBasicVideo::get_SourceTop, top); }

HRESULT FilterGraph::put_SourceHeight(LONG height)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::put_SourceHeight, height);
}

HRESULT FilterGraph::get_SourceHeight(LONG* height)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::get_SourceHeight, height);
}

HRESULT FilterGraph::put_DestinationLeft(LONG left)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::put_DestinationLeft, left);
}

HRESULT FilterGraph::get_DestinationLeft(LONG* left)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::get_DestinationLeft, left);
}

HRESULT FilterGraph::put_DestinationWidth(LONG width)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::put_DestinationWidth, width);
}

HRESULT FilterGraph::get_DestinationWidth(LONG* width)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::get_DestinationWidth, width);
}

HRESULT FilterGraph::put_DestinationTop(LONG top)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::put_DestinationTop, top);
}

HRESULT FilterGraph::get_DestinationTop(LONG* top)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::get_DestinationTop, top);
}

HRESULT FilterGraph::put_DestinationHeight(LONG height)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::put_DestinationHeight, height);
}

HRESULT FilterGraph::get_DestinationHeight(LONG* height)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::get_DestinationHeight, height);
}

HRESULT FilterGraph::SetSourcePosition(LONG left, LONG top, LONG width, LONG height)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::SetSourcePosition, left, top, width, height);
}

HRESULT FilterGraph::GetSourcePosition(LONG* left, LONG* top, LONG* width, LONG* height)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::GetSourcePosition, left, top, width, height);
}

HRESULT FilterGraph::SetDefaultSourcePosition()
{
    return Forward(IID_IBasicVideo, &IBasicVideo::SetDefaultSourcePosition);
}

HRESULT FilterGraph::SetDestinationPosition(LONG left, LONG top, LONG width, LONG height)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::SetDestinationPosition, left, top, width, height);
}

HRESULT FilterGraph::GetDestinationPosition(LONG* left, LONG* top, LONG* width, LONG* height)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::GetDestinationPosition, left, top, width, height);
}

HRESULT FilterGraph::SetDefaultDestinationPosition()
{
    return Forward(IID_IBasicVideo, &IBasicVideo::SetDefaultDestinationPosition);
}

HRESULT FilterGraph::GetVideoSize(LONG* width, LONG* height)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::GetVideoSize, width, height);
}

HRESULT FilterGraph::GetVideoPaletteEntries(LONG start, LONG count, LONG* retrieved, LONG* palette)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::GetVideoPaletteEntries, start, count, retrieved, palette);
}

HRESULT FilterGraph::GetCurrentImage(LONG* bufferSize, LONG* image)
{
    return Forward(IID_IBasicVideo, &IBasicVideo::GetCurrentImage, bufferSize, image);
}

HRESULT FilterGraph::IsUsingDefaultSource() { return Forward(IID_IBasicVideo, &IBasicVideo::IsUsingDefaultSource); }

HRESULT FilterGraph::IsUsingDefaultDestination()
{
    return Forward(IID_IBasicVideo, &IBasicVideo::IsUsingDefaultDestination);
}
