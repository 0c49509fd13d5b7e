// Text and format blocks the editing objects hand out in task memory, which
// the caller frees with CoTaskMemFree: the platform has no separate string
// allocator.
#pragma once

#include "platform/mediagraph/GraphControl.h"

#include <string>

// A copy of the text with its terminator.
HRESULT CopyTextToTaskMemory(const std::u16string& text, BSTR* copy);
// Gives the record a task-memory copy of the format block.
HRESULT AttachFormatBlock(AM_MEDIA_TYPE& type, const void* format, ULONG bytes);
