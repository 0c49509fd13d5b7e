// engine-bench: reelsmith-make against the ffmpeg command line making the
// equivalent movie (same pictures, frame size, bit rate, picture time, frame rate
// and key-frame spacing), job by job, alternating, the median of
// ENGINE_BENCH_ROUNDS rounds (3 unless set). Each job prints both programs' time,
// CPU use, peak memory and the PSNR and SSIM of both movies against the same
// source frames, and the command lines; then reelsmith-make's peak memory on 30
// and on 300 pictures.
//
// The source frames are ffmpeg's Lanczos scaling of the photographs, in 4:2:0,
// at the movie's frame rate: a scaler neither program uses, so neither movie is
// measured against its own front end.
//
// The show job makes a slide show with effects: reelsmith-make against the ffmpeg
// filter graph of the same show (zoompan and xfade, generated here) and against
// melt (MLT) with its luma mix and affine pan and zoom, when melt is installed.
// Effects differ in detail between the three, so it prints time, CPU and memory,
// not picture quality; then reelsmith-make's peak memory for the show on 30 and on
// 300 pictures.
//
//   engine-bench [JOB...]   jobs: wmv-nearest wmv-smooth mp4-720 phone-720 mp4-1080 webm-1080 show-720
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct RunResult {
    bool succeeded = false;
    double seconds = 0;
    double cpuSeconds = 0;
    long peakKilobytes = 0;
};

// Runs a program in `folder` with its output discarded; wall time, CPU time and peak resident size.
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
    const auto seconds = [](timeval time) { return time.tv_sec + time.tv_usec / 1e6; };
    result.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    result.peakKilobytes = usage.ru_maxrss;
    return result;
}

std::string CommandOutput(const std::string& command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string output;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get())) output += buffer;
    return output;
}

std::string LoadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

std::string Joined(const std::vector<std::string>& arguments)
{
    std::string line;
    for (const std::string& argument : arguments) {
        const bool plain = argument.find_first_of(" ;[]*'()$&|<>") == std::string::npos;
        line += (line.empty() ? "" : " ") + (plain ? argument : Quoted(argument));
    }
    return line;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Job {
    std::string name;
    std::string title;
    std::string photos; // folder
    int width = 0;
    int height = 0;
    int pictureMs = 0;
    int bitRate = 0;
    int frameRate = 0; // 0: one frame per picture (WMV)
    bool smooth = false;
    bool letterbox = false;
    std::string extension;
    std::string config; // reelsmith-make's settings file, in the work folder
    std::string list;   // the concat list of the photographs, in the work folder
    int RateOfFrames() const { return frameRate > 0 ? frameRate : 1000 / pictureMs; }
    // The profile's 8-second key-frame spacing in frames.
    int KeyFrameSpacing() const { return 8 * RateOfFrames(); }
};

std::vector<std::string> ReelsmithMake(const Job& job)
{
    std::vector<std::string> arguments = {REELSMITH_MAKE_PATH, "--config", job.config};
    if (job.frameRate > 0) arguments.insert(arguments.end(), {"--fps", std::to_string(job.frameRate)});
    if (job.letterbox) arguments.insert(arguments.end(), {"--fit", "letterbox"});
    if (job.smooth) arguments.push_back("--smooth");
    arguments.insert(arguments.end(), {job.photos, "reelsmith." + job.extension});
    return arguments;
}

// ffmpeg's scale (and pad) filter for the job's frame, by `flags`.
std::string ScaleFilter(const Job& job, const std::string& flags)
{
    const std::string size = std::to_string(job.width) + ":" + std::to_string(job.height);
    if (!job.letterbox) return "scale=" + size + ":flags=" + flags;
    return "scale=" + size + ":force_original_aspect_ratio=decrease:flags=" + flags + ",pad=" + size + ":-1:-1";
}

// The ffmpeg command making the same movie. WMV: the pictures by a glob at two a
// second, nearest neighbour or area averaging (reelsmith's smooth shrinking). MP4
// and WebM: the concat list, each picture its time, area averaging into the
// letterbox, the frame rate asked for; the profile's rate buffer for H.264; VP9 as
// ffmpeg does by default (a WebM takes variable frame times, so ffmpeg writes the
// repeated frames as one).
std::vector<std::string> FfmpegMake(const Job& job)
{
    const std::string rate = std::to_string(job.bitRate);
    const std::string output = "ffmpeg." + job.extension;
    if (job.extension == "wmv") {
        return {"ffmpeg",
                "-y",
                "-v",
                "error",
                "-framerate",
                "2",
                "-pattern_type",
                "glob",
                "-i",
                job.photos + "/*.jpg",
                "-vf",
                ScaleFilter(job, job.smooth ? "area" : "neighbor"),
                "-c:v",
                "wmv1",
                "-b:v",
                rate,
                "-r",
                "2",
                output};
    }
    std::vector<std::string> arguments = {"ffmpeg", "-y",
                                          "-v",     "error",
                                          "-f",     "concat",
                                          "-safe",  "0",
                                          "-i",     job.list,
                                          "-vf",    ScaleFilter(job, "area") + ",format=yuv420p",
                                          "-r",     std::to_string(job.frameRate),
                                          "-g",     std::to_string(job.KeyFrameSpacing())};
    if (job.extension == "mp4") {
        arguments.insert(arguments.end(), {"-c:v", "libx264", "-profile:v", "high", "-b:v", rate, "-maxrate", rate,
                                           "-bufsize", std::to_string(job.bitRate * 3), "-movflags", "+faststart"});
    } else {
        arguments.insert(arguments.end(), {"-c:v", "libvpx-vp9", "-b:v", rate});
    }
    arguments.push_back(output);
    return arguments;
}

struct Quality {
    double psnr = 0;       // of the movie's mean squared error
    double medianPsnr = 0; // of the typical frame
    double ssim = 0;       // the mean over frames
};

// The numbers after `label` in each line of a stats file ("inf" for a perfect frame counts as 100 dB).
std::vector<double> Column(const std::filesystem::path& file, const std::string& label)
{
    std::vector<double> values;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        const std::size_t at = line.find(label);
        if (at == std::string::npos) continue;
        const std::string value = line.substr(at + label.size());
        values.push_back(value.starts_with("inf") ? 100.0 : std::atof(value.c_str()));
    }
    return values;
}

double NumberAfter(const std::string& text, const std::string& label)
{
    const std::size_t at = text.rfind(label);
    return at == std::string::npos ? 0 : std::atof(text.c_str() + at + label.size());
}

// PSNR (all planes, dB) and SSIM of a movie against the source frames, frame by frame at the
// job's rate, up to the shorter of the two, with each frame's figures in `stats`.psnr and .ssim.
std::string QualityCommand(const Job& job, const std::filesystem::path& movie, const std::filesystem::path& stats)
{
    const std::string rate = "fps=" + std::to_string(job.RateOfFrames()) + ",setpts=PTS-STARTPTS";
    const std::string graph = "[0:v]" + rate + ",format=yuv420p,split[m1][m2];[1:v]" +
                              ScaleFilter(job, "lanczos+accurate_rnd") + ",format=yuv420p," + rate +
                              ",split[r1][r2];[m1][r1]psnr=shortest=1:stats_file=" + stats.string() +
                              ".psnr;[m2][r2]ssim=shortest=1:stats_file=" + stats.string() + ".ssim";
    // The photographs differ in size: without -reinit_filter 0 each new size would
    // build the filters afresh and restart the averages.
    return Joined({"ffmpeg", "-nostats", "-i", movie.string(), "-reinit_filter", "0", "-f", "concat", "-safe", "0",
                   "-i", job.list, "-lavfi", graph, "-f", "null", "-"});
}

// A frame of the wrong picture (ffmpeg's constant rate turns to the next picture a
// frame early) weighs heavily in the movie's PSNR; the median frame's shows the encoding.
Quality Measure(const Job& job, const std::filesystem::path& movie)
{
    const std::filesystem::path stats = movie.string() + ".stats";
    const std::string output = CommandOutput(QualityCommand(job, movie, stats) + " 2>&1");
    const std::vector<double> frames = Column(stats.string() + ".psnr", "psnr_avg:");
    return {NumberAfter(output, "average:"), frames.empty() ? 0 : Median(frames), NumberAfter(output, "All:")};
}

std::vector<std::string> JpegsOf(const std::string& folder)
{
    std::vector<std::string> photos;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".jpg") photos.push_back(entry.path().string());
    }
    std::sort(photos.begin(), photos.end());
    return photos;
}

// Every photograph of the folder for the picture's time, in name order; the last
// named twice, as the concat demuxer takes the last duration only then.
void WriteConcatList(const Job& job, const std::filesystem::path& list)
{
    const std::vector<std::string> photos = JpegsOf(job.photos);
    std::ofstream out(list);
    for (const std::string& photo : photos)
        out << "file '" << photo << "'\nduration " << job.pictureMs / 1000.0 << "\n";
    if (!photos.empty()) out << "file '" << photos.back() << "'\n";
}

struct Side {
    std::vector<double> seconds;
    std::vector<double> cpu;
    long peak = 0;
    void Add(const RunResult& run)
    {
        seconds.push_back(run.seconds);
        cpu.push_back(run.cpuSeconds / std::max(run.seconds, 1e-9));
        peak = std::max(peak, run.peakKilobytes);
    }
};

void PrintSide(const char* who, const Side& side, const Quality& quality)
{
    std::printf("  %-8s %8.2f s  CPU %.2f of %ld  peak %7.1f MiB  PSNR %6.2f dB (median frame %6.2f)  SSIM %.6f\n", who,
                Median(side.seconds), Median(side.cpu), sysconf(_SC_NPROCESSORS_ONLN), side.peak / 1024.0, quality.psnr,
                quality.medianPsnr, quality.ssim);
}

// Both programs in turn, `rounds` times, then the quality of the last movies.
bool Compare(const Job& job, int rounds, const std::filesystem::path& folder)
{
    const std::vector<std::string> ours = ReelsmithMake(job);
    const std::vector<std::string> theirs = FfmpegMake(job);
    std::printf("\n%s (%s), load average %s\n", job.name.c_str(), job.title.c_str(), LoadAverage().c_str());
    std::fflush(stdout);
    Side own, baseline;
    for (int round = 0; round < rounds; ++round) {
        const RunResult first = Run(ours, folder);
        const RunResult second = Run(theirs, folder);
        if (!first.succeeded || !second.succeeded) {
            std::printf("  a run failed (reelsmith-make %d, ffmpeg %d)\n", first.succeeded, second.succeeded);
            return false;
        }
        own.Add(first);
        baseline.Add(second);
    }
    PrintSide("reelsmith", own, Measure(job, folder / ours.back()));
    PrintSide("ffmpeg", baseline, Measure(job, folder / theirs.back()));
    std::printf("  ratio reelsmith-make / ffmpeg: time %.2f (target at most 0.7), peak memory %.2f; load average %s\n",
                Median(own.seconds) / Median(baseline.seconds), static_cast<double>(own.peak) / baseline.peak,
                LoadAverage().c_str());
    std::printf("  reelsmith: %s\n  ffmpeg:    %s\n  quality:   %s\n", Joined(ours).c_str(), Joined(theirs).c_str(),
                QualityCommand(job, "MOVIE", "MOVIE.stats").c_str());
    return true;
}

// The show job: 1280x720 H.264 at 2 Mbit/s and 25 fps, 3 s a picture, a crossfade of
// 1 s between pictures, pan and zoom, letterboxed over the blurred picture.
constexpr int kShowPictureMs = 3000;
constexpr int kShowTransitionMs = 1000;
constexpr int kShowRate = 2000000;

std::vector<std::string> ReelsmithShow(const std::string& photos, const std::string& config, const std::string& movie)
{
    return {REELSMITH_MAKE_PATH,
            "--config",
            config,
            "--fps",
            "25",
            "--fit",
            "letterbox",
            "--smooth",
            "--transition",
            "crossfade",
            "--transition-ms",
            std::to_string(kShowTransitionMs),
            "--motion",
            "kenburns",
            "--background",
            "blur",
            photos,
            movie};
}

// Every picture as a clip of its time and the transition's (so that the crossfades
// leave the show its length): the blurred, darkened cover behind the letterboxed
// picture, zoomed in by 15 % over the clip, the clips joined by xfade's fade.
std::vector<std::string> FfmpegShow(const std::vector<std::string>& photos)
{
    const int clipFrames = (kShowPictureMs + kShowTransitionMs) * 25 / 1000;
    std::vector<std::string> arguments = {"ffmpeg", "-y", "-v", "error"};
    std::string graph;
    for (std::size_t i = 0; i < photos.size(); ++i) {
        arguments.insert(arguments.end(), {"-i", photos[i]});
        const std::string n = std::to_string(i);
        graph +=
            "[" + n + ":v]split[a" + n + "][b" + n + "];[a" + n +
            "]scale=1280:720:force_original_aspect_ratio=increase,crop=1280:720,boxblur=30:2,eq=brightness=-0.25[g" +
            n + "];[b" + n + "]scale=1280:720:force_original_aspect_ratio=decrease[f" + n + "];[g" + n + "][f" + n +
            "]overlay=(W-w)/2:(H-h)/2,format=yuv420p,zoompan=z='1+0.15*on/" + std::to_string(clipFrames - 1) +
            "':x='iw/2-iw/zoom/2':y='ih/2-ih/zoom/2':d=" + std::to_string(clipFrames) +
            ":s=1280x720:fps=25,trim=end_frame=" + std::to_string(clipFrames) + "[v" + n + "];";
    }
    std::string last = "v0";
    for (std::size_t i = 1; i < photos.size(); ++i) {
        const std::string joined = "x" + std::to_string(i);
        const double offset = i * kShowPictureMs / 1000.0;
        graph += "[" + last + "][v" + std::to_string(i) +
                 "]xfade=transition=fade:duration=" + std::to_string(kShowTransitionMs / 1000.0) +
                 ":offset=" + std::to_string(offset) + "[" + joined + "];";
        last = joined;
    }
    // xfade hands over planar 4:4:4, which x264's High profile cannot take.
    graph += "[" + last + "]format=yuv420p[show]";
    arguments.insert(arguments.end(), {"-filter_complex",
                                       graph,
                                       "-map",
                                       "[show]",
                                       "-c:v",
                                       "libx264",
                                       "-profile:v",
                                       "high",
                                       "-b:v",
                                       std::to_string(kShowRate),
                                       "-maxrate",
                                       std::to_string(kShowRate),
                                       "-bufsize",
                                       std::to_string(kShowRate * 3),
                                       "-r",
                                       "25",
                                       "-g",
                                       "200",
                                       "-movflags",
                                       "+faststart",
                                       "ffmpeg-show.mp4"});
    return arguments;
}

// melt: each picture a clip, joined by luma mixes of the transition's length, each
// zoomed in by 15 % by the affine filter; no blurred background (MLT has no such
// filter of its own).
std::vector<std::string> MeltShow(const std::vector<std::string>& photos)
{
    const int clipFrames = (kShowPictureMs + kShowTransitionMs) * 25 / 1000;
    const int mixFrames = kShowTransitionMs * 25 / 1000;
    std::vector<std::string> arguments = {"melt", "-silent", "-profile", "atsc_720p_25"};
    for (std::size_t i = 0; i < photos.size(); ++i) {
        arguments.insert(arguments.end(), {photos[i], "out=" + std::to_string(clipFrames - 1), "-attach-cut", "affine",
                                           "transition.rect=0=0 0 1280 720 1;" + std::to_string(clipFrames - 1) +
                                               "=-96 -54 1472 828 1"});
        if (i > 0) arguments.insert(arguments.end(), {"-mix", std::to_string(mixFrames), "-mixer", "luma"});
    }
    arguments.insert(arguments.end(), {"-consumer", "avformat:melt-show.mp4", "vcodec=libx264",
                                       "vb=" + std::to_string(kShowRate), "an=1", "real_time=-2"});
    return arguments;
}

bool Installed(const std::string& program)
{
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

void PrintTimes(const char* who, const Side& side)
{
    std::printf("  %-9s %8.2f s  CPU %.2f of %ld  peak %7.1f MiB\n", who, Median(side.seconds), Median(side.cpu),
                sysconf(_SC_NPROCESSORS_ONLN), side.peak / 1024.0);
}

// The three programs in turn on `photos`, `rounds` times; then reelsmith-make's peak
// memory on a shorter show of the 30 pictures of `memoryPhotos` and of its 300.
bool CompareShow(const std::string& photos, const std::string& memoryPhotos, int rounds,
                 const std::filesystem::path& folder)
{
    const std::vector<std::string> jpegs = JpegsOf(photos);
    std::ofstream(folder / "show.ini") << "[Screen]\nwidth=1280\nheight=720\nFrameSpeed=" << kShowPictureMs
                                       << "\nQuality=" << kShowRate << "\n[System]\nWorkThreadPriority=0\n";
    const std::vector<std::string> ours = ReelsmithShow(photos, "show.ini", "reelsmith-show.mp4");
    const std::vector<std::string> ffmpeg = FfmpegShow(jpegs);
    const bool withMelt = Installed("melt");
    const std::vector<std::string> melt = MeltShow(jpegs);
    std::printf("\nshow-720 (%zu photographs of %s, 1280x720 H.264 MP4, 2 Mbit/s, 25 fps, 3 s each, crossfade 1 s, "
                "pan and zoom, letterbox over the blurred picture), load average %s\n",
                jpegs.size(), photos.c_str(), LoadAverage().c_str());
    std::fflush(stdout);
    Side own, baseline, mlt;
    for (int round = 0; round < rounds; ++round) {
        const RunResult first = Run(ours, folder);
        const RunResult second = Run(ffmpeg, folder);
        const RunResult third = withMelt ? Run(melt, folder) : RunResult{true};
        if (!first.succeeded || !second.succeeded || !third.succeeded) {
            std::printf("  a run failed (reelsmith-make %d, ffmpeg %d, melt %d)\n", first.succeeded, second.succeeded,
                        third.succeeded);
            return false;
        }
        own.Add(first);
        baseline.Add(second);
        if (withMelt) mlt.Add(third);
    }
    PrintTimes("reelsmith", own);
    PrintTimes("ffmpeg", baseline);
    if (withMelt) PrintTimes("melt", mlt);
    std::printf("  ratio reelsmith-make / ffmpeg: time %.2f (target at most 0.5), peak memory %.2f\n",
                Median(own.seconds) / Median(baseline.seconds), static_cast<double>(own.peak) / baseline.peak);
    if (withMelt) {
        std::printf("  ratio reelsmith-make / melt:   time %.2f (target at most 0.7), peak memory %.2f\n",
                    Median(own.seconds) / Median(mlt.seconds), static_cast<double>(own.peak) / mlt.peak);
    } else {
        std::printf("  melt is not installed: no MLT baseline\n");
    }
    std::printf("  load average %s\n  reelsmith: %s\n  melt:      %s\n  ffmpeg:    (a graph of %zu inputs) %s\n",
                LoadAverage().c_str(), Joined(ours).c_str(), Joined(melt).c_str(), jpegs.size(),
                Joined(ffmpeg).substr(0, 600).c_str());
    // The memory of a show must not grow with its pictures.
    std::ofstream(folder / "short-show.ini")
        << "[Screen]\nwidth=1280\nheight=720\nFrameSpeed=400\nQuality=" << kShowRate
        << "\n[System]\nWorkThreadPriority=0\n";
    std::vector<std::string> thirty = ReelsmithShow(memoryPhotos, "short-show.ini", "thirty.mp4");
    std::vector<std::string> hundreds = ReelsmithShow(memoryPhotos + "-300", "short-show.ini", "hundreds.mp4");
    for (auto* show : {&thirty, &hundreds}) {
        const auto at = std::find(show->begin(), show->end(), std::to_string(kShowTransitionMs));
        *at = "200";
    }
    const RunResult few = Run(thirty, folder);
    const RunResult many = Run(hundreds, folder);
    std::printf("  peak memory of the show, 400 ms a picture: 30 pictures %.1f MiB, 300 pictures %.1f MiB%s\n",
                few.peakKilobytes / 1024.0, many.peakKilobytes / 1024.0,
                few.succeeded && many.succeeded ? "" : " (a run failed)");
    return few.succeeded && many.succeeded;
}

std::vector<Job> Jobs(const std::string& photos, const std::string& phone)
{
    std::vector<Job> jobs = {
        {"wmv-nearest", "30 photographs of 2 to 12 megapixels, 640x480 WMV1, 185000 bit/s, 500 ms each, nearest",
         photos, 640, 480, 500, 185000, 0, false, false, "wmv", "", ""},
        {"wmv-smooth", "the same, smooth scaling", photos, 640, 480, 500, 185000, 0, true, false, "wmv", "", ""},
        {"mp4-720", "the same photographs, 1280x720 H.264 MP4, 2 Mbit/s, 25 fps, 3 s each, letterbox, smooth", photos,
         1280, 720, 3000, 2000000, 25, true, true, "mp4", "", ""},
        {"phone-720", "30 12-megapixel phone photographs, the same MP4 job", phone, 1280, 720, 3000, 2000000, 25, true,
         true, "mp4", "", ""},
        {"mp4-1080", "the 2-to-12-megapixel photographs, 1920x1080 H.264 MP4, 4 Mbit/s, 25 fps, 3 s each, letterbox",
         photos, 1920, 1080, 3000, 4000000, 25, true, true, "mp4", "", ""},
        {"webm-1080", "the same as a VP9 WebM", photos, 1920, 1080, 3000, 4000000, 25, true, true, "webm", "", ""},
    };
    for (Job& job : jobs) {
        job.config = job.name + ".ini";
        job.list = job.name + ".txt";
    }
    return jobs;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string photos = PHOTOS_DIR;
    const std::string phone = PHONE_PHOTOS_DIR;
    if (std::system((std::string(MAKE_PHOTOS) + " " + photos).c_str()) != 0 ||
        std::system((std::string(MAKE_PHONE_PHOTOS) + " " + phone + " " + photos).c_str()) != 0) {
        std::fputs("engine-bench: cannot make the photographs\n", stderr);
        return 1;
    }
    const char* roundsText = std::getenv("ENGINE_BENCH_ROUNDS");
    const int rounds = std::max(1, roundsText ? std::atoi(roundsText) : 3);
    char pattern[] = "/tmp/reelsmith-engine-bench-XXXXXX";
    const std::filesystem::path folder = mkdtemp(pattern);
    setenv("REELSMITH_REGISTRY", (folder / "registry.reg").c_str(), 1);
    setenv("REELSMITH_MACHINE_REGISTRY", (folder / "machine.reg").c_str(), 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!Run({REGSVR_PATH, XTPPIC_PATH}, folder).succeeded) {
        std::fputs("engine-bench: cannot register XTPPic\n", stderr);
        return 1;
    }
    const std::vector<std::string> asked(argv + 1, argv + argc);
    std::printf("engine-bench: median of %d alternating rounds, %ld processors\n", rounds,
                sysconf(_SC_NPROCESSORS_ONLN));
    std::fflush(stdout);
    bool succeeded = true;
    for (Job job : Jobs(photos, phone)) {
        if (!asked.empty() && std::find(asked.begin(), asked.end(), job.name) == asked.end()) continue;
        std::ofstream(folder / job.config)
            << "[Screen]\nwidth=" << job.width << "\nheight=" << job.height << "\nFrameSpeed=" << job.pictureMs
            << "\nQuality=" << job.bitRate << "\n[System]\nWorkThreadPriority=0\n";
        WriteConcatList(job, folder / job.list);
        job.list = (folder / job.list).string();
        succeeded = Compare(job, rounds, folder) && succeeded;
    }
    if (asked.empty() || std::find(asked.begin(), asked.end(), "show-720") != asked.end())
        succeeded = CompareShow(phone, photos, rounds, folder) && succeeded;
    if (asked.empty()) {
        const Job first = Jobs(photos, phone).front();
        std::ofstream(folder / first.config) << "[Screen]\nwidth=640\nheight=480\nFrameSpeed=500\nQuality=185000\n";
        const RunResult thirty = Run(ReelsmithMake(first), folder);
        Job many = first;
        many.photos = photos + "-300";
        const RunResult hundreds = Run(ReelsmithMake(many), folder);
        succeeded = succeeded && thirty.succeeded && hundreds.succeeded;
        std::printf("\npeak memory of reelsmith-make, WMV: 30 pictures %.1f MiB, 300 pictures %.1f MiB%s\n",
                    thirty.peakKilobytes / 1024.0, hundreds.peakKilobytes / 1024.0, succeeded ? "" : " (a run failed)");
    }
    std::filesystem::remove_all(folder);
    return succeeded ? 0 : 1;
}
