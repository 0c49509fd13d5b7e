#include "platform/mediagraph/MediaSample.h"

#include <utility>

MediaSample::MediaSample(IMemAllocator* allocator, BYTE* memory, LONG bytes)
    : owner(allocator), buffer(memory), size(bytes)
{
}

MediaSample::~MediaSample() { ClearMediaType(); }

void MediaSample::HandOut(DWORD flags)
{
    references.store(1);
    actualLength = size;
    hasStart = hasStop = hasMediaTime = false;
    syncPoint = preroll = false;
    discontinuity = (flags & AM_GBF_PREVFRAMESKIPPED) != 0;
    owner->AddRef();
}

void MediaSample::LastReferenceReleased()
{
    // A type's reference is not kept while the sample waits in the pool.
    ClearMediaType();
    // Back to the pool: the allocator may free this sample inside ReleaseBuffer
    // (decommitted, last one home), so nothing of it is touched afterwards.
    IMemAllocator* const allocator = owner;
    allocator->ReleaseBuffer(this);
    allocator->Release();
}

HRESULT MediaSample::GetPointer(BYTE** pointer)
{
    if (!pointer) return E_POINTER;
    *pointer = buffer;
    return S_OK;
}

LONG MediaSample::GetSize() { return size; }

HRESULT MediaSample::GetTime(REFERENCE_TIME* startTime, REFERENCE_TIME* endTime)
{
    if (!startTime || !endTime) return E_POINTER;
    if (!hasStart) return VFW_E_SAMPLE_TIME_NOT_SET;
    *startTime = start;
    if (!hasStop) {
        *endTime = start + 1;
        return VFW_S_NO_STOP_TIME;
    }
    *endTime = stop;
    return S_OK;
}

HRESULT MediaSample::SetTime(REFERENCE_TIME* startTime, REFERENCE_TIME* endTime)
{
    // No start clears both stamps; a start alone leaves the sample without a stop.
    hasStart = startTime != nullptr;
    hasStop = hasStart && endTime != nullptr;
    if (hasStart) start = *startTime;
    if (hasStop) stop = *endTime;
    return S_OK;
}

HRESULT MediaSample::IsSyncPoint() { return syncPoint ? S_OK : S_FALSE; }

HRESULT MediaSample::SetSyncPoint(BOOL isSyncPoint)
{
    syncPoint = isSyncPoint != FALSE;
    return S_OK;
}

HRESULT MediaSample::IsPreroll() { return preroll ? S_OK : S_FALSE; }

HRESULT MediaSample::SetPreroll(BOOL isPreroll)
{
    preroll = isPreroll != FALSE;
    return S_OK;
}

HRESULT MediaSample::IsDiscontinuity() { return discontinuity ? S_OK : S_FALSE; }

HRESULT MediaSample::SetDiscontinuity(BOOL isDiscontinuity)
{
    discontinuity = isDiscontinuity != FALSE;
    return S_OK;
}

LONG MediaSample::GetActualDataLength() { return actualLength; }

HRESULT MediaSample::SetActualDataLength(LONG length)
{
    if (length < 0) return E_INVALIDARG;
    if (length > size) return VFW_E_BUFFER_OVERFLOW;
    actualLength = length;
    return S_OK;
}

HRESULT MediaSample::GetMediaTime(LONGLONG* startTime, LONGLONG* endTime)
{
    if (!startTime || !endTime) return E_POINTER;
    if (!hasMediaTime) return VFW_E_MEDIA_TIME_NOT_SET;
    *startTime = mediaStart;
    *endTime = mediaStop;
    return S_OK;
}

HRESULT MediaSample::SetMediaTime(LONGLONG* startTime, LONGLONG* endTime)
{
    if (!startTime) {
        hasMediaTime = false;
        return S_OK;
    }
    if (!endTime) return E_POINTER;
    mediaStart = *startTime;
    mediaStop = *endTime;
    hasMediaTime = true;
    return S_OK;
}

HRESULT MediaSample::GetMediaType(AM_MEDIA_TYPE** type)
{
    if (!type) return E_POINTER;
    *type = nullptr;
    if (!hasMediaType) return S_FALSE;
    *type = mediaType.CreateTaskCopy();
    return *type ? S_OK : E_OUTOFMEMORY;
}

HRESULT MediaSample::SetMediaType(AM_MEDIA_TYPE* type)
{
    if (!type) {
        ClearMediaType();
        return S_OK;
    }
    if (type->cbFormat != 0 && !type->pbFormat) return E_INVALIDARG;

    OwnedMediaType copy;
    if (FAILED(copy.Assign(*type))) return E_OUTOFMEMORY;
    mediaType = std::move(copy);
    hasMediaType = true;
    return S_OK;
}

void MediaSample::ClearMediaType()
{
    mediaType.Clear();
    hasMediaType = false;
}
