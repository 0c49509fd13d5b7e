// Program resources: files embedded into a program at build time and looked
// up by type name and number, as FindResourceW, LoadResource, SizeofResource
// and LockResource find them in a Windows module.
//
// A program's embedded resources register themselves before main with
// RegisterResource; the module handle is not looked at, since a program has
// one set of resources.
#pragma once

#include "platform/base/WinTypes.h"

#include <cstddef>
#include <cstdint>

using HRSRC = struct HRSRC__*;
using HGLOBAL = void*;

// A resource number in place of a name, as MAKEINTRESOURCEW makes it.
inline LPCWSTR MakeIntResource(WORD id) { return reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(id)); }

// `type` is a resource type name such as u"PROFILE"; the bytes must outlive the process.
void RegisterResource(LPCWSTR type, WORD id, const BYTE* bytes, DWORD size);

HMODULE GetModuleHandleW(LPCWSTR moduleName);
// `name` is a number made by MakeIntResource; named resources are not carried.
// nullptr when absent.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
DWORD SizeofResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL loaded);
