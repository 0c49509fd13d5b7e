#include "picsource/MediaTypeRecord.h"

#include <cstdlib>
#include <cstring>

void MediaTypeRecord::Blank(AM_MEDIA_TYPE& type)
{
    type = AM_MEDIA_TYPE{};
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = 1;
}

HRESULT MediaTypeRecord::Copy(AM_MEDIA_TYPE& target, const AM_MEDIA_TYPE& source)
{
    target = source;
    if (target.pUnk) target.pUnk->AddRef();
    if (source.cbFormat == 0 || !source.pbFormat) {
        target.cbFormat = 0;
        target.pbFormat = nullptr;
        return S_OK;
    }
    target.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source.cbFormat));
    if (!target.pbFormat) {
        target.cbFormat = 0;
        return E_OUTOFMEMORY;
    }
    std::memcpy(target.pbFormat, source.pbFormat, source.cbFormat);
    return S_OK;
}

void MediaTypeRecord::Release(AM_MEDIA_TYPE& type)
{
    if (type.pbFormat) CoTaskMemFree(type.pbFormat);
    type.pbFormat = nullptr;
    type.cbFormat = 0;
    if (type.pUnk) type.pUnk->Release();
    type.pUnk = nullptr;
}

AM_MEDIA_TYPE* MediaTypeRecord::CreateCopy(const AM_MEDIA_TYPE& source)
{
    auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!copy) return nullptr;
    if (FAILED(Copy(*copy, source))) {
        Release(*copy);
        CoTaskMemFree(copy);
        return nullptr;
    }
    return copy;
}

void MediaTypeRecord::Delete(AM_MEDIA_TYPE* type)
{
    if (!type) return;
    Release(*type);
    CoTaskMemFree(type);
}

BYTE* MediaTypeRecord::FormatBuffer(AM_MEDIA_TYPE& type, ULONG size)
{
    if (type.pbFormat && type.cbFormat == size) return type.pbFormat;
    auto* block = static_cast<BYTE*>(CoTaskMemAlloc(size));
    if (!block) return type.pbFormat && type.cbFormat >= size ? type.pbFormat : nullptr;
    if (type.pbFormat) CoTaskMemFree(type.pbFormat);
    type.pbFormat = block;
    type.cbFormat = size;
    return block;
}

void MediaTypeRecord::SetSampleSize(AM_MEDIA_TYPE& type, ULONG size)
{
    type.bFixedSizeSamples = size != 0;
    if (size != 0) type.lSampleSize = size;
}

bool MediaTypeRecord::IsFullySpecified(const AM_MEDIA_TYPE& type)
{
    return type.majortype != GUID_NULL && type.formattype != GUID_NULL;
}

bool MediaTypeRecord::MatchesPartial(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE& proposal)
{
    if (proposal.majortype != GUID_NULL && proposal.majortype != candidate.majortype) return false;
    if (proposal.subtype != GUID_NULL && proposal.subtype != candidate.subtype) return false;
    if (proposal.formattype == GUID_NULL) return true;
    if (proposal.formattype != candidate.formattype || proposal.cbFormat != candidate.cbFormat) return false;
    return proposal.cbFormat == 0 ||
           (proposal.pbFormat && candidate.pbFormat &&
            std::memcmp(proposal.pbFormat, candidate.pbFormat, proposal.cbFormat) == 0);
}

std::uint64_t MediaTypeRecord::ImageSize(const BITMAPINFOHEADER& header)
{
    return DibRowBytes(header.biWidth, header.biBitCount) * static_cast<std::uint64_t>(std::llabs(header.biHeight));
}

GUID MediaTypeRecord::SubtypeFromBitmap(const BITMAPINFOHEADER& header, const DWORD* masks)
{
    if (header.biCompression != BI_RGB && header.biCompression != BI_BITFIELDS)
        return SubtypeFromFourCC(header.biCompression);
    switch (header.biBitCount) {
    case 1: return MEDIASUBTYPE_RGB1;
    case 4: return MEDIASUBTYPE_RGB4;
    case 8: return MEDIASUBTYPE_RGB8;
    case 24: return MEDIASUBTYPE_RGB24;
    case 32: return MEDIASUBTYPE_RGB32;
    case 16:
        if (!masks || (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F)) return MEDIASUBTYPE_RGB555;
        if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F) return MEDIASUBTYPE_RGB565;
        return GUID_NULL;
    default: return GUID_NULL;
    }
}
