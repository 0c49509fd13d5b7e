// The input of the video renderer: uncompressed RGB24 or RGB32 video in a
// video-info format; rows either way up, at most kMaxVideoSide pixels a side.
#pragma once

#include "platform/mediagraph/MediaFormat.h"
#include "platform/mediagraph/PlatformPin.h"

class VideoRenderer;

class VideoInputPin final : public PlatformPin {
public:
    explicit VideoInputPin(VideoRenderer& renderer);

    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveCanBlock() override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;

    // The frames the connection carries, under the filter lock; zero while unconnected.
    const VideoFormat& Format() const { return format; }

private:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT CompleteConnect() override;
    void BreakConnect() override;

    VideoRenderer& renderer;
    VideoFormat format;
};
