// An input of a movie writer, for one stream of its profile: uncompressed
// RGB24 video in a video-info format (rows either way up), or 16-bit PCM
// sound. Samples and end-of-stream go to the writer with the stream's index.
#pragma once

#include "platform/mediagraph/MediaFormat.h"
#include "platform/mediagraph/PlatformPin.h"

class MovieWriterFilter;

class WriterInputPin final : public PlatformPin {
public:
    WriterInputPin(MovieWriterFilter& writer, std::u16string name, const GUID& majorType);

    const GUID& MajorType() const { return majorType; }
    // The profile stream the pin feeds; set while the writer is stopped.
    void SetStreamIndex(std::size_t index) { streamIndex = index; }
    std::size_t StreamIndex() const { return streamIndex; }

    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveCanBlock() override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;

    // The formats this writer takes, as read from a connection's type.
    static bool AcceptsVideo(const AM_MEDIA_TYPE& type, VideoFormat* format);
    static bool AcceptsAudio(const AM_MEDIA_TYPE& type, AudioFormat* format);

private:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;

    MovieWriterFilter& writer;
    const GUID majorType;
    std::size_t streamIndex = 0;
};
