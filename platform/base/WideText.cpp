#include "platform/base/WideText.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;
// A byte that is no part of well-formed UTF-8 is carried as a lone low surrogate,
// U+DC80 to U+DCFF, and turned back into the same byte: a file name in another
// encoding (a Latin-1 "caf\xE9.jpg") can still be opened from its wide form.
constexpr char32_t kEscapedByte = 0xDC00;

bool IsEscapedByte(char32_t unit) { return unit >= kEscapedByte + 0x80 && unit <= kEscapedByte + 0xFF; }

// Decodes one UTF-8 sequence at text[i], advancing i past it; a malformed sequence
// yields its first byte escaped and advances by that byte alone.
char32_t DecodeUtf8(std::string_view text, std::size_t& i)
{
    const std::size_t start = i;
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    const auto malformed = [&] {
        i = start + 1;
        return kEscapedByte + lead;
    };
    int extra;
    char32_t cp;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        return malformed();
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return malformed();
        cp = (cp << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return malformed();
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::u16string WideFromUtf8(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char32_t cp = DecodeUtf8(text, i);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Utf8FromWide(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (IsEscapedByte(cp)) {
            out += static_cast<char>(cp - kEscapedByte);
            continue;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::size_t WideLength(const char16_t* text)
{
    std::size_t n = 0;
    while (text[n]) ++n;
    return n;
}

bool HasExtension(std::u16string_view name, std::u16string_view extension)
{
    if (name.size() < extension.size()) return false;
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
    const std::u16string_view end = name.substr(name.size() - extension.size());
    for (std::size_t i = 0; i < extension.size(); ++i) {
        if (lower(end[i]) != lower(extension[i])) return false;
    }
    return true;
}

std::string PrintableFromWide(std::u16string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto escape = [](std::string& out, unsigned byte) {
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 15];
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (IsEscapedByte(unit)) {
            escape(out, static_cast<unsigned>(unit - kEscapedByte));
        } else if (unit == u'\n') {
            out += "\\n";
        } else if (unit == u'\t') {
            out += "\\t";
        } else if (unit < 0x20 || unit == 0x7F) {
            escape(out, static_cast<unsigned>(unit));
        } else {
            // One unit, or a surrogate pair, in its UTF-8 form.
            const std::size_t pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() ? 2 : 1;
            out += Utf8FromWide(text.substr(i, pair));
            i += pair - 1;
        }
    }
    return out;
}
