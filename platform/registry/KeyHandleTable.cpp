#include "platform/registry/KeyHandleTable.h"

#include "platform/registry/RegistryTree.h"

namespace {

constexpr std::uintptr_t kFirstRoot = 0x80000000u;
constexpr std::uintptr_t kHandleStep = 4;

std::optional<std::size_t> RootIndex(HKEY key)
{
    const auto value = reinterpret_cast<std::uintptr_t>(key);
    if (value < kFirstRoot || value >= kFirstRoot + std::size(RegistryTree::kRoots)) return std::nullopt;
    // The predefined handles are numbered in the order of RegistryTree::kRoots.
    static_assert(RegistryTree::kRoots[0] == "HKEY_CLASSES_ROOT" && RegistryTree::kRoots[2] == "HKEY_LOCAL_MACHINE");
    return value - kFirstRoot;
}

} // namespace

KeyHandleTable& KeyHandleTable::Instance()
{
    static KeyHandleTable table;
    return table;
}

HKEY KeyHandleTable::Open(std::string path, REGSAM access)
{
    if (access & MAXIMUM_ALLOWED) access = KEY_ALL_ACCESS;
    const std::lock_guard<std::mutex> guard(mutex_);
    std::uintptr_t value = next_;
    next_ += kHandleStep;
    if (next_ >= kFirstRoot && next_ < kFirstRoot + 0x100) next_ = kFirstRoot + 0x100;
    handles_.emplace(value, KeyHandle{std::move(path), access});
    return reinterpret_cast<HKEY>(value);
}

std::optional<KeyHandle> KeyHandleTable::Find(HKEY key) const
{
    if (const auto root = RootIndex(key)) return KeyHandle{std::string(RegistryTree::kRoots[*root]), KEY_ALL_ACCESS};
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto it = handles_.find(reinterpret_cast<std::uintptr_t>(key));
    if (it == handles_.end()) return std::nullopt;
    return it->second;
}

bool KeyHandleTable::Close(HKEY key)
{
    if (RootIndex(key)) return true;
    const std::lock_guard<std::mutex> guard(mutex_);
    return handles_.erase(reinterpret_cast<std::uintptr_t>(key)) == 1;
}
