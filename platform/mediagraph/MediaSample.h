// One buffer of a memory allocator, handed out as IMediaSample.
//
// The allocator owns the sample and its memory. While a sample is handed out it
// holds a reference on its allocator; when the last reference to the sample goes,
// the sample goes back to the allocator (ReleaseBuffer), which then lets go of
// that reference, so an allocator outlives every sample in use.
#pragma once

#include "platform/mediagraph/MediaGraph.h"
#include "platform/mediagraph/OwnedMediaType.h"
#include "platform/mediagraph/PlatformObject.h"

class MediaSample final : public PlatformObject<MediaSample, IMediaSample, IID_IMediaSample> {
public:
    MediaSample(IMemAllocator* owner, BYTE* buffer, LONG size);
    ~MediaSample();
    MediaSample(const MediaSample&) = delete;
    MediaSample& operator=(const MediaSample&) = delete;

    // Called by the allocator as it hands the sample out: one reference, the
    // properties of a fresh buffer (whole buffer valid, no times, no flags).
    void HandOut(DWORD flags);

    HRESULT GetPointer(BYTE** pointer) override;
    LONG GetSize() override;
    HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
    HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
    HRESULT IsSyncPoint() override;
    HRESULT SetSyncPoint(BOOL isSyncPoint) override;
    HRESULT IsPreroll() override;
    HRESULT SetPreroll(BOOL isPreroll) override;
    LONG GetActualDataLength() override;
    HRESULT SetActualDataLength(LONG length) override;
    HRESULT GetMediaType(AM_MEDIA_TYPE** mediaType) override;
    HRESULT SetMediaType(AM_MEDIA_TYPE* mediaType) override;
    HRESULT IsDiscontinuity() override;
    HRESULT SetDiscontinuity(BOOL isDiscontinuity) override;
    HRESULT GetMediaTime(LONGLONG* start, LONGLONG* end) override;
    HRESULT SetMediaTime(LONGLONG* start, LONGLONG* end) override;

private:
    friend PlatformObject;
    // Back to the pool instead of being destroyed.
    void LastReferenceReleased();
    void ClearMediaType();

    IMemAllocator* const owner;
    BYTE* const buffer;
    const LONG size;

    LONG actualLength = 0;
    bool hasStart = false;
    bool hasStop = false;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    bool hasMediaTime = false;
    LONGLONG mediaStart = 0;
    LONGLONG mediaStop = 0;
    bool syncPoint = false;
    bool preroll = false;
    bool discontinuity = false;

    // A media type attached by the producer.
    bool hasMediaType = false;
    OwnedMediaType mediaType;
};
