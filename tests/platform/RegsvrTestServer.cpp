// A server library for the regsvr tests. Registration writes HKEY_CLASSES_ROOT\RegsvrTest (or
// the key REGSVR_TEST_KEY names) and enters a filter through the filter mapper, removing its
// entry first as filter libraries do; unregistration removes both. With REGSVR_TEST_FAIL set,
// registration answers E_FAIL.
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/mediagraph/MediaGraph.h"
#include "platform/mediagraph/MediaTypes.h"
#include "platform/registry/Registry.h"

#include <cstdlib>

namespace {

constexpr CLSID CLSID_RegsvrTestFilter{0x5e1f0c3a, 0x2b7d, 0x4c61, {0x9a, 0x0e, 0x41, 0x7c, 0x3b, 0x52, 0xd8, 0x16}};

const char* KeyName()
{
    const char* name = std::getenv("REGSVR_TEST_KEY");
    return name ? name : "RegsvrTest";
}

// Runs `call` with the filter mapper, on COM started for the call.
template <typename Call>
HRESULT WithMapper(Call call)
{
    const HRESULT started = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HRESULT hr;
    {
        ComPtr<IFilterMapper2> mapper;
        hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                              mapper.ReceiveVoid());
        if (SUCCEEDED(hr)) hr = call(mapper.Get());
    }
    if (SUCCEEDED(started)) CoUninitialize();
    return hr;
}

// An entry that is not there counts as removed.
HRESULT RemoveFilterEntry(IFilterMapper2* mapper)
{
    const HRESULT hr = mapper->UnregisterFilter(nullptr, nullptr, CLSID_RegsvrTestFilter);
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ? S_OK : hr;
}

HRESULT EnterFilter(IFilterMapper2* mapper)
{
    const HRESULT hr = RemoveFilterEntry(mapper);
    if (FAILED(hr)) return hr;
    REGFILTER2 filter{};
    filter.dwVersion = 1;
    filter.dwMerit = MERIT_DO_NOT_USE;
    return mapper->RegisterFilter(CLSID_RegsvrTestFilter, u"Regsvr Test", nullptr, nullptr, nullptr, &filter);
}

} // namespace

PLATFORM_API HRESULT DllRegisterServer()
{
    if (std::getenv("REGSVR_TEST_FAIL")) return E_FAIL;
    HKEY key = nullptr;
    const LONG error =
        RegCreateKeyExA(HKEY_CLASSES_ROOT, KeyName(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
    RegCloseKey(key);
    return WithMapper(EnterFilter);
}

PLATFORM_API HRESULT DllUnregisterServer()
{
    const HRESULT hr = WithMapper(RemoveFilterEntry);
    if (FAILED(hr)) return hr;
    return HRESULT_FROM_WIN32(RegDeleteKeyA(HKEY_CLASSES_ROOT, KeyName()));
}
