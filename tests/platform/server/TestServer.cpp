#include "tests/platform/server/TestServer.h"

#include "platform/com/ComPtr.h"
#include "platform/registry/Registry.h"

#include <atomic>
#include <dlfcn.h>
#include <string>

namespace {

std::atomic<LONG> liveObjects{0};
std::atomic<LONG> serverLocks{0};

class Counter final : public ITestCounter {
public:
    Counter() { ++liveObjects; }

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_ITestCounter) {
            AddRef();
            *object = static_cast<ITestCounter*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override
    {
        const ULONG left = --refs;
        if (left == 0) delete this;
        return left;
    }
    LONG Increment() override { return ++count; }

private:
    ~Counter() { --liveObjects; }

    std::atomic<ULONG> refs{1};
    LONG count = 0;
};

class Factory final : public IClassFactory {
public:
    Factory() { ++liveObjects; }

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            AddRef();
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override
    {
        const ULONG left = --refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        const auto counter = ComPtr<Counter>::Attach(new Counter);
        return counter->QueryInterface(iid, object);
    }
    HRESULT LockServer(BOOL lock) override
    {
        serverLocks += lock ? 1 : -1;
        return S_OK;
    }

private:
    ~Factory() { --liveObjects; }

    std::atomic<ULONG> refs{1};
};

std::string OwnPath()
{
    Dl_info info{};
    dladdr(reinterpret_cast<void*>(&OwnPath), &info);
    return info.dli_fname ? info.dli_fname : "";
}

const std::string kClassKey = "CLSID\\{3C1D6E0A-5B7F-4C11-9E2A-7D4B1F0C8A21}";

LONG SetText(HKEY key, const char* name, const std::string& text)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

} // namespace

PLATFORM_API HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_TestCounter) return CLASS_E_CLASSNOTAVAILABLE;
    const auto factory = ComPtr<Factory>::Attach(new Factory);
    return factory->QueryInterface(iid, object);
}

PLATFORM_API HRESULT DllCanUnloadNow() { return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE; }

PLATFORM_API HRESULT DllRegisterServer()
{
    HKEY server = nullptr;
    LONG error = RegCreateKeyExA(HKEY_CLASSES_ROOT, (kClassKey + "\\InprocServer32").c_str(), 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &server, nullptr);
    if (error == ERROR_SUCCESS) error = SetText(server, nullptr, OwnPath());
    if (error == ERROR_SUCCESS) error = SetText(server, "ThreadingModel", "Both");
    if (server) RegCloseKey(server);
    return HRESULT_FROM_WIN32(error);
}

PLATFORM_API HRESULT DllUnregisterServer()
{
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (kClassKey + "\\InprocServer32").c_str());
    const LONG error = RegDeleteKeyA(HKEY_CLASSES_ROOT, kClassKey.c_str());
    return error == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(error);
}
