// Sequential block decoding (ITU-T T.81 F.2.2): the MCU decoders of each processor class,
// which dequantise as they store, and the block skip decoder of region reads.
#include "jpeg/Idct.h"
#include "jpeg/RegisterBits.h"
#include "jpeg/Routines.h"
#include "jpeg/Zigzag.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xtpjpeg {

namespace {

// The two dequantisers of one value, as the block routines compute them.
struct DequantOne1 {
    std::int16_t operator()(std::int16_t c, std::int16_t q) const
    {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(
            static_cast<std::uint32_t>(static_cast<std::int32_t>(c)) * static_cast<std::uint16_t>(q)));
    }
};
struct DequantOne0 {
    std::int16_t operator()(std::int16_t c, std::int16_t q) const
    {
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
inline void storeCoefficient(std::int16_t* blk, const std::int16_t* q, int k, std::int32_t v, Dequant dq)
{
    const int at = kZigzagToNatural[k];
    blk[at] = dq(static_cast<std::int16_t>(v), q[at]);
}

// The AC symbols of a block from zigzag index k on that the combined lookups decide, up to two
// a lookup (which shortens the chain from one lookup to the next). Returns the next index, 64
// or more when the block has ended, or stops early at a symbol the general path must decode.
// Without Ac they are passed over, storing nothing. Forced inline: as a call, the register
// reader goes through memory.
template <bool Ac, class Dequant>
[[gnu::always_inline]] inline int decodeAcRun(RegisterBits& r, const InputReader& in, const HuffTable& ac, int k,
                                              std::int16_t* blk, const std::int16_t* q, Dequant dq)
{
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
        const std::uint64_t pair = ac.pairAc[index];
        if (pair == 0) [[unlikely]] {
            // Code and value bits longer than the lookup: a code of up to 8 bits is still
            // decided by the lookahead table, and its value bits are at hand (32 or more
            // buffered); a longer code, a ZRL or an end of block goes the general way.
            const std::uint32_t e = ac.look[r.top(8)];
            const int size = static_cast<int>(e & 15);
            if ((e >> 8) == 0 || size == 0) break;
            r.drop(static_cast<int>(e >> 8));
            k += static_cast<int>((e >> 4) & 15);
            const std::int32_t value = extend(r.top(size), size);
            r.drop(size);
            if (k > 63) return 64; // a run past coefficient 63 ends the block
            storeCoefficient(blk, q, k, value, dq);
            ++k;
            continue;
        }
        const int at = k + static_cast<int>((pair >> 16) & 0xFF);
        const auto value1 = static_cast<std::int16_t>(pair >> 32);
        if (at >= 63) {
            // The first symbol ends the block (end of block, a run past coefficient 63, or
            // coefficient 63 itself): the bits after it are the next block's.
            r.drop(static_cast<int>((pair >> 8) & 0xFF));
            if (at == 63) storeCoefficient(blk, q, 63, value1, dq);
            return 64;
        }
        r.drop(static_cast<int>(pair & 0xFF));
        const int next = at + static_cast<int>((pair >> 24) & 0xFF);
        if (next > 63) { // the second symbol ends the block
            storeCoefficient(blk, q, at, value1, dq);
            return 64;
        }
        // Without a second symbol `next` is `at`, and the first overwrites this zero.
        storeCoefficient(blk, q, next, static_cast<std::int16_t>(pair >> 48), dq);
        storeCoefficient(blk, q, at, value1, dq);
        k = next + 1;
    }
    return k;
}

// One AC symbol the combined lookups do not decide (a long code or value, few bits left,
// a marker near): stores its coefficient and returns the next zigzag index, 64 or more
// when the block has ended.
template <bool Ac, class Dequant>
int decodeAcSymbol(InputReader& in, const HuffTable& ac, int k, std::int16_t* blk, const std::int16_t* q, Dequant dq)
{
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
    if (s == 0) return (rs >> 4) == 15 ? k + 16 : 64; // ZRL, or end of block
    k += rs >> 4;
    std::int32_t v;
    if (!receiveExtend(in, s, v)) return 64;
    if (k > 63) return 64; // a run past coefficient 63 ends the block
    if (Ac) storeCoefficient(blk, q, k, v, dq);
    return k + 1;
}

// One 8x8 block (T.81 F.2.2) on the register reader `r`, live before and after: coefficients
// in natural order, dequantised as they are stored (dequantisation of a zero coefficient
// gives zero in both families, so this equals clearing, decoding, then dequantising the
// block). `dq` is the dequantiser of one value, `clear` clears the block. Without Ac the AC
// coefficients are decoded but neither stored nor cleared, for blocks of which only the DC
// coefficient is used (1/8-scale reads). Forced inline so that `r` stays in registers from
// one block of an MCU to the next.
template <bool Ac, class Dequant, class Clear>
[[gnu::always_inline]] inline void decodeBlockInRegisters(RegisterBits& r, InputReader& in, const HuffTable& dc,
                                                          const HuffTable& ac, std::int16_t& pred, std::int16_t* blk,
                                                          const std::int16_t* q, Dequant dq, Clear clear)
{
    if (Ac) clear(blk);
    std::int32_t diff = 0;
    if (!dcFromLookahead(r, in, dc, diff)) {
        r.storeTo(in);
        const int s = huffDecode(in, dc);
        const bool received = s >= 0 && (s == 0 || receiveExtend(in, std::min(s, 16), diff));
        r = RegisterBits(in);
        if (!received) return;
    }
    pred = static_cast<std::int16_t>(static_cast<std::uint16_t>(pred + diff));
    blk[0] = dq(pred, q[0]);
    int k = 1;
    while (true) {
        k = decodeAcRun<Ac>(r, in, ac, k, blk, q, dq);
        if (k > 63) return;
        r.storeTo(in);
        k = decodeAcSymbol<Ac>(in, ac, k, blk, q, dq);
        r = RegisterBits(in);
        if (k > 63) return;
    }
}

// The per-class decoding of one block: `Step::decode<Ac>(r, in, block)`, with Ac false for a
// block of which only the DC coefficient is used.
template <class Step>
[[gnu::always_inline]] inline void decodeMcuBlock(RegisterBits& r, InputReader& in, const McuBlock& b)
{
    if (b.dcOnly)
        Step::template decode<false>(r, in, b);
    else
        Step::template decode<true>(r, in, b);
}

// Every block of an MCU, the reader loaded once and stored once.
template <class Step>
[[gnu::always_inline]] inline void decodeBlocksOfMcu(InputReader& in, const McuBlock* blocks, int count)
{
    const bool hadError = in.bits.error() != 0;
    RegisterBits r(in);
    for (int i = 0; i < count; ++i) decodeMcuBlock<Step>(r, in, blocks[i]);
    r.storeTo(in);
    Step::afterBlocks(in, hadError);
}

// The MCU decoder routine of a class.
template <class Step>
void decodeMcuBlocks(InputReader& in, const McuBlock* blocks, int count)
{
    decodeBlocksOfMcu<Step>(in, blocks, count);
}

#if defined(__x86_64__)
// The same routine compiled for BMI2, for the AVX2 class on processors that have it: its
// shifts by a register count (shlx, shrx) shorten the chain from one table lookup to the
// next. Only this function's body, with what is inlined into it, uses BMI2.
template <class Step>
[[gnu::target("bmi2")]] void decodeMcuBlocksBmi2(InputReader& in, const McuBlock* blocks, int count)
{
    decodeBlocksOfMcu<Step>(in, blocks, count);
}
#endif

// ---- Block decoders by processor class --------------------------------------------------

template <class Dequant>
struct PlainStep {
    template <bool Ac>
    [[gnu::always_inline]] static void decode(RegisterBits& r, InputReader& in, const McuBlock& b)
    {
        decodeBlockInRegisters<Ac>(r, in, *b.dc, *b.ac, *b.pred, b.block, b.quant, Dequant{}, ClearBlock{});
    }
    static void afterBlocks(InputReader&, bool) {}
};

#if defined(__SSE2__)
// Eight stores written out: as a loop, GCC turns them into a memset, which it expands to
// rep stos, several times slower for 128 bytes.
struct ClearBlockSse2 {
    void operator()(std::int16_t* blk) const
    {
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
// with "Error EOF" rather than the bit reader's "File error" (the failure is sticky, so
// renaming it after the MCU's blocks equals renaming it after the block that raised it).
struct ErrorEofAfterBlocks {
    static void afterBlocks(InputReader& in, bool hadError)
    {
        if (!hadError) in.bits.renameError(JpegFileError, JpegErrorEof);
    }
};

// Variant A (class 3): the coefficients as decoded, then the whole block dequantised by
// the family's block routine (a DC-only block: its DC alone).
template <int Family>
struct VariantAStep : ErrorEofAfterBlocks {
    using DequantDc = std::conditional_t<Family == 1, DequantOne1, DequantOne0>;
    template <bool Ac>
    [[gnu::always_inline]] static void decode(RegisterBits& r, InputReader& in, const McuBlock& b)
    {
        if (!Ac) {
            decodeBlockInRegisters<false>(r, in, *b.dc, *b.ac, *b.pred, b.block, b.quant, DequantDc{},
                                          ClearBlockSse2{});
            return;
        }
        decodeBlockInRegisters<true>(r, in, *b.dc, *b.ac, *b.pred, b.block, b.quant, KeepCoefficient{},
                                     ClearBlockSse2{});
        if (Family == 1)
            dequantType1Sse2(b.block, b.quant);
        else
            dequantType0(b.block, b.quant);
    }
};

// Variant B (classes 4 to 6): dequantised while decoded.
template <class Dequant>
struct VariantBStep : ErrorEofAfterBlocks {
    template <bool Ac>
    [[gnu::always_inline]] static void decode(RegisterBits& r, InputReader& in, const McuBlock& b)
    {
        decodeBlockInRegisters<Ac>(r, in, *b.dc, *b.ac, *b.pred, b.block, b.quant, Dequant{}, ClearBlockSse2{});
    }
};
#endif

// The block skip decoder of region reads: reads one sequential block's symbols and bits
// as the DC-only block decoders do and keeps the DC predictor, storing nothing.
void skipBlockSequential(InputReader& in, const HuffTable& dc, const HuffTable& ac, std::int16_t& pred)
{
    static constexpr std::int16_t kUnitQuant[1] = {1};
    std::int16_t dcValue[1];
    RegisterBits r(in);
    PlainStep<DequantOne1>::decode<false>(r, in, McuBlock{&dc, &ac, &pred, dcValue, kUnitQuant, true});
    r.storeTo(in);
}

// A class's MCU decoders by family.
template <class Step0, class Step1>
void fillDecodersOf(RoutineTable& t)
{
    t.mcuDecoder[0] = decodeMcuBlocks<Step0>;
    t.mcuDecoder[1] = decodeMcuBlocks<Step1>;
}

} // namespace

void fillBlockDecoders(RoutineTable& t, int cpuClass)
{
    t.blockSkipDecoder = skipBlockSequential;
    fillDecodersOf<PlainStep<DequantOne0>, PlainStep<DequantOne1>>(t);
#if defined(__SSE2__)
    if (cpuClass == 3)
        fillDecodersOf<VariantAStep<0>, VariantAStep<1>>(t);
    else if (cpuClass >= 4)
        fillDecodersOf<VariantBStep<DequantOne0>, VariantBStep<DequantOne1>>(t);
#if defined(__x86_64__)
    if (cpuClass == kCpuClassAvx2 && __builtin_cpu_supports("bmi2")) {
        t.mcuDecoder[0] = decodeMcuBlocksBmi2<VariantBStep<DequantOne0>>;
        t.mcuDecoder[1] = decodeMcuBlocksBmi2<VariantBStep<DequantOne1>>;
    }
#endif
#else
    (void)cpuClass;
#endif
}

} // namespace xtpjpeg
