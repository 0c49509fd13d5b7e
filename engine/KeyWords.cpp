#include "engine/KeyWords.h"

#include "platform/resource/UiText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

std::string KeyWords::FirstWord(const std::string& text) { return text.substr(0, text.find_first_of(" \t;#")); }

bool KeyWords::SameLetters(const std::string& a, const char* b)
{
    const std::string other(b);
    return std::equal(a.begin(), a.end(), other.begin(), other.end(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

int KeyWords::Find(const std::string& word, const char* const* words, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        if (words[i] && SameLetters(word, words[i])) return static_cast<int>(i);
    return -1;
}

std::string KeyWords::NotOneOf(const char* key, const std::string& word, const char* const* words, std::size_t count,
                               const char* used)
{
    const auto named = static_cast<std::size_t>(std::count_if(words, words + count, [](const char* w) { return w; }));
    std::string list;
    for (std::size_t i = 0; i < named; ++i) {
        if (i > 0) list += i + 1 == named ? UiTextUtf8("PictureKeys", "、または ") : UiTextUtf8("PictureKeys", "、");
        list += words[i];
    }
    char said[512];
    std::snprintf(said, sizeof said,
                  UiTextUtf8("PictureKeys", "%s=%s は %s のどれでもありません。%s を使います").c_str(), key,
                  word.c_str(), list.c_str(), used);
    return said;
}
