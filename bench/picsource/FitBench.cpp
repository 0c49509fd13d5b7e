// picture-fit-bench: frames per second of the picture source from 12-megapixel
// photographs into 640x480 and 1920x1080 frames and the pictures window's 128x96
// thumbnails (smooth letterbox is RenderThumbnail's road there), smooth scaling from
// the decoder's reduced reads against the baseline of the default, nearest neighbour from the full
// decode, on the same photographs in the same run (the two alternate per picture, so
// both see the same machine load). Every frame is the whole ReadPicture: file read,
// decode, conversion, fit.
//
// Usage: picture-fit-bench [FOLDER] [ROUNDS]. Without a folder, four 4000x3000
// photographs are made once with ImageMagick in /tmp/picture-fit-bench-photos.
#include "bench/picsource/BenchPhotos.h"
#include "picsource/FrameBuilder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
    const char* label;
    PictureOptions options;
    Clock::duration time{};
    int frames = 0;
    double FramesPerSecond() const { return frames / std::chrono::duration<double>(time).count(); }
};

} // namespace

int main(int argc, char** argv)
{
    const std::string folder =
        argc > 1 ? argv[1] : MakeBenchPhotos("picture-fit-bench", "/tmp/picture-fit-bench-photos", 4, 4000, 3000);
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::vector<std::string> paths = BenchPhotos("picture-fit-bench", folder);
    std::printf("%zu photographs in %s, %d rounds\n", paths.size(), folder.c_str(), rounds);
    for (const auto& [width, height] :
         {std::pair<LONG, LONG>{640, 480}, std::pair<LONG, LONG>{1920, 1080}, std::pair<LONG, LONG>{128, 96}}) {
        std::vector<BYTE> frame(FrameBuilder::FrameStride(width) * static_cast<std::size_t>(height));
        FrameBuilder builder;
        Run runs[] = {{"nearest, full decode", {}},
                      {"smooth, reduced read", {OrientationIgnore, FitStretch, ScalingSmooth}},
                      {"smooth letterbox", {OrientationExif, FitLetterbox, ScalingSmooth}}};
        for (int round = 0; round < rounds; ++round) {
            for (const std::string& path : paths) {
                for (Run& run : runs) {
                    const auto started = Clock::now();
                    if (FAILED(builder.ReadPicture(path, frame.data(), width, height, run.options))) {
                        std::fprintf(stderr, "picture-fit-bench: %s failed for %s\n", run.label, path.c_str());
                        return 1;
                    }
                    run.time += Clock::now() - started;
                    ++run.frames;
                }
            }
        }
        std::printf("frames of %dx%d:\n", static_cast<int>(width), static_cast<int>(height));
        for (const Run& run : runs) {
            std::printf("  %-22s %6.2f frames/s  (%d frames)  ratio to nearest %.2f\n", run.label,
                        run.FramesPerSecond(), run.frames, run.FramesPerSecond() / runs[0].FramesPerSecond());
        }
    }
    return 0;
}
