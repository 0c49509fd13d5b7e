// The zigzag order of a block's coefficients (ITU-T T.81 Figure A.6).
#pragma once

#include <cstdint>

namespace xtpjpeg {

// The natural (row-major) position of each zigzag index; entries 64..79 catch runs that
// would carry the position past coefficient 63 (they are never stored, see the decoders).
extern const std::uint8_t kZigzagToNatural[80];

} // namespace xtpjpeg
