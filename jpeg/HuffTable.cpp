#include "jpeg/HuffTable.h"

#include "jpeg/JpegInternal.h"

#include <algorithm>

namespace xtpjpeg {

namespace {

// The two-symbol lookup from the combined one.
void buildPairs(HuffTable& t)
{
    constexpr int kFast = HuffTable::kFastAcBits;
    for (int i = 0; i < (1 << kFast); ++i) {
        const std::int32_t first = t.fastAc[i];
        if (first == 0) {
            t.pairAc[i] = 0;
            continue;
        }
        const std::uint64_t len1 = first & 0xFF, run1 = (first >> 8) & 0xFF;
        std::uint64_t len = len1, advance2 = 0, value2 = 0;
        const std::int32_t second = t.fastAc[(i << len1) & ((1 << kFast) - 1)];
        if (run1 < 64 && second != 0 && (second & 0xFF) <= kFast - static_cast<int>(len1)) {
            len += second & 0xFF;
            advance2 = ((second >> 8) & 0xFF) + 1;
            value2 = static_cast<std::uint16_t>(second >> 16);
        }
        t.pairAc[i] = (value2 << 48) | (std::uint64_t{static_cast<std::uint16_t>(first >> 16)} << 32) |
                      (advance2 << 24) | (run1 << 16) | (len1 << 8) | len;
    }
}

} // namespace

int buildHuffTable(HuffTable& t, const std::uint8_t counts[16], const std::uint8_t* values)
{
    int total = 0;
    for (int i = 0; i < 16; ++i) total += counts[i];
    if (total > 257) return JpegBadHuffmanTable;
    // Code sizes in order of length, canonical codes (T.81 C.1, C.2).
    std::uint8_t sizes[258];
    std::uint16_t codes[257];
    int n = 0;
    for (int len = 1; len <= 16; ++len)
        for (int i = 0; i < counts[len - 1]; ++i) sizes[n++] = static_cast<std::uint8_t>(len);
    sizes[n] = 0;
    std::uint32_t code = 0;
    int k = 0;
    int si = n > 0 ? sizes[0] : 0;
    while (k < n) {
        while (k < n && sizes[k] == si) {
            codes[k++] = static_cast<std::uint16_t>(code);
            ++code;
        }
        // A code space that overflows its length, or that ends in the all-ones code that
        // T.81 C.2 reserves (1111 is not a code, so fill bits never complete one), is refused.
        if (code >= (1u << si)) return JpegBadHuffmanTable;
        code <<= 1;
        ++si;
    }
    // Per-length arrays (T.81 F.2.2.3).
    int p = 0;
    for (int len = 1; len <= 16; ++len) {
        if (counts[len - 1]) {
            t.valptr[len] = p;
            t.mincode[len] = codes[p];
            p += counts[len - 1];
            t.maxcode[len] = codes[p - 1];
        } else {
            t.valptr[len] = 0;
            t.mincode[len] = 0;
            t.maxcode[len] = -1;
        }
    }
    t.maxcode[0] = -1;
    t.maxcode[17] = 0x7FFFFFFF;
    std::copy(values, values + n, t.values);
    std::fill(t.values + n, t.values + 257, 0);
    t.valueCount = n;
    // Lookahead: every 8-bit prefix of each code of length 1 to 8.
    std::fill(t.look, t.look + 256, 0);
    for (int i = 0; i < n; ++i) {
        const int len = sizes[i];
        if (len > 8) break;
        const int shift = 8 - len;
        const int first = codes[i] << shift;
        const int last = first + (1 << shift);
        for (int v = first; v < last; ++v) t.look[v] = static_cast<std::uint16_t>((len << 8) | t.values[i]);
    }
    // Combined AC lookup.
    constexpr int kFast = HuffTable::kFastAcBits;
    std::fill(t.fastAc, t.fastAc + (1 << kFast), 0);
    for (int i = 0; i < n; ++i) {
        const int len = sizes[i];
        if (len > kFast) break;
        const int rs = t.values[i];
        int run = rs >> 4;
        const int size = rs & 15;
        if (len + size > kFast) continue;
        // A ZRL stores a zero 15 positions on (the block is clear there); any other code of
        // size 0 ends the block, as a run past coefficient 63 does, and keeps its R (the
        // end-of-band run of progressive scans, EOBn) above 64.
        if (size == 0 && run != 15) run += 64;
        const int freeBits = kFast - len - size;
        for (int bits = 0; bits < (1 << size); ++bits) {
            const int value = size == 0 ? 0 : extend(static_cast<std::uint32_t>(bits), size);
            const int base = ((codes[i] << size) | bits) << freeBits;
            const std::int32_t entry =
                static_cast<std::int32_t>(static_cast<std::uint32_t>(value) << 16) | (run << 8) | (len + size);
            for (int f = 0; f < (1 << freeBits); ++f) t.fastAc[base + f] = entry;
        }
    }
    // Pairs of symbols for passing over: a second symbol counts when the bits after the first
    // decide it whatever follows them (its entry's length fits what is left).
    for (int i = 0; i < (1 << kFast); ++i) {
        const std::int32_t first = t.fastAc[i];
        if (first == 0) {
            t.skipAc[i] = 0;
            continue;
        }
        const int len1 = first & 0xFF, advance1 = ((first >> 8) & 0xFF) + 1;
        int len = len1, advance = advance1;
        const std::int32_t second = t.fastAc[(i << len1) & ((1 << kFast) - 1)];
        if (advance1 <= 64 && second != 0 && (second & 0xFF) <= kFast - len1) {
            len += second & 0xFF;
            advance += ((second >> 8) & 0xFF) + 1;
        }
        t.skipAc[i] = (len1 << 24) | (advance1 << 16) | (advance << 8) | len;
    }
    buildPairs(t);
    t.defined = true;
    return JpegSuccess;
}

} // namespace xtpjpeg
