#include "picsource/ColourConverter.h"

#include <algorithm>

namespace {

// The equations' factors in 16 fractional bits, and half a level for rounding.
constexpr std::int32_t kCrToR = 91881;  // 1.402
constexpr std::int32_t kCbToG = -22554; // -0.344136
constexpr std::int32_t kCrToG = -46802; // -0.714136
constexpr std::int32_t kCbToB = 116130; // 1.772
constexpr std::int32_t kHalf = 1 << 15;

BYTE Level(std::int32_t y, std::int32_t scaledDifference)
{
    return static_cast<BYTE>(std::clamp(y + ((scaledDifference + kHalf) >> 16), 0, 255));
}

} // namespace

void ColourConverter::YcbcrToRgb(BYTE* rows, std::uint32_t width, std::uint32_t height, std::uint64_t stride,
                                 Order order)
{
    const int red = order == Order::Rgb ? 0 : 2;
    const int blue = 2 - red;
    for (std::uint32_t row = 0; row < height; ++row) {
        BYTE* pixel = rows + row * stride;
        for (std::uint32_t x = 0; x < width; ++x, pixel += 3) {
            const std::int32_t y = pixel[0];
            const std::int32_t cb = pixel[1] - 128;
            const std::int32_t cr = pixel[2] - 128;
            pixel[red] = Level(y, kCrToR * cr);
            pixel[1] = Level(y, kCbToG * cb + kCrToG * cr);
            pixel[blue] = Level(y, kCbToB * cb);
        }
    }
}
