// Apartments, object creation by class identifier, and task memory.

#include "platform/base/WideText.h"
#include "platform/com/BuiltinClassFactory.h"
#include "platform/com/ServerLibraries.h"
#include "platform/registry/Registry.h"

#include <cstdlib>
#include <string>

namespace {

struct Apartment {
    int initCount = 0;
    bool singleThreaded = false;
};

thread_local Apartment currentApartment;

std::string RegistryGuidText(REFGUID guid)
{
    char16_t text[GUID_STRING_CHARS + 1];
    StringFromGUID2(guid, text, GUID_STRING_CHARS + 1);
    return Utf8FromWide(text);
}

// The library path registered for the class, or a failure code.
HRESULT FindInprocServer(REFCLSID clsid, std::string& path)
{
    const std::string keyName = "CLSID\\" + RegistryGuidText(clsid) + "\\InprocServer32";
    HKEY key = nullptr;
    LONG error = RegOpenKeyExA(HKEY_CLASSES_ROOT, keyName.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (error == ERROR_FILE_NOT_FOUND) return REGDB_E_CLASSNOTREG;
    if (error != ERROR_SUCCESS) return REGDB_E_READREGDB;
    char buffer[MAX_PATH * 4];
    DWORD size = sizeof buffer;
    DWORD type = REG_NONE;
    error = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (error == ERROR_FILE_NOT_FOUND) return REGDB_E_CLASSNOTREG;
    if (error != ERROR_SUCCESS || type != REG_SZ || size == 0) return REGDB_E_READREGDB;
    path.assign(buffer, size - 1);
    return path.empty() ? REGDB_E_CLASSNOTREG : S_OK;
}

} // namespace

PLATFORM_API HRESULT CoInitializeEx(void*, DWORD coInit)
{
    const bool singleThreaded = (coInit & COINIT_APARTMENTTHREADED) != 0;
    Apartment& apartment = currentApartment;
    if (apartment.initCount > 0 && apartment.singleThreaded != singleThreaded) return RPC_E_CHANGED_MODE;
    apartment.singleThreaded = singleThreaded;
    return apartment.initCount++ == 0 ? S_OK : S_FALSE;
}

PLATFORM_API HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

PLATFORM_API void CoUninitialize()
{
    if (currentApartment.initCount > 0) --currentApartment.initCount;
}

PLATFORM_API HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void*, REFIID iid, void** object)
{
    if (!object) return E_INVALIDARG;
    *object = nullptr;
    if (currentApartment.initCount == 0) return CO_E_NOTINITIALIZED;
    if ((context & CLSCTX_INPROC) == 0) return REGDB_E_CLASSNOTREG;

    if (const BuiltinClass* builtin = FindBuiltinClass(clsid)) {
        auto* factory = new BuiltinClassFactory(builtin->create);
        const HRESULT hr = factory->QueryInterface(iid, object);
        factory->Release();
        return hr;
    }
    std::string path;
    const HRESULT hr = FindInprocServer(clsid, path);
    if (FAILED(hr)) return hr;
    return ServerLibraries::Instance().GetClassObject(path, clsid, iid, object);
}

PLATFORM_API HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(outer, iid, object);
    factory->Release();
    return hr;
}

PLATFORM_API void CoFreeUnusedLibraries() { ServerLibraries::Instance().FreeUnused(); }

// A zero-byte request still gets a distinct block, as callers may test for null.
PLATFORM_API void* CoTaskMemAlloc(std::size_t size) { return std::malloc(size ? size : 1); }

PLATFORM_API void* CoTaskMemRealloc(void* block, std::size_t size) { return std::realloc(block, size ? size : 1); }

PLATFORM_API void CoTaskMemFree(void* block) { std::free(block); }
