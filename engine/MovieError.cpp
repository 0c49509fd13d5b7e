#include "engine/MovieError.h"

#include "platform/base/WideText.h"

#include <cstdio>

std::u16string MovieError::Text() const
{
    char codeLine[32];
    std::snprintf(codeLine, sizeof codeLine, "Error code: 0x%x.", static_cast<unsigned>(code));
    std::u16string text = WideFromUtf8(codeLine);
    if (!words.empty()) {
        text += u"\n" + words;
        if (!path.empty()) text += u": " + path;
    }
    if (!registryProblem.empty()) text += u"\n" + registryProblem;
    return text;
}
