// An input of a movie writer, for one stream of its profile: uncompressed
// RGB24 video in a video-info format (rows either way up), or 16-bit PCM
// sound. Samples and end-of-stream go to the writer with the stream's index.
//
// A video input offers the sender an allocator of its own, whose buffers end in
// the zeros the encoder may read past a frame: a sender that takes it fills
// frames the writer queues as they are, without a copy.
#pragma once

#include "platform/mediagraph/MediaFormat.h"
#include "platform/mediagraph/MemoryAllocator.h"
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
    HRESULT GetAllocator(IMemAllocator** allocator) override;

    // Whether the sample is one of the buffers this input offered.
    bool OwnsSample(IMediaSample* sample);

    // The formats this writer takes, as read from a connection's type.
    static bool AcceptsVideo(const AM_MEDIA_TYPE& type, VideoFormat* format);
    static bool AcceptsAudio(const AM_MEDIA_TYPE& type, AudioFormat* format);

private:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;

    MovieWriterFilter& writer;
    const GUID majorType;
    std::size_t streamIndex = 0;
    // Video inputs only; fixed from construction, so the streaming thread asks it without a lock.
    const ComPtr<MemoryAllocator> ownAllocator;
};
