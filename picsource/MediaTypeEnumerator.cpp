#include "picsource/MediaTypeEnumerator.h"

#include "picsource/OutputPinBase.h"
#include "platform/mediagraph/OwnedMediaType.h"

#include <new>

MediaTypeEnumerator::MediaTypeEnumerator(OutputPinBase& enumerated, const MediaTypeEnumerator* other)
    : ObjectBase(nullptr), pin(enumerated)
{
    pin.AddRef();
    position = other ? other->position : 0;
    version = other ? other->version : pin.GetMediaTypeVersion();
}

MediaTypeEnumerator::~MediaTypeEnumerator() { pin.Release(); }

HRESULT MediaTypeEnumerator::NonDelegatingQueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (iid == IID_IEnumMediaTypes) return GetInterface(static_cast<IEnumMediaTypes*>(this), object);
    return ObjectBase::NonDelegatingQueryInterface(iid, object);
}

bool MediaTypeEnumerator::OutOfSync() { return version != pin.GetMediaTypeVersion(); }

HRESULT MediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched)
{
    if (!types || (count > 1 && !fetched)) return E_POINTER;
    if (fetched) *fetched = 0;
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG given = 0;
    while (given < count) {
        AM_MEDIA_TYPE type;
        BlankMediaType(type);
        const HRESULT hr = pin.GetMediaType(position, &type);
        if (hr != S_OK) {
            FreeMediaTypeFormat(type);
            break;
        }
        ++position;
        auto* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        if (!record) {
            FreeMediaTypeFormat(type);
            break;
        }
        // The record takes over the type's format block and reference.
        *record = type;
        types[given++] = record;
    }
    if (fetched) *fetched = given;
    return given == count ? S_OK : S_FALSE;
}

HRESULT MediaTypeEnumerator::Skip(ULONG count)
{
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    for (ULONG i = 0; i < count; ++i) {
        OwnedMediaType type;
        if (pin.GetMediaType(position, type.Receive()) != S_OK) return S_FALSE;
        ++position;
    }
    return S_OK;
}

HRESULT MediaTypeEnumerator::Reset()
{
    position = 0;
    version = pin.GetMediaTypeVersion();
    return S_OK;
}

HRESULT MediaTypeEnumerator::Clone(IEnumMediaTypes** copy)
{
    if (!copy) return E_POINTER;
    *copy = nullptr;
    if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
    *copy = new (std::nothrow) MediaTypeEnumerator(pin, this);
    if (!*copy) return E_OUTOFMEMORY;
    (*copy)->AddRef();
    return S_OK;
}
