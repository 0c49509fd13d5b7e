#include "platform/editing/TaskText.h"

#include "platform/mediagraph/OwnedMediaType.h"

#include <cstring>

HRESULT CopyTextToTaskMemory(const std::u16string& text, BSTR* copy)
{
    const std::size_t bytes = (text.size() + 1) * sizeof(OLECHAR);
    *copy = static_cast<BSTR>(CoTaskMemAlloc(bytes));
    if (!*copy) return E_OUTOFMEMORY;
    std::memcpy(*copy, text.c_str(), bytes);
    return S_OK;
}

HRESULT AttachFormatBlock(AM_MEDIA_TYPE& type, const void* format, ULONG bytes)
{
    BYTE* block = MediaTypeFormatBuffer(type, bytes);
    if (!block) return E_OUTOFMEMORY;
    std::memcpy(block, format, bytes);
    return S_OK;
}
