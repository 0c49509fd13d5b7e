// The background of a letterboxed picture as phone apps make it: the picture itself
// enlarged to cover the whole frame, strongly blurred and darkened. Made once per
// picture at a sixteenth of the frame's size, where the blur is cheap, and then
// enlarged to the frame; the enlargement's bilinear steps smooth it further.
#pragma once

#include "picsource/ShowKernels.h"
#include "picsource/SmoothScaler.h"

#include <cstdint>
#include <vector>

class BlurredBackground {
public:
    // Brightness kept, out of 256.
    static constexpr int kBrightness = 150;
    static constexpr int kPasses = 3;

    // Fills the whole width x height frame (bottom-up B G R, rows padded to 4 bytes).
    // False, frame untouched, when memory is short.
    static bool Paint(const SmoothScaler::Image& picture, LONG width, LONG height, const ShowKernels& kernels,
                      BYTE* frame);
    // Blurs and darkens in place a small picture of sw x sh pixels in unpadded rows.
    static void Blur(std::vector<BYTE>& small, std::uint32_t sw, std::uint32_t sh, const ShowKernels& kernels);
};
