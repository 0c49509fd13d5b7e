// CLSID_MediaFileWriter: the movie writer of movies that browsers and phones play: a name ending in ".webm" gives WebM
// (VP9 and Opus), any other MP4 (H.264 High and AAC-LC, index first). The
// profile gives the frame size, the video bit rate and buffer window, the
// key-frame spacing and whether there is sound. IMediaFileWriterConfig sets a
// constant frame rate; by default each picture is one frame of its own length.
#pragma once

#include "platform/wmformat/MediaFileWriterConfig.h"
#include "platform/wmformat/MovieWriterFilter.h"

HRESULT CreateMediaFileWriter(IUnknown* outer, REFIID iid, void** object);

class MediaFileWriter final : public MovieWriterFilter, public IMediaFileWriterConfig {
public:
    MediaFileWriter();

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return MovieWriterFilter::QueryInterface(iid, object);
    }
    ULONG AddRef() override { return MovieWriterFilter::AddRef(); }
    ULONG Release() override { return MovieWriterFilter::Release(); }

    HRESULT SetFrameRate(LONG framesPerSecond) override;
    HRESULT GetFrameRate(LONG* framesPerSecond) override;

private:
    ~MediaFileWriter() override = default;

    HRESULT QueryOtherInterface(REFIID iid, void** object) override;
    MovieFormat FileFormat() const override;

    // Under the filter lock.
    LONG frameRate = 0;
};
