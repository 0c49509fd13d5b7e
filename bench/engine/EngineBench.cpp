// engine-bench: reelsmith-make against the ffmpeg command line making the
// equivalent movie (same frame size, bit rate and picture time, WMV1,
// nearest-neighbour stretch) from the same 30 photographs of 2 to 12
// megapixels, alternating, median of five; the same for a 1280x720 MP4 (H.264
// High, the same rate buffer, one frame per picture, index first, bicubic
// stretch, the pictures given to ffmpeg as a concat list); then
// reelsmith-make's peak memory on 30 and on 300 pictures.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRounds = 5;

struct RunResult {
    bool succeeded = false;
    double seconds = 0;
    long peakKilobytes = 0;
};

// Runs a program in `folder` with its output discarded; wall time and peak resident size.
RunResult Run(const std::vector<std::string>& arguments, const std::filesystem::path& folder)
{
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0) _exit(127);
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    RunResult result;
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return result;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    result.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    result.peakKilobytes = usage.ru_maxrss;
    return result;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::vector<std::string> ReelsmithMake(const std::string& folder, const std::string& output = "reelsmith.wmv",
                                       const std::string& config = "config.ini")
{
    return {REELSMITH_MAKE_PATH, "--config", config, folder, output};
}

std::vector<std::string> FfmpegMake(const std::string& folder)
{
    return {"ffmpeg",        "-y",   "-v",   "error",           "-framerate", "2",
            "-pattern_type", "glob", "-i",   folder + "/*.jpg", "-vf",        "scale=640:480:flags=neighbor",
            "-c:v",          "wmv1", "-b:v", "185000",          "-r",         "2",
            "ffmpeg.wmv"};
}

// The MP4 settings reelsmith-make uses for 720p at 2 Mbit/s with its 3-second
// buffer window; the concat list shows each picture 500 ms, one frame each.
std::vector<std::string> FfmpegMakeMp4(const std::string& list)
{
    return {
        "ffmpeg",    "-y",      "-v",        "error",      "-f",         "concat",
        "-safe",     "0",       "-i",        list,         "-vf",        "scale=1280:720:flags=bicubic,format=yuv420p",
        "-fps_mode", "vfr",     "-c:v",      "libx264",    "-profile:v", "high",
        "-b:v",      "2000000", "-maxrate",  "2000000",    "-bufsize",   "6000000",
        "-g",        "16",      "-movflags", "+faststart", "ffmpeg.mp4"};
}

// Every photograph of the folder for 500 ms, in name order; the last named twice, as the
// concat demuxer takes the last duration only then.
void WriteConcatList(const std::string& folder, const std::filesystem::path& list)
{
    std::vector<std::string> photos;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".jpg") photos.push_back(entry.path().string());
    }
    std::sort(photos.begin(), photos.end());
    std::ofstream out(list);
    for (const std::string& photo : photos) out << "file '" << photo << "'\nduration 0.5\n";
    if (!photos.empty()) out << "file '" << photos.back() << "'\n";
}

struct Comparison {
    bool succeeded = false;
    double ours = 0;
    double theirs = 0;
    long oursPeak = 0;
};

// Both programs in turn, kRounds times; the median times.
Comparison Compare(const std::vector<std::string>& ours, const std::vector<std::string>& theirs,
                   const std::filesystem::path& folder)
{
    Comparison result;
    std::vector<double> oursTimes;
    std::vector<double> theirsTimes;
    for (int round = 0; round < kRounds; ++round) {
        const RunResult own = Run(ours, folder);
        const RunResult baseline = Run(theirs, folder);
        if (!own.succeeded || !baseline.succeeded) {
            std::fprintf(stderr, "engine-bench: a run failed (%s %d, ffmpeg %d)\n", ours.back().c_str(), own.succeeded,
                         baseline.succeeded);
            return result;
        }
        oursTimes.push_back(own.seconds);
        theirsTimes.push_back(baseline.seconds);
        result.oursPeak = std::max(result.oursPeak, own.peakKilobytes);
    }
    result.succeeded = true;
    result.ours = Median(oursTimes);
    result.theirs = Median(theirsTimes);
    return result;
}

} // namespace

int main()
{
    const std::string photos = PHOTOS_DIR;
    if (std::system((std::string(MAKE_PHOTOS) + " " + photos).c_str()) != 0) {
        std::fputs("engine-bench: cannot make the photographs\n", stderr);
        return 1;
    }
    char pattern[] = "/tmp/reelsmith-engine-bench-XXXXXX";
    const std::filesystem::path folder = mkdtemp(pattern);
    setenv("REELSMITH_REGISTRY", (folder / "registry.reg").c_str(), 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!Run({REGSVR_PATH, XTPPIC_PATH}, folder).succeeded) {
        std::fputs("engine-bench: cannot register XTPPic\n", stderr);
        return 1;
    }
    std::ofstream(folder / "config.ini") << "[Screen]\nwidth=640\nheight=480\nFrameSpeed=500\nQuality=185000\n"
                                            "[System]\nWorkThreadPriority=0\n";
    std::ofstream(folder / "hd.ini") << "[Screen]\nwidth=1280\nheight=720\nFrameSpeed=500\nQuality=2000000\n"
                                        "[System]\nWorkThreadPriority=0\n";
    WriteConcatList(photos, folder / "photos.txt");
    const Comparison wmv = Compare(ReelsmithMake(photos), FfmpegMake(photos), folder);
    const Comparison mp4 = Compare(ReelsmithMake(photos, "reelsmith.mp4", "hd.ini"),
                                   FfmpegMakeMp4((folder / "photos.txt").string()), folder);
    if (!wmv.succeeded || !mp4.succeeded) return 1;
    const RunResult many = Run(ReelsmithMake(photos + "-300"), folder);
    std::printf("30 photographs of 2 to 12 megapixels, 500 ms per picture\n");
    std::printf("%-46s %10s\n", "", "median s");
    std::printf("%-46s %10.3f\n", "reelsmith-make 640x480 WMV1 185000 bit/s", wmv.ours);
    std::printf("%-46s %10.3f\n", "ffmpeg (wmv1, neighbor scale)", wmv.theirs);
    std::printf("ratio reelsmith-make / ffmpeg, WMV: %.2f (target at most 0.7)\n", wmv.ours / wmv.theirs);
    std::printf("%-46s %10.3f\n", "reelsmith-make 1280x720 MP4 H.264 2 Mbit/s", mp4.ours);
    std::printf("%-46s %10.3f\n", "ffmpeg (concat list, libx264 high, bicubic)", mp4.theirs);
    std::printf("ratio reelsmith-make / ffmpeg, MP4: %.2f\n", mp4.ours / mp4.theirs);
    std::printf("peak memory of reelsmith-make: 30 pictures %.1f MiB, 300 pictures %.1f MiB%s\n", wmv.oursPeak / 1024.0,
                many.peakKilobytes / 1024.0, many.succeeded ? "" : " (the 300 run failed)");
    std::filesystem::remove_all(folder);
    return many.succeeded ? 0 : 1;
}
