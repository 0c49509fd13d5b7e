// Any text either fails to parse or parses into a tree whose written form reads back
// into the same written form.
#include "platform/registry/RegistryText.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto tree = RegistryText::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!tree) return 0;
    const std::string written = RegistryText::Format(*tree);
    const auto again = RegistryText::Parse(written);
    if (!again || RegistryText::Format(*again) != written) std::abort();
    return 0;
}
