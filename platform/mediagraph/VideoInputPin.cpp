#include "platform/mediagraph/VideoInputPin.h"

#include "platform/mediagraph/VideoRenderer.h"

VideoInputPin::VideoInputPin(VideoRenderer& owner) : PlatformPin(owner, u"In", PINDIR_INPUT), renderer(owner) {}

bool VideoInputPin::LayoutOf(const AM_MEDIA_TYPE& type, VideoLayout* result)
{
    if (type.majortype != MEDIATYPE_Video || type.formattype != FORMAT_VideoInfo) return false;
    if (!type.pbFormat || type.cbFormat < sizeof(VIDEOINFOHEADER)) return false;
    const auto& info = *reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    const BITMAPINFOHEADER& bitmap = info.bmiHeader;
    const bool rgb24 = type.subtype == MEDIASUBTYPE_RGB24 && bitmap.biBitCount == 24;
    const bool rgb32 = type.subtype == MEDIASUBTYPE_RGB32 && bitmap.biBitCount == 32;
    if (!(rgb24 || rgb32) || bitmap.biCompression != BI_RGB) return false;
    if (bitmap.biWidth <= 0 || bitmap.biWidth > kMaxVideoSide) return false;
    if (bitmap.biHeight == 0 || bitmap.biHeight > kMaxVideoSide || bitmap.biHeight < -kMaxVideoSide) return false;
    result->width = bitmap.biWidth;
    result->height = bitmap.biHeight;
    result->bitCount = bitmap.biBitCount;
    result->stride = static_cast<LONG>(DibRowBytes(bitmap.biWidth, bitmap.biBitCount));
    result->frameTime = info.AvgTimePerFrame;
    return true;
}

HRESULT VideoInputPin::CheckMediaType(const AM_MEDIA_TYPE& type)
{
    VideoLayout unused;
    return LayoutOf(type, &unused) ? S_OK : S_FALSE;
}

HRESULT VideoInputPin::CompleteConnect()
{
    LayoutOf(ConnectionType().Record(), &layout);
    renderer.OnConnected(layout);
    return S_OK;
}

void VideoInputPin::BreakConnect()
{
    layout = VideoLayout{};
    renderer.OnConnected(layout);
}

HRESULT VideoInputPin::Receive(IMediaSample* sample)
{
    if (!sample) return E_POINTER;
    return renderer.Render(sample);
}

HRESULT VideoInputPin::ReceiveCanBlock() { return S_OK; }
HRESULT VideoInputPin::EndOfStream() { return renderer.EndOfStream(); }
HRESULT VideoInputPin::BeginFlush() { return renderer.BeginFlush(); }
HRESULT VideoInputPin::EndFlush() { return renderer.EndFlush(); }
