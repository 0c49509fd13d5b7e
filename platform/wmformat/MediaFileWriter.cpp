#include "platform/wmformat/MediaFileWriter.h"

#include "platform/base/WideText.h"
#include "platform/mediagraph/UnaggregatedInstance.h"

MediaFileWriter::MediaFileWriter() : MovieWriterFilter(CLSID_MediaFileWriter) {}

HRESULT CreateMediaFileWriter(IUnknown* outer, REFIID iid, void** object)
{
    return CreateUnaggregatedInstance<MediaFileWriter>(outer, iid, object);
}

HRESULT MediaFileWriter::QueryOtherInterface(REFIID iid, void** object)
{
    if (iid != IID_IMediaFileWriterConfig) return MovieWriterFilter::QueryOtherInterface(iid, object);
    *object = static_cast<IMediaFileWriterConfig*>(this);
    AddRef();
    return S_OK;
}

HRESULT MediaFileWriter::SetFrameRate(LONG framesPerSecond)
{
    if (framesPerSecond < 0 || framesPerSecond > kMaxFrameRate) return E_INVALIDARG;
    std::lock_guard guard(filterLock);
    if (state != State_Stopped) return VFW_E_NOT_STOPPED;
    frameRate = framesPerSecond;
    return S_OK;
}

HRESULT MediaFileWriter::GetFrameRate(LONG* framesPerSecond)
{
    if (!framesPerSecond) return E_POINTER;
    std::lock_guard guard(filterLock);
    *framesPerSecond = frameRate;
    return S_OK;
}

MovieFormat MediaFileWriter::FileFormat() const
{
    return HasExtension(FileName(), u".webm") ? MovieFormat::WebM(frameRate) : MovieFormat::Mp4(frameRate);
}
