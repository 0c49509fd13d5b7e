#include "jpeg/ProgressiveBlocks.h"

#include "jpeg/BitReader.h"

#include <bit>

namespace xtpjpeg {

namespace {

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

}  // namespace

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

}  // namespace xtpjpeg
