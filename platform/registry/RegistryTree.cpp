#include "platform/registry/RegistryTree.h"

#include <algorithm>

namespace {

// Stands for the separator in folded paths: below every character a name can hold, so a
// key's sub-keys follow it directly in the map.
constexpr char kFoldedSeparator = '\x01';

char FoldLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Folded(std::string_view path)
{
    std::string folded(path.size(), '\0');
    std::transform(path.begin(), path.end(), folded.begin(),
                   [](char c) { return c == RegistryTree::kSeparator ? kFoldedSeparator : FoldLetter(c); });
    return folded;
}

std::string SubKeyPrefix(std::string_view path) { return Folded(path) + kFoldedSeparator; }

template <typename Values>
auto FindNamed(Values& values, std::string_view name)
{
    return std::find_if(values.begin(), values.end(),
                        [name](const RegistryValue& v) { return RegistryTree::NamesEqual(v.name, name); });
}

} // namespace

RegistryTree::RegistryTree()
{
    for (std::string_view root : kRoots) keys_.try_emplace(Folded(root), Key{std::string(root), {}});
}

bool RegistryTree::NamesEqual(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldLetter(x) == FoldLetter(y); });
}

bool RegistryTree::IsRoot(std::string_view path)
{
    return std::any_of(std::begin(kRoots), std::end(kRoots),
                       [path](std::string_view root) { return NamesEqual(root, path); });
}

RegistryTree::Key* RegistryTree::FindKey(std::string_view path)
{
    const auto it = keys_.find(Folded(path));
    return it == keys_.end() ? nullptr : &it->second;
}

const RegistryTree::Key* RegistryTree::FindKey(std::string_view path) const
{
    const auto it = keys_.find(Folded(path));
    return it == keys_.end() ? nullptr : &it->second;
}

bool RegistryTree::HasKey(std::string_view path) const { return FindKey(path) != nullptr; }

std::optional<std::string> RegistryTree::CreateKey(std::string_view path, bool* created)
{
    if (created) *created = false;
    const std::string folded = Folded(path);
    if (const auto it = keys_.find(folded); it != keys_.end()) return it->second.path;
    // Find the deepest ancestor that exists, then add the missing keys below it.
    std::string kept;
    std::size_t start = 0;
    for (std::size_t end = folded.rfind(kFoldedSeparator); end != std::string::npos && end > 0;
         end = folded.rfind(kFoldedSeparator, end - 1)) {
        if (const auto it = keys_.find(std::string_view(folded).substr(0, end)); it != keys_.end()) {
            kept = it->second.path;
            start = end + 1;
            break;
        }
    }
    std::size_t added = 0;
    for (std::size_t end = folded.find(kFoldedSeparator, start); end != std::string::npos;
         end = folded.find(kFoldedSeparator, end + 1))
        added += end;
    added += path.size();
    if (pathBytes_ + added > kMaxPathBytes) return std::nullopt;
    pathBytes_ += added;
    while (start <= path.size()) {
        std::size_t end = path.find(kSeparator, start);
        if (end == std::string_view::npos) end = path.size();
        if (start > 0) kept += kSeparator;
        kept.append(path.substr(start, end - start));
        keys_.try_emplace(folded.substr(0, end), Key{kept, {}});
        start = end + 1;
    }
    if (created) *created = true;
    return kept;
}

bool RegistryTree::HasSubKeys(std::string_view path) const
{
    const std::string prefix = SubKeyPrefix(path);
    const auto it = keys_.lower_bound(prefix);
    return it != keys_.end() && it->first.starts_with(prefix);
}

void RegistryTree::DeleteKey(std::string_view path)
{
    if (keys_.erase(Folded(path)) == 1) pathBytes_ -= path.size();
}

std::optional<std::string> RegistryTree::SubKeyName(std::string_view path, std::size_t index) const
{
    const std::string prefix = SubKeyPrefix(path);
    for (auto it = keys_.lower_bound(prefix); it != keys_.end() && it->first.starts_with(prefix); ++it) {
        if (it->first.find(kFoldedSeparator, prefix.size()) != std::string::npos) continue;
        if (index-- == 0) return it->second.path.substr(prefix.size());
    }
    return std::nullopt;
}

const RegistryValue* RegistryTree::FindValue(std::string_view path, std::string_view name) const
{
    const Key* key = FindKey(path);
    if (!key) return nullptr;
    const auto value = FindNamed(key->values, name);
    return value == key->values.end() ? nullptr : &*value;
}

void RegistryTree::SetValue(std::string_view path, RegistryValue value)
{
    Key* key = FindKey(path);
    if (!key) return;
    const auto existing = FindNamed(key->values, value.name);
    if (existing == key->values.end()) {
        key->values.push_back(std::move(value));
    } else {
        existing->type = value.type;
        existing->data = std::move(value.data);
    }
}

bool RegistryTree::DeleteValue(std::string_view path, std::string_view name)
{
    Key* key = FindKey(path);
    if (!key) return false;
    const auto value = FindNamed(key->values, name);
    if (value == key->values.end()) return false;
    key->values.erase(value);
    return true;
}

bool RegistryTree::Overlay(const RegistryTree& over)
{
    for (const auto& [folded, key] : over.keys_) {
        const std::optional<std::string> path = CreateKey(key.path);
        if (!path) return false;
        for (const RegistryValue& value : key.values) SetValue(*path, value);
    }
    return true;
}
