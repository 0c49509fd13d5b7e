#include "picsource/ServerRegistration.h"

#include "platform/base/WideText.h"
#include "platform/com/ComPtr.h"
#include "platform/registry/Registry.h"

#include <cerrno>
#include <dlfcn.h>

namespace {

constexpr HRESULT kNotRegisteredBefore = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

std::u16string ClassKeyName(const CLSID& clsid)
{
    WCHAR text[GUID_STRING_CHARS + 1] = {};
    StringFromGUID2(clsid, text, GUID_STRING_CHARS + 1);
    return u"CLSID\\" + std::u16string(text);
}

LONG SetText(HKEY key, LPCWSTR name, const std::u16string& text)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

// Removes a key and everything below it that is the caller's to remove. A sub-key that
// stays (one the machine-wide registry holds) is stepped over, so those after it still go.
void RemoveKeyTree(HKEY parent, const std::u16string& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, name.c_str(), 0, MAXIMUM_ALLOWED, &key) != ERROR_SUCCESS) return;
    for (DWORD index = 0;;) {
        WCHAR child[MAX_PATH] = {};
        DWORD length = MAX_PATH;
        if (RegEnumKeyExW(key, index, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const std::u16string childName(child, length);
        RemoveKeyTree(key, childName);
        HKEY still = nullptr;
        if (RegOpenKeyExW(key, childName.c_str(), 0, KEY_READ, &still) == ERROR_SUCCESS) {
            RegCloseKey(still);
            ++index;
        }
    }
    RegCloseKey(key);
    RegDeleteKeyW(parent, name.c_str());
}

} // namespace

HRESULT ServerRegistration::LibraryPath(std::u16string& path)
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ServerRegistration::LibraryPath), &info) == 0 || !info.dli_fname)
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    char* resolved = realpath(info.dli_fname, nullptr);
    const std::string name = resolved ? resolved : info.dli_fname;
    std::free(resolved);
    if (name.size() >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    path = WideFromUtf8(name);
    return S_OK;
}

HRESULT ServerRegistration::WriteServerKeys(const FactoryTemplate& entry, const std::u16string& libraryPath)
{
    const std::u16string classKeyName = ClassKeyName(*entry.clsid);
    HKEY classKey = nullptr;
    HKEY serverKey = nullptr;
    LONG error = RegCreateKeyExW(HKEY_CLASSES_ROOT, classKeyName.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_WRITE, nullptr, &classKey, nullptr);
    if (error == ERROR_SUCCESS) error = SetText(classKey, nullptr, entry.name);
    if (error == ERROR_SUCCESS)
        error = RegCreateKeyExW(classKey, u"InprocServer32", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                                &serverKey, nullptr);
    if (error == ERROR_SUCCESS) error = SetText(serverKey, nullptr, libraryPath);
    if (error == ERROR_SUCCESS) error = SetText(serverKey, u"ThreadingModel", u"Both");
    if (serverKey) RegCloseKey(serverKey);
    if (classKey) RegCloseKey(classKey);
    return HRESULT_FROM_WIN32(error);
}

void ServerRegistration::RemoveServerKeys(const FactoryTemplate& entry)
{
    RemoveKeyTree(HKEY_CLASSES_ROOT, ClassKeyName(*entry.clsid));
}

HRESULT ServerRegistration::RegisterThroughMapper2(IFilterMapper2* mapper, const FactoryTemplate& entry,
                                                   bool registering)
{
    HRESULT hr = mapper->UnregisterFilter(nullptr, nullptr, *entry.clsid);
    if (hr == kNotRegisteredBefore) hr = S_OK;
    if (FAILED(hr) || !registering) return hr;
    const AMOVIESETUP_FILTER& setup = *entry.setupData;
    REGFILTER2 filter{};
    filter.dwVersion = 1;
    filter.dwMerit = setup.dwMerit;
    filter.cPins = setup.nPins;
    filter.rgPins = setup.lpPin;
    return mapper->RegisterFilter(*entry.clsid, entry.name, nullptr, nullptr, nullptr, &filter);
}

HRESULT ServerRegistration::RegisterThroughMapper(IFilterMapper* mapper, const FactoryTemplate& entry, bool registering)
{
    HRESULT hr = mapper->UnregisterFilter(*entry.clsid);
    if (hr == kNotRegisteredBefore) hr = S_OK;
    if (FAILED(hr) || !registering) return hr;
    const AMOVIESETUP_FILTER& setup = *entry.setupData;
    hr = mapper->RegisterFilter(*setup.clsID, setup.strName, setup.dwMerit);
    for (UINT p = 0; SUCCEEDED(hr) && p < setup.nPins; ++p) {
        const AMOVIESETUP_PIN& pin = setup.lpPin[p];
        hr = mapper->RegisterPin(*setup.clsID, pin.strName, pin.bRendered, pin.bOutput, pin.bZero, pin.bMany,
                                 pin.clsConnectsToFilter ? *pin.clsConnectsToFilter : CLSID_NULL, pin.strConnectsToPin);
        for (UINT t = 0; SUCCEEDED(hr) && t < pin.nMediaTypes; ++t) {
            const AMOVIESETUP_MEDIATYPE& type = pin.lpMediaType[t];
            hr = mapper->RegisterPinType(*setup.clsID, pin.strName, *type.clsMajorType, *type.clsMinorType);
        }
    }
    return hr;
}

HRESULT ServerRegistration::RegisterFilters(bool registering)
{
    ComPtr<IFilterMapper2> mapper2;
    ComPtr<IFilterMapper> mapper;
    HRESULT hr =
        CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2, mapper2.ReceiveVoid());
    if (FAILED(hr))
        hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                              mapper.ReceiveVoid());
    if (FAILED(hr)) return hr;
    for (const FactoryTemplate& entry : ClassFactory::Templates()) {
        if (!entry.setupData) continue;
        hr = mapper2.Get() ? RegisterThroughMapper2(mapper2.Get(), entry, registering)
                           : RegisterThroughMapper(mapper.Get(), entry, registering);
        if (FAILED(hr)) break;
    }
    return hr;
}

HRESULT ServerRegistration::Register(bool registering)
{
    std::u16string libraryPath;
    HRESULT hr = LibraryPath(libraryPath);
    if (FAILED(hr)) return hr;
    if (registering) {
        for (const FactoryTemplate& entry : ClassFactory::Templates()) {
            hr = WriteServerKeys(entry, libraryPath);
            if (FAILED(hr)) return hr;
        }
    }
    const HRESULT comStarted = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    hr = RegisterFilters(registering);
    CoFreeUnusedLibraries();
    if (SUCCEEDED(comStarted)) CoUninitialize();
    if (!registering && SUCCEEDED(hr)) {
        for (const FactoryTemplate& entry : ClassFactory::Templates()) RemoveServerKeys(entry);
    }
    return hr;
}
