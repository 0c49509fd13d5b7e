#include "platform/editing/TaskText.h"

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
    type.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(bytes));
    if (!type.pbFormat) return E_OUTOFMEMORY;
    std::memcpy(type.pbFormat, format, bytes);
    type.cbFormat = bytes;
    return S_OK;
}
