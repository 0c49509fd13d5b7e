// The COM run time of the platform: result codes, GUIDs, IUnknown, IClassFactory,
// apartments, in-process object creation and task memory.
//
// Classes are looked up in the platform's built-in table first, then under
// HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32 in the registry; such a library is
// loaded with dlopen and asked through its DllGetClassObject.
#pragma once

#include "platform/base/WinTypes.h"

using HRESULT = std::int32_t;
using SCODE = HRESULT;

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr HRESULT HRESULT_FROM_WIN32(LONG error)
{
    return error <= 0 ? static_cast<HRESULT>(error)
                      : static_cast<HRESULT>((static_cast<std::uint32_t>(error) & 0xFFFFu) | 0x80070000u);
}
constexpr HRESULT MAKE_HRESULT_FAIL(std::uint32_t code) { return static_cast<HRESULT>(code); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MAKE_HRESULT_FAIL(0x80004001u);
constexpr HRESULT E_NOINTERFACE = MAKE_HRESULT_FAIL(0x80004002u);
constexpr HRESULT E_POINTER = MAKE_HRESULT_FAIL(0x80004003u);
constexpr HRESULT E_ABORT = MAKE_HRESULT_FAIL(0x80004004u);
constexpr HRESULT E_FAIL = MAKE_HRESULT_FAIL(0x80004005u);
constexpr HRESULT E_UNEXPECTED = MAKE_HRESULT_FAIL(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = MAKE_HRESULT_FAIL(0x80070005u);
constexpr HRESULT E_HANDLE = MAKE_HRESULT_FAIL(0x80070006u);
constexpr HRESULT E_OUTOFMEMORY = MAKE_HRESULT_FAIL(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = MAKE_HRESULT_FAIL(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = MAKE_HRESULT_FAIL(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MAKE_HRESULT_FAIL(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = MAKE_HRESULT_FAIL(0x80040154u);
constexpr HRESULT REGDB_E_READREGDB = MAKE_HRESULT_FAIL(0x80040150u);
constexpr HRESULT CO_E_NOTINITIALIZED = MAKE_HRESULT_FAIL(0x800401F0u);
constexpr HRESULT CO_E_DLLNOTFOUND = MAKE_HRESULT_FAIL(0x800401F8u);
constexpr HRESULT CO_E_ERRORINDLL = MAKE_HRESULT_FAIL(0x800401F9u);
constexpr HRESULT CO_E_CLASSSTRING = MAKE_HRESULT_FAIL(0x800401F3u);
constexpr HRESULT RPC_E_CHANGED_MODE = MAKE_HRESULT_FAIL(0x80010106u);

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool operator==(const GUID& a, const GUID& b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           __builtin_memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }

inline constexpr GUID GUID_NULL{};
inline constexpr CLSID CLSID_NULL{};

// The registry text form, "{560DEE2B-87C0-49FC-8ACE-1E4D3547B73B}": 38 characters.
constexpr int GUID_STRING_CHARS = 38;

// Writes the text form with its terminator; answers the characters written
// including the terminator, or 0 when cchMax is below 39.
PLATFORM_API int StringFromGUID2(REFGUID guid, LPWSTR text, int cchMax);
// Parses the text form (braces required, hex digits of either case); CO_E_CLASSSTRING otherwise.
PLATFORM_API HRESULT CLSIDFromString(LPCWSTR text, CLSID* clsid);
PLATFORM_API HRESULT IIDFromString(LPCWSTR text, IID* iid);

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Apartments: per-thread bookkeeping of CoInitializeEx.
constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
constexpr DWORD COINIT_DISABLE_OLE1DDE = 0x4;
constexpr DWORD COINIT_SPEED_OVER_MEMORY = 0x8;

// Class contexts: only in-process servers exist here.
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

// S_OK on the thread's first call, S_FALSE when already initialised in the same model,
// RPC_E_CHANGED_MODE for the other model (the call then adds no count).
PLATFORM_API HRESULT CoInitializeEx(void* reserved, DWORD coInit);
PLATFORM_API HRESULT CoInitialize(void* reserved);
PLATFORM_API void CoUninitialize();

PLATFORM_API HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* serverInfo, REFIID iid, void** object);
PLATFORM_API HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);
// Asks every library loaded for a registered class whether it can be unloaded
// (DllCanUnloadNow) and unloads those that answer S_OK.
PLATFORM_API void CoFreeUnusedLibraries();

PLATFORM_API void* CoTaskMemAlloc(std::size_t size);
PLATFORM_API void* CoTaskMemRealloc(void* block, std::size_t size);
PLATFORM_API void CoTaskMemFree(void* block);

// The entry points an in-process server library exports.
using DllGetClassObjectFn = HRESULT (*)(REFCLSID clsid, REFIID iid, void** object);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();
