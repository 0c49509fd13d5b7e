#include "platform/mediagraph/OwnedMediaType.h"

#include <cstring>
#include <utility>

OwnedMediaType& OwnedMediaType::operator=(const OwnedMediaType& other)
{
    if (this != &other) Assign(other.record);
    return *this;
}

OwnedMediaType::OwnedMediaType(OwnedMediaType&& other) noexcept : record(std::exchange(other.record, {})) {}

OwnedMediaType& OwnedMediaType::operator=(OwnedMediaType&& other) noexcept
{
    std::swap(record, other.record);
    return *this;
}

HRESULT OwnedMediaType::Assign(const AM_MEDIA_TYPE& type)
{
    if (&type == &record) return S_OK;
    AM_MEDIA_TYPE old = record;
    const HRESULT hr = CopyMediaType(record, type);
    FreeMediaTypeFormat(old);
    return hr;
}

void OwnedMediaType::Clear()
{
    FreeMediaTypeFormat(record);
    record = AM_MEDIA_TYPE{};
}

void OwnedMediaType::Blank()
{
    FreeMediaTypeFormat(record);
    BlankMediaType(record);
}

AM_MEDIA_TYPE* OwnedMediaType::Receive()
{
    Blank();
    return &record;
}

HRESULT OwnedMediaType::CopyTo(AM_MEDIA_TYPE* target) const
{
    if (!target) return E_POINTER;
    return CopyMediaType(*target, record);
}

AM_MEDIA_TYPE* OwnedMediaType::CreateTaskCopy() const
{
    auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!copy) return nullptr;
    if (FAILED(CopyMediaType(*copy, record))) {
        FreeMediaTypeFormat(*copy);
        CoTaskMemFree(copy);
        return nullptr;
    }
    return copy;
}

void BlankMediaType(AM_MEDIA_TYPE& type)
{
    type = AM_MEDIA_TYPE{};
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = 1;
}

HRESULT CopyMediaType(AM_MEDIA_TYPE& target, const AM_MEDIA_TYPE& source)
{
    target = source;
    if (target.pUnk) target.pUnk->AddRef();
    target.cbFormat = 0;
    target.pbFormat = nullptr;
    if (source.cbFormat == 0 || !source.pbFormat) return S_OK;
    target.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source.cbFormat));
    if (!target.pbFormat) return E_OUTOFMEMORY;
    std::memcpy(target.pbFormat, source.pbFormat, source.cbFormat);
    target.cbFormat = source.cbFormat;
    return S_OK;
}

void FreeMediaTypeFormat(AM_MEDIA_TYPE& type)
{
    CoTaskMemFree(type.pbFormat);
    type.pbFormat = nullptr;
    type.cbFormat = 0;
    if (type.pUnk) {
        type.pUnk->Release();
        type.pUnk = nullptr;
    }
}

void DeleteTaskMediaType(AM_MEDIA_TYPE* type)
{
    if (!type) return;
    FreeMediaTypeFormat(*type);
    CoTaskMemFree(type);
}

BYTE* MediaTypeFormatBuffer(AM_MEDIA_TYPE& type, ULONG size)
{
    if (type.pbFormat && type.cbFormat == size) return type.pbFormat;
    auto* block = static_cast<BYTE*>(CoTaskMemAlloc(size));
    if (!block) return type.pbFormat && type.cbFormat >= size ? type.pbFormat : nullptr;
    CoTaskMemFree(type.pbFormat);
    type.pbFormat = block;
    type.cbFormat = size;
    return block;
}

AM_MEDIA_TYPE WithoutInterface(const AM_MEDIA_TYPE& type)
{
    AM_MEDIA_TYPE copy = type;
    copy.pUnk = nullptr;
    return copy;
}
