#include "picsource/ShowComposer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

// Sub-pixel positions are taken in 1/128 pixel steps.
constexpr int kSteps = 128;

// A source position as a pixel and a fraction of the way to the next one.
std::uint32_t FixedPosition(double position, std::uint32_t length)
{
    const double clamped = std::clamp(position, 0.0, static_cast<double>(length - 1));
    return static_cast<std::uint32_t>(std::lround(clamped * kSteps));
}

} // namespace

ShowComposer::ShowComposer(LONG frameWidth, LONG frameHeight, const ShowOptions& options, const ShowKernels& routines)
    : width(frameWidth),
      height(frameHeight),
      stride(FrameBuilder::FrameStride(frameWidth)),
      frameBytes(stride * static_cast<std::size_t>(frameHeight)),
      show(options),
      kernels(routines)
{
}

void ShowComposer::RenderLayer(const Layer& layer, BYTE* out)
{
    const ShowPicture& picture = *layer.picture;
    if (picture.Moves()) {
        RenderMoving(picture, layer.progress, out);
    } else {
        std::memcpy(out, picture.frame.data(), frameBytes);
    }
    if (overlay) overlay->Draw(picture.index, out, width, height);
}

void ShowComposer::RenderMoving(const ShowPicture& picture, double progress, BYTE* out)
{
    std::memcpy(out, picture.frame.data(), frameBytes);
    const SmoothScaler::Image& image = picture.image;
    const PicturePlacement::Rect& placed = picture.placed;
    const MotionPath::View view = picture.motion.At(progress, width, height);
    // Frame pixel x shows the view at left + (x + 1/2) x view.width / width, which lies
    // in the picture at (that - placed.left) x image.width / placed.width - 1/2.
    const double perPixelX = static_cast<double>(image.width) / static_cast<double>(placed.width);
    const double perPixelY = static_cast<double>(image.height) / static_cast<double>(placed.height);
    const double stepX = view.width / width * perPixelX;
    const double stepY = view.height / height * perPixelY;
    const double originX = (view.left - static_cast<double>(placed.left)) * perPixelX + stepX / 2 - 0.5;
    const double originY = (view.bottom - static_cast<double>(placed.bottom)) * perPixelY + stepY / 2 - 0.5;
    const auto inside = [](double position, std::uint32_t length) {
        return position >= -0.5 && position < static_cast<double>(length) - 0.5;
    };
    LONG firstColumn = width;
    LONG endColumn = 0;
    for (LONG x = 0; x < width; ++x) {
        const double position = originX + stepX * x;
        if (!inside(position, image.width)) continue;
        const std::uint32_t fixed = FixedPosition(position, image.width);
        column[static_cast<std::size_t>(x)] = fixed / kSteps;
        fraction[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(fixed % kSteps);
        firstColumn = std::min(firstColumn, x);
        endColumn = x + 1;
    }
    if (firstColumn >= endColumn) return;
    const std::uint32_t low = column[static_cast<std::size_t>(firstColumn)];
    const std::uint32_t needed = column[static_cast<std::size_t>(endColumn - 1)] + 1;
    const std::uint32_t high = std::min(image.width - 1, needed);
    const std::size_t spare = 3 * std::size_t{image.width};
    for (LONG y = 0; y < height; ++y) {
        const double position = originY + stepY * y;
        if (!inside(position, image.height)) continue;
        const std::uint32_t fixed = FixedPosition(position, image.height);
        const std::uint32_t row = fixed / kSteps;
        const BYTE* below = image.pixels + row * image.stride + 3 * std::size_t{low};
        const BYTE* above = image.pixels + std::min(row + 1, image.height - 1) * image.stride + 3 * std::size_t{low};
        kernels.lerpRows(below, above, lerped.data() + 3 * std::size_t{low}, 3 * std::size_t{high - low + 1},
                         static_cast<int>(fixed % kSteps));
        // The last column's right neighbour is itself.
        if (needed > high) std::copy_n(lerped.data() + spare - 3, 3, lerped.data() + spare);
        kernels.sampleRow(lerped.data(), column.data() + firstColumn, fraction.data() + firstColumn,
                          out + static_cast<std::size_t>(y) * stride + 3 * static_cast<std::size_t>(firstColumn),
                          static_cast<std::size_t>(endColumn - firstColumn));
    }
}

void ShowComposer::Wipe(const BYTE* to, int weight, BYTE* frame) const
{
    const LONG edge = width - static_cast<LONG>((static_cast<LONGLONG>(weight) * width + kFull / 2) / kFull);
    const std::size_t offset = 3 * static_cast<std::size_t>(edge);
    const std::size_t bytes = 3 * static_cast<std::size_t>(width - edge);
    for (LONG y = 0; y < height; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * stride + offset;
        std::memcpy(frame + row, to + row, bytes);
    }
}

void ShowComposer::Slide(const BYTE* from, const BYTE* to, int weight, BYTE* frame) const
{
    const auto shift = static_cast<std::size_t>((static_cast<LONGLONG>(weight) * width + kFull / 2) / kFull);
    const std::size_t kept = static_cast<std::size_t>(width) - shift;
    for (LONG y = 0; y < height; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * stride;
        std::memcpy(frame + row, from + row + 3 * shift, 3 * kept);
        std::memcpy(frame + row + 3 * kept, to + row, 3 * shift);
    }
}

bool ShowComposer::Compose(const Layer& from, const Layer& to, int weight, int brightness, BYTE* frame)
{
    try {
        first.resize(frameBytes);
        second.resize(frameBytes);
        column.resize(static_cast<std::size_t>(width));
        fraction.resize(static_cast<std::size_t>(width));
        const auto widest = [](const Layer& layer) {
            return layer.picture && layer.picture->Moves() ? layer.picture->image.width : 0u;
        };
        lerped.resize(3 * (std::size_t{std::max(widest(from), widest(to))} + 1) + 2);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!to.picture) {
        RenderLayer(from, frame);
    } else if (show.transition == TransitionFadeBlack) {
        // Out to black in the first half, in from black in the second.
        const bool outgoing = weight < kFull / 2;
        RenderLayer(outgoing ? from : to, frame);
        kernels.scale(frame, frameBytes, outgoing ? kFull - 2 * weight : 2 * weight - kFull);
    } else if (show.transition == TransitionSlideLeft) {
        RenderLayer(from, first.data());
        RenderLayer(to, second.data());
        Slide(first.data(), second.data(), weight, frame);
    } else {
        RenderLayer(from, frame);
        RenderLayer(to, second.data());
        if (show.transition == TransitionWipeLeft) {
            Wipe(second.data(), weight, frame);
        } else {
            kernels.blend(frame, second.data(), frame, frameBytes, weight);
        }
    }
    if (brightness < kFull) kernels.scale(frame, frameBytes, std::max(brightness, 0));
    return true;
}
