#include "jpeg/BitReader.h"

namespace xtpjpeg {

void resetBitReader(InputReader& in) {
  in.bitBuffer = 0;
  in.bitCount = 0;
  in.error = 0;
}

namespace {

inline void padZeros(InputReader& in) {
  while (in.bitCount <= 56) {
    in.bitBuffer <<= 8;
    in.bitCount += 8;
  }
}

inline void fail(InputReader& in, int code) {
  if (!in.error) in.error = code;
  padZeros(in);
}

}  // namespace

void fillBitsSlow(InputReader& in) {
  if (in.error) {
    padZeros(in);
    return;
  }
  while (in.bitCount <= 56) {
    if (in.pendingMarker) return;
    if (in.pos >= in.end) {
      if (!in.fileInput) {
        padZeros(in);
        return;
      }
      if (in.bitCount >= 25) return;  // read on when the bits are needed
      if (refillInput(in) <= 0) {
        fail(in, kErrFile);
        return;
      }
      continue;
    }
    const std::uint8_t c = *in.pos;
    if (c != 0xFF) {
      ++in.pos;
      in.bitBuffer = (in.bitBuffer << 8) | c;
      in.bitCount += 8;
      continue;
    }
    if (in.end - in.pos < 2) {
      if (in.fileInput && in.bitCount < 25) {
        if (refillInput(in) <= 0) {
          fail(in, kErrFile);
          return;
        }
        continue;
      }
      if (in.bitCount >= 25) return;
      fail(in, in.fileInput ? kErrFile : kErrData);
      return;
    }
    const std::uint8_t next = in.pos[1];
    if (next == 0xFF) {  // fill byte: skip it, the loop sees the next 0xFF
      ++in.pos;
      continue;
    }
    in.pos += 2;
    if (next == 0x00) {
      in.bitBuffer = (in.bitBuffer << 8) | 0xFF;
      in.bitCount += 8;
      continue;
    }
    in.pendingMarker = next;
    return;
  }
}

int huffSlow(InputReader& in, const HuffTable& t) {
  for (int len = 9; len <= 16; ++len) {
    const std::int32_t code = static_cast<std::int32_t>(peekBits(in, len));
    if (code <= t.maxcode[len]) {
      in.bitCount -= len;
      const int idx = t.valptr[len] + code - t.mincode[len];
      return (idx >= 0 && idx < t.valueCount) ? t.values[idx] : 0;
    }
  }
  in.bitCount -= 16;
  return 0;
}

int huffCareful(InputReader& in, const HuffTable& t) {
  if (in.bitCount >= 8) {
    const std::uint32_t e = t.look[peekBits(in, 8)];
    if (e >> 8) {
      in.bitCount -= static_cast<int>(e >> 8);
      return static_cast<int>(e & 0xFF);
    }
  }
  // Bit by bit from length 1.
  for (int len = 1; len <= 16; ++len) {
    if (in.bitCount < len) return -1;
    const std::int32_t code = static_cast<std::int32_t>(peekBits(in, len));
    if (code <= t.maxcode[len]) {
      in.bitCount -= len;
      const int idx = t.valptr[len] + code - t.mincode[len];
      return (idx >= 0 && idx < t.valueCount) ? t.values[idx] : 0;
    }
  }
  in.bitCount -= 16;
  return 0;
}

}  // namespace xtpjpeg
