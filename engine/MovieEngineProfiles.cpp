// The two Windows Media profiles: loaded from the program's PROFILE
// resources, then given the frame size and bit rate in force.
#include "engine/MovieEngine.h"

#include "platform/mediagraph/MediaFormat.h"
#include "platform/resource/Resource.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace {

// The profile text of a resource, or nullptr unless it is a whole UTF-16
// string ended by its terminator, as LoadProfileByData needs it.
const WCHAR* ProfileText(int resourceId)
{
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC resource = FindResourceW(module, MakeIntResource(static_cast<WORD>(resourceId)), u"PROFILE");
    if (resource == nullptr) return nullptr;
    const DWORD size = SizeofResource(module, resource);
    const auto* text = static_cast<const WCHAR*>(LockResource(LoadResource(module, resource)));
    if (text == nullptr || size < sizeof(WCHAR) || size % sizeof(WCHAR) != 0) return nullptr;
    return text[size / sizeof(WCHAR) - 1] == 0 ? text : nullptr;
}

} // namespace

DWORD MovieEngine::DibSize(LONG width, LONG height, WORD bitCount)
{
    const std::uint64_t size = DibImageBytes(width, height, bitCount);
    return size > std::numeric_limits<DWORD>::max() ? 0 : static_cast<DWORD>(size);
}

ComPtr<IWMProfile> MovieEngine::LoadProfile(int resourceId)
{
    ComPtr<IWMProfile> profile;
    if (resourceId == 0) return profile;
    ComPtr<IWMProfileManager> manager;
    HRESULT hr = WMCreateProfileManager(manager.Receive());
    if (FAILED(hr)) {
        ReportError(hr);
        return profile;
    }
    const WCHAR* text = ProfileText(resourceId);
    hr = text ? manager->LoadProfileByData(text, profile.Receive()) : HRESULT(E_POINTER);
    if (FAILED(hr)) {
        ReportError(hr);
        profile.Reset();
    }
    return profile;
}

HRESULT MovieEngine::ApplyProfileSettings(IWMProfile* profile)
{
    if (profile == nullptr) {
        ReportError(E_POINTER);
        return E_POINTER;
    }
    ComPtr<IWMStreamConfig> stream;
    ComPtr<IWMVideoMediaProps> props;
    HRESULT hr = profile->GetStream(0, stream.Receive());
    if (SUCCEEDED(hr)) hr = stream.As(IID_IWMVideoMediaProps, props);
    if (SUCCEEDED(hr)) hr = stream->SetBitrate(static_cast<DWORD>(settings.quality));
    if (SUCCEEDED(hr)) hr = EditVideoStream(props.Get());
    if (SUCCEEDED(hr)) hr = profile->ReconfigStream(stream.Get());
    if (FAILED(hr)) ReportError(hr);
    return hr;
}

// Reads the stream's media type, gives it the frame size and bit rate in
// force, and writes it back. Frame rate, bit depth and codec stay.
HRESULT MovieEngine::EditVideoStream(IWMVideoMediaProps* props)
{
    DWORD size = 0;
    HRESULT hr = props->GetMediaType(nullptr, &size);
    if (FAILED(hr)) return hr;
    if (size < sizeof(WM_MEDIA_TYPE)) return E_UNEXPECTED;
    std::vector<std::uint64_t> buffer((size + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
    auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data());
    hr = props->GetMediaType(type, &size);
    if (FAILED(hr)) return hr;
    if (type->pbFormat == nullptr || type->cbFormat < sizeof(VIDEOINFOHEADER)) return E_UNEXPECTED;
    auto* header = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
    const DWORD imageSize = DibSize(settings.width, settings.height, header->bmiHeader.biBitCount);
    if (imageSize == 0) return E_INVALIDARG;
    header->bmiHeader.biWidth = settings.width;
    header->bmiHeader.biHeight = settings.height;
    header->bmiHeader.biSizeImage = imageSize;
    type->bFixedSizeSamples = TRUE;
    type->lSampleSize = imageSize;
    header->rcSource = {0, 0, settings.width, settings.height};
    header->rcTarget = header->rcSource;
    header->dwBitRate = static_cast<DWORD>(settings.quality);
    return props->SetMediaType(type);
}
