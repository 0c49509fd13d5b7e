// Decoding Huffman symbols and received values from the InputReader's bit reader, and the
// register copy of the bit reader that the block decoders run on.
#pragma once

#include "jpeg/JpegInternal.h"

#include <algorithm>

namespace xtpjpeg {

// Fast path of the fill, for input with at least 8 bytes left and no marker pending, on a
// left-aligned bit buffer (the next bit at the top): loads 8 bytes at once and takes as many
// whole bytes as fit (count ends in 57..63) when none of them is 0xFF, else bytes up to the
// first 0xFF. The bytes go in below the `count` buffered bits with one OR; with no 0xFF among
// the 8 bytes loaded, the bits past the whole bytes taken are the stream's next bits, which
// the next refill ORs in again unchanged. True when more than 56 bits are buffered afterwards.
inline bool fillLeftAligned(std::uint64_t& bits, std::int32_t& count, const std::uint8_t*& pos)
{
    std::uint64_t word;
    std::memcpy(&word, pos, 8);
    word = __builtin_bswap64(word);
    const std::uint64_t inverted = ~word;
    if (((inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull) == 0) {
        bits |= word >> count;
        const int bytes = (63 - count) >> 3;
        count += bytes * 8;
        pos += bytes;
        return true;
    }
    while (count <= 56) {
        const std::uint8_t c = *pos;
        if (c == 0xFF) return false;
        ++pos;
        bits |= static_cast<std::uint64_t>(c) << (56 - count);
        count += 8;
    }
    return true;
}

// The bit reader held in registers and left-aligned (the next bit at the top), which keeps
// the chain from one table lookup to the next short: shr, load, shl. It refills only through
// the fast path (no marker pending, at least 8 bytes of input left, no 0xFF among the bytes
// taken); everything else is left to the general path, on the reader stored back.
struct RegisterBits {
    std::uint64_t bits;
    std::int32_t count;
    const std::uint8_t* pos;

    explicit RegisterBits(const InputReader& in) : bits(in.bits.leftAligned()), count(in.bits.count()), pos(in.pos) {}
    void storeTo(InputReader& in) const
    {
        in.bits.setLeftAligned(bits, count);
        in.pos = pos;
    }
    bool fillFast(const InputReader& in)
    {
        return in.pendingMarker == 0 && in.end - pos >= 8 && fillLeftAligned(bits, count, pos);
    }
    // At least 32 bits buffered: enough for any code and its value.
    bool ensure32(const InputReader& in) { return count >= 32 || fillFast(in); }
    std::uint32_t top(int n) const { return static_cast<std::uint32_t>(bits >> (64 - n)); }
    void drop(int n)
    {
        bits <<= n;
        count -= n;
    }
};

inline void fillBits(InputReader& in)
{
    if (in.bits.count() > 56) return;
    RegisterBits r(in);
    const bool filled = r.fillFast(in);
    r.storeTo(in);
    if (!filled) in.bits.fillSlow(in);
}

// One Huffman symbol, or -1 when a marker was reached.
inline int huffDecode(InputReader& in, const HuffTable& t)
{
    BitReader& b = in.bits;
    if (b.count() < 16) fillBits(in);
    if (b.count() >= 16) {
        const std::uint32_t e = t.look[b.peek(8)];
        if (e >> 8) {
            b.skip(static_cast<int>(e >> 8));
            return static_cast<int>(e & 0xFF);
        }
        return b.decodeLong(t);
    }
    return b.decodeNearMarker(t);
}

// Receives s bits (1..16); false when a marker was reached first.
inline bool getBits(InputReader& in, int s, std::uint32_t& v)
{
    if (in.bits.count() < s) {
        fillBits(in);
        if (in.bits.count() < s) return false;
    }
    v = in.bits.peek(s);
    in.bits.skip(s);
    return true;
}

// Receive and EXTEND.
inline bool receiveExtend(InputReader& in, int s, std::int32_t& value)
{
    std::uint32_t v;
    if (!getBits(in, s, v)) return false;
    value = extend(v, s);
    return true;
}

// The DC difference of a block through the lookahead table; false when the general path
// must decode it. Forced inline: as a call, the register reader goes through memory.
[[gnu::always_inline]] inline bool dcFromLookahead(RegisterBits& r, const InputReader& in, const HuffTable& dc,
                                                   std::int32_t& diff)
{
    if (!r.ensure32(in)) return false;
    const std::uint32_t e = dc.look[r.top(8)];
    if ((e >> 8) == 0) return false;
    r.drop(static_cast<int>(e >> 8));
    const int s = std::min(static_cast<int>(e & 0xFF), 16);
    diff = 0;
    if (s > 0) {
        diff = extend(r.top(s), s);
        r.drop(s);
    }
    return true;
}

} // namespace xtpjpeg
