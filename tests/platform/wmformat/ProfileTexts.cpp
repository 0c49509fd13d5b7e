#include "ProfileTexts.h"

#include "platform/base/WideText.h"
#include "platform/com/ComPtr.h"

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string Replace(std::string text, const std::string& name, const std::string& value)
{
    for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + value.size())) {
        text.replace(at, name.size(), value);
    }
    return text;
}

// A profile the program ships, as its resource holds it: UTF-16 ended by a NUL.
std::u16string ShippedProfile(const char* name)
{
    std::ifstream in(std::string(PROFILES_DIR) + "/" + name, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text +=
            static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    while (!text.empty() && text.back() == u'\0') text.pop_back();
    return text;
}

} // namespace

std::u16string ProfileText(const std::string& xml) { return WideFromUtf8(Replace(xml, "\n", "\r\n")); }

std::u16string VideoOnlyProfileText() { return ShippedProfile("profile-148.prx"); }

std::u16string AudioVideoProfileText() { return ShippedProfile("profile-149.prx"); }

HRESULT EditVideoStream(IWMProfile* profile, LONG width, LONG height, DWORD bitrate)
{
    ComPtr<IWMStreamConfig> config;
    HRESULT hr = profile->GetStream(0, config.Receive());
    if (FAILED(hr)) return hr;
    ComPtr<IWMVideoMediaProps> props;
    hr = config.As(IID_IWMVideoMediaProps, props);
    if (SUCCEEDED(hr)) hr = config->SetBitrate(bitrate);
    DWORD size = 0;
    if (SUCCEEDED(hr)) hr = props->GetMediaType(nullptr, &size);
    if (FAILED(hr)) return hr;
    std::vector<std::max_align_t> buffer(size / sizeof(std::max_align_t) + 1);
    auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data());
    hr = props->GetMediaType(type, &size);
    if (FAILED(hr)) return hr;
    auto* video = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
    video->bmiHeader.biWidth = width;
    video->bmiHeader.biHeight = height;
    video->bmiHeader.biSizeImage = static_cast<DWORD>((width * video->bmiHeader.biBitCount + 31) / 32 * 4 * height);
    type->bFixedSizeSamples = TRUE;
    type->lSampleSize = video->bmiHeader.biSizeImage;
    video->rcSource = video->rcTarget = RECT{0, 0, width, height};
    video->dwBitRate = bitrate;
    hr = props->SetMediaType(type);
    return SUCCEEDED(hr) ? profile->ReconfigStream(config.Get()) : hr;
}

IWMProfile* LoadProfile(const std::u16string& text, HRESULT* result)
{
    ComPtr<IWMProfileManager> manager;
    *result = WMCreateProfileManager(manager.Receive());
    if (FAILED(*result)) return nullptr;
    IWMProfile* profile = nullptr;
    *result = manager->LoadProfileByData(text.c_str(), &profile);
    return profile;
}
