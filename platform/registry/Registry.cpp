#include "platform/registry/Registry.h"

#include "platform/base/WideText.h"
#include "platform/registry/KeyHandleTable.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryText.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kFileTimeBytes = 8;

std::string Utf8Name(const char* text) { return text ? std::string(text) : std::string(); }
std::string Utf8Name(const char16_t* text) { return text ? Utf8FromWide(text) : std::string(); }

template <typename Char>
std::basic_string<Char> NameIn(std::string_view name)
{
    if constexpr (sizeof(Char) == 1) {
        return std::string(name);
    } else {
        return WideFromUtf8(name);
    }
}

// REG_SZ data in the W forms is UTF-16, in the A forms UTF-8; what follows the first
// terminator is not kept. Other types are bytes in either form.
template <typename Char>
std::vector<BYTE> ImportData(DWORD type, const BYTE* data, DWORD size)
{
    if (type != REG_SZ) return std::vector<BYTE>(data, data + size);
    std::basic_string<Char> text(size / sizeof(Char), Char{});
    if (!text.empty()) std::memcpy(text.data(), data, text.size() * sizeof(Char));
    text.resize(std::min(text.size(), text.find(Char{})));
    const std::string utf8 = Utf8Name(text.c_str());
    return std::vector<BYTE>(utf8.begin(), utf8.end());
}

template <typename Char>
std::vector<BYTE> ExportData(const RegistryValue& value)
{
    if (value.type != REG_SZ) return value.data;
    const std::basic_string<Char> text =
        NameIn<Char>(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()));
    std::vector<BYTE> bytes((text.size() + 1) * sizeof(Char), 0);
    std::memcpy(bytes.data(), text.data(), text.size() * sizeof(Char));
    return bytes;
}

LONG FindHandle(HKEY key, REGSAM needed, KeyHandle& handle)
{
    const auto found = KeyHandleTable::Instance().Find(key);
    if (!found) return ERROR_INVALID_HANDLE;
    if ((found->access & needed) != needed) return ERROR_ACCESS_DENIED;
    handle = *found;
    return ERROR_SUCCESS;
}

// A sub-key path may not start with a separator nor hold an empty name; one trailing
// separator is allowed.
LONG JoinPath(const std::string& base, std::string_view subKey, std::string& path)
{
    if (subKey.ends_with(RegistryTree::kSeparator)) subKey.remove_suffix(1);
    path = base;
    if (subKey.empty()) return ERROR_SUCCESS;
    std::size_t start = 0;
    while (start <= subKey.size()) {
        std::size_t end = subKey.find(RegistryTree::kSeparator, start);
        if (end == std::string_view::npos) end = subKey.size();
        if (end == start) return ERROR_BAD_PATHNAME;
        path += RegistryTree::kSeparator;
        path.append(subKey.substr(start, end - start));
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

// A key missing from the user's file that the machine-wide file holds is the machine's,
// which no change through the user's registry reaches.
LONG AbsentKey(const RegistryTree& machine, const std::string& path)
{
    return machine.HasKey(path) ? ERROR_ACCESS_DENIED : ERROR_KEY_DELETED;
}

template <typename Char>
LONG CreateKey(HKEY key, const Char* subKey, REGSAM access, PHKEY result, LPDWORD disposition)
{
    if (!subKey || !result) return ERROR_INVALID_PARAMETER;
    KeyHandle parent;
    if (const LONG error = FindHandle(key, 0, parent)) return error;
    std::string path;
    if (const LONG error = JoinPath(parent.path, Utf8Name(subKey), path)) return error;
    if (!RegistryText::IsWritableKeyPath(path)) return ERROR_INVALID_PARAMETER;
    bool created = false;
    const LONG error =
        RegistryStore::Modify([&](RegistryTree& tree, const RegistryTree& machine, bool& changed) -> LONG {
            if (!tree.HasKey(parent.path)) return AbsentKey(machine, parent.path);
            if (tree.HasKey(path)) return ERROR_SUCCESS;
            if (!(parent.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
            if (!tree.CreateKey(path, &created)) return ERROR_NOT_ENOUGH_MEMORY;
            changed = true;
            return ERROR_SUCCESS;
        });
    if (error) return error;
    *result = KeyHandleTable::Instance().Open(path, access);
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

template <typename Char>
LONG OpenKey(HKEY key, const Char* subKey, REGSAM access, PHKEY result)
{
    if (!result) return ERROR_INVALID_PARAMETER;
    KeyHandle parent;
    if (const LONG error = FindHandle(key, 0, parent)) return error;
    std::string path;
    if (const LONG error = JoinPath(parent.path, Utf8Name(subKey), path)) return error;
    const LONG error = RegistryStore::Read([&](const RegistryTree& tree) -> LONG {
        if (!tree.HasKey(parent.path)) return ERROR_KEY_DELETED;
        return tree.HasKey(path) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
    if (error) return error;
    *result = KeyHandleTable::Instance().Open(path, access);
    return ERROR_SUCCESS;
}

// Sets the value in the key at `path`, the handle's key or (with createKey) a key below it
// that is made when missing, in one change of the file.
LONG StoreValue(const KeyHandle& handle, const std::string& path, RegistryValue value, bool createKey)
{
    if (!RegistryText::IsWritableValueName(value.name)) return ERROR_INVALID_PARAMETER;
    return RegistryStore::Modify([&](RegistryTree& tree, const RegistryTree& machine, bool& changed) -> LONG {
        if (!tree.HasKey(handle.path)) return AbsentKey(machine, handle.path);
        if (createKey && !tree.CreateKey(path)) return ERROR_NOT_ENOUGH_MEMORY;
        tree.SetValue(path, std::move(value));
        changed = true;
        return ERROR_SUCCESS;
    });
}

template <typename Char>
LONG SetValue(HKEY key, const Char* valueName, DWORD type, const BYTE* data, DWORD size)
{
    if (!data && size) return ERROR_INVALID_PARAMETER;
    KeyHandle handle;
    if (const LONG error = FindHandle(key, KEY_SET_VALUE, handle)) return error;
    return StoreValue(handle, handle.path, {Utf8Name(valueName), type, ImportData<Char>(type, data, size)}, false);
}

template <typename Char>
LONG SetKeyValue(HKEY key, const Char* subKey, const Char* valueName, DWORD type, const BYTE* data, DWORD size)
{
    if (!data && size) return ERROR_INVALID_PARAMETER;
    KeyHandle handle;
    if (const LONG error = FindHandle(key, KEY_SET_VALUE, handle)) return error;
    std::string path;
    if (const LONG error = JoinPath(handle.path, Utf8Name(subKey), path)) return error;
    if (!RegistryText::IsWritableKeyPath(path)) return ERROR_INVALID_PARAMETER;
    return StoreValue(handle, path, {Utf8Name(valueName), type, ImportData<Char>(type, data, size)}, true);
}

template <typename Char>
LONG QueryValue(HKEY key, const Char* valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (reserved || (data && !size)) return ERROR_INVALID_PARAMETER;
    KeyHandle handle;
    if (const LONG error = FindHandle(key, KEY_QUERY_VALUE, handle)) return error;
    const std::string name = Utf8Name(valueName);
    return RegistryStore::Read([&](const RegistryTree& tree) -> LONG {
        if (!tree.HasKey(handle.path)) return ERROR_KEY_DELETED;
        const RegistryValue* value = tree.FindValue(handle.path, name);
        if (!value) return ERROR_FILE_NOT_FOUND;
        const std::vector<BYTE> bytes = ExportData<Char>(*value);
        if (type) *type = value->type;
        if (!size) return ERROR_SUCCESS;
        const DWORD capacity = *size;
        *size = static_cast<DWORD>(bytes.size());
        if (!data) return ERROR_SUCCESS;
        if (capacity < bytes.size()) return ERROR_MORE_DATA;
        std::copy(bytes.begin(), bytes.end(), data);
        return ERROR_SUCCESS;
    });
}

// nameLength is left as it was when the name does not fit, so a caller that retries with
// a larger buffer is never handed a size without room for the terminator.
template <typename Char>
LONG EnumKey(HKEY key, DWORD index, Char* name, LPDWORD nameLength, Char* keyClass, LPDWORD classLength,
             void* lastWriteTime)
{
    if (!name || !nameLength) return ERROR_INVALID_PARAMETER;
    KeyHandle handle;
    if (const LONG error = FindHandle(key, KEY_ENUMERATE_SUB_KEYS, handle)) return error;
    return RegistryStore::Read([&](const RegistryTree& tree) -> LONG {
        if (!tree.HasKey(handle.path)) return ERROR_KEY_DELETED;
        const auto found = tree.SubKeyName(handle.path, index);
        if (!found) return ERROR_NO_MORE_ITEMS;
        const std::basic_string<Char> text = NameIn<Char>(*found);
        if (text.size() + 1 > *nameLength) return ERROR_MORE_DATA;
        std::copy(text.c_str(), text.c_str() + text.size() + 1, name);
        *nameLength = static_cast<DWORD>(text.size());
        // Keys carry no class and no write time here.
        if (keyClass && classLength && *classLength) keyClass[0] = Char{};
        if (classLength) *classLength = 0;
        if (lastWriteTime) std::memset(lastWriteTime, 0, kFileTimeBytes);
        return ERROR_SUCCESS;
    });
}

template <typename Char>
LONG DeleteKey(HKEY key, const Char* subKey)
{
    if (!subKey) return ERROR_INVALID_PARAMETER;
    KeyHandle parent;
    if (const LONG error = FindHandle(key, 0, parent)) return error;
    std::string path;
    if (const LONG error = JoinPath(parent.path, Utf8Name(subKey), path)) return error;
    if (RegistryTree::IsRoot(path)) return ERROR_ACCESS_DENIED;
    // The user's key alone is removed; where the machine-wide file holds one of that name
    // it shows through again, and a key only the machine's file holds is not the user's to remove.
    return RegistryStore::Modify([&](RegistryTree& tree, const RegistryTree& machine, bool& changed) -> LONG {
        if (!tree.HasKey(parent.path) && !machine.HasKey(parent.path)) return ERROR_KEY_DELETED;
        if (!tree.HasKey(path)) return ERROR_FILE_NOT_FOUND;
        if (tree.HasSubKeys(path)) return ERROR_ACCESS_DENIED;
        tree.DeleteKey(path);
        changed = true;
        return ERROR_SUCCESS;
    });
}

template <typename Char>
LONG DeleteValue(HKEY key, const Char* valueName)
{
    KeyHandle handle;
    if (const LONG error = FindHandle(key, KEY_SET_VALUE, handle)) return error;
    const std::string name = Utf8Name(valueName);
    return RegistryStore::Modify([&](RegistryTree& tree, const RegistryTree& machine, bool& changed) -> LONG {
        if (!tree.HasKey(handle.path)) return AbsentKey(machine, handle.path);
        changed = tree.DeleteValue(handle.path, name);
        return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

} // namespace

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access, void*, PHKEY result,
                     LPDWORD disposition)
{
    return CreateKey(key, subKey, access, result, disposition);
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM access, void*, PHKEY result,
                     LPDWORD disposition)
{
    return CreateKey(key, subKey, access, result, disposition);
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result)
{
    return OpenKey(key, subKey, access, result);
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM access, PHKEY result)
{
    return OpenKey(key, subKey, access, result);
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size)
{
    return SetValue(key, valueName, type, data, size);
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size)
{
    return SetValue(key, valueName, type, data, size);
}

LONG RegSetKeyValueW(HKEY key, LPCWSTR subKey, LPCWSTR valueName, DWORD type, LPCVOID data, DWORD size)
{
    return SetKeyValue(key, subKey, valueName, type, static_cast<const BYTE*>(data), size);
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    return QueryValue(key, valueName, reserved, type, data, size);
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    return QueryValue(key, valueName, reserved, type, data, size);
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPSTR keyClass, LPDWORD classLength,
                   void* lastWriteTime)
{
    return EnumKey(key, index, name, nameLength, keyClass, classLength, lastWriteTime);
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD, LPWSTR keyClass,
                   LPDWORD classLength, void* lastWriteTime)
{
    return EnumKey(key, index, name, nameLength, keyClass, classLength, lastWriteTime);
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) { return DeleteKey(key, subKey); }

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) { return DeleteKey(key, subKey); }

LONG RegDeleteValueA(HKEY key, LPCSTR valueName) { return DeleteValue(key, valueName); }

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) { return DeleteValue(key, valueName); }

LONG RegCloseKey(HKEY key) { return KeyHandleTable::Instance().Close(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; }
