// Entropy decoding: the bit reader, Huffman tables and symbol decoding,
// sequential and progressive scans with restart handling, and progressive rendering.
#include "jpeg/JpegInternal.h"
#include "jpeg/RegionIndex.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xtpjpeg {

const std::uint8_t kZigzagToNatural[80] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
    // Past the end: never stored (the decoders stop at position 63).
    63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

namespace {

// EXTEND (T.81 F.2.2.1) of s received bits.
inline std::int32_t extend(std::uint32_t v, int s) {
  return v < (1u << (s - 1)) ? static_cast<std::int32_t>(v) - (1 << s) + 1 : static_cast<std::int32_t>(v);
}

}  // namespace

// ---- Huffman tables --------------------------------------------------------------------

int buildHuffTable(HuffTable& t, const std::uint8_t counts[16], const std::uint8_t* values) {
  int total = 0;
  for (int i = 0; i < 16; ++i) total += counts[i];
  if (total > 257) return kErrHuffman;
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
    if (code >= (1u << si)) return kErrHuffman;
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
    for (int v = first; v < last; ++v)
      t.look[v] = static_cast<std::uint16_t>((len << 8) | t.values[i]);
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
    // size 0 ends the block, as a run past coefficient 63 does.
    if (size == 0 && run != 15) run = 64;
    const int freeBits = kFast - len - size;
    for (int bits = 0; bits < (1 << size); ++bits) {
      const int value = size == 0 ? 0 : extend(static_cast<std::uint32_t>(bits), size);
      const int base = ((codes[i] << size) | bits) << freeBits;
      const std::int32_t entry = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) << 16) |
                                 (run << 8) | (len + size);
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
  t.defined = true;
  return kOk;
}

// ---- Bit reader --------------------------------------------------------------------------

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

// Fills the bit buffer with entropy-coded bytes (T.81 F.2.2.5): greedily up to 57 bits or
// more, stopping at a marker (latched as pending). Exhausted buffer input supplies zero
// bits. The reader's failures (-21 for buffer input ending right after an 0xFF, -23
// for a file read of no bytes) are raised only when fewer than 25 bits are buffered, that
// is, exactly when a reader that refills below 25 bits would have raised them.
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

// Fast path of the fill, for input with at least 8 bytes left and no marker pending, on a
// left-aligned bit buffer (the next bit at the top): loads 8 bytes at once and takes as many
// whole bytes as fit (count ends in 57..63) when none of them is 0xFF, else bytes up to the
// first 0xFF. The bytes go in below the `count` buffered bits with one OR; with no 0xFF among
// the 8 bytes loaded, the bits past the whole bytes taken are the stream's next bits, which
// the next refill ORs in again unchanged. True when more than 56 bits are buffered afterwards.
inline bool fillLeftAligned(std::uint64_t& bits, std::int32_t& count, const std::uint8_t*& pos) {
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

  explicit RegisterBits(const InputReader& in)
      : bits(in.bitCount > 0 ? in.bitBuffer << (64 - in.bitCount) : 0), count(in.bitCount), pos(in.pos) {}
  void storeTo(InputReader& in) const {
    in.bitBuffer = count > 0 ? bits >> (64 - count) : 0;
    in.bitCount = count;
    in.pos = pos;
  }
  bool fillFast(const InputReader& in) {
    return in.pendingMarker == 0 && in.end - pos >= 8 && fillLeftAligned(bits, count, pos);
  }
  // At least 32 bits buffered: enough for any code and its value.
  bool ensure32(const InputReader& in) { return count >= 32 || fillFast(in); }
  std::uint32_t top(int n) const { return static_cast<std::uint32_t>(bits >> (64 - n)); }
  void drop(int n) {
    bits <<= n;
    count -= n;
  }
};

inline void fillBits(InputReader& in) {
  if (in.bitCount > 56) return;
  RegisterBits r(in);
  const bool filled = r.fillFast(in);
  r.storeTo(in);
  if (!filled) fillBitsSlow(in);
}

inline std::uint32_t peekBits(const InputReader& in, int n) {
  return static_cast<std::uint32_t>(in.bitBuffer >> (in.bitCount - n)) & ((1u << n) - 1);
}

// Huffman decode with at least 16 bits buffered, the code longer than 8 bits (T.81
// F.2.2.3 from length 9); a code that reaches length 17 yields 0.
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

// Huffman decode with fewer than 16 bits buffered and a marker pending: -1 when the code
// needs more bits than remain ("a marker was reached").
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

// One Huffman symbol, or -1 when a marker was reached.
inline int huffDecode(InputReader& in, const HuffTable& t) {
  if (in.bitCount < 16) fillBits(in);
  if (in.bitCount >= 16) {
    const std::uint32_t e = t.look[peekBits(in, 8)];
    if (e >> 8) {
      in.bitCount -= static_cast<int>(e >> 8);
      return static_cast<int>(e & 0xFF);
    }
    return huffSlow(in, t);
  }
  return huffCareful(in, t);
}

// Receives s bits (1..16); false when a marker was reached first.
inline bool getBits(InputReader& in, int s, std::uint32_t& v) {
  if (in.bitCount < s) {
    fillBits(in);
    if (in.bitCount < s) return false;
  }
  v = peekBits(in, s);
  in.bitCount -= s;
  return true;
}

// Receive and EXTEND.
inline bool receiveExtend(InputReader& in, int s, std::int32_t& value) {
  std::uint32_t v;
  if (!getBits(in, s, v)) return false;
  value = extend(v, s);
  return true;
}

// ---- Sequential blocks ------------------------------------------------------------------

// The two dequantisers of one value, as the block routines compute them.
struct DequantOne1 {
  std::int16_t operator()(std::int16_t c, std::int16_t q) const {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(
        static_cast<std::uint32_t>(static_cast<std::int32_t>(c)) * static_cast<std::uint16_t>(q)));
  }
};
struct DequantOne0 {
  std::int16_t operator()(std::int16_t c, std::int16_t q) const {
    const std::int64_t product = static_cast<std::int64_t>(c) * static_cast<std::uint16_t>(q) + 64;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint64_t>(product >> 7)));
  }
};

// The identity: coefficients stored as decoded, dequantised afterwards.
struct KeepCoefficient {
  std::int16_t operator()(std::int16_t c, std::int16_t) const { return c; }
};

struct ClearBlock {
  void operator()(std::int16_t* blk) const { std::memset(blk, 0, 64 * sizeof(std::int16_t)); }
};

// Coefficient k (zigzag order) at its natural place, dequantised.
template <class Dequant>
inline void storeCoefficient(std::int16_t* blk, const std::int16_t* q, int k, std::int32_t v, Dequant dq) {
  const int at = kZigzagToNatural[k];
  blk[at] = dq(static_cast<std::int16_t>(v), q[at]);
}

// The AC symbols of a block from zigzag index k on that the combined lookups decide. Returns
// the next index, 64 or more when the block has ended, or stops early at a symbol the general
// path must decode. Without Ac pairs of symbols are passed over, storing nothing.
template <bool Ac, class Dequant>
inline int decodeAcRun(RegisterBits& r, const InputReader& in, const HuffTable& ac, int k, std::int16_t* blk,
                       const std::int16_t* q, Dequant dq) {
  constexpr int kFast = HuffTable::kFastAcBits;
  while (k < 64 && r.ensure32(in)) {
    const std::uint32_t index = r.top(kFast);
    if (!Ac) {
      const std::int32_t pass = ac.skipAc[index];
      if (pass == 0) break;
      // A first symbol that reaches or passes coefficient 63 ends the block and leaves the
      // bits after it to the next block.
      if (k + ((pass >> 16) & 0xFF) > 63) {
        r.drop(pass >> 24);
        return 64;
      }
      r.drop(pass & 0xFF);
      k += (pass >> 8) & 0xFF;
      continue;
    }
    const std::int32_t fast = ac.fastAc[index];
    if (fast == 0) break;
    r.drop(fast & 0xFF);
    k += (fast >> 8) & 0xFF;
    if (k > 63) break;
    storeCoefficient(blk, q, k, fast >> 16, dq);
    ++k;
  }
  return k;
}

// The DC difference of a block through the lookahead table; false when the general path
// must decode it. Forced inline: as a call, the register reader goes through memory.
[[gnu::always_inline]] inline bool dcFromLookahead(RegisterBits& r, const InputReader& in, const HuffTable& dc, std::int32_t& diff) {
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

// One AC symbol the combined lookups do not decide (a long code or value, few bits left,
// a marker near): stores its coefficient and returns the next zigzag index, 64 or more
// when the block has ended.
template <bool Ac, class Dequant>
int decodeAcSymbol(InputReader& in, const HuffTable& ac, int k, std::int16_t* blk, const std::int16_t* q,
                   Dequant dq) {
  if (in.bitCount < 32) fillBits(in);
  if (in.bitCount >= 32) {
    // Enough bits for any code (16) and any value (15): the combined lookup needs no checks.
    const std::int32_t fast = ac.fastAc[peekBits(in, HuffTable::kFastAcBits)];
    if (fast != 0) {
      in.bitCount -= fast & 0xFF;
      k += (fast >> 8) & 0xFF;
      if (k > 63) return 64;
      if (Ac) storeCoefficient(blk, q, k, fast >> 16, dq);
      return k + 1;
    }
  }
  const int rs = huffDecode(in, ac);
  if (rs < 0) return 64;
  const int s = rs & 15;
  if (s == 0) return (rs >> 4) == 15 ? k + 16 : 64;  // ZRL, or end of block
  k += rs >> 4;
  std::int32_t v;
  if (!receiveExtend(in, s, v)) return 64;
  if (k > 63) return 64;  // a run past coefficient 63 ends the block
  if (Ac) storeCoefficient(blk, q, k, v, dq);
  return k + 1;
}

// One 8x8 block (T.81 F.2.2): coefficients in natural order, dequantised as they are
// stored (dequantisation of a zero coefficient gives zero in both families, so this equals
// clearing, decoding, then dequantising the block). `dq` is the dequantiser of one value,
// `clear` clears the block. Without Ac the AC coefficients are decoded but neither stored
// nor cleared, for blocks of which only the DC coefficient is used (1/8-scale reads).
template <bool Ac, class Dequant, class Clear>
inline void decodeBlockSequential(InputReader& in, const HuffTable& dc, const HuffTable& ac,
                                  std::int16_t& pred, std::int16_t* blk, const std::int16_t* q, Dequant dq,
                                  Clear clear) {
  if (Ac) clear(blk);
  RegisterBits r(in);
  std::int32_t diff = 0;
  if (!dcFromLookahead(r, in, dc, diff)) {
    r.storeTo(in);
    int s = huffDecode(in, dc);
    if (s < 0) return;
    if (s > 0 && !receiveExtend(in, std::min(s, 16), diff)) return;
    r = RegisterBits(in);
  }
  pred = static_cast<std::int16_t>(static_cast<std::uint16_t>(pred + diff));
  blk[0] = dq(pred, q[0]);
  int k = 1;
  while (true) {
    k = decodeAcRun<Ac>(r, in, ac, k, blk, q, dq);
    r.storeTo(in);
    if (k > 63) return;
    k = decodeAcSymbol<Ac>(in, ac, k, blk, q, dq);
    if (k > 63) return;
    r = RegisterBits(in);
  }
}

// ---- Block decoders by processor class --------------------------------------------------

template <class Dequant, bool Ac>
void decodeBlockPlain(InputReader& in, const HuffTable& dc, const HuffTable& ac, std::int16_t& pred,
                      std::int16_t* blk, const std::int16_t* q) {
  decodeBlockSequential<Ac>(in, dc, ac, pred, blk, q, Dequant{}, ClearBlock{});
}

#if defined(__SSE2__)
// Eight stores written out: as a loop, GCC turns them into a memset, which it expands to
// rep stos, several times slower for 128 bytes.
struct ClearBlockSse2 {
  void operator()(std::int16_t* blk) const {
    const __m128i zero = _mm_setzero_si128();
    __m128i* b = reinterpret_cast<__m128i*>(blk);
    _mm_storeu_si128(b + 0, zero);
    _mm_storeu_si128(b + 1, zero);
    _mm_storeu_si128(b + 2, zero);
    _mm_storeu_si128(b + 3, zero);
    _mm_storeu_si128(b + 4, zero);
    _mm_storeu_si128(b + 5, zero);
    _mm_storeu_si128(b + 6, zero);
    _mm_storeu_si128(b + 7, zero);
  }
};

// The block decoders of the SIMD classes answer a file read of no bytes inside the block
// with "Error EOF" rather than the bit reader's "File error".
inline void reportEofAsErrorEof(InputReader& in, bool hadError) {
  if (!hadError && in.error == kErrFile) in.error = kErrEof;
}

// Variant A (class 3): the coefficients as decoded, then the whole block dequantised by
// the family's block routine (a DC-only block: its DC alone).
template <int Family, bool Ac>
void decodeBlockVariantA(InputReader& in, const HuffTable& dc, const HuffTable& ac, std::int16_t& pred,
                         std::int16_t* blk, const std::int16_t* q) {
  const bool hadError = in.error != 0;
  if (Ac) {
    decodeBlockSequential<true>(in, dc, ac, pred, blk, q, KeepCoefficient{}, ClearBlockSse2{});
    if (Family == 1)
      dequantType1Sse2(blk, q);
    else
      dequantType0(blk, q);
  } else if (Family == 1) {
    decodeBlockSequential<false>(in, dc, ac, pred, blk, q, DequantOne1{}, ClearBlockSse2{});
  } else {
    decodeBlockSequential<false>(in, dc, ac, pred, blk, q, DequantOne0{}, ClearBlockSse2{});
  }
  reportEofAsErrorEof(in, hadError);
}

// Variant B (classes 4 to 6): dequantised while decoded.
template <class Dequant, bool Ac>
void decodeBlockVariantB(InputReader& in, const HuffTable& dc, const HuffTable& ac, std::int16_t& pred,
                         std::int16_t* blk, const std::int16_t* q) {
  const bool hadError = in.error != 0;
  decodeBlockSequential<Ac>(in, dc, ac, pred, blk, q, Dequant{}, ClearBlockSse2{});
  reportEofAsErrorEof(in, hadError);
}
#endif

// The block skip decoder of region reads: reads one sequential block's symbols and bits
// as the DC-only block decoders do and keeps the DC predictor, storing nothing.
void skipBlockSequential(InputReader& in, const HuffTable& dc, const HuffTable& ac, std::int16_t& pred) {
  static constexpr std::int16_t kUnitQuant[1] = {1};
  std::int16_t dcValue[1];
  decodeBlockSequential<false>(in, dc, ac, pred, dcValue, kUnitQuant, DequantOne1{}, ClearBlock{});
}

}  // namespace

void fillBlockDecoders(RoutineTable& t, int cpuClass) {
  t.blockSkipDecoder = skipBlockSequential;
  t.blockDecoder[0][0] = decodeBlockPlain<DequantOne0, true>;
  t.blockDecoder[0][1] = decodeBlockPlain<DequantOne0, false>;
  t.blockDecoder[1][0] = decodeBlockPlain<DequantOne1, true>;
  t.blockDecoder[1][1] = decodeBlockPlain<DequantOne1, false>;
#if defined(__SSE2__)
  if (cpuClass == 3) {
    t.blockDecoder[0][0] = decodeBlockVariantA<0, true>;
    t.blockDecoder[0][1] = decodeBlockVariantA<0, false>;
    t.blockDecoder[1][0] = decodeBlockVariantA<1, true>;
    t.blockDecoder[1][1] = decodeBlockVariantA<1, false>;
  } else if (cpuClass >= 4) {
    t.blockDecoder[0][0] = decodeBlockVariantB<DequantOne0, true>;
    t.blockDecoder[0][1] = decodeBlockVariantB<DequantOne0, false>;
    t.blockDecoder[1][0] = decodeBlockVariantB<DequantOne1, true>;
    t.blockDecoder[1][1] = decodeBlockVariantB<DequantOne1, false>;
  }
#else
  (void)cpuClass;
#endif
}

namespace {

// ---- Progressive blocks (T.81 G.1.2) ------------------------------------------------------

inline std::int16_t shl16(std::int32_t v, int al) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) << al));
}

// The progressive block decoders answer whether they changed the block (a marker reached
// inside a block ends it as decoded so far). `mask` is the block's AC mask.
bool decodeDcFirst(InputReader& in, const HuffTable& dc, std::int16_t& pred, std::int16_t* coef, int al) {
  int s = huffDecode(in, dc);
  if (s < 0) return false;
  std::int32_t diff = 0;
  if (s > 0) {
    if (s > 16) s = 16;
    if (!receiveExtend(in, s, diff)) return false;
  }
  pred = static_cast<std::int16_t>(static_cast<std::uint16_t>(pred + diff));
  const std::int16_t old = coef[0];
  coef[0] = shl16(pred, al);
  return coef[0] != old;
}

bool decodeDcRefine(InputReader& in, std::int16_t* coef, int al) {
  std::uint32_t bit;
  if (!getBits(in, 1, bit) || !bit) return false;
  const std::int16_t old = coef[0];
  coef[0] = static_cast<std::int16_t>(static_cast<std::uint16_t>(coef[0]) | (1u << al));
  return coef[0] != old;
}

inline void storeAc(std::int16_t* coef, std::uint64_t& mask, int k, std::int16_t v) {
  coef[kZigzagToNatural[k]] = v;
  if (v != 0) mask |= std::uint64_t{1} << k;
}

bool decodeAcFirst(InputReader& in, const HuffTable& ac, std::uint32_t& eobrun, std::int16_t* coef,
                   std::uint64_t& mask, int ss, int se, int al) {
  if (eobrun > 0) {
    --eobrun;
    return false;
  }
  bool changed = false;
  for (int k = ss; k <= se; ++k) {
    const int rs = huffDecode(in, ac);
    if (rs < 0) return changed;
    const int r = rs >> 4;
    const int s = rs & 15;
    if (s) {
      k += r;
      std::int32_t v;
      if (!receiveExtend(in, s, v)) return changed;
      if (k > 63) return changed;
      const std::int16_t value = shl16(v, al);
      changed = changed || value != coef[kZigzagToNatural[k]];
      storeAc(coef, mask, k, value);
    } else if (r == 15) {
      k += 15;
    } else {
      eobrun = 1u << r;
      if (r) {
        std::uint32_t extra;
        if (!getBits(in, r, extra)) return changed;
        eobrun += extra;
      }
      --eobrun;
      return changed;
    }
  }
  return changed;
}

// Refines one nonzero coefficient with a correction bit; false when a marker was reached.
inline bool refineCoef(InputReader& in, std::int16_t& c, std::int32_t p1, bool& changed) {
  std::uint32_t bit;
  if (!getBits(in, 1, bit)) return false;
  if (bit && (c & p1) == 0) {
    const std::int32_t v = c >= 0 ? c + p1 : c - p1;
    c = static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(v)));
    changed = true;
  }
  return true;
}

// The zigzag positions ss..se as a mask.
inline std::uint64_t bandMask(int ss, int se) {
  const std::uint64_t upTo = se >= 63 ? ~std::uint64_t{0} : (std::uint64_t{1} << (se + 1)) - 1;
  return upTo & ~((std::uint64_t{1} << ss) - 1);
}

bool decodeAcRefine(InputReader& in, const HuffTable& ac, std::uint32_t& eobrun, std::int16_t* coef,
                    std::uint64_t& mask, int ss, int se, int al) {
  const std::int32_t p1 = static_cast<std::int32_t>(1u << al);  // al <= 15
  bool changed = false;
  int k = ss;
  if (eobrun == 0) {
    for (; k <= se; ++k) {
      const int rs = huffDecode(in, ac);
      if (rs < 0) return changed;
      int r = rs >> 4;
      const int s = rs & 15;
      std::int32_t newValue = 0;
      if (s) {
        std::uint32_t bit;
        if (!getBits(in, 1, bit)) return changed;
        newValue = bit ? p1 : -p1;
      } else if (r != 15) {
        eobrun = 1u << r;
        if (r) {
          std::uint32_t extra;
          if (!getBits(in, r, extra)) return changed;
          eobrun += extra;
        }
        break;  // the rest of the band is handled as an end-of-band run
      }
      // Advance over already-nonzero coefficients (refining them) and r zero ones.
      while (k <= se) {
        std::int16_t& c = coef[kZigzagToNatural[k]];
        if (c != 0) {
          if (!refineCoef(in, c, p1, changed)) return changed;
        } else {
          if (r == 0) break;
          --r;
        }
        ++k;
      }
      if (newValue != 0 && k <= se && k <= 63) {
        storeAc(coef, mask, k, static_cast<std::int16_t>(newValue));
        changed = true;
      }
    }
  }
  if (eobrun > 0) {
    // Only the nonzero coefficients of the rest of the band take a correction bit.
    for (std::uint64_t left = k <= se ? mask & bandMask(k, se) : 0; left; left &= left - 1) {
      std::int16_t& c = coef[kZigzagToNatural[std::countr_zero(left)]];
      if (c != 0 && !refineCoef(in, c, p1, changed)) return changed;
    }
    --eobrun;
  }
  return changed;
}

// ---- Scans ------------------------------------------------------------------------------

// Restart check after an MCU: false and `code` set when the marker cannot be read.
bool restartCheck(JpegDecoderState& s, std::int64_t mcuNumber, std::int64_t totalMcus, int& code) {
  Scan& scan = s.scan;
  const std::int32_t r = scan.restartInterval;
  if (r == 0 || mcuNumber % r != 0 || mcuNumber == totalMcus) return true;
  for (int i = 0; i < scan.ns; ++i) scan.comp[i].pred = 0;
  scan.eobrun = 0;
  InputReader& in = s.input;
  in.bitCount = 0;
  in.bitBuffer = 0;
  if (in.error) {
    code = in.error;
    return false;
  }
  int marker;
  const int rc = nextMarker(in, marker);  // returns the pending marker if one was latched
  if (rc != kOk) {
    code = rc;
    return false;
  }
  return true;
}

void selectTransforms(JPEG_PROPERTIES& p, JpegDecoderState& s) {
  RoutineTable& rt = *s.routines;
  const int family = p.dctType == 0 ? 0 : 1;
  for (int i = 0; i < 4; ++i) rt.currentIdct[i] = rt.idct[family][i];
  rt.currentDequant = rt.dequant[family];
  const std::uint32_t type = family;
  for (int q = 0; q < 4; ++q) {
    if (s.quantPreparedType[q] != type) {
      prepareQuantTable(s.quant[q].natural, type, s.quantPrepared[q]);
      s.quantPreparedType[q] = type;
    }
  }
}

// Whether the scan holds every frame component exactly once (then its MCUs are whole
// frame MCUs handed to the MCU output routine).
bool scanCoversFrame(const JpegDecoderState& s) {
  if (s.scan.ns != s.frame.componentCount) return false;
  std::uint32_t seen = 0;
  for (int i = 0; i < s.scan.ns; ++i) seen |= 1u << s.scan.comp[i].frameIndex;
  return seen == (1u << s.frame.componentCount) - 1;
}

// The scan's MCU grid: a single-component scan walks that component's blocks
// (T.81 A.2.2), an interleaved one the frame's MCUs.
void scanMcuGrid(const Scan& scan, const Frame& f, std::int32_t& mcusX, std::int32_t& mcusY) {
  if (scan.ns == 1) {
    const FrameComponent& fc = f.comp[scan.comp[0].frameIndex];
    mcusX = fc.widthInBlocks;
    mcusY = fc.heightInBlocks;
  } else {
    mcusX = f.mcusAcross;
    mcusY = f.mcusDown;
  }
}

// The MCUs of a scan, in the scan's own grid, whose decoding reaches the output: those of
// the frame MCUs inside the region, or without a region the frame MCUs the output shows.
// x0 <= x < x1, y0 <= y < y1; all zero when there are none.
struct ScanWindow {
  std::int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

ScanWindow scanWindow(const JpegDecoderState& s, std::int32_t mcusX, std::int32_t mcusY) {
  ScanWindow w;
  if (s.region.active()) {
    w = {s.region.mcuX0, s.region.mcuY0, s.region.mcuX1, s.region.mcuY1};
  } else {
    w.x1 = (s.out.width + s.outMcuWidth - 1) / s.outMcuWidth;
    w.y1 = (s.out.height + s.outMcuHeight - 1) / s.outMcuHeight;
  }
  if (s.scan.ns == 1) {
    const FrameComponent& fc = s.frame.comp[s.scan.comp[0].frameIndex];
    w.x0 *= fc.h;
    w.x1 *= fc.h;
    w.y0 *= fc.v;
    w.y1 *= fc.v;
  }
  w.x1 = std::min(w.x1, mcusX);
  w.y1 = std::min(w.y1, mcusY);
  if (w.x0 >= w.x1 || w.y0 >= w.y1) return ScanWindow{};
  return w;
}

inline bool inWindow(const ScanWindow& w, std::int32_t mx, std::int32_t my) {
  return mx >= w.x0 && mx < w.x1 && my >= w.y0 && my < w.y1;
}

// The 1-based number of the first window MCU after (mx, my); 0 when there is none.
std::int64_t nextWindowNumber(const ScanWindow& w, std::int32_t mx, std::int32_t my, std::int32_t mcusX) {
  if (w.x1 == 0) return 0;
  std::int32_t x = mx + 1, y = my;
  if (x >= mcusX) {
    x = 0;
    ++y;
  }
  if (y < w.y0) {
    y = w.y0;
    x = w.x0;
  } else if (x < w.x0) {
    x = w.x0;
  } else if (x >= w.x1) {
    ++y;
    x = w.x0;
  }
  if (y >= w.y1) return 0;
  return static_cast<std::int64_t>(y) * mcusX + x + 1;
}

// The 1-based number of the window's last MCU; 0 for an empty window.
inline std::int64_t windowEnd(const ScanWindow& w, std::int32_t mcusX) {
  return w.x1 == 0 ? 0 : static_cast<std::int64_t>(w.y1 - 1) * mcusX + w.x1;
}

// The frame MCU that holds scan MCU (mx, my).
inline void frameMcuOf(const JpegDecoderState& s, std::int32_t mx, std::int32_t my, std::int32_t& fx,
                       std::int32_t& fy) {
  if (s.scan.ns == 1) {
    const FrameComponent& fc = s.frame.comp[s.scan.comp[0].frameIndex];
    fx = mx / fc.h;
    fy = my / fc.v;
  } else {
    fx = mx;
    fy = my;
  }
}

// Whether scan MCU (mx, my) is the last of its frame MCU that the scan decodes.
inline bool completesFrameMcu(const JpegDecoderState& s, std::int32_t mx, std::int32_t my) {
  if (s.scan.ns != 1) return true;
  const FrameComponent& fc = s.frame.comp[s.scan.comp[0].frameIndex];
  return (mx % fc.h == fc.h - 1 || mx == fc.widthInBlocks - 1) &&
         (my % fc.v == fc.v - 1 || my == fc.heightInBlocks - 1);
}

inline void saveNextPosition(Scan& scan, std::int32_t mx, std::int32_t my, std::int32_t mcusX) {
  if (mx + 1 < mcusX) {
    scan.mcuX = mx + 1;
    scan.mcuY = my;
  } else {
    scan.mcuX = 0;
    scan.mcuY = my + 1;
  }
}

inline void endScan(Scan& scan, std::int32_t mcusY) {
  scan.mcuX = 0;
  scan.mcuY = mcusY;
}

// Buffer input without a byte or a marker left: every further MCU decodes zero bits.
inline bool inputExhausted(const InputReader& in) {
  return !in.fileInput && in.pos >= in.end && in.pendingMarker == 0 && in.error == 0;
}

// How a scan ends after MCU `number` once its input is exhausted and none of its later MCUs
// reaches the output: what decoding them would have come to. A restart boundary up to
// `last` (not the scan's final MCU) fails to find its marker; without one the scan runs to
// its end, where the marker search after it reports the end of the buffer.
int finishExhaustedScan(Scan& scan, std::int64_t number, std::int64_t last, std::int64_t total,
                        std::int32_t mcusY, int restartFailure) {
  const std::int32_t r = scan.restartInterval;
  if (r > 0) {
    const std::int64_t next = (number / r + 1) * r;
    if (next <= last && next != total) return restartFailure;
  }
  endScan(scan, mcusY);
  return kOk;
}

// Stops the scan after MCU (mx, my) at the caller's request: the next position is kept in
// the scan record and roi reports the frame MCU just decoded (column in left and right,
// row in top and bottom).
int interruptScan(JPEG_PROPERTIES& p, JpegDecoderState& s, std::int32_t mx, std::int32_t my,
                  std::int32_t mcusX) {
  saveNextPosition(s.scan, mx, my, mcusX);
  std::int32_t fx, fy;
  frameMcuOf(s, mx, my, fx, fy);
  p.roi[0] = p.roi[2] = fx;
  p.roi[1] = p.roi[3] = fy;
  return kInterrupted;
}

constexpr int kGoOn = 100;  // the scan goes on
constexpr int kJump = 101;  // the scan goes on at the position saved in the scan record

// Whether a code of `t` is a prefix of the buffered bits (16 or more bits always hold one).
bool codeBuffered(const InputReader& in, const HuffTable& t) {
  if (in.bitCount >= 16) return true;
  for (int len = 1; len <= in.bitCount; ++len)
    if (static_cast<std::int32_t>(peekBits(in, len)) <= t.maxcode[len]) return true;
  return false;
}

// Whether the scan's decoding has stalled at a latched marker: no code of the tables its
// blocks start with fits the bits left (a sequential block that cannot decode its DC code
// ends there; a progressive block tries its AC band too), and a refinement scan, which
// reads single bits, has none left. Until the marker is taken, at the next restart
// boundary or after the scan, every block decodes nothing: coefficients and DC predictors
// stay as they are.
bool decodingStalled(const JpegDecoderState& s) {
  const InputReader& in = s.input;
  if (!in.pendingMarker || in.error) return false;
  if (in.bitCount == 0) return true;
  const Scan& scan = s.scan;
  if (scan.progressive && scan.ah > 0) return false;
  const bool dc = !scan.progressive || scan.ss == 0;
  const bool ac = scan.progressive && scan.se >= std::max(scan.ss, 1);
  for (int i = 0; i < scan.ns; ++i) {
    if ((dc && codeBuffered(in, *scan.comp[i].dc)) || (ac && codeBuffered(in, *scan.comp[i].ac))) return false;
  }
  return true;
}

// Where a scan stands after its MCU (mx, my), restart handling done: a region read stops
// after the window's last MCU (the read is complete when the scan held the whole frame, a
// sequential one; otherwise the scan ends there and later scans follow); an interrupted
// read stops after any MCU but the scan's last (in a region read, after those that reach the
// output); a scan whose input is exhausted stops once no MCU that reaches the output is left.
// `output` is the window whose MCUs reach the output.
struct ScanPlace {
  std::int32_t mcusX, mcusY;
  std::int64_t total;
  ScanWindow window;  // MCUs decoded in full
  ScanWindow output;  // MCUs that write pixels
  ScanWindow stalledOutput;  // those of them that write even when their blocks decode nothing
  bool completesRead;
  int restartFailure;
};

// Passes over the MCUs after MCU `number` that a stalled scan would decode to no effect:
// up to the next restart boundary (whose marker is then taken), the next MCU that reaches
// the output, the last MCU of a region's window, or the end of the scan, whichever comes
// first.
int passStalledMcus(JpegDecoderState& s, const ScanPlace& sp, std::int64_t number, std::int64_t nextOutput) {
  Scan& scan = s.scan;
  const std::int32_t r = scan.restartInterval;
  const std::int64_t boundary = r > 0 ? (number / r + 1) * r : 0;
  std::int64_t to = sp.total;
  if (boundary > 0 && boundary < sp.total) to = boundary;
  if (nextOutput > 0) to = std::min(to, nextOutput - 1);
  if (s.region.active()) to = std::min(to, windowEnd(sp.window, sp.mcusX) - 1);
  if (to <= number) return kGoOn;
  if (to == sp.total) {
    endScan(scan, sp.mcusY);
    return kOk;
  }
  int code = kOk;
  if (to == boundary && !restartCheck(s, boundary, sp.total, code)) return sp.restartFailure;
  scan.mcuX = static_cast<std::int32_t>(to % sp.mcusX);
  scan.mcuY = static_cast<std::int32_t>(to / sp.mcusX);
  return kJump;
}

// Whether every buffered bit is a zero (exhausted buffer input then supplies only zeros).
inline bool onlyZeroBitsLeft(const InputReader& in) {
  return in.bitCount <= 0 || (in.bitCount < 64 && (in.bitBuffer & ((std::uint64_t{1} << in.bitCount) - 1)) == 0);
}

// Passes over the MCUs of a sequential scan that decode nothing but zero bits up to the
// next MCU that reaches the output (outside the output they matter only through the DC
// predictors, and every block of a component adds the same difference, that of its DC
// table's all-zero code, to its predictor); a restart boundary on the way fails as it would
// have.
int passZeroBitMcus(JpegDecoderState& s, const ScanPlace& sp, std::int64_t number, std::int64_t nextOutput) {
  Scan& scan = s.scan;
  const std::int64_t to = nextOutput - 1;
  if (nextOutput == 0 || to <= number) return kGoOn;
  const std::int32_t r = scan.restartInterval;
  if (r > 0) {
    const std::int64_t boundary = (number / r + 1) * r;
    if (boundary <= to && boundary != sp.total) return sp.restartFailure;
  }
  const std::uint64_t skipped = static_cast<std::uint64_t>(to - number);
  for (int i = 0; i < scan.ns; ++i) {
    ScanComponent& sc = scan.comp[i];
    InputReader zeros;  // exhausted buffer input: nothing but zero bits
    std::int16_t difference = 0;
    s.routines->blockSkipDecoder(zeros, *sc.dc, *sc.ac, difference);
    const std::uint64_t blocks = skipped * static_cast<std::uint64_t>(scan.ns == 1 ? 1 : sc.h * sc.v);
    sc.pred = static_cast<std::int16_t>(static_cast<std::uint16_t>(
        static_cast<std::uint64_t>(static_cast<std::uint16_t>(sc.pred)) +
        blocks * static_cast<std::uint16_t>(difference)));
  }
  scan.mcuX = static_cast<std::int32_t>(to % sp.mcusX);
  scan.mcuY = static_cast<std::int32_t>(to / sp.mcusX);
  return kJump;
}

// Passes over the rest of the entropy data of a scan that a region read ends early, to the
// marker after it (latched as pending). The data is not decoded, but input that ends
// right after an 0xFF inside it fails as the bit reader would have failed on it.
int passRestOfScan(InputReader& in) {
  if (in.pendingMarker || in.error) return in.error;
  int marker;
  const int rc = nextMarker(in, marker);
  if (rc != kOk) return rc;
  if (marker == kMarkerEndOfInput) return in.fileInput ? kErrFile : kErrData;
  in.pendingMarker = marker;
  return kOk;
}

int mcuOutcome(JPEG_PROPERTIES& p, JpegDecoderState& s, const ScanPlace& sp, std::int32_t mx, std::int32_t my) {
  Scan& scan = s.scan;
  const std::int64_t number = static_cast<std::int64_t>(my) * sp.mcusX + mx + 1;
  const bool region = s.region.active();
  if (region && nextWindowNumber(sp.window, mx, my, sp.mcusX) == 0) {
    endScan(scan, sp.mcusY);
    return sp.completesRead ? kRoiSuccess : passRestOfScan(s.input);
  }
  if (p.interrupt && number != sp.total && (!region || inWindow(sp.window, mx, my)))
    return interruptScan(p, s, mx, my, sp.mcusX);
  if (p.interrupt) return kGoOn;
  if (inputExhausted(s.input) && nextWindowNumber(sp.output, mx, my, sp.mcusX) == 0) {
    const std::int64_t last = region ? windowEnd(sp.window, sp.mcusX) : sp.total;
    return finishExhaustedScan(scan, number, last, sp.total, sp.mcusY, sp.restartFailure);
  }
  if (inputExhausted(s.input) && !scan.progressive && onlyZeroBitsLeft(s.input))
    return passZeroBitMcus(s, sp, number, nextWindowNumber(sp.output, mx, my, sp.mcusX));
  if (decodingStalled(s))
    return passStalledMcus(s, sp, number, nextWindowNumber(sp.stalledOutput, mx, my, sp.mcusX));
  return kGoOn;
}

// What follows MCU (mx, my) of a scan's loop: kGoOn, or the scan's result. A scan that goes
// on at the position saved in the scan record moves (mx, my) to just before it, where the
// loop's step lands on it.
int afterMcu(JPEG_PROPERTIES& p, JpegDecoderState& s, const ScanPlace& sp, std::int32_t& mx, std::int32_t& my) {
  const int next = mcuOutcome(p, s, sp, mx, my);
  if (next != kJump) return next;
  my = s.scan.mcuY;
  mx = s.scan.mcuX - 1;
  return kGoOn;
}

// Transforms the MCU held in s.mcu (frame-component order) and hands it to the MCU output
// routine; in a region read through the region's scratch MCU.
void outputFrameMcu(JPEG_PROPERTIES& p, JpegDecoderState& s, std::int32_t mx, std::int32_t my,
                    bool dequantised) {
  RoutineTable& rt = *s.routines;
  int b = 0;
  for (int c = 0; c < s.frame.componentCount; ++c) {
    const FrameComponent& fc = s.frame.comp[c];
    const std::int16_t* q = s.quantPrepared[fc.tq & 3];
    const IdctRoutine idct = rt.currentIdct[s.idctSize[c]];
    for (int i = 0; i < fc.h * fc.v; ++i, ++b) {
      if (!dequantised) rt.currentDequant(s.mcu[b], q);
      idct(s.mcu[b]);
    }
  }
  if (!s.region.active()) {
    McuOutputArgs args{&p, &s, s.mcu, mx, my};
    rt.mcuOutput(args);
    return;
  }
  if (!s.region.beginMcu(s, mx, my)) return;
  McuOutputArgs args{&p, &s, s.mcu, 0, 0};
  rt.mcuOutput(args);
  s.region.endMcu(s);
}

// One transformed block of a non-interleaved scan to its channels of the output.
void outputComponentBlock(const JPEG_PROPERTIES& p, JpegDecoderState& s, int c, const std::int16_t* samples,
                          std::int32_t blockX, std::int32_t blockY) {
  if (!s.region.active()) {
    writeComponentBlock(p, s, c, samples, blockX, blockY);
    return;
  }
  // Within the scratch MCU the block sits at its place inside its frame MCU (a shift by
  // whole MCUs moves its pixels by whole output MCUs).
  const FrameComponent& fc = s.frame.comp[c];
  const std::int32_t fx = blockX / fc.h, fy = blockY / fc.v;
  if (!s.region.beginMcu(s, fx, fy)) return;
  writeComponentBlock(p, s, c, samples, blockX - fx * fc.h, blockY - fy * fc.v);
  s.region.endMcu(s);
}

// Renders frame MCU (mx, my) from the coefficient buffer.
void renderFrameMcu(JPEG_PROPERTIES& p, JpegDecoderState& s, std::int32_t mx, std::int32_t my) {
  const Frame& f = s.frame;
  int b = 0;
  for (int c = 0; c < f.componentCount; ++c) {
    const FrameComponent& fc = f.comp[c];
    for (int by = 0; by < fc.v; ++by) {
      for (int bx = 0; bx < fc.h; ++bx, ++b) {
        const std::size_t blockX = static_cast<std::size_t>(mx) * fc.h + bx;
        const std::size_t blockY = static_cast<std::size_t>(my) * fc.v + by;
        const std::int16_t* coef = s.coefficients + s.compOffset[c] +
                                   (blockY * static_cast<std::size_t>(fc.blocksPerMcuRow) + blockX) * 64;
        std::memcpy(s.mcu[b], coef, 64 * sizeof(std::int16_t));
      }
    }
  }
  outputFrameMcu(p, s, mx, my, false);
}

// The region index of a whole-frame sequential scan in a region read, bound to the scan;
// null when the scan is not indexed. A fresh scan then starts at the latest indexed row
// start at or before the region's first row.
RegionIndex* useRegionIndex(JPEG_PROPERTIES& p, JpegDecoderState& s, bool whole, const ScanWindow& w) {
  Scan& scan = s.scan;
  if (!s.region.active() || !whole || !s.regionIndex || scan.mcuX != 0 || scan.mcuY != 0) return nullptr;
  RegionIndex::Key key;
  if (!RegionIndex::keyOf(p, s, key)) return nullptr;
  s.regionIndex->bind(key);
  if (w.y0 > 0) s.regionIndex->seek(p, s, w.y0);
  return s.regionIndex;
}

}  // namespace

int decodeSequentialScan(JPEG_PROPERTIES& p, JpegDecoderState& s) {
  selectTransforms(p, s);
  Scan& scan = s.scan;
  const Frame& f = s.frame;
  InputReader& in = s.input;
  RoutineTable& rt = *s.routines;
  const bool whole = scanCoversFrame(s);
  const int family = p.dctType == 0 ? 0 : 1;
  const bool region = s.region.active();

  ScanPlace sp;
  scanMcuGrid(scan, f, sp.mcusX, sp.mcusY);
  sp.total = static_cast<std::int64_t>(sp.mcusX) * sp.mcusY;
  sp.window = scanWindow(s, sp.mcusX, sp.mcusY);
  sp.output = sp.window;
  sp.stalledOutput = sp.window;
  sp.completesRead = whole;
  sp.restartFailure = region ? kErrBadRst : kErrMemory;
  if (region && sp.window.x1 == 0) {  // nothing of the region reaches the output
    endScan(scan, sp.mcusY);
    return whole ? kRoiSuccess : passRestOfScan(in);
  }
  RegionIndex* index = useRegionIndex(p, s, whole, sp.window);

  // Block slots of each scan component inside s.mcu: frame order for whole MCUs.
  int base[kMaxComponents];
  {
    int frameBase[kMaxComponents];
    int acc = 0;
    for (int c = 0; c < f.componentCount; ++c) {
      frameBase[c] = acc;
      acc += f.comp[c].h * f.comp[c].v;
    }
    int n = 0;
    for (int i = 0; i < scan.ns; ++i) {
      const ScanComponent& sc = scan.comp[i];
      base[i] = whole ? frameBase[sc.frameIndex] : n;
      n += scan.ns == 1 ? 1 : sc.h * sc.v;
    }
  }

  for (std::int32_t my = scan.mcuY; my < sp.mcusY; ++my) {
    for (std::int32_t mx = (my == scan.mcuY ? scan.mcuX : 0); mx < sp.mcusX; ++mx) {
      if (index && mx == 0 && index->indexes(my)) index->record(p, s, my);
      // Decode every block of the MCU: outside the region skip them; only the DC
      // coefficient counts (for the predictor) in a whole MCU outside the output, and in
      // a block that the 1x1 transform turns into one sample.
      const bool produce = !region || inWindow(sp.window, mx, my);
      const bool shown = produce && (!whole || inWindow(sp.output, mx, my));
      for (int i = 0; i < scan.ns; ++i) {
        ScanComponent& sc = scan.comp[i];
        const int blocks = scan.ns == 1 ? 1 : sc.h * sc.v;
        const std::int16_t* q = s.quantPrepared[f.comp[sc.frameIndex].tq & 3];
        const bool dcOnly = !shown || s.idctSize[sc.frameIndex] == 3;
        const BlockDecoderRoutine decode = rt.blockDecoder[family][dcOnly ? 1 : 0];
        for (int b = 0; b < blocks; ++b) {
          if (produce)
            decode(in, *sc.dc, *sc.ac, sc.pred, s.mcu[base[i] + b], q);
          else
            rt.blockSkipDecoder(in, *sc.dc, *sc.ac, sc.pred);
        }
      }
      if (in.error) return in.error;
      int code = kOk;
      const std::int64_t number = static_cast<std::int64_t>(my) * sp.mcusX + mx + 1;
      if (!restartCheck(s, number, sp.total, code)) return region ? kErrBadRst : code;

      // Output (skipped MCUs have none).
      if (produce && whole) {
        if (shown) outputFrameMcu(p, s, mx, my, true);
      } else if (produce) {
        for (int i = 0; i < scan.ns; ++i) {
          const ScanComponent& sc = scan.comp[i];
          const FrameComponent& fc = f.comp[sc.frameIndex];
          const int bw = scan.ns == 1 ? 1 : sc.h;
          const int bh = scan.ns == 1 ? 1 : sc.v;
          for (int by = 0; by < bh; ++by) {
            for (int bx = 0; bx < bw; ++bx) {
              std::int16_t* blk = s.mcu[base[i] + by * bw + bx];
              const std::int32_t blockX = scan.ns == 1 ? mx : mx * sc.h + bx;
              const std::int32_t blockY = scan.ns == 1 ? my : my * sc.v + by;
              // Blocks past the component's edge (MCU padding) are decoded but not shown.
              if (blockX >= fc.widthInBlocks || blockY >= fc.heightInBlocks) continue;
              rt.currentIdct[s.idctSize[sc.frameIndex]](blk);  // dequantised while decoded
              outputComponentBlock(p, s, sc.frameIndex, blk, blockX, blockY);
            }
          }
        }
      }
      const int next = afterMcu(p, s, sp, mx, my);
      if (next != kGoOn) return next;
    }
  }
  endScan(scan, sp.mcusY);
  return kOk;
}

namespace {

// The index of a component's block in the coefficient buffer (in blocks).
inline std::size_t blockIndex(const JpegDecoderState& s, int c, std::size_t blockX, std::size_t blockY) {
  return s.compOffset[c] / 64 + blockY * static_cast<std::size_t>(s.frame.comp[c].blocksPerMcuRow) + blockX;
}

inline std::size_t frameMcuIndex(const JpegDecoderState& s, std::int32_t fx, std::int32_t fy) {
  return static_cast<std::size_t>(fy) * static_cast<std::size_t>(s.frame.mcusAcross) + static_cast<std::size_t>(fx);
}

// Renders the changed frame MCUs that wait for a later block of theirs, when the scan is about
// to pass over MCUs without decoding them (the blocks passed over keep their coefficients).
void renderPending(JPEG_PROPERTIES& p, JpegDecoderState& s) {
  for (std::int32_t fx = s.pendingX0; s.pendingRenders > 0 && fx <= s.pendingX1; ++fx) {
    std::uint8_t& d = s.dirty[frameMcuIndex(s, fx, s.pendingRow)];
    if (!d) continue;
    d = 0;
    --s.pendingRenders;
    renderFrameMcu(p, s, fx, s.pendingRow);
  }
  s.pendingRenders = 0;
}

// Notes that a scan after the first rendering one changed frame MCU (fx, fy).
void markChanged(JPEG_PROPERTIES& p, JpegDecoderState& s, std::int32_t fx, std::int32_t fy) {
  std::uint8_t& d = s.dirty[frameMcuIndex(s, fx, fy)];
  if (d) return;
  if (s.pendingRenders > 0 && fy != s.pendingRow) renderPending(p, s);
  if (s.pendingRenders == 0) {
    s.pendingRow = fy;
    s.pendingX0 = s.pendingX1 = fx;
  }
  d = 1;
  ++s.pendingRenders;
  s.pendingX0 = std::min(s.pendingX0, fx);
  s.pendingX1 = std::max(s.pendingX1, fx);
}

// Renders frame MCU (fx, fy), which scan MCU (mx, my) has just completed, when it must be:
// the first rendering scan draws every one, later scans those they changed.
void renderCompleted(JPEG_PROPERTIES& p, JpegDecoderState& s, std::int32_t fx, std::int32_t fy) {
  std::uint8_t& d = s.dirty[frameMcuIndex(s, fx, fy)];
  if (!s.renderAll && !d) return;
  if (d) --s.pendingRenders;
  d = 0;
  renderFrameMcu(p, s, fx, fy);
}

// Decodes the blocks of scan MCU (mx, my) into the coefficient buffer; whether any changed.
bool decodeProgressiveMcu(JpegDecoderState& s, std::int32_t mx, std::int32_t my) {
  Scan& scan = s.scan;
  const Frame& f = s.frame;
  InputReader& in = s.input;
  const int ss = scan.ss, se = scan.se, ah = scan.ah, al = scan.al;
  bool changed = false;
  for (int i = 0; i < scan.ns; ++i) {
    ScanComponent& sc = scan.comp[i];
    const FrameComponent& fc = f.comp[sc.frameIndex];
    const int bw = scan.ns == 1 ? 1 : fc.h;
    const int bh = scan.ns == 1 ? 1 : fc.v;
    for (int by = 0; by < bh; ++by) {
      for (int bx = 0; bx < bw; ++bx) {
        const std::size_t blockX = scan.ns == 1 ? mx : static_cast<std::size_t>(mx) * fc.h + bx;
        const std::size_t blockY = scan.ns == 1 ? my : static_cast<std::size_t>(my) * fc.v + by;
        const std::size_t b = blockIndex(s, sc.frameIndex, blockX, blockY);
        std::int16_t* coef = s.coefficients + b * 64;
        if (ss == 0) {
          if (ah == 0)
            changed |= decodeDcFirst(in, *sc.dc, sc.pred, coef, al);
          else
            changed |= decodeDcRefine(in, coef, al);
        }
        const int first = ss == 0 ? 1 : ss;
        if (se >= first) {
          if (ah == 0)
            changed |= decodeAcFirst(in, *sc.ac, scan.eobrun, coef, s.acMasks[b], first, se, al);
          else
            changed |= decodeAcRefine(in, *sc.ac, scan.eobrun, coef, s.acMasks[b], first, se, al);
        }
      }
    }
  }
  return changed;
}

// The first block from x0 to before x1 of row y of a one-component scan that completes a
// frame MCU which must be rendered; x1 when there is none.
std::int32_t firstBlockToRender(const JpegDecoderState& s, const ScanWindow& w, std::int32_t x0, std::int32_t x1,
                                std::int32_t y) {
  if (y < w.y0 || y >= w.y1) return x1;
  const FrameComponent& fc = s.frame.comp[s.scan.comp[0].frameIndex];
  if (y % fc.v != fc.v - 1 && y != fc.heightInBlocks - 1) return x1;
  for (std::int32_t x = std::max(x0, w.x0); x < std::min(x1, w.x1); ++x) {
    if (x % fc.h != fc.h - 1 && x != fc.widthInBlocks - 1) continue;
    if (s.renderAll || s.dirty[frameMcuIndex(s, x / fc.h, y / fc.v)]) return x;
  }
  return x1;
}

// Passes over blocks of an end-of-band run of a one-component AC scan that need nothing:
// such a block keeps its coefficients unless a refinement scan has nonzero ones in its band
// to refine, and is drawn only when it completes a frame MCU that must be rendered. Stops
// before block number `limit` (1-based), a block that needs its decoder, or the run's end.
void passEndOfBandRun(JpegDecoderState& s, const ScanPlace& sp, std::int64_t limit, std::int32_t& mx,
                      std::int32_t& my) {
  const Scan& scan = s.scan;
  std::int64_t number = static_cast<std::int64_t>(my) * sp.mcusX + mx + 1;
  std::int64_t n = std::min<std::int64_t>(scan.eobrun, limit - number);
  if (n <= 0) return;
  const bool refine = scan.ah > 0;
  if (refine || s.renderScan) {
    const int c = scan.comp[0].frameIndex;
    const std::uint64_t band = bandMask(scan.ss, scan.se);
    std::int64_t passed = 0;
    std::int32_t x = mx, y = my;
    while (passed < n) {
      const std::int32_t end = static_cast<std::int32_t>(std::min<std::int64_t>(sp.mcusX, x + (n - passed)));
      std::int32_t stop = end;
      if (refine) {
        const std::uint64_t* row = s.acMasks + blockIndex(s, c, 0, static_cast<std::size_t>(y));
        for (std::int32_t i = x; i < stop; ++i) {
          if (row[i] & band) {
            stop = i;
            break;
          }
        }
      }
      if (s.renderScan) stop = firstBlockToRender(s, sp.window, x, stop, y);
      passed += stop - x;
      if (stop < end) break;
      x = stop;
      if (x == sp.mcusX) {
        x = 0;
        ++y;
      }
    }
    n = passed;
  }
  number += n;
  s.scan.eobrun -= static_cast<std::uint32_t>(n);
  mx = static_cast<std::int32_t>((number - 1) % sp.mcusX);
  my = static_cast<std::int32_t>((number - 1) / sp.mcusX);
}

// The first block number from `number` on that the run pass must leave to the scan's loop:
// the scan's last block, a region's last, a restart boundary.
std::int64_t runPassLimit(const JpegDecoderState& s, const ScanPlace& sp, std::int64_t number) {
  std::int64_t limit = sp.total;
  if (s.region.active()) limit = std::min(limit, windowEnd(sp.window, sp.mcusX));
  const std::int32_t r = s.scan.restartInterval;
  if (r > 0) limit = std::min(limit, (number + r - 1) / r * r);
  return limit;
}

}  // namespace

int decodeProgressiveScan(JPEG_PROPERTIES& p, JpegDecoderState& s) {
  selectTransforms(p, s);
  Scan& scan = s.scan;
  InputReader& in = s.input;

  ScanPlace sp;
  scanMcuGrid(scan, s.frame, sp.mcusX, sp.mcusY);
  sp.total = static_cast<std::int64_t>(sp.mcusX) * sp.mcusY;
  sp.window = scanWindow(s, sp.mcusX, sp.mcusY);
  // Only the first rendering scan must reach every MCU of the output; a later one renders
  // what it changes, so MCUs that decode nothing can be passed over (zero bits of exhausted
  // input are decoded: they can change coefficients).
  sp.output = s.renderScan ? sp.window : ScanWindow{};
  sp.stalledOutput = s.renderAll ? sp.output : ScanWindow{};
  sp.completesRead = false;
  sp.restartFailure = kErrBadRst;
  if (s.region.active() && sp.window.x1 == 0) {
    endScan(scan, sp.mcusY);
    return passRestOfScan(in);
  }
  const bool runs = scan.ns == 1 && scan.ss > 0;

  for (std::int32_t my = scan.mcuY; my < sp.mcusY; ++my) {
    for (std::int32_t mx = (my == scan.mcuY ? scan.mcuX : 0); mx < sp.mcusX; ++mx) {
      if (runs && scan.eobrun > 0 && !p.interrupt) {
        passEndOfBandRun(s, sp, runPassLimit(s, sp, static_cast<std::int64_t>(my) * sp.mcusX + mx + 1), mx, my);
      }
      const bool changed = decodeProgressiveMcu(s, mx, my);
      if (in.error) return in.error;
      int code = kOk;
      const std::int64_t number = static_cast<std::int64_t>(my) * sp.mcusX + mx + 1;
      if (!restartCheck(s, number, sp.total, code)) return kErrBadRst;
      // Once the rendering condition holds, each frame MCU is rendered as soon as this
      // scan has decoded its last block.
      if (s.renderScan && inWindow(sp.window, mx, my)) {
        std::int32_t fx, fy;
        frameMcuOf(s, mx, my, fx, fy);
        if (changed && !s.renderAll) markChanged(p, s, fx, fy);
        if (completesFrameMcu(s, mx, my)) renderCompleted(p, s, fx, fy);
      }
      const int next = afterMcu(p, s, sp, mx, my);
      const bool moved = static_cast<std::int64_t>(my) * sp.mcusX + mx + 1 != number;
      if (s.pendingRenders > 0 && (next != kGoOn || moved)) renderPending(p, s);
      if (next != kGoOn) return next;
    }
  }
  endScan(scan, sp.mcusY);
  return kOk;
}

}  // namespace xtpjpeg
