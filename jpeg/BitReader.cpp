#include "jpeg/BitReader.h"

#include "jpeg/JpegInternal.h"

namespace xtpjpeg {

void BitReader::padZeros()
{
    while (count_ <= 56) {
        buffer_ <<= 8;
        count_ += 8;
    }
}

void BitReader::fail(int code)
{
    if (!error_) error_ = code;
    padZeros();
}

void BitReader::fillSlow(InputReader& in)
{
    if (error_) {
        padZeros();
        return;
    }
    while (count_ <= 56) {
        if (in.pendingMarker) return;
        if (in.pos >= in.end) {
            if (!in.fileInput) {
                padZeros();
                return;
            }
            if (count_ >= 25) return; // read on when the bits are needed
            if (refillInput(in) <= 0) {
                fail(JpegFileError);
                return;
            }
            continue;
        }
        const std::uint8_t c = *in.pos;
        if (c != 0xFF) {
            ++in.pos;
            buffer_ = (buffer_ << 8) | c;
            count_ += 8;
            continue;
        }
        if (in.end - in.pos < 2) {
            if (in.fileInput && count_ < 25) {
                if (refillInput(in) <= 0) {
                    fail(JpegFileError);
                    return;
                }
                continue;
            }
            if (count_ >= 25) return;
            fail(in.fileInput ? JpegFileError : JpegDataError);
            return;
        }
        const std::uint8_t next = in.pos[1];
        if (next == 0xFF) { // fill byte: skip it, the loop sees the next 0xFF
            ++in.pos;
            continue;
        }
        in.pos += 2;
        if (next == 0x00) {
            buffer_ = (buffer_ << 8) | 0xFF;
            count_ += 8;
            continue;
        }
        in.pendingMarker = next;
        return;
    }
}

int BitReader::valueOf(const HuffTable& t, int len, std::int32_t code)
{
    count_ -= len;
    const int idx = t.valptr[len] + code - t.mincode[len];
    return (idx >= 0 && idx < t.valueCount) ? t.values[idx] : 0;
}

int BitReader::decodeLong(const HuffTable& t)
{
    for (int len = 9; len <= 16; ++len) {
        const std::int32_t code = static_cast<std::int32_t>(peek(len));
        if (code <= t.maxcode[len]) return valueOf(t, len, code);
    }
    count_ -= 16;
    return 0;
}

int BitReader::decodeNearMarker(const HuffTable& t)
{
    if (count_ >= 8) {
        const std::uint32_t e = t.look[peek(8)];
        if (e >> 8) {
            count_ -= static_cast<int>(e >> 8);
            return static_cast<int>(e & 0xFF);
        }
    }
    // Bit by bit from length 1.
    for (int len = 1; len <= 16; ++len) {
        if (count_ < len) return kMarkerReached;
        const std::int32_t code = static_cast<std::int32_t>(peek(len));
        if (code <= t.maxcode[len]) return valueOf(t, len, code);
    }
    count_ -= 16;
    return 0;
}

bool BitReader::holdsCodeOf(const HuffTable& t) const
{
    if (count_ >= 16) return true;
    for (int len = 1; len <= count_; ++len)
        if (static_cast<std::int32_t>(peek(len)) <= t.maxcode[len]) return true;
    return false;
}

} // namespace xtpjpeg
