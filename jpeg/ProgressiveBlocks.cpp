#include "jpeg/ProgressiveBlocks.h"

#include "jpeg/RegisterBits.h"
#include "jpeg/Zigzag.h"

#include <algorithm>
#include <bit>

namespace xtpjpeg {

namespace {

constexpr std::size_t kPrefetchBlocks = 8;

inline std::int16_t shl16(std::int32_t v, int al)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) << al));
}

// Each read below takes the register reader's fast path when it can and otherwise runs the
// general one on the reader stored back, so a symbol or value decodes as the general path
// alone would have decoded it. Forced inline: as calls, the register reader goes through
// memory.

// One Huffman symbol, or -1 when a marker was reached.
[[gnu::always_inline]] inline int symbol(RegisterBits& r, InputReader& in, const HuffTable& t)
{
    if (r.ensure32(in)) {
        const std::uint32_t e = t.look[r.top(8)];
        if (e >> 8) {
            r.drop(static_cast<int>(e >> 8));
            return static_cast<int>(e & 0xFF);
        }
    }
    r.storeTo(in);
    const int value = huffDecode(in, t);
    r = RegisterBits(in);
    return value;
}

// n received bits (1..16); false when a marker was reached first.
[[gnu::always_inline]] inline bool bits(RegisterBits& r, InputReader& in, int n, std::uint32_t& v)
{
    if (r.count >= n || r.fillFast(in) || r.count >= n) {
        v = r.top(n);
        r.drop(n);
        return true;
    }
    r.storeTo(in);
    const bool ok = getBits(in, n, v);
    r = RegisterBits(in);
    return ok;
}

// The combined AC entry of the next symbol, its code and value bits not yet taken; 0 when
// the general path must decode it.
[[gnu::always_inline]] inline std::int32_t combinedAc(RegisterBits& r, const InputReader& in, const HuffTable& ac)
{
    return r.ensure32(in) ? ac.fastAc[r.top(HuffTable::kFastAcBits)] : 0;
}

inline int entryRun(std::int32_t e) { return (e >> 8) & 0xFF; }

// An end-of-band run EOBn (T.81 G.1.2.2): 2^n + n further bits blocks, this one included;
// false when a marker was reached inside the bits.
[[gnu::always_inline]] inline bool startEndOfBandRun(RegisterBits& r, InputReader& in, int n, std::uint32_t& eobrun)
{
    eobrun = 1u << n;
    if (n == 0) return true;
    std::uint32_t extra;
    if (!bits(r, in, n, extra)) return false;
    eobrun += extra;
    return true;
}

// The progressive block decoders answer whether they changed the block (a marker reached
// inside a block ends it as decoded so far). `mask` is the block's AC mask.
[[gnu::always_inline]] inline bool decodeDcFirst(RegisterBits& r, InputReader& in, const HuffTable& dc,
                                                 std::int16_t& pred, std::int16_t* coef, int al)
{
    std::int32_t diff = 0;
    if (!dcFromLookahead(r, in, dc, diff)) {
        int s = symbol(r, in, dc);
        if (s < 0) return false;
        if (s > 0) {
            std::uint32_t v;
            s = std::min(s, 16);
            if (!bits(r, in, s, v)) return false;
            diff = extend(v, s);
        }
    }
    pred = static_cast<std::int16_t>(static_cast<std::uint16_t>(pred + diff));
    const std::int16_t old = coef[0];
    coef[0] = shl16(pred, al);
    return coef[0] != old;
}

[[gnu::always_inline]] inline bool decodeDcRefine(RegisterBits& r, InputReader& in, std::int16_t* coef, int al)
{
    std::uint32_t bit;
    if (!bits(r, in, 1, bit) || !bit) return false;
    const std::int16_t old = coef[0];
    coef[0] = static_cast<std::int16_t>(static_cast<std::uint16_t>(coef[0]) | (1u << al));
    return coef[0] != old;
}

inline void storeAc(std::int16_t* coef, std::uint64_t& mask, int k, std::int16_t v)
{
    coef[kZigzagToNatural[k]] = v;
    if (v != 0) mask |= std::uint64_t{1} << k;
}

[[gnu::always_inline]] inline bool decodeAcFirst(RegisterBits& r, InputReader& in, const HuffTable& ac,
                                                 std::uint32_t& eobrun, std::int16_t* coef, std::uint64_t& mask, int ss,
                                                 int se, int al)
{
    if (eobrun > 0) {
        --eobrun;
        return false;
    }
    bool changed = false;
    for (int k = ss; k <= se; ++k) {
        std::int32_t v;
        int run;
        if (const std::int32_t e = combinedAc(r, in, ac)) {
            r.drop(e & 0xFF);
            run = entryRun(e);
            v = e >> 16;
            if (run >= 64) {
                if (startEndOfBandRun(r, in, run - 64, eobrun)) --eobrun;
                return changed;
            }
            if (v == 0) { // ZRL
                k += 15;
                continue;
            }
            k += run;
        } else {
            const int rs = symbol(r, in, ac);
            if (rs < 0) return changed;
            run = rs >> 4;
            const int s = rs & 15;
            if (s == 0 && run == 15) {
                k += 15;
                continue;
            }
            if (s == 0) {
                if (startEndOfBandRun(r, in, run, eobrun)) --eobrun;
                return changed;
            }
            k += run;
            std::uint32_t received;
            if (!bits(r, in, s, received)) return changed;
            v = extend(received, s);
        }
        if (k > 63) return changed;
        const std::int16_t value = shl16(v, al);
        changed = changed || value != coef[kZigzagToNatural[k]];
        storeAc(coef, mask, k, value);
    }
    return changed;
}

// Refines one nonzero coefficient with a correction bit; false when a marker was reached.
[[gnu::always_inline]] inline bool refineCoef(RegisterBits& r, InputReader& in, std::int16_t& c, std::int32_t p1,
                                              bool& changed)
{
    std::uint32_t bit;
    if (!bits(r, in, 1, bit)) return false;
    if (bit && (c & p1) == 0) {
        const std::int32_t v = c >= 0 ? c + p1 : c - p1;
        c = static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(v)));
        changed = true;
    }
    return true;
}

// Moves k over `zeros` zero coefficients of the band, refining the nonzero ones on the way,
// to the next zero one (or past se); false when a marker was reached. The mask bounds the
// nonzero coefficients, so the zero ones between two of its positions are passed at once.
[[gnu::always_inline]] inline bool passCoefficients(RegisterBits& r, InputReader& in, std::int16_t* coef,
                                                    std::uint64_t mask, int& k, int se, int zeros, std::int32_t p1,
                                                    bool& changed)
{
    std::uint64_t candidates = mask & bandMask(k, se);
    while (k <= se) {
        const int next = candidates ? std::countr_zero(candidates) : se + 1;
        if (next - k > zeros) {
            k += zeros;
            return true;
        }
        zeros -= next - k;
        k = next;
        if (k > se) return true;
        candidates &= candidates - 1;
        std::int16_t& c = coef[kZigzagToNatural[k]];
        if (c != 0) {
            if (!refineCoef(r, in, c, p1, changed)) return false;
        } else {
            if (zeros == 0) return true;
            --zeros;
        }
        ++k;
    }
    return true;
}

[[gnu::always_inline]] inline bool decodeAcRefine(RegisterBits& r, InputReader& in, const HuffTable& ac,
                                                  std::uint32_t& eobrun, std::int16_t* coef, std::uint64_t& mask,
                                                  int ss, int se, int al)
{
    const std::int32_t p1 = static_cast<std::int32_t>(1u << al); // al <= 15
    bool changed = false;
    int k = ss;
    if (eobrun == 0) {
        for (; k <= se; ++k) {
            int run;
            std::int32_t newValue = 0;
            const std::int32_t e = combinedAc(r, in, ac);
            if (e != 0 && (e >> 16) >= -1 && (e >> 16) <= 1) { // codes of size 0 or 1
                r.drop(e & 0xFF);
                run = entryRun(e);
                if (run >= 64) {
                    if (!startEndOfBandRun(r, in, run - 64, eobrun)) return changed;
                    break; // the rest of the band is handled as an end-of-band run
                }
                newValue = (e >> 16) * p1; // 0 for a ZRL
            } else {
                const int rs = symbol(r, in, ac);
                if (rs < 0) return changed;
                run = rs >> 4;
                const int s = rs & 15;
                if (s) {
                    std::uint32_t bit;
                    if (!bits(r, in, 1, bit)) return changed;
                    newValue = bit ? p1 : -p1;
                } else if (run != 15) {
                    if (!startEndOfBandRun(r, in, run, eobrun)) return changed;
                    break;
                }
            }
            if (!passCoefficients(r, in, coef, mask, k, se, run, p1, changed)) return changed;
            if (newValue != 0 && k <= se) {
                storeAc(coef, mask, k, static_cast<std::int16_t>(newValue));
                changed = true;
            }
        }
    }
    if (eobrun > 0) {
        // Only the nonzero coefficients of the rest of the band take a correction bit.
        for (std::uint64_t left = k <= se ? mask & bandMask(k, se) : 0; left; left &= left - 1) {
            std::int16_t& c = coef[kZigzagToNatural[std::countr_zero(left)]];
            if (c != 0 && !refineCoef(r, in, c, p1, changed)) return changed;
        }
        --eobrun;
    }
    return changed;
}

} // namespace

// Decodes the blocks of scan MCU (mx, my) into the coefficient buffer; whether any changed.
bool decodeProgressiveMcu(JpegDecoderState& s, std::int32_t mx, std::int32_t my)
{
    Scan& scan = s.scan;
    const Frame& f = s.frame;
    InputReader& in = s.input;
    const int ss = scan.ss, se = scan.se, ah = scan.ah, al = scan.al;
    bool changed = false;
    RegisterBits r(in);
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
                // A scan touches each block's coefficients once, along its rows: the load of a block a
                // few ahead hides what is most of a DC scan's time (a prefetch past the buffer is harmless).
                __builtin_prefetch(coef + kPrefetchBlocks * 64, 1);
                if (ss == 0) {
                    if (ah == 0)
                        changed |= decodeDcFirst(r, in, *sc.dc, sc.pred, coef, al);
                    else
                        changed |= decodeDcRefine(r, in, coef, al);
                }
                const int first = ss == 0 ? 1 : ss;
                if (se >= first) {
                    if (ah == 0)
                        changed |= decodeAcFirst(r, in, *sc.ac, scan.eobrun, coef, s.acMasks[b], first, se, al);
                    else
                        changed |= decodeAcRefine(r, in, *sc.ac, scan.eobrun, coef, s.acMasks[b], first, se, al);
                }
            }
        }
    }
    r.storeTo(in);
    return changed;
}

} // namespace xtpjpeg
