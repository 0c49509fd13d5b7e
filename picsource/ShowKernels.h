// The inner loops of slide-show composition, as a table of routines: plain C++ and
// SSE2 versions that give the very same bytes (integer arithmetic only), so that a
// frame never depends on the processor it was made on.
#pragma once

#include "platform/com/Com.h"

#include <cstddef>
#include <cstdint>

struct ShowKernels {
    // out = (a x (256 - weight) + b x weight + 128) >> 8, weight 0..256. `out` may be `a`.
    void (*blend)(const BYTE* a, const BYTE* b, BYTE* out, std::size_t bytes, int weight);
    // bytes = (bytes x weight + 128) >> 8 in place, weight 0..256 (towards black).
    void (*scale)(BYTE* bytes, std::size_t count, int weight);
    // The vertical step of a bilinear sample: out = top x (128 - fraction) + bottom x
    // fraction, fraction 0..128, exact in 16 bits.
    void (*lerpRows)(const BYTE* top, const BYTE* bottom, std::uint16_t* out, std::size_t bytes, int fraction);
    // The horizontal step: pixel k of `out` (3 bytes) from the lerped row at pixel
    // column[k] and the one after it, weighted by fraction[k] 0..128:
    // (left x (128 - f) + right x f + 8192) >> 14. `lerped` holds two spare values after
    // the last pixel's right neighbour.
    void (*sampleRow)(const std::uint16_t* lerped, const std::uint32_t* column, const std::uint8_t* fraction, BYTE* out,
                      std::size_t pixels);
    // One box pass down the columns of `rows` rows of `rowBytes` bytes (each byte on its
    // own), window 2 x radius + 1 (radius 1..127), edge rows repeated; `out` is not `in`.
    void (*boxColumns)(const BYTE* in, BYTE* out, std::size_t rowBytes, std::size_t rows, std::size_t stride,
                       int radius);

    static const ShowKernels& Plain();
    // The SSE2 table where the build has it, else the plain one.
    static const ShowKernels& Sse2();
    static const ShowKernels& Best() { return Sse2(); }
    static bool HasSse2();
};
