// YCbCr to RGB by the JFIF equations (ITU-T T.871 section 7), rounded to the nearest
// level. The decoder's own conversion works with 8-bit factors and truncates; its
// errors of a level survive every later scaling step, so pictures that are to be
// scaled smoothly are taken from the decoder as YCbCr and converted here.
#pragma once

#include "platform/com/Com.h"

#include <cstdint>

class ColourConverter {
public:
    enum class Order { Rgb, Bgr };
    // Rows of Y, Cb, Cr bytes, `width` pixels each, `stride` bytes apart, rewritten in place.
    static void YcbcrToRgb(BYTE* rows, std::uint32_t width, std::uint32_t height, std::uint64_t stride, Order order);
};
