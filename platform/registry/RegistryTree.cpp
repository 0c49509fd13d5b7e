#include "platform/registry/RegistryTree.h"

#include <algorithm>

namespace {

unsigned char Fold(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : static_cast<unsigned char>(c);
}

// The separator ranks below every character a name can hold.
unsigned Rank(char c) { return c == RegistryTree::kSeparator ? 0u : Fold(c) + 1u; }

bool StartsWithFolded(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && RegistryTree::NamesEqual(text.substr(0, prefix.size()), prefix);
}

std::string SubKeyPrefix(std::string_view path) { return std::string(path) + RegistryTree::kSeparator; }

template <typename Values>
auto FindNamed(Values& values, std::string_view name)
{
    return std::find_if(values.begin(), values.end(),
                        [name](const RegistryValue& v) { return RegistryTree::NamesEqual(v.name, name); });
}

} // namespace

bool RegistryTree::PathOrder::operator()(std::string_view a, std::string_view b) const
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Rank(x) < Rank(y); });
}

RegistryTree::RegistryTree()
{
    for (std::string_view root : kRoots) keys_.try_emplace(std::string(root));
}

bool RegistryTree::NamesEqual(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return Fold(x) == Fold(y);
           });
}

bool RegistryTree::IsRoot(std::string_view path)
{
    return std::any_of(std::begin(kRoots), std::end(kRoots),
                       [path](std::string_view root) { return NamesEqual(root, path); });
}

bool RegistryTree::HasKey(std::string_view path) const { return keys_.find(path) != keys_.end(); }

std::string RegistryTree::CreateKey(std::string_view path, bool* created)
{
    if (created) *created = false;
    std::string kept;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(kSeparator, start);
        if (end == std::string_view::npos) end = path.size();
        std::string candidate = kept.empty() ? std::string() : kept + kSeparator;
        candidate.append(path.substr(start, end - start));
        auto [it, inserted] = keys_.try_emplace(std::move(candidate));
        kept = it->first;
        if (created) *created = inserted;
        start = end + 1;
    }
    return kept;
}

bool RegistryTree::HasSubKeys(std::string_view path) const
{
    const std::string prefix = SubKeyPrefix(path);
    auto it = keys_.lower_bound(prefix);
    return it != keys_.end() && StartsWithFolded(it->first, prefix);
}

void RegistryTree::DeleteKey(std::string_view path)
{
    auto it = keys_.find(path);
    if (it != keys_.end()) keys_.erase(it);
}

std::optional<std::string> RegistryTree::SubKeyName(std::string_view path, std::size_t index) const
{
    const std::string prefix = SubKeyPrefix(path);
    for (auto it = keys_.lower_bound(prefix); it != keys_.end() && StartsWithFolded(it->first, prefix); ++it) {
        const std::string_view name = std::string_view(it->first).substr(prefix.size());
        if (name.find(kSeparator) != std::string_view::npos) continue;
        if (index-- == 0) return std::string(name);
    }
    return std::nullopt;
}

const RegistryValue* RegistryTree::FindValue(std::string_view path, std::string_view name) const
{
    auto key = keys_.find(path);
    if (key == keys_.end()) return nullptr;
    auto value = FindNamed(key->second, name);
    return value == key->second.end() ? nullptr : &*value;
}

void RegistryTree::SetValue(std::string_view path, RegistryValue value)
{
    auto key = keys_.find(path);
    if (key == keys_.end()) return;
    auto existing = FindNamed(key->second, value.name);
    if (existing == key->second.end()) {
        key->second.push_back(std::move(value));
    } else {
        existing->type = value.type;
        existing->data = std::move(value.data);
    }
}

bool RegistryTree::DeleteValue(std::string_view path, std::string_view name)
{
    auto key = keys_.find(path);
    if (key == keys_.end()) return false;
    auto value = FindNamed(key->second, name);
    if (value == key->second.end()) return false;
    key->second.erase(value);
    return true;
}
