// A server library for the regsvr tests: registration writes HKEY_CLASSES_ROOT\RegsvrTest,
// unregistration removes it. With REGSVR_TEST_FAIL set, registration answers E_FAIL.
#include "platform/com/Com.h"
#include "platform/registry/Registry.h"

#include <cstdlib>

PLATFORM_API HRESULT DllRegisterServer()
{
    if (std::getenv("REGSVR_TEST_FAIL")) return E_FAIL;
    HKEY key = nullptr;
    const LONG error =
        RegCreateKeyExA(HKEY_CLASSES_ROOT, "RegsvrTest", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
    RegCloseKey(key);
    return S_OK;
}

PLATFORM_API HRESULT DllUnregisterServer()
{
    return HRESULT_FROM_WIN32(RegDeleteKeyA(HKEY_CLASSES_ROOT, "RegsvrTest"));
}
