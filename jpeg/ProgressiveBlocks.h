// Progressive block decoding (ITU-T T.81 G.1.2): DC first, DC refinement, AC first with
// end-of-band runs and AC refinement, into the coefficient buffer.
#pragma once

#include "jpeg/JpegInternal.h"

namespace xtpjpeg {

// The index of a component's block in the coefficient buffer (in blocks).
inline std::size_t blockIndex(const JpegDecoderState& s, int c, std::size_t blockX, std::size_t blockY)
{
    return s.compOffset[c] / 64 + blockY * static_cast<std::size_t>(s.frame.comp[c].blocksPerMcuRow) + blockX;
}

// The zigzag positions ss..se as a mask.
inline std::uint64_t bandMask(int ss, int se)
{
    const std::uint64_t upTo = se >= 63 ? ~std::uint64_t{0} : (std::uint64_t{1} << (se + 1)) - 1;
    return upTo & ~((std::uint64_t{1} << ss) - 1);
}

// Decodes the blocks of scan MCU (mx, my) into the coefficient buffer; whether any changed.
bool decodeProgressiveMcu(JpegDecoderState& s, std::int32_t mx, std::int32_t my);

} // namespace xtpjpeg
