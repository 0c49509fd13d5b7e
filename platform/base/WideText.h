// Conversions between UTF-16 (the wide text of the system) and UTF-8 (its "ANSI" code page).
#pragma once

#include <string>
#include <string_view>

// Bytes that are not well-formed UTF-8 travel as lone surrogates U+DC80..U+DCFF and
// come back as the same bytes, so a path in any encoding survives the round trip.
// Other lone surrogates become U+FFFD.
std::u16string WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::u16string_view text);
// UTF-8 for a message: escaped bytes as \xE9, newlines, tabs and other control
// characters as \n, \t, \x1B, so a name cannot break or forge a line.
std::string PrintableFromWide(std::u16string_view text);
// Length of a terminated wide string.
std::size_t WideLength(const char16_t* text);
// Whether `name` ends in `extension` (".mp4"), ASCII letters compared without case.
bool HasExtension(std::u16string_view name, std::u16string_view extension);
