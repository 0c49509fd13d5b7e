// wmformat-memory-bench: the peak resident memory of reelsmith-make making a
// movie of one picture, per format and frame size, against the `ffmpeg` command
// line encoding one frame of the same size with the same encoder and settings,
// in the same run. "per pixel" is reelsmith-make's peak over the frame's area:
// a bound that holds as frames grow says memory grows with the area alone.
//
// Each run is a child process under an address-space limit, so a size that
// needs more than the machine has fails instead of exhausting it.
// Usage: wmformat-memory-bench [SIDE...] (default 1024 2048 4096).
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

constexpr rlim_t kAddressLimit = rlim_t{12} << 30;

struct Format {
    const char* extension;
    std::vector<std::string> ffmpegEncoder; // the writer's encoder and its options
};

const Format kFormats[] = {
    {"wmv", {"-c:v", "wmv1", "-b:v", "2000000"}},
    {"mp4", {"-c:v", "libx264", "-profile:v", "high", "-b:v", "2000000"}},
    {"webm",
     {"-c:v", "libvpx-vp9", "-b:v", "2000000", "-deadline", "good", "-cpu-used", "4", "-row-mt", "1", "-lag-in-frames",
      "0"}},
};

// Runs a program in `folder` with its output discarded: its peak resident set in
// bytes, or -1 when it failed.
long long PeakOf(const std::vector<std::string>& command, const std::filesystem::path& folder)
{
    const pid_t child = fork();
    if (child == 0) {
        const rlimit limit{kAddressLimit, kAddressLimit};
        setrlimit(RLIMIT_AS, &limit);
        if (chdir(folder.c_str()) != 0) _exit(127);
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(127);
        std::vector<char*> argv;
        for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return static_cast<long long>(usage.ru_maxrss) * 1024;
}

std::string Megabytes(long long bytes)
{
    char text[32];
    if (bytes < 0) return "failed";
    std::snprintf(text, sizeof text, "%.0f MB", bytes / 1e6);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<int> sides;
    for (int i = 1; i < argc; ++i) sides.push_back(std::atoi(argv[i]));
    if (sides.empty()) sides = {1024, 2048, 4096};

    char pattern[] = "/tmp/reelsmith-memory-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::filesystem::path folder = pattern;
    std::filesystem::create_directory(folder / "pictures");
    std::filesystem::copy_file(std::filesystem::path(SAMPLES_DIR) / "sample1.jpg", folder / "pictures/1.jpg");
    setenv("REELSMITH_REGISTRY", (folder / "registry.reg").c_str(), 1);
    setenv("REELSMITH_MACHINE_REGISTRY", (folder / "machine.reg").c_str(), 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::fflush(stdout);
    if (PeakOf({REGSVR_PATH, XTPPIC_PATH}, folder) < 0) {
        std::fputs("wmformat-memory-bench: regsvr failed\n", stderr);
        return 1;
    }

    std::printf("%-5s %6s %16s %16s %7s %10s\n", "format", "side", "reelsmith-make", "ffmpeg", "ratio", "per pixel");
    std::fflush(stdout);
    for (const int side : sides) {
        const std::string size = std::to_string(side);
        std::ofstream(folder / "config.ini") << "[Screen]\nwidth=" << side << "\nheight=" << side
                                             << "\nFrameSpeed=1000\nQuality=2000000\n[System]\nWorkThreadPriority=0\n";
        for (const Format& format : kFormats) {
            const std::string movie = std::string("movie.") + format.extension;
            const long long ours = PeakOf({REELSMITH_MAKE_PATH, "pictures", movie}, folder);
            std::vector<std::string> ffmpeg = {"ffmpeg",
                                               "-v",
                                               "error",
                                               "-f",
                                               "lavfi",
                                               "-i",
                                               "color=gray:s=" + size + "x" + size + ":d=1:r=1",
                                               "-frames:v",
                                               "1",
                                               "-pix_fmt",
                                               "yuv420p"};
            ffmpeg.insert(ffmpeg.end(), format.ffmpegEncoder.begin(), format.ffmpegEncoder.end());
            ffmpeg.insert(ffmpeg.end(), {"-y", std::string("ffmpeg.") + format.extension});
            const long long theirs = PeakOf(ffmpeg, folder);
            const double pixels = static_cast<double>(side) * side;
            std::printf("%-6s %6d %16s %16s %7.2f %8.1f B\n", format.extension, side, Megabytes(ours).c_str(),
                        Megabytes(theirs).c_str(), ours > 0 && theirs > 0 ? static_cast<double>(ours) / theirs : 0.0,
                        ours > 0 ? ours / pixels : 0.0);
            std::fflush(stdout);
        }
    }
    std::filesystem::remove_all(folder);
    return 0;
}
