// How the settings keys that take a word read it, for [Picture] and [Show] alike:
// the word ends at a space, tab, ';' or '#' (as a number ends at its first non-digit,
// so that "Fit=crop   ; comment" is crop) and is compared without letter case.
#pragma once

#include <cstddef>
#include <string>

class KeyWords {
public:
    static std::string FirstWord(const std::string& text);
    static bool SameLetters(const std::string& a, const char* b);
    // The index of `word` among the `count` words (null entries are none), -1 when absent.
    static int Find(const std::string& word, const char* const* words, std::size_t count);
    // "Fit=zoom is not stretch, letterbox or crop; stretch is used".
    static std::string NotOneOf(const char* key, const std::string& word, const char* const* words, std::size_t count,
                                const char* used);
};
