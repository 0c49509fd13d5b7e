// Huffman decode tables (ITU-T T.81 Annex C, F.2.2.3) with the combined lookups of AC symbols.
#pragma once

#include <cstdint>

namespace xtpjpeg {

// EXTEND (T.81 F.2.2.1) of s received bits.
inline std::int32_t extend(std::uint32_t v, int s)
{
    return v < (1u << (s - 1)) ? static_cast<std::int32_t>(v) - (1 << s) + 1 : static_cast<std::int32_t>(v);
}

// Huffman decode table.
struct HuffTable {
    bool defined = false;
    std::uint8_t tableClass = 0;
    std::uint8_t id = 0;
    // Lookahead by the next 8 bits: (length << 8) | value; length 0: code longer than 8 bits.
    std::uint16_t look[256];
    std::int32_t maxcode[18]; // largest code of each length 1..16, -1 when none; [17] sentinel
    std::int32_t mincode[17];
    std::int32_t valptr[17]; // index of the first value of each length
    std::uint8_t values[257];
    int valueCount = 0;
    // Combined lookup for AC coefficients (an implementation detail beside the lookahead
    // table, with the same results): indexed by the next kFastAcBits bits, an entry is
    // (coefficient << 16) | (run << 8) | total bits, for a code whose code and value bits
    // together fit (a ZRL: run 15, coefficient 0; end of block, EOBn of progressive scans:
    // run 64 + n); 0 otherwise.
    static constexpr int kFastAcBits = 11;
    std::int32_t fastAc[1 << kFastAcBits];
    // Passing over AC coefficients (blocks of which only the DC counts): by the same bits,
    // up to two whole symbols (code and value bits), (first bits << 24) | (first advance << 16)
    // | (advance << 8) | bits, where an advance is run + 1 per symbol (65 + n for end of block);
    // 0 when not even the first symbol fits.
    std::int32_t skipAc[1 << kFastAcBits];
    // Decoding sequential AC coefficients two symbols a lookup: by the same
    // bits, the first symbol as in fastAc and a second one when its code and value bits follow
    // within them and the first does not end the block (not an end of block):
    // (value2 << 48) | (value1 << 32) | (advance2 << 24) | (run1 << 16) | (length1 << 8) |
    // bits of both, where advance2 is run2 + 1 (0 without a second symbol, whose value is
    // then 0), run1 and run2 as in fastAc; 0 when not even the first symbol fits.
    std::uint64_t pairAc[1 << kFastAcBits];
};

// Builds the decode table of the 16 counts and the values of a DHT; JpegBadHuffmanTable when they
// cannot form one.
int buildHuffTable(HuffTable& table, const std::uint8_t counts[16], const std::uint8_t* values);

} // namespace xtpjpeg
