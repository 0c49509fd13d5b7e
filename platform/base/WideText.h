// Conversions between UTF-16 (the wide text of the system) and UTF-8 (its "ANSI" code page).
#pragma once

#include <string>
#include <string_view>

// Ill-formed input becomes U+FFFD rather than failing: paths and names stay usable.
std::u16string WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::u16string_view text);
// Length of a terminated wide string.
std::size_t WideLength(const char16_t* text);
// Whether `name` ends in `extension` (".mp4"), ASCII letters compared without case.
bool HasExtension(std::u16string_view name, std::u16string_view extension);
