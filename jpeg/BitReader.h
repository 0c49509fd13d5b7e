// The bit buffer of entropy-coded data (ITU-T T.81 F.2.2.5 with marker detection): up to 64
// bits taken from the input ahead of the decoder, their count, and the reader's sticky
// failure. The bytes come from the InputReader that holds it (RegisterBits.h decodes symbols
// through both).
#pragma once

#include "jpeg/HuffTable.h"

#include <cstdint>

namespace xtpjpeg {

struct InputReader;

class BitReader {
public:
    // Empty, without a failure: the start of a scan.
    void reset()
    {
        discard();
        error_ = 0;
    }
    // Drops the buffered bits: a restart boundary.
    void discard()
    {
        buffer_ = 0;
        count_ = 0;
    }
    std::int32_t count() const { return count_; }
    // The buffered bits, the next one at bit count() - 1.
    std::uint64_t buffered() const { return buffer_; }
    // The negative status of a failed refill, 0 while none failed.
    int error() const { return error_; }
    // The block decoders of the SIMD classes name a file read of no bytes otherwise.
    void renameError(int from, int to)
    {
        if (error_ == from) error_ = to;
    }
    // Back to bits recorded earlier (count() and buffered() of then), without a failure.
    void restore(std::uint64_t buffer, std::int32_t count)
    {
        buffer_ = buffer;
        count_ = count;
        error_ = 0;
    }

    // The bits with the next one at the top, and back from that form.
    std::uint64_t leftAligned() const { return count_ > 0 ? buffer_ << (64 - count_) : 0; }
    void setLeftAligned(std::uint64_t bits, std::int32_t count)
    {
        buffer_ = count > 0 ? bits >> (64 - count) : 0;
        count_ = count;
    }

    // The next n (1..16) bits, count() >= n.
    std::uint32_t peek(int n) const { return static_cast<std::uint32_t>(buffer_ >> (count_ - n)) & ((1u << n) - 1); }
    void skip(int n) { count_ -= n; }
    // Whether every buffered bit is a zero.
    bool onlyZerosLeft() const
    {
        return count_ <= 0 || (count_ < 64 && (buffer_ & ((std::uint64_t{1} << count_) - 1)) == 0);
    }
    // Whether a code of `t` is a prefix of the buffered bits (16 or more bits always hold one).
    bool holdsCodeOf(const HuffTable& t) const;

    // Fills from `in` greedily up to 57 bits or more, stopping at a marker (latched as
    // pending). Exhausted buffer input supplies zero bits. The failures (-21 for buffer input
    // ending right after an 0xFF, -23 for a file read of no bytes) are raised only when fewer
    // than 25 bits are buffered, that is, exactly when a reader that refills below 25 bits
    // would have raised them.
    void fillSlow(InputReader& in);
    // Huffman decode with at least 16 bits buffered, the code longer than 8 bits (T.81
    // F.2.2.3 from length 9); a code that reaches length 17 yields 0.
    int decodeLong(const HuffTable& t);
    // Huffman decode with fewer than 16 bits buffered and a marker pending: kMarkerReached
    // when the code needs more bits than remain.
    static constexpr int kMarkerReached = -1;
    int decodeNearMarker(const HuffTable& t);

private:
    void padZeros();
    void fail(int code);
    // The value of the code of length `len` at the top of the buffer, which is taken.
    int valueOf(const HuffTable& t, int len, std::int32_t code);

    std::uint64_t buffer_ = 0;
    std::int32_t count_ = 0;
    int error_ = 0;
};

} // namespace xtpjpeg
