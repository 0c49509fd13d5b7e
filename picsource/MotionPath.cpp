#include "picsource/MotionPath.h"

#include <cstdint>

namespace {

// SplitMix64's finaliser: every bit of the input moves about half of the output's.
std::uint64_t Mixed(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

double Lerp(double from, double to, double t) { return from + (to - from) * t; }

} // namespace

MotionPath MotionPath::For(LONG seed, LONG picture, LONG strength)
{
    const std::uint64_t bits = Mixed((static_cast<std::uint64_t>(static_cast<std::uint32_t>(seed)) << 32) |
                                     static_cast<std::uint32_t>(picture));
    MotionPath path;
    const double zoomed = 1.0 + strength / 100.0;
    const bool zoomIn = (bits & 1) != 0;
    path.zoomFrom = zoomIn ? 1.0 : zoomed;
    path.zoomTo = zoomIn ? zoomed : 1.0;
    // 0, 1/2 or 1 on each axis; the end is the opposite place.
    path.panFromX = static_cast<double>((bits >> 8) % 3) / 2.0;
    path.panFromY = static_cast<double>((bits >> 16) % 3) / 2.0;
    path.panToX = 1.0 - path.panFromX;
    path.panToY = 1.0 - path.panFromY;
    return path;
}

MotionPath::View MotionPath::At(double progress, LONG width, LONG height) const
{
    const double t = progress < 0 ? 0 : progress > 1 ? 1 : progress;
    const double zoom = Lerp(zoomFrom, zoomTo, t);
    View view;
    view.width = width / zoom;
    view.height = height / zoom;
    view.left = Lerp(panFromX, panToX, t) * (width - view.width);
    view.bottom = Lerp(panFromY, panToY, t) * (height - view.height);
    return view;
}
