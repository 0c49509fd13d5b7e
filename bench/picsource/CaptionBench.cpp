// caption-bench: what a caption costs per frame of a 1280x720 movie. Prepare runs once
// a picture, Draw once a frame (25 a second); printed as microseconds per call for a
// Latin and a Japanese caption at the default size and at a large one, with the time
// a 25 fps frame has (40,000 us) as the scale, and what the first Prepare of a painter
// costs, which finds and opens the fonts. No baseline is needed: no other
// program draws into this frame layout, and the share of the frame time is the point.
//
// Usage: caption-bench [FRAMES] (default 2000 Draw calls per caption).
#include "picsource/CaptionPainter.h"
#include "picsource/ShowOptions.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr LONG kWidth = 1280;
constexpr LONG kHeight = 720;
constexpr double kFrameMicroseconds = 40'000;

double MicrosecondsSince(Clock::time_point start, int calls)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / calls;
}

} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    constexpr LONG kStride = (kWidth * 3 + 3) & ~3;
    std::vector<BYTE> frame(static_cast<std::size_t>(kStride) * kHeight, 90);
    const struct {
        const char* name;
        const char* text;
        LONG size;
    } captions[] = {
        {"latin, 5%", "A walk along the beach at dusk, 2024-05-01", 5},
        {"japanese, 5%",
         "\xE6\xB5\xB7\xE8\xBE\xBA\xE3\x81\xAE\xE5\xA4\x95\xE6\x97\xA5\xE3\x80\x81\xE4\xBA\xAC\xE9\x83"
         "\xBD\xE3\x81\xAB\xE3\x81\xA6",
         5},
        {"japanese, 12%", "\xE6\xB5\xB7\xE8\xBE\xBA\xE3\x81\xAE\xE5\xA4\x95\xE6\x97\xA5", 12},
    };
    CaptionPainter painter;
    // The first Prepare also finds and opens the fonts.
    const Clock::time_point openStart = Clock::now();
    if (FAILED(painter.Prepare("Reelsmith", kWidth, kHeight, CaptionBottom, 5))) {
        std::fprintf(stderr, "caption-bench: no font\n");
        return 1;
    }
    std::printf("caption-bench: first Prepare, fonts found and opened: %.1f us\n", MicrosecondsSince(openStart, 1));
    std::printf("caption-bench: %ldx%ld frames, %d Draw calls per caption, opacity 256\n", static_cast<long>(kWidth),
                static_cast<long>(kHeight), frames);
    for (const auto& caption : captions) {
        constexpr int kPrepares = 20;
        const Clock::time_point prepareStart = Clock::now();
        for (int i = 0; i < kPrepares; ++i) {
            if (FAILED(painter.Prepare(caption.text, kWidth, kHeight, CaptionBottom, caption.size))) {
                std::fprintf(stderr, "caption-bench: Prepare failed for %s\n", caption.name);
                return 1;
            }
        }
        const double prepare = MicrosecondsSince(prepareStart, kPrepares);
        const Clock::time_point drawStart = Clock::now();
        for (int i = 0; i < frames; ++i) painter.Draw(frame.data(), 256 - (i & 1));
        const double draw = MicrosecondsSince(drawStart, frames);
        const CaptionPainter::Box& box = painter.Bounds();
        std::printf("  %-14s box %4ldx%-3ld  Prepare %8.1f us  Draw %7.1f us = %.2f%% of a 25 fps frame\n",
                    caption.name, static_cast<long>(box.Width()), static_cast<long>(box.Height()), prepare, draw,
                    100 * draw / kFrameMicroseconds);
    }
    return 0;
}
