// engine-bench: reelsmith-make against the ffmpeg command line making the
// equivalent movie (same frame size, bit rate and picture time, WMV1,
// nearest-neighbour stretch) from the same 30 photographs of 2 to 12
// megapixels, alternating, median of five; then reelsmith-make's peak memory
// on 30 and on 300 pictures.
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

constexpr int Rounds = 5;

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

std::vector<std::string> ReelsmithMake(const std::string& folder)
{
    return {REELSMITH_MAKE_PATH, folder, "reelsmith.wmv"};
}

std::vector<std::string> FfmpegMake(const std::string& folder)
{
    return {"ffmpeg", "-y", "-v", "error", "-framerate", "2", "-pattern_type", "glob", "-i", folder + "/*.jpg",
            "-vf", "scale=640:480:flags=neighbor", "-c:v", "wmv1", "-b:v", "185000", "-r", "2", "ffmpeg.wmv"};
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
    std::vector<double> ours;
    std::vector<double> theirs;
    long oursPeak = 0;
    for (int round = 0; round < Rounds; ++round) {
        const RunResult own = Run(ReelsmithMake(photos), folder);
        const RunResult baseline = Run(FfmpegMake(photos), folder);
        if (!own.succeeded || !baseline.succeeded) {
            std::fprintf(stderr, "engine-bench: a run failed (reelsmith-make %d, ffmpeg %d)\n", own.succeeded,
                         baseline.succeeded);
            return 1;
        }
        ours.push_back(own.seconds);
        theirs.push_back(baseline.seconds);
        oursPeak = std::max(oursPeak, own.peakKilobytes);
    }
    const RunResult many = Run(ReelsmithMake(photos + "-300"), folder);
    std::printf("30 photographs of 2 to 12 megapixels -> 640x480 WMV1, 185000 bit/s, 500 ms per picture\n");
    std::printf("%-34s %10s\n", "", "median s");
    std::printf("%-34s %10.3f\n", "reelsmith-make", Median(ours));
    std::printf("%-34s %10.3f\n", "ffmpeg (wmv1, neighbor scale)", Median(theirs));
    std::printf("ratio reelsmith-make / ffmpeg: %.2f (target at most 1.5)\n", Median(ours) / Median(theirs));
    std::printf("peak memory of reelsmith-make: 30 pictures %.1f MiB, 300 pictures %.1f MiB%s\n",
                oursPeak / 1024.0, many.peakKilobytes / 1024.0, many.succeeded ? "" : " (the 300 run failed)");
    std::filesystem::remove_all(folder);
    return many.succeeded ? 0 : 1;
}
