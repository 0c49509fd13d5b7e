// The keys and values of the registry file in memory.
//
// Keys are compared as Windows compares them: case-insensitively (ASCII letters fold). The
// first spelling of every key and value name is kept. Walking the keys in order visits each
// key before its sub-keys and sub-keys in name order.
#pragma once

#include "platform/base/WinTypes.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct RegistryValue {
    std::string name; // empty: the key's default value
    DWORD type = 0;
    // REG_SZ: UTF-8 text without terminator; every other type: the bytes as given.
    std::vector<BYTE> data;
};

class RegistryTree {
public:
    struct Key {
        std::string path; // full path from its root, in its kept spelling
        std::vector<RegistryValue> values;
    };
    // By folded path: letters upper case, separators below every character a name can hold.
    using KeyMap = std::map<std::string, Key, std::less<>>;

    // Every key keeps its full path, so a deep key costs its depth times its length; this
    // bounds what a hostile file can make the tree hold.
    static constexpr std::size_t kMaxPathBytes = 8u << 20;

    static constexpr char kSeparator = '\\';
    static constexpr std::string_view kRoots[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"};

    // The three roots exist in every tree.
    RegistryTree();

    static bool NamesEqual(std::string_view a, std::string_view b);
    static bool IsRoot(std::string_view path);

    bool HasKey(std::string_view path) const;
    // Creates the key and every missing ancestor (the path must start with a root) and
    // answers the key's full path in its kept spelling; nothing when the keys' paths would
    // pass kMaxPathBytes.
    std::optional<std::string> CreateKey(std::string_view path, bool* created = nullptr);
    bool HasSubKeys(std::string_view path) const;
    // Removes the key alone; callers check HasSubKeys first.
    void DeleteKey(std::string_view path);
    // The name of the index-th direct sub-key in name order.
    std::optional<std::string> SubKeyName(std::string_view path, std::size_t index) const;

    const RegistryValue* FindValue(std::string_view path, std::string_view name) const;
    // The key must exist. An existing value keeps its name's spelling and takes the new type and data.
    void SetValue(std::string_view path, RegistryValue value);
    bool DeleteValue(std::string_view path, std::string_view name);

    // Adds the keys of `over` and sets their values, replacing values of the same name;
    // false when the keys' paths would pass kMaxPathBytes.
    bool Overlay(const RegistryTree& over);

    const KeyMap& Keys() const { return keys_; }

private:
    Key* FindKey(std::string_view path);
    const Key* FindKey(std::string_view path) const;

    KeyMap keys_;
    std::size_t pathBytes_ = 0;
};
