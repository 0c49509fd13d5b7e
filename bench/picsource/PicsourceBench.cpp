// picsource-bench: how fast the picture source turns photographs into 640x480
// frames, and where the time goes (reading the file, decoding to a bottom-up BGR
// image, fitting it to the frame).
//
// The baseline is the same pipeline with libjpeg-turbo's TurboJPEG decoding the same
// files in the same run; the ratio "ours / baseline" compares frames per second.
//
// Usage: picsource-bench [FOLDER] [ROUNDS]. Without a folder, a deterministic set of
// photographs of 2 to 12 megapixels is made once with ImageMagick in
// /tmp/picsource-bench-photos.
#include "bench/picsource/BenchPhotos.h"
#include "picsource/FrameBuilder.h"

#include <turbojpeg.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr LONG kWidth = 640;
constexpr LONG kHeight = 480;

struct Photo {
    const char* name;
    const char* size;
    int seed;
};

// 1.9, 3.1, 5.0, 8.0, 10.0 and 12.0 megapixels.
constexpr Photo kPhotos[] = {{"p1.jpg", "1600x1200", 1}, {"p2.jpg", "2048x1536", 2}, {"p3.jpg", "2592x1944", 3},
                             {"p4.jpg", "3264x2448", 4}, {"p5.jpg", "3648x2736", 5}, {"p6.jpg", "4000x3000", 6}};

std::string MakePhotos()
{
    const std::string folder = "/tmp/picsource-bench-photos";
    std::filesystem::create_directories(folder);
    for (const Photo& photo : kPhotos) {
        const std::string path = folder + "/" + photo.name;
        if (std::filesystem::exists(path)) continue;
        std::printf("making %s (%s)\n", path.c_str(), photo.size);
        const std::string command = "convert -seed " + std::to_string(photo.seed) +
                                    " -size 800x600 plasma:fractal -resize " + photo.size +
                                    "! -attenuate 0.4 +noise Gaussian -quality 90 " + path;
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "picsource-bench: ImageMagick failed for %s\n", path.c_str());
            std::exit(1);
        }
    }
    return folder;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Times {
    Clock::duration load{}, decode{}, fit{};
    int frames = 0;
    Clock::duration Total() const { return load + decode + fit; }
};

// Fits a decoded image to the frame and books the times of the three steps.
void FinishFrame(const FrameBuilder::Image& image, BYTE* frame, Times& times, Clock::time_point started,
                 Clock::time_point loaded, Clock::time_point decoded)
{
    FrameBuilder::FitToFrame(image, frame, kWidth, kHeight);
    const auto fitted = Clock::now();
    times.load += loaded - started;
    times.decode += decoded - loaded;
    times.fit += fitted - decoded;
    ++times.frames;
}

// One frame with our decoder.
bool OurFrame(FrameBuilder& builder, const std::string& path, BYTE* frame, Times& times)
{
    const auto started = Clock::now();
    if (FAILED(builder.LoadFile(path))) return false;
    const auto loaded = Clock::now();
    if (builder.DecodeImage() != S_OK) return false;
    FinishFrame(builder.DecodedImage(), frame, times, started, loaded, Clock::now());
    return true;
}

// The same pipeline with TurboJPEG in place of our decoder, asked for the same
// bottom-up, padded BGR rows.
bool BaselineFrame(tjhandle turbo, std::vector<BYTE>& pixels, const std::string& path, BYTE* frame, Times& times)
{
    const auto started = Clock::now();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(std::filesystem::file_size(path)));
    const bool read = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    std::fclose(file);
    if (!read) return false;
    const auto loaded = Clock::now();
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(turbo, bytes.data(), bytes.size(), &width, &height, &subsampling, &colourspace) != 0)
        return false;
    const auto stride = FrameBuilder::FrameStride(width);
    if (pixels.size() < stride * static_cast<std::size_t>(height)) pixels.resize(stride * height);
    if (tjDecompress2(turbo, bytes.data(), bytes.size(), pixels.data(), width, static_cast<int>(stride), height,
                      TJPF_BGR, TJFLAG_BOTTOMUP) != 0)
        return false;
    const FrameBuilder::Image image{pixels.data(), static_cast<std::uint32_t>(width),
                                    static_cast<std::uint32_t>(height), stride};
    FinishFrame(image, frame, times, started, loaded, Clock::now());
    return true;
}

void Print(const char* label, const Times& times)
{
    const double total = Seconds(times.Total());
    std::printf("%-22s %6.2f frames/s  (%d frames, %.2f s)  read %4.1f%%  decode %4.1f%%  fit %4.1f%%\n", label,
                times.frames / total, times.frames, total, 100 * Seconds(times.load) / total,
                100 * Seconds(times.decode) / total, 100 * Seconds(times.fit) / total);
}

} // namespace

int main(int argc, char** argv)
{
    const std::string folder = argc > 1 ? argv[1] : MakePhotos();
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::vector<std::string> paths = BenchPhotos("picsource-bench", folder);
    std::vector<BYTE> frame(FrameBuilder::FrameStride(kWidth) * kHeight);
    FrameBuilder ours;
    std::vector<BYTE> baselinePixels;
    tjhandle turbo = tjInitDecompress();
    Times ourTimes, baselineTimes;
    // Alternate the two per picture so that both see the same machine load.
    for (int round = 0; round < rounds; ++round) {
        for (const std::string& path : paths) {
            if (!OurFrame(ours, path, frame.data(), ourTimes)) std::fprintf(stderr, "ours failed: %s\n", path.c_str());
            if (!BaselineFrame(turbo, baselinePixels, path, frame.data(), baselineTimes))
                std::fprintf(stderr, "baseline failed: %s\n", path.c_str());
        }
    }
    tjDestroy(turbo);
    std::printf("%zu photographs in %s, %d rounds, frames of %dx%d\n", paths.size(), folder.c_str(), rounds,
                static_cast<int>(kWidth), static_cast<int>(kHeight));
    Print("XTPPic (our decoder)", ourTimes);
    Print("baseline (TurboJPEG)", baselineTimes);
    const double ratio =
        (ourTimes.frames / Seconds(ourTimes.Total())) / (baselineTimes.frames / Seconds(baselineTimes.Total()));
    std::printf("frames/s ratio ours / TurboJPEG baseline: %.2f\n", ratio);
    return 0;
}
