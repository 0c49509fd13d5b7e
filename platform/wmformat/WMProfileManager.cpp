#include "platform/wmformat/WMProfileManager.h"

#include "platform/wmformat/ProfileXml.h"

#include <new>

namespace {

// A profile text longer than this is refused before it is read whole: the
// shipped profiles are a few thousand characters.
constexpr std::size_t kMaxProfileLength = 1 << 20;

HRESULT HandOut(ProfileData data, IWMProfile** profile)
{
    WMProfile* made = WMProfile::Make(std::move(data));
    if (!made) return E_OUTOFMEMORY;
    *profile = made;
    return S_OK;
}

} // namespace

PLATFORM_API HRESULT WMCreateProfileManager(IWMProfileManager** manager)
{
    return WMProfileManager::Create(nullptr, IID_IWMProfileManager, reinterpret_cast<void**>(manager));
}

HRESULT WMProfileManager::CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile)
{
    if (!profile) return E_POINTER;
    *profile = nullptr;
    ProfileData data;
    data.version = version;
    return HandOut(std::move(data), profile);
}

HRESULT WMProfileManager::LoadProfileByID(REFGUID, IWMProfile** profile)
{
    if (profile) *profile = nullptr;
    return E_NOTIMPL;
}

HRESULT WMProfileManager::LoadProfileByData(const WCHAR* text, IWMProfile** profile)
{
    if (!text || !profile) return E_POINTER;
    *profile = nullptr;
    std::size_t length = 0;
    while (text[length] != u'\0') {
        if (++length > kMaxProfileLength) return NS_E_INVALID_DATA;
    }
    ProfileData data;
    const HRESULT hr = ParseProfileXml(std::u16string_view(text, length), &data);
    if (FAILED(hr)) return hr;
    return HandOut(std::move(data), profile);
}

HRESULT WMProfileManager::SaveProfile(IWMProfile*, WCHAR*, DWORD*) { return E_NOTIMPL; }

HRESULT WMProfileManager::GetSystemProfileCount(DWORD* count)
{
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT WMProfileManager::LoadSystemProfile(DWORD, IWMProfile** profile)
{
    if (profile) *profile = nullptr;
    return E_INVALIDARG;
}
