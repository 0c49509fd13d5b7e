#include "platform/mediagraph/VideoInputPin.h"

#include "platform/mediagraph/VideoRenderer.h"

VideoInputPin::VideoInputPin(VideoRenderer& owner) : PlatformPin(owner, u"In", PINDIR_INPUT), renderer(owner) {}

namespace {

// Uncompressed RGB24 or RGB32 that the renderer can show.
bool Shows(const AM_MEDIA_TYPE& type, VideoFormat* format)
{
    return VideoFormat::Read(type, format) && (format->IsRgb(24) || format->IsRgb(32)) &&
           format->SidesWithin(kMaxVideoSide);
}

} // namespace

HRESULT VideoInputPin::CheckMediaType(const AM_MEDIA_TYPE& type)
{
    VideoFormat unused;
    return Shows(type, &unused) ? S_OK : S_FALSE;
}

HRESULT VideoInputPin::CompleteConnect()
{
    Shows(ConnectionType().Record(), &format);
    renderer.OnConnected(format);
    return S_OK;
}

void VideoInputPin::BreakConnect()
{
    format = VideoFormat{};
    renderer.OnConnected(format);
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
