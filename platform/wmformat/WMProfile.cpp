#include "platform/wmformat/WMProfile.h"

#include "platform/wmformat/WMStreamConfig.h"

#include <algorithm>
#include <new>

namespace {

// The ASF stream numbers 1 to 63 bound a profile's streams.
constexpr std::size_t kMaxStreams = 63;
constexpr std::size_t kMaxTextLength = 0xFFFF;

HRESULT CopyText(const std::u16string& text, WCHAR* target, DWORD* length)
{
    if (!length) return E_POINTER;
    const DWORD needed = static_cast<DWORD>(text.size() + 1);
    if (!target) {
        *length = needed;
        return S_OK;
    }
    if (*length < needed) {
        *length = needed;
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    std::copy(text.begin(), text.end(), target);
    target[text.size()] = u'\0';
    *length = needed;
    return S_OK;
}

HRESULT KeepText(const WCHAR* text, std::u16string* kept)
{
    if (!text) return E_POINTER;
    std::u16string copy(text);
    if (copy.size() > kMaxTextLength) return E_INVALIDARG;
    *kept = std::move(copy);
    return S_OK;
}

} // namespace

WMProfile* WMProfile::Make(ProfileData data)
{
    auto* profile = new (std::nothrow) WMProfile;
    if (profile) profile->data = std::move(data);
    return profile;
}

HRESULT WMProfile::GetVersion(WMT_VERSION* version)
{
    if (!version) return E_POINTER;
    std::lock_guard guard(lock);
    *version = data.version;
    return S_OK;
}

HRESULT WMProfile::GetName(WCHAR* name, DWORD* length)
{
    std::lock_guard guard(lock);
    return CopyText(data.name, name, length);
}

HRESULT WMProfile::SetName(const WCHAR* name)
{
    std::lock_guard guard(lock);
    return KeepText(name, &data.name);
}

HRESULT WMProfile::GetDescription(WCHAR* description, DWORD* length)
{
    std::lock_guard guard(lock);
    return CopyText(data.description, description, length);
}

HRESULT WMProfile::SetDescription(const WCHAR* description)
{
    std::lock_guard guard(lock);
    return KeepText(description, &data.description);
}

HRESULT WMProfile::GetStreamCount(DWORD* count)
{
    if (!count) return E_POINTER;
    std::lock_guard guard(lock);
    *count = static_cast<DWORD>(data.streams.size());
    return S_OK;
}

HRESULT WMProfile::HandOut(const ProfileStream& stream, IWMStreamConfig** config)
{
    WMStreamConfig* made = WMStreamConfig::Make(stream);
    if (!made) return E_OUTOFMEMORY;
    *config = made;
    return S_OK;
}

std::vector<ProfileStream>::iterator WMProfile::FindNumber(WORD number)
{
    return std::find_if(data.streams.begin(), data.streams.end(),
                        [number](const ProfileStream& stream) { return stream.number == number; });
}

HRESULT WMProfile::GetStream(DWORD index, IWMStreamConfig** config)
{
    if (!config) return E_POINTER;
    *config = nullptr;
    std::lock_guard guard(lock);
    if (index >= data.streams.size()) return E_INVALIDARG;
    return HandOut(data.streams[index], config);
}

HRESULT WMProfile::GetStreamByNumber(WORD number, IWMStreamConfig** config)
{
    if (!config) return E_POINTER;
    *config = nullptr;
    std::lock_guard guard(lock);
    const auto found = FindNumber(number);
    if (found == data.streams.end()) return E_INVALIDARG;
    return HandOut(*found, config);
}

HRESULT WMProfile::RemoveStream(IWMStreamConfig* config)
{
    if (!config) return E_POINTER;
    WORD number = 0;
    const HRESULT hr = config->GetStreamNumber(&number);
    return FAILED(hr) ? hr : RemoveStreamByNumber(number);
}

HRESULT WMProfile::RemoveStreamByNumber(WORD number)
{
    std::lock_guard guard(lock);
    const auto found = FindNumber(number);
    if (found == data.streams.end()) return E_INVALIDARG;
    data.streams.erase(found);
    return S_OK;
}

HRESULT WMProfile::AddStream(IWMStreamConfig* config)
{
    ProfileStream stream;
    const HRESULT hr = ReadStreamConfig(config, &stream);
    if (FAILED(hr)) return hr;
    std::lock_guard guard(lock);
    if (stream.number == 0 || FindNumber(stream.number) != data.streams.end()) return E_INVALIDARG;
    if (data.streams.size() >= kMaxStreams) return E_INVALIDARG;
    data.streams.push_back(std::move(stream));
    return S_OK;
}

HRESULT WMProfile::ReconfigStream(IWMStreamConfig* config)
{
    ProfileStream stream;
    const HRESULT hr = ReadStreamConfig(config, &stream);
    if (FAILED(hr)) return hr;
    std::lock_guard guard(lock);
    const auto found = FindNumber(stream.number);
    if (found == data.streams.end() || found->majorType != stream.majorType) return E_INVALIDARG;
    *found = std::move(stream);
    return S_OK;
}

HRESULT WMProfile::CreateNewStream(REFGUID type, IWMStreamConfig** config)
{
    if (!config) return E_POINTER;
    *config = nullptr;
    if (type != MEDIATYPE_Video && type != MEDIATYPE_Audio) return E_INVALIDARG;
    ProfileStream stream;
    stream.majorType = type;
    return HandOut(stream, config);
}

HRESULT WMProfile::GetMutualExclusionCount(DWORD* count)
{
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT WMProfile::GetMutualExclusion(DWORD, IWMMutualExclusion** exclusion)
{
    if (exclusion) *exclusion = nullptr;
    return E_INVALIDARG;
}

HRESULT WMProfile::RemoveMutualExclusion(IWMMutualExclusion*) { return E_NOTIMPL; }
HRESULT WMProfile::AddMutualExclusion(IWMMutualExclusion*) { return E_NOTIMPL; }

HRESULT WMProfile::CreateNewMutualExclusion(IWMMutualExclusion** exclusion)
{
    if (exclusion) *exclusion = nullptr;
    return E_NOTIMPL;
}
