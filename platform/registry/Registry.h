// The registry calls the system makes, over one REGEDIT4-format text file.
//
// The file is $REELSMITH_REGISTRY, else ${XDG_CONFIG_HOME:-$HOME/.config}/reelsmith/registry.reg,
// with the machine-wide file read under it (RegistryStore.h). Every call reads the file
// afresh; every change rewrites it whole into a temporary file renamed over the old one,
// under an exclusive lock on a companion lock file, so concurrent writers lose nothing and
// a crash leaves the old or the new file. A file that cannot be parsed is never
// overwritten: calls answer ERROR_BADDB. Changes go to the user's file alone: deleting a key
// that only the machine-wide file holds answers ERROR_FILE_NOT_FOUND, and changing one
// ERROR_ACCESS_DENIED.
//
// Results are Win32 error codes (ERROR_SUCCESS on success), as the published calls answer.
// The functions have C linkage so callers can also find them at run time.
//
// Key and value names compare without regard to the case of ASCII letters and keep their
// first spelling. REG_SZ data is UTF-16 with a terminator in the W forms and UTF-8 with a
// terminator in the A forms, and ends at its first terminator; every other type is kept as
// the bytes given, in either form. Names with control characters cannot be stored in the
// file: creating such a key or setting such a value answers ERROR_INVALID_PARAMETER.
//
// A handle names its key by path. When another handle or process deletes the key, calls on
// the handle answer ERROR_KEY_DELETED.
#pragma once

#include "platform/base/WinTypes.h"

using HKEY = struct HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u)))

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

// Access rights. A handle allows the calls its rights cover (KEY_QUERY_VALUE to query,
// KEY_SET_VALUE to set or delete values, KEY_CREATE_SUB_KEY to create sub-keys,
// KEY_ENUMERATE_SUB_KEYS to enumerate), else ERROR_ACCESS_DENIED; MAXIMUM_ALLOWED and the
// predefined roots allow everything. The file itself has no access control.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
constexpr REGSAM MAXIMUM_ALLOWED = 0x02000000;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

PLATFORM_API LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                                  void* security, PHKEY result, LPDWORD disposition);
PLATFORM_API LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                                  REGSAM access, void* security, PHKEY result, LPDWORD disposition);
PLATFORM_API LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
PLATFORM_API LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
PLATFORM_API LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
PLATFORM_API LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
// Sets the value in the sub-key, which is made first when missing (a null or empty sub-key:
// the key itself), in one change that no other writer's change can come between. The key
// needs KEY_SET_VALUE.
PLATFORM_API LONG RegSetKeyValueW(HKEY key, LPCWSTR subKey, LPCWSTR valueName, DWORD type, LPCVOID data, DWORD size);
// size in and out in bytes; data may be null to ask only for type and size;
// ERROR_MORE_DATA (with the needed size) when the buffer is too small.
PLATFORM_API LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                   LPDWORD size);
PLATFORM_API LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                   LPDWORD size);
// nameLength in and out in characters (without the terminator on output); sub-keys come in
// name order. A name that does not fit answers ERROR_MORE_DATA and leaves nameLength as it was.
// Keys have no class (an empty one is returned) and no write time (zero is returned).
PLATFORM_API LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved, LPSTR keyClass,
                                LPDWORD classLength, void* lastWriteTime);
PLATFORM_API LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved,
                                LPWSTR keyClass, LPDWORD classLength, void* lastWriteTime);
// Deletes a key that has no sub-keys (ERROR_ACCESS_DENIED otherwise), as the published call does.
PLATFORM_API LONG RegDeleteKeyA(HKEY key, LPCSTR subKey);
PLATFORM_API LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey);
PLATFORM_API LONG RegDeleteValueA(HKEY key, LPCSTR valueName);
PLATFORM_API LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);
PLATFORM_API LONG RegCloseKey(HKEY key);
