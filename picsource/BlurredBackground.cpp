#include "picsource/BlurredBackground.h"

#include "picsource/FrameBuilder.h"

#include <algorithm>
#include <new>

namespace {

constexpr LONG kReduction = 16;

// Pixel (x, y) of a w x h picture of 3-byte pixels to (y, x): the rows become columns.
void Transpose(const BYTE* in, BYTE* out, std::uint32_t w, std::uint32_t h)
{
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            const BYTE* from = in + (std::size_t{y} * w + x) * 3;
            BYTE* to = out + (std::size_t{x} * h + y) * 3;
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    }
}

} // namespace

void BlurredBackground::Blur(std::vector<BYTE>& small, std::uint32_t sw, std::uint32_t sh, const ShowKernels& kernels)
{
    std::vector<BYTE> other(small.size());
    const int radius = static_cast<int>(std::clamp<std::uint32_t>(std::max(sw, sh) / 8, 1, 127));
    for (int pass = 0; pass < kPasses; ++pass) {
        // Down the columns, then along the rows as the columns of the transposed picture.
        kernels.boxColumns(small.data(), other.data(), std::size_t{sw} * 3, sh, std::size_t{sw} * 3, radius);
        Transpose(other.data(), small.data(), sw, sh);
        kernels.boxColumns(small.data(), other.data(), std::size_t{sh} * 3, sw, std::size_t{sh} * 3, radius);
        Transpose(other.data(), small.data(), sh, sw);
    }
    kernels.scale(small.data(), small.size(), kBrightness);
}

bool BlurredBackground::Paint(const SmoothScaler::Image& picture, LONG width, LONG height, const ShowKernels& kernels,
                              BYTE* frame)
{
    if (width <= 0 || height <= 0 || picture.width == 0 || picture.height == 0) return true;
    const auto sw = static_cast<std::uint32_t>(std::max<LONG>(2, width / kReduction));
    const auto sh = static_cast<std::uint32_t>(std::max<LONG>(2, height / kReduction));
    // The scaler writes frame rows (padded); the blur takes them unpadded.
    std::vector<BYTE> padded;
    std::vector<BYTE> small;
    try {
        padded.assign(FrameBuilder::FrameStride(static_cast<LONG>(sw)) * sh, 0);
        small.resize(std::size_t{sw} * sh * 3);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const auto cover =
        PicturePlacement::Place(picture.width, picture.height, static_cast<LONG>(sw), static_cast<LONG>(sh), FitCrop);
    if (!SmoothScaler::Scale(picture, cover, padded.data(), static_cast<LONG>(sw), static_cast<LONG>(sh))) return false;
    const std::size_t paddedStride = FrameBuilder::FrameStride(static_cast<LONG>(sw));
    for (std::uint32_t y = 0; y < sh; ++y)
        std::copy_n(padded.data() + y * paddedStride, std::size_t{sw} * 3, small.data() + std::size_t{y} * sw * 3);
    try {
        Blur(small, sw, sh, kernels);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const SmoothScaler::Image blurred{small.data(), sw, sh, std::uint64_t{sw} * 3};
    return SmoothScaler::Scale(blurred, PicturePlacement::Rect{0, 0, width, height}, frame, width, height);
}
