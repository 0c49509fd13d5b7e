// The input of the video renderer: uncompressed RGB24 or RGB32 video in a
// video-info format; rows either way up, at most kMaxVideoSide pixels a side.
#pragma once

#include "platform/mediagraph/PlatformPin.h"

class VideoRenderer;

// The layout of the frames the connection carries.
struct VideoLayout {
    LONG width = 0;
    LONG height = 0; // negative: top row first
    WORD bitCount = 0;
    LONG stride = 0;
    REFERENCE_TIME frameTime = 0;
    std::size_t FrameBytes() const { return static_cast<std::size_t>(stride) * (height < 0 ? -height : height); }
};

class VideoInputPin final : public PlatformPin {
public:
    explicit VideoInputPin(VideoRenderer& renderer);

    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveCanBlock() override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;

    // Under the filter lock; zero while unconnected.
    const VideoLayout& Layout() const { return layout; }

    // The layout a video type describes; false for a type the renderer cannot show.
    static bool LayoutOf(const AM_MEDIA_TYPE& type, VideoLayout* layout);

private:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT CompleteConnect() override;
    void BreakConnect() override;

    VideoRenderer& renderer;
    VideoLayout layout;
};
