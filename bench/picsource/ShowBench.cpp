// show-composition-bench: frames per second of slide-show composition alone (no
// decode, no encode) for 1280x720 frames of a crossfade between two pictures that pan
// and zoom over blurred backgrounds, the SSE2 routines against the plain C++ ones on
// the same pictures in the same run (the two alternate per block of frames, so both
// see the same machine load). Also the blurred background's making, once per picture.
//
// Usage: show-composition-bench [FOLDER] [FRAMES]. Without a folder, two 4000x3000
// photographs are made once with ImageMagick in /tmp/show-bench-photos; 4:3 in a 16:9
// frame leaves borders for the background.
#include "bench/picsource/BenchPhotos.h"
#include "picsource/BlurredBackground.h"
#include "picsource/ShowComposer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr LONG kWidth = 1280;
constexpr LONG kHeight = 720;
constexpr int kBlock = 25;

struct Run {
    const char* label;
    const ShowKernels& kernels;
    ShowComposer composer;
    Clock::duration time{};
    Clock::duration backgroundTime{};
    int frames = 0;
    int backgrounds = 0;
    double FramesPerSecond() const { return frames / std::chrono::duration<double>(time).count(); }
    double BackgroundsPerSecond() const { return backgrounds / std::chrono::duration<double>(backgroundTime).count(); }
};

} // namespace

int main(int argc, char** argv)
{
    const std::string folder =
        argc > 1 ? argv[1] : MakeBenchPhotos("show-composition-bench", "/tmp/show-bench-photos", 2, 4000, 3000);
    const int total = argc > 2 ? std::atoi(argv[2]) : 500;
    const std::vector<std::string> paths = BenchPhotos("show-composition-bench", folder);
    ShowOptions show;
    show.transition = TransitionCrossfade;
    show.motion = MotionKenBurns;
    show.background = BackgroundBlur;
    const PictureOptions letterbox{OrientationIgnore, FitLetterbox, ScalingSmooth};
    FrameBuilder builder;
    ShowPicture pictures[2];
    for (int k = 0; k < 2; ++k) {
        const std::string& path = paths[static_cast<std::size_t>(k) % paths.size()];
        if (pictures[k].Prepare(builder, path, k, kWidth, kHeight, letterbox, show) != S_OK) {
            std::fprintf(stderr, "show-composition-bench: cannot read %s\n", path.c_str());
            return 1;
        }
    }
    std::printf("%dx%d crossfade + pan and zoom + blurred background, pictures decoded to %ux%u, %d frames each\n",
                static_cast<int>(kWidth), static_cast<int>(kHeight), pictures[0].image.width, pictures[0].image.height,
                total);
    Run runs[] = {{"plain C++", ShowKernels::Plain(), {kWidth, kHeight, show, ShowKernels::Plain()}},
                  {"SSE2", ShowKernels::Sse2(), {kWidth, kHeight, show, ShowKernels::Sse2()}}};
    std::vector<BYTE> frame(runs[0].composer.FrameBytes());
    std::vector<BYTE> background(frame.size());
    for (int done = 0; done < total; done += kBlock) {
        for (Run& run : runs) {
            const auto started = Clock::now();
            for (int k = done; k < done + kBlock && k < total; ++k) {
                const double progress = static_cast<double>(k) / total;
                const int weight = k * ShowComposer::kFull / total;
                if (!run.composer.Compose({&pictures[0], progress}, {&pictures[1], progress}, weight,
                                          ShowComposer::kFull, frame.data())) {
                    std::fprintf(stderr, "show-composition-bench: out of memory\n");
                    return 1;
                }
                ++run.frames;
            }
            run.time += Clock::now() - started;
        }
    }
    for (int round = 0; round < 20; ++round) {
        for (Run& run : runs) {
            const auto painting = Clock::now();
            for (int k = 0; k < 5; ++k) {
                BlurredBackground::Paint(pictures[k % 2].image, kWidth, kHeight, run.kernels, background.data());
                ++run.backgrounds;
            }
            run.backgroundTime += Clock::now() - painting;
        }
    }
    for (const Run& run : runs) {
        std::printf("  %-10s %7.1f frames/s composed  %6.1f backgrounds/s   ratio to plain %.2f (backgrounds %.2f)\n",
                    run.label, run.FramesPerSecond(), run.BackgroundsPerSecond(),
                    run.FramesPerSecond() / runs[0].FramesPerSecond(),
                    run.BackgroundsPerSecond() / runs[0].BackgroundsPerSecond());
    }
    return 0;
}
