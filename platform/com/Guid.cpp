#include "platform/com/Com.h"

namespace {

constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

// Positions of the 32 hex digits in "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
constexpr int kDigitPositions[32] = {1,  2,  3,  4,  5,  6,  7,  8,  10, 11, 12, 13, 15, 16, 17, 18,
                                     20, 21, 22, 23, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36};

// The GUID's 16 bytes in text order: Data1..Data3 as big-endian numbers, then Data4.
void GuidToTextBytes(const GUID& guid, std::uint8_t bytes[16])
{
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(guid.Data1 >> (24 - 8 * i));
    bytes[4] = static_cast<std::uint8_t>(guid.Data2 >> 8);
    bytes[5] = static_cast<std::uint8_t>(guid.Data2);
    bytes[6] = static_cast<std::uint8_t>(guid.Data3 >> 8);
    bytes[7] = static_cast<std::uint8_t>(guid.Data3);
    for (int i = 0; i < 8; ++i) bytes[8 + i] = guid.Data4[i];
}

GUID GuidFromTextBytes(const std::uint8_t bytes[16])
{
    GUID guid{};
    for (int i = 0; i < 4; ++i) guid.Data1 = (guid.Data1 << 8) | bytes[i];
    guid.Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    guid.Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = bytes[8 + i];
    return guid;
}

int HexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

bool IsDashPosition(int i) { return i == 9 || i == 14 || i == 19 || i == 24; }

} // namespace

PLATFORM_API int StringFromGUID2(REFGUID guid, LPWSTR text, int cchMax)
{
    if (!text || cchMax < GUID_STRING_CHARS + 1) return 0;
    std::uint8_t bytes[16];
    GuidToTextBytes(guid, bytes);
    text[0] = u'{';
    for (int i = 1; i < GUID_STRING_CHARS - 1; ++i) text[i] = u'-';
    text[GUID_STRING_CHARS - 1] = u'}';
    for (int d = 0; d < 32; ++d) {
        const int nibble = (d % 2 == 0) ? bytes[d / 2] >> 4 : bytes[d / 2] & 0xF;
        text[kDigitPositions[d]] = kHexDigits[nibble];
    }
    text[GUID_STRING_CHARS] = 0;
    return GUID_STRING_CHARS + 1;
}

PLATFORM_API HRESULT CLSIDFromString(LPCWSTR text, CLSID* clsid)
{
    if (!clsid) return E_INVALIDARG;
    if (!text) return CO_E_CLASSSTRING;
    for (int i = 0; i < GUID_STRING_CHARS; ++i) {
        if (text[i] == 0) return CO_E_CLASSSTRING;
    }
    if (text[0] != u'{' || text[GUID_STRING_CHARS - 1] != u'}' || text[GUID_STRING_CHARS] != 0) {
        return CO_E_CLASSSTRING;
    }
    for (int i = 1; i < GUID_STRING_CHARS - 1; ++i) {
        if (IsDashPosition(i) != (text[i] == u'-')) return CO_E_CLASSSTRING;
    }
    std::uint8_t bytes[16] = {};
    for (int d = 0; d < 32; ++d) {
        const int v = HexValue(text[kDigitPositions[d]]);
        if (v < 0) return CO_E_CLASSSTRING;
        bytes[d / 2] = static_cast<std::uint8_t>(bytes[d / 2] | (d % 2 == 0 ? v << 4 : v));
    }
    *clsid = GuidFromTextBytes(bytes);
    return S_OK;
}

PLATFORM_API HRESULT IIDFromString(LPCWSTR text, IID* iid) { return CLSIDFromString(text, iid); }
