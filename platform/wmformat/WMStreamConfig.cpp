#include "platform/wmformat/WMStreamConfig.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Names are WORD-counted, terminator included.
constexpr std::size_t kMaxNameLength = 0xFFFE;

HRESULT CopyName(const std::u16string& text, WCHAR* name, WORD* length)
{
    if (!length) return E_POINTER;
    const WORD needed = static_cast<WORD>(text.size() + 1);
    if (!name) {
        *length = needed;
        return S_OK;
    }
    if (*length < needed) {
        *length = needed;
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    std::copy(text.begin(), text.end(), name);
    name[text.size()] = u'\0';
    *length = needed;
    return S_OK;
}

HRESULT KeepName(const WCHAR* name, std::u16string* kept)
{
    if (!name) return E_POINTER;
    std::u16string text(name);
    if (text.size() > kMaxNameLength) return E_INVALIDARG;
    *kept = std::move(text);
    return S_OK;
}

} // namespace

WMStreamConfig* WMStreamConfig::Make(const ProfileStream& stream)
{
    auto* config = new (std::nothrow) WMStreamConfig;
    if (config) config->stream = stream;
    return config;
}

HRESULT WMStreamConfig::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (iid == IID_IWMMediaProps || (iid == IID_IWMVideoMediaProps && stream.IsVideo())) {
        *object = static_cast<IWMVideoMediaProps*>(this);
        AddRef();
        return S_OK;
    }
    return PlatformObject::QueryInterface(iid, object);
}

HRESULT WMStreamConfig::GetStreamType(GUID* type)
{
    if (!type) return E_POINTER;
    *type = stream.majorType;
    return S_OK;
}

HRESULT WMStreamConfig::GetStreamNumber(WORD* number)
{
    if (!number) return E_POINTER;
    *number = stream.number;
    return S_OK;
}

HRESULT WMStreamConfig::SetStreamNumber(WORD number)
{
    // ASF stream numbers run from 1 to 63.
    if (number < 1 || number > 63) return E_INVALIDARG;
    stream.number = number;
    return S_OK;
}

HRESULT WMStreamConfig::GetStreamName(WCHAR* name, WORD* length) { return CopyName(stream.name, name, length); }
HRESULT WMStreamConfig::SetStreamName(WCHAR* name) { return KeepName(name, &stream.name); }

HRESULT WMStreamConfig::GetConnectionName(WCHAR* name, WORD* length)
{
    return CopyName(stream.connectionName, name, length);
}

HRESULT WMStreamConfig::SetConnectionName(WCHAR* name) { return KeepName(name, &stream.connectionName); }

HRESULT WMStreamConfig::GetBitrate(DWORD* bitrate)
{
    if (!bitrate) return E_POINTER;
    *bitrate = stream.bitrate;
    return S_OK;
}

HRESULT WMStreamConfig::SetBitrate(DWORD bitrate)
{
    if (bitrate == 0) return E_INVALIDARG;
    stream.bitrate = bitrate;
    return S_OK;
}

HRESULT WMStreamConfig::GetBufferWindow(DWORD* milliseconds)
{
    if (!milliseconds) return E_POINTER;
    *milliseconds = stream.bufferWindow;
    return S_OK;
}

HRESULT WMStreamConfig::SetBufferWindow(DWORD milliseconds)
{
    stream.bufferWindow = milliseconds;
    return S_OK;
}

HRESULT WMStreamConfig::GetType(GUID* type) { return GetStreamType(type); }

HRESULT WMStreamConfig::GetMediaType(WM_MEDIA_TYPE* type, DWORD* size)
{
    if (!size) return E_POINTER;
    const DWORD needed = static_cast<DWORD>(sizeof(WM_MEDIA_TYPE) + stream.format.size());
    if (!type) {
        *size = needed;
        return S_OK;
    }
    if (*size < needed) {
        *size = needed;
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    BYTE* format = reinterpret_cast<BYTE*>(type) + sizeof(WM_MEDIA_TYPE);
    *type = WM_MEDIA_TYPE{stream.majorType,
                          stream.subtype,
                          stream.fixedSizeSamples,
                          stream.temporalCompression,
                          stream.sampleSize,
                          stream.formatType,
                          nullptr,
                          static_cast<ULONG>(stream.format.size()),
                          stream.format.empty() ? nullptr : format};
    if (!stream.format.empty()) std::memcpy(format, stream.format.data(), stream.format.size());
    *size = needed;
    return S_OK;
}

HRESULT WMStreamConfig::SetMediaType(WM_MEDIA_TYPE* type)
{
    if (!type) return E_POINTER;
    return stream.AssignMediaType(*type);
}

HRESULT WMStreamConfig::GetMaxKeyFrameSpacing(LONGLONG* time)
{
    if (!time) return E_POINTER;
    *time = stream.maxKeyFrameSpacing;
    return S_OK;
}

HRESULT WMStreamConfig::SetMaxKeyFrameSpacing(LONGLONG time)
{
    if (time < 0) return E_INVALIDARG;
    stream.maxKeyFrameSpacing = time;
    return S_OK;
}

HRESULT WMStreamConfig::GetQuality(DWORD* quality)
{
    if (!quality) return E_POINTER;
    *quality = stream.quality;
    return S_OK;
}

HRESULT WMStreamConfig::SetQuality(DWORD quality)
{
    if (quality > 100) return E_INVALIDARG;
    stream.quality = quality;
    return S_OK;
}
