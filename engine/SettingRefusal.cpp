#include "engine/SettingRefusal.h"

#include "platform/resource/UiText.h"

#include <cstdio>

std::string SettingRefusal::OutOfRange(const char* key, std::int64_t value, std::int64_t lowest, std::int64_t highest,
                                       std::int64_t used)
{
    char text[200];
    std::snprintf(text, sizeof text,
                  UiTextUtf8("MovieEngine", "%s=%lld は %lld..%lld の範囲外です。%lld を使います").c_str(), key,
                  static_cast<long long>(value), static_cast<long long>(lowest), static_cast<long long>(highest),
                  static_cast<long long>(used));
    return text;
}
