// Sequential block decoding (ITU-T T.81 F.2.2): the block decoders of each processor class,
// which dequantise as they store, and the block skip decoder of region reads.
#include "jpeg/RegisterBits.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xtpjpeg {

namespace {

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

// One AC symbol the combined lookups do not decide (a long code or value, few bits left,
// a marker near): stores its coefficient and returns the next zigzag index, 64 or more
// when the block has ended.
template <bool Ac, class Dequant>
int decodeAcSymbol(InputReader& in, const HuffTable& ac, int k, std::int16_t* blk, const std::int16_t* q,
                   Dequant dq) {
  if (in.bits.count() < 32) fillBits(in);
  if (in.bits.count() >= 32) {
    // Enough bits for any code (16) and any value (15): the combined lookup needs no checks.
    const std::int32_t fast = ac.fastAc[in.bits.peek(HuffTable::kFastAcBits)];
    if (fast != 0) {
      in.bits.skip(fast & 0xFF);
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
  if (!hadError) in.bits.renameError(kErrFile, kErrEof);
}

// Variant A (class 3): the coefficients as decoded, then the whole block dequantised by
// the family's block routine (a DC-only block: its DC alone).
template <int Family, bool Ac>
void decodeBlockVariantA(InputReader& in, const HuffTable& dc, const HuffTable& ac, std::int16_t& pred,
                         std::int16_t* blk, const std::int16_t* q) {
  const bool hadError = in.bits.error() != 0;
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
  const bool hadError = in.bits.error() != 0;
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

}  // namespace xtpjpeg
