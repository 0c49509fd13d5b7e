#include "picsource/PictureSource.h"

#include "picsource/PictureStream.h"

#include <new>

ObjectBase* PictureSource::CreateInstance(IUnknown* outer, HRESULT* result)
{
    auto* filter = new (std::nothrow) PictureSource(outer);
    if (!filter) {
        *result = E_OUTOFMEMORY;
        return nullptr;
    }
    filter->stream = new (std::nothrow) PictureStream(*filter);
    if (!filter->stream) {
        *result = E_OUTOFMEMORY;
        delete filter;
        return nullptr;
    }
    return filter;
}

PictureSource::PictureSource(IUnknown* outer) : SourceFilterBase(outer, CLSID_PictureSource) {}

PictureSource::~PictureSource()
{
    // A filter let go while paused or running must not leave its worker behind.
    Stop();
    delete stream;
}

HRESULT PictureSource::NonDelegatingQueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (iid == IID_ISpecifyPropertyPages) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), object);
    if (iid == IID_IPictureSourceConfig) return GetInterface(static_cast<IPictureSourceConfig*>(this), object);
    return SourceFilterBase::NonDelegatingQueryInterface(iid, object);
}

HRESULT PictureSource::GetPages(CAUUID* pages)
{
    if (!pages) return E_POINTER;
    pages->cElems = 0;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems) return E_OUTOFMEMORY;
    pages->pElems[0] = CLSID_PictureSourcePage;
    pages->cElems = 1;
    return S_OK;
}

HRESULT PictureSource::SetFolder(LPCWSTR folder) { return stream->SetFolder(folder); }
HRESULT PictureSource::SetRepTime(LONG* milliseconds) { return stream->SetRepTime(milliseconds); }
HRESULT PictureSource::GetRepTime(LONG* milliseconds) { return stream->GetRepTime(milliseconds); }
HRESULT PictureSource::SetVideoSize(LONG* width, LONG* height) { return stream->SetVideoSize(width, height); }
HRESULT PictureSource::GetVideoSize(LONG* width, LONG* height) { return stream->GetVideoSize(width, height); }
HRESULT PictureSource::GetCurrentPicture(LONG* index) { return stream->GetCurrentPicture(index); }
HRESULT PictureSource::SetCurrentPicture(LONG index) { return stream->SetCurrentPicture(index); }
HRESULT PictureSource::GetPictureCount(LONG* count) { return stream->GetPictureCount(count); }
HRESULT PictureSource::SetWorkerPriority(LONG priority) { return stream->SetWorkerPriority(priority); }
HRESULT PictureSource::GetOutputType(AM_MEDIA_TYPE* mediaType) { return stream->GetOutputType(mediaType); }
HRESULT PictureSource::SetPictureOptions(LONG orientation, LONG fit, LONG scaling)
{
    return stream->SetPictureOptions(orientation, fit, scaling);
}
HRESULT PictureSource::GetPictureOptions(LONG* orientation, LONG* fit, LONG* scaling)
{
    return stream->GetPictureOptions(orientation, fit, scaling);
}
HRESULT PictureSource::RenderPicture(LONG index, LONG width, LONG height, BYTE* frame, LONG frameBytes)
{
    return stream->RenderPicture(index, width, height, frame, frameBytes);
}
HRESULT PictureSource::SetPictureOrder(LONG order) { return stream->SetPictureOrder(order); }
HRESULT PictureSource::GetPictureOrder(LONG* order) { return stream->GetPictureOrder(order); }
HRESULT PictureSource::SetPictureList(const LPCWSTR* names, LONG count) { return stream->SetPictureList(names, count); }
HRESULT PictureSource::GetFolderPictures(LONG order, LPWSTR names, LONG capacity, LONG* needed)
{
    return stream->GetFolderPictures(order, names, capacity, needed);
}
HRESULT PictureSource::RenderThumbnail(LPCWSTR name, LONG width, LONG height, BYTE* frame, LONG frameBytes)
{
    return stream->RenderThumbnail(name, width, height, frame, frameBytes);
}
HRESULT PictureSource::SetShowOptions(const ShowOptions* options, LPCWSTR captionFile)
{
    return stream->SetShowOptions(options, captionFile);
}
HRESULT PictureSource::GetShowOptions(ShowOptions* options) { return stream->GetShowOptions(options); }
HRESULT PictureSource::GetPictureName(LONG index, LPWSTR buffer, LONG capacity)
{
    return stream->GetPictureName(index, buffer, capacity);
}
