#include "platform/mediagraph/OwnedMediaType.h"

#include <cstring>

void OwnedMediaType::Assign(const AM_MEDIA_TYPE& type)
{
    record = type;
    record.pUnk = nullptr;
    if (type.pbFormat && type.cbFormat > 0) {
        format.assign(type.pbFormat, type.pbFormat + type.cbFormat);
    } else {
        format.clear();
    }
    record.cbFormat = static_cast<ULONG>(format.size());
    record.pbFormat = format.empty() ? nullptr : format.data();
    empty = false;
}

void OwnedMediaType::Clear()
{
    record = AM_MEDIA_TYPE{};
    format.clear();
    empty = true;
}

OwnedMediaType& OwnedMediaType::operator=(const OwnedMediaType& other)
{
    if (this == &other) return *this;
    if (other.empty) {
        Clear();
    } else {
        Assign(other.record);
    }
    return *this;
}

HRESULT OwnedMediaType::CopyTo(AM_MEDIA_TYPE* target) const
{
    if (!target) return E_POINTER;
    *target = record;
    target->pbFormat = nullptr;
    target->cbFormat = 0;
    if (format.empty()) return S_OK;
    target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(format.size()));
    if (!target->pbFormat) return E_OUTOFMEMORY;
    std::memcpy(target->pbFormat, format.data(), format.size());
    target->cbFormat = static_cast<ULONG>(format.size());
    return S_OK;
}

AM_MEDIA_TYPE* OwnedMediaType::CreateTaskCopy() const
{
    auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!copy) return nullptr;
    if (FAILED(CopyTo(copy))) {
        CoTaskMemFree(copy);
        return nullptr;
    }
    return copy;
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
