// reelsmith-make: the movie engine without a window. It drives the engine as
// the main window does (settings, folder, sound, Animate, completion, Stop)
// and shows progress and the engine's messages on standard error.
#include "app/Translations.h"
#include "config/IniFile.h"
#include "engine/ErrorWords.h"
#include "engine/MovieEngine.h"
#include "engine/MovieRun.h"
#include "engine/OutputFormat.h"
#include "engine/PictureKeys.h"
#include "engine/ShowKeys.h"
#include "platform/base/WideText.h"
#include "platform/mediagraph/MediaResults.h"
#include "platform/messages/LibraryMessages.h"
#include "platform/resource/UiText.h"
#include "platform/window/WindowDispatcher.h"
#include "platform/wmformat/WMFormat.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <unistd.h>
#include <vector>

namespace {

// One line of the tool's own on standard error; `text`, in the user's language, is a
// printf format of the arguments.
template <typename... Arguments>
void Say(const std::string& text, Arguments... arguments)
{
    const std::string line = "reelsmith-make: " + text + "\n";
    if constexpr (sizeof...(arguments) == 0) {
        std::fputs(line.c_str(), stderr);
    } else {
        std::fprintf(stderr, line.c_str(), arguments...);
    }
}

const HWND kMainWindow = reinterpret_cast<HWND>(0x1000);
const HWND kPreviewWindow = reinterpret_cast<HWND>(0x1001);

// Exit statuses besides 0 (complete), 1 (failed) and 2 (bad command line).
constexpr int kPicturesSkipped = 3;
constexpr int kSignalBase = 128;

volatile std::sig_atomic_t stopSignal = 0;

void OnStopSignal(int signal) { stopSignal = signal; }

// Ctrl-C, SIGTERM and a closed terminal (SIGHUP) end the run at its next look (at
// most 100 ms away) through the engine, which removes the unfinished movie. A reader
// of standard error that went away (`| head -1`) only makes the lines fail to print.
void CatchStopSignals()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int stop : {SIGINT, SIGTERM, SIGHUP}) sigaction(stop, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

const char* const HelpText =
    "Usage: reelsmith-make [--config FILE] [--audio FILE] [--fps N] [--format wmv|mp4|webm]\n"
    "                      [--orientation ignore|exif]\n"
    "                      [--fit stretch|letterbox|crop] [--smooth] [--order listing|name|date|time]\n"
    "                      [--list FILE] [--preview] [--verbose]\n"
    "                      [--transition none|crossfade|fadeblack|wipeleft|slideleft]\n"
    "                      [--transition-ms MS] [--fade-in-out] [--motion none|kenburns]\n"
    "                      [--motion-strength PERCENT] [--motion-seed N]\n"
    "                      [--caption none|filename|date|file] [--caption-file FILE]\n"
    "                      [--caption-place bottom|top] [--caption-size PERCENT]\n"
    "                      [--background black|blur] [--fit-to-sound] [--min-picture-ms MS]\n"
    "                      [--audio-fade-in-ms MS] [--audio-fade-out-ms MS] FOLDER OUTPUT\n"
    "       reelsmith-make --help | --version\n"
    "\n"
    "Makes a movie of the *.jpg pictures of FOLDER, in the order Windows lists\n"
    "them (or as --order says), each shown for the configured time. OUTPUT's\n"
    "extension picks the format:\n"
    "  .mp4   H.264 video and AAC sound: plays in browsers, on phones and TVs\n"
    "  .webm  VP9 video and Opus sound: plays in browsers\n"
    "  other  Windows Media (.wmv): WMV7 video and WMA2 sound, for old Windows players\n"
    "\n"
    "  --config FILE  settings file (default: config.ini in the current directory):\n"
    "                 [Screen] width, height (20..16384), FrameSpeed (ms per picture,\n"
    "                 1..3600000), Quality (bit/s, 8000..50000000); [System]\n"
    "                 WorkThreadPriority (-2..2). A file missing any of the five keys\n"
    "                 gives none of them: the movie is then 640x480, 1000 ms per\n"
    "                 picture, 185000 bit/s. A value out of range keeps its default\n"
    "                 (640, 480, 500, 185000), with a warning. Optional: [Output]\n"
    "                 FrameRate (0..120, default 0), as --fps; [Picture] Orientation,\n"
    "                 Fit, Scaling and Order, as the four options below, which win\n"
    "                 over the file, and List, as --list; [Output] Format, as --format.\n"
    "  --audio FILE   lay an MP3 or WAV sound under the pictures; it is cut at the\n"
    "                 movie's end, or repeated when shorter.\n"
    "  --fps N        MP4 and WebM: a constant N frames per second, each picture's\n"
    "                 frame repeated (0..120; 0, the default, gives one frame per\n"
    "                 picture). Players seek better at a constant rate. Not for .wmv.\n"
    "  --format wmv|mp4|webm\n"
    "                 the format of an OUTPUT named without an extension: its\n"
    "                 extension is added (\"demo\" becomes demo.mp4). An extension\n"
    "                 given wins. As [Output] Format in the settings file; without\n"
    "                 either, a name without an extension is a .wmv movie.\n"
    "  --orientation ignore|exif\n"
    "                 exif: turn each photo upright by its Exif orientation tag\n"
    "                 (default ignore: as stored).\n"
    "  --fit stretch|letterbox|crop\n"
    "                 stretch (default): to the whole frame, aspect ratio lost;\n"
    "                 letterbox: all of the picture, centred, black borders; crop:\n"
    "                 the whole frame, centred, the overflow cut.\n"
    "  --smooth       average when shrinking, interpolate when enlarging, from a\n"
    "                 reduced decode where it suffices (default: nearest neighbour).\n"
    "  --order listing|name|date|time\n"
    "                 listing (default): as Windows lists them (\"10.jpg\" before\n"
    "                 \"2.jpg\"); name: numbers in names by their value (\"2.jpg\"\n"
    "                 before \"10.jpg\"), letter case ignored; date: by the Exif date\n"
    "                 taken, else the file's time; time: by the file's modification\n"
    "                 time. Equal dates or times go by name.\n"
    "  --list FILE    the pictures to take, in this order: a UTF-8 text file of\n"
    "                 picture file names (no folder), one per line; a name may come\n"
    "                 twice. Pictures not named are left out; a name that is no\n"
    "                 picture of FOLDER is left out with a warning, and a list that\n"
    "                 names none, or cannot be read, makes no movie. Wins over the\n"
    "                 settings file's [Picture] List (relative there to the file's\n"
    "                 folder), where such a list is warned of and every picture used.\n"
    "  --preview      run the preview branch too (tee and video renderer), as the\n"
    "                 window does; the frames are not shown.\n"
    "  --verbose      also show the warnings of the media libraries (FFmpeg, ALSA).\n"
    "  --help         this text.\n"
    "\n"
    "Slide show (as the settings file's [Show] keys of the same names, which they win\n"
    "over; none of them makes the movie every picture a still frame, as always):\n"
    "  --transition none|crossfade|fadeblack|wipeleft|slideleft\n"
    "                 how one picture gives way to the next (default none: a cut).\n"
    "  --transition-ms MS\n"
    "                 the transition's length, 0..60000 (default 1000); it overlaps\n"
    "                 the end of one picture and the start of the next.\n"
    "  --fade-in-out  in from black at the start, out to black at the end.\n"
    "  --motion none|kenburns\n"
    "                 kenburns: each picture slowly zooms and pans.\n"
    "  --motion-strength PERCENT\n"
    "                 the zoom over a picture's time, 0..100 (default 15).\n"
    "  --motion-seed N\n"
    "                 picks each picture's zoom and pan, repeatably (default 0).\n"
    "  --caption none|filename|date|file\n"
    "                 text on each picture: its file name, its Exif date taken, or\n"
    "                 its line of --caption-file.\n"
    "  --caption-file FILE\n"
    "                 UTF-8 lines of a picture's file name, a tab and its caption.\n"
    "  --caption-place bottom|top, --caption-size PERCENT\n"
    "                 where the caption stands, and its height in percent of the\n"
    "                 frame's, 1..50 (default bottom, 5).\n"
    "  --background black|blur\n"
    "                 around a letterboxed picture: black (default), or the picture\n"
    "                 itself enlarged, blurred and darkened.\n"
    "  --fit-to-sound the pictures share the --audio sound's length exactly, each\n"
    "                 shown at least --min-picture-ms (1..3600000, default 1000);\n"
    "                 when that wins, the movie is longer than the sound.\n"
    "  --audio-fade-in-ms MS, --audio-fade-out-ms MS\n"
    "                 the sound fades in from silence at the start, and out to\n"
    "                 silence where it is cut (the movie's end, or the sound's),\n"
    "                 0..600000 each (default 0: no fade).\n"
    "With a transition, a fade or motion the movie is made at a constant frame rate:\n"
    "--fps, else 25.\n"
    "\n"
    "The picture source library must be registered first (installing the Debian\n"
    "package, or installing with CMake, does it): regsvr LIBDIR/libXTPPic.so, LIBDIR\n"
    "beside this program's folder (build/lib in a build tree, lib/reelsmith installed).\n"
    "Progress goes to standard error. Errors are shown as \"Error code: 0x...\" with a\n"
    "line saying what the code means. Messages are in the first of the user's languages\n"
    "(LANGUAGE, else LC_ALL, LC_MESSAGES, LANG) that Reelsmith has: Japanese or English.\n"
    "A picture that cannot be read is skipped with a line naming it and why; the\n"
    "movie is shorter by its time. The movie is written beside OUTPUT under a hidden\n"
    "temporary name and renamed when complete, so a failed or interrupted run leaves\n"
    "no OUTPUT and an earlier OUTPUT stays as it was.\n"
    "\n"
    "Exit status: 0 the movie is complete; 1 an error was reported, the folder was\n"
    "refused, the --list could not be used, no picture could be read or the run\n"
    "aborted; 2 bad command line;\n"
    "3 the movie is complete but pictures were skipped; 130 or 143 stopped by\n"
    "SIGINT or SIGTERM (nothing is left).\n";

struct Options {
    std::string config = "config.ini";
    bool configGiven = false;
    std::string audio;
    std::string list;
    int framesPerSecond = -1; // -1: as the settings say
    std::int32_t format = -1; // -1: as the settings say
    // [Picture] words given on the command line, by key.
    std::vector<std::pair<std::string, std::string>> picture;
    // [Show] values given on the command line, by key.
    std::vector<std::pair<std::string, std::string>> show;
    bool preview = false;
    bool verbose = false;
    std::string folder;
    std::string output;
};

bool ParseFrameRate(const std::string& text, int& framesPerSecond)
{
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    framesPerSecond = std::stoi(text);
    return framesPerSecond <= MovieSettings::kMaxFrameRate;
}

// An empty name would reach the engine as a bare E_INVALIDARG.
bool RefuseEmptyNames(const Options& options)
{
    if (options.folder.empty()) Say(UiTextUtf8("ReelsmithMake", "写真フォルダーの名前 (FOLDER) が空です"));
    if (options.output.empty()) Say(UiTextUtf8("ReelsmithMake", "出力ファイルの名前 (OUTPUT) が空です"));
    return options.folder.empty() || options.output.empty();
}

// Answers 0 to go on, otherwise the exit status.
bool TakesValue(const std::string& option)
{
    constexpr std::string_view kValueOptions[] = {"--config", "--audio", "--list",  "--fps",
                                                  "--format", "--fit",   "--order", "--orientation"};
    if (const char* showKey = ShowKeys::KeyOfOption(option)) return !ShowKeys::IsSwitch(showKey);
    return std::find(std::begin(kValueOptions), std::end(kValueOptions), option) != std::end(kValueOptions);
}

// A slide-show option's value is checked at once, so that a bad one is a usage error
// naming the option. A relative captions file is the current folder's.
bool TakeShowOption(const std::string& option, const char* key, std::string value, Options& options)
{
    ShowSettings check;
    std::string refusal;
    if (!ShowKeys::Set(key, value, check, refusal)) {
        Say(UiTextUtf8("ReelsmithMake", "%s の値 %s は使えません: %s"), option.c_str(), value.c_str(), refusal.c_str());
        return false;
    }
    if (std::string(key) == "CaptionFile") value = std::filesystem::absolute(value).string();
    options.show.emplace_back(key, value);
    return true;
}

int ParseOptions(int argc, char** argv, Options& options)
{
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help") {
            std::fputs(HelpText, stdout);
            return -1;
        }
        if (argument == "--version") {
            std::printf("reelsmith-make (Reelsmith) %s\n", REELSMITH_VERSION);
            return -1;
        }
        if (TakesValue(argument) && i + 1 == argc) {
            Say(UiTextUtf8("ReelsmithMake", "%s の値がありません (--help を参照)"), argument.c_str());
            return 2;
        }
        if (argument == "--config" || argument == "--audio" || argument == "--list") {
            (argument == "--config"  ? options.config
             : argument == "--audio" ? options.audio
                                     : options.list) = argv[++i];
            options.configGiven = options.configGiven || argument == "--config";
        } else if (argument == "--fps") {
            if (!ParseFrameRate(argv[++i], options.framesPerSecond)) {
                Say(UiTextUtf8("ReelsmithMake", "--fps には 0 から %d までの整数を指定してください"),
                    static_cast<int>(MovieSettings::kMaxFrameRate));
                return 2;
            }
        } else if (argument == "--format") {
            std::string refusal;
            if (!OutputFormat::Parse(argv[++i], options.format, refusal)) {
                Say(UiTextUtf8("ReelsmithMake", "--format には wmv、mp4、または webm を指定してください"));
                return 2;
            }
        } else if (argument == "--orientation" || argument == "--fit" || argument == "--order") {
            options.picture.emplace_back(argument == "--fit"     ? "Fit"
                                         : argument == "--order" ? "Order"
                                                                 : "Orientation",
                                         argv[++i]);
        } else if (const char* showKey = ShowKeys::KeyOfOption(argument)) {
            if (!TakeShowOption(argument, showKey, ShowKeys::IsSwitch(showKey) ? "1" : argv[++i], options)) return 2;
        } else if (argument == "--smooth") {
            options.picture.emplace_back("Scaling", "smooth");
        } else if (argument == "--preview") {
            options.preview = true;
        } else if (argument == "--verbose") {
            options.verbose = true;
        } else if (!argument.starts_with("--") && positional < 2) {
            (positional++ == 0 ? options.folder : options.output) = argument;
        } else {
            Say(UiTextUtf8("ReelsmithMake", "引数 \"%s\" は使えません (--help を参照)"), argument.c_str());
            return 2;
        }
    }
    if (positional != 2) {
        Say(UiTextUtf8("ReelsmithMake", "FOLDER と OUTPUT ファイルを指定してください (--help を参照)"));
        return 2;
    }
    return RefuseEmptyNames(options) ? 2 : 0;
}

// The main window and the preview control as the platform sees them: the
// main window takes WM_GRAPHNOTIFY, the preview drops its frames.
class HeadlessWindow final : public WindowClient {
public:
    explicit HeadlessWindow(RECT client) : area(client) {}
    void OnMessage(UINT message, WPARAM, LPARAM) override
    {
        if (message == WM_GRAPHNOTIFY) notified = true;
    }
    void OnVideoFrame(const StoredFrame&) override {}
    RECT WindowRect() override { return area; }
    bool notified = false;

private:
    RECT area;
};

// How to register the library that lies beside this program (bin/ and lib/ in a build
// tree and in an installed prefix alike). A packaged copy is registered machine-wide
// when the package is installed, so there the registration has gone missing.
void SayHowToRegister()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path folder = program.parent_path();
    const std::string regsvr = (folder / "regsvr").string();
    std::filesystem::path library = folder.parent_path() / "lib" / "libXTPPic.so";
    const std::filesystem::path ownFolder = folder.parent_path() / "lib" / "reelsmith" / "libXTPPic.so";
    if (!std::filesystem::exists(library, error) && std::filesystem::exists(ownFolder, error)) library = ownFolder;
    if (folder == "/usr/bin") {
        Say(UiTextUtf8("ReelsmithMake",
                       "パッケージによる写真ソースの登録が見つかりません。パッケージを入れ直すか、root で "
                       "REELSMITH_REGISTRY=/var/lib/reelsmith/registry.reg %s %s を実行してください"),
            regsvr.c_str(), library.lexically_normal().c_str());
    } else {
        Say(UiTextUtf8("ReelsmithMake", "写真ソースが登録されていません。登録するには %s %s を実行してください"),
            regsvr.c_str(), library.lexically_normal().c_str());
    }
}

// Counts the engine's reports and prints them; a report of a class that is not
// registered adds how to register the picture source. A machine without sound
// output is reported at construction: making a movie needs none, so that report
// is only noted.
class ErrorLine {
public:
    void Report(const MovieError& error)
    {
        if (error.code == VFW_E_NO_AUDIO_HARDWARE) {
            soundless = true;
            return;
        }
        std::fprintf(stderr, "%sReelsmith: %s\n", progressShown ? "\n" : "", Utf8FromWide(error.Text()).c_str());
        ++count;
        if (error.code == REGDB_E_CLASSNOTREG) SayHowToRegister();
    }
    static std::string CodeText(HRESULT code)
    {
        MovieError error;
        error.code = code;
        return Utf8FromWide(error.Text());
    }
    int count = 0;
    bool soundless = false;
    bool progressShown = false;
};

// The run's pace is measured on the monotonic clock.
double SteadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A bar redrawn in place on a terminal, with the percentage, the rate and the time
// left; a plain "done/total" line per change otherwise, for logs and scripts.
class ProgressDisplay {
public:
    ProgressDisplay(const ProgressEstimate& runPace, int pictures, bool onTerminal)
        : pace(runPace), total(pictures), terminal(onTerminal)
    {
    }

    void Show(int done)
    {
        if (!terminal) {
            if (done != shown) std::fprintf(stderr, "%d/%d\n", done, total);
            shown = done;
            return;
        }
        const std::string line = BarLine(done);
        if (line != drawn) std::fprintf(stderr, "\r%s\33[K", line.c_str());
        drawn = line;
    }
    // Another line was printed over the bar: the next look draws it again.
    void Redraw()
    {
        shown = -1;
        drawn.clear();
    }

private:
    std::string BarLine(int done) const
    {
        constexpr int kWidth = 30;
        const int filled = total > 0 ? std::clamp(done, 0, total) * kWidth / total : 0;
        std::string line = "[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') + "] " +
                           std::to_string(done) + "/" + std::to_string(total) + " " + std::to_string(pace.Percent()) +
                           "%";
        if (!pace.Ready()) return line;
        return line + "  " + pace.PaceText(UiTextUtf8("ReelsmithMake", "%1 枚/秒  残り %2"));
    }

    const ProgressEstimate& pace;
    int total;
    bool terminal;
    int shown = -1;
    std::string drawn;
};

// Prints a line for each skipped picture and one for an end that made no movie.
class RunReport : public MovieRun::Listener {
public:
    RunReport(MovieEngine& movieEngine, ProgressDisplay& display, bool onTerminal, const std::string& movie)
        : engine(movieEngine), progress(display), terminal(onTerminal), output(movie)
    {
    }

    void OnPictureSkipped(const MovieRun::Skip& skip) override
    {
        const std::u16string path = engine.PicturePath(skip.picture);
        if (terminal) std::fputs("\r\33[K", stderr);
        Say(UiTextUtf8("ReelsmithMake", "%d 枚目の写真 %s を飛ばしました: %s"), skip.picture + 1,
            PrintableFromWide(path).c_str(), Utf8FromWide(ErrorWords::DescribeSkip(skip.reason)).c_str());
        progress.Redraw();
    }

    void OnRunEnded(MovieRun::End end, HRESULT abortCode) override
    {
        if (terminal) std::fputc('\n', stderr);
        if (end == MovieRun::End::Complete) return;
        const auto code = static_cast<unsigned>(abortCode);
        if (abortCode == HRESULT_FROM_WIN32(ERROR_NO_DATA)) {
            Say(UiTextUtf8("ReelsmithMake", "読み込める写真がないため、動画は作られませんでした"));
        } else if (abortCode == NS_E_INVALID_INPUT_FORMAT) {
            Say(UiTextUtf8("ReelsmithMake", "動画 %s は作られませんでした: インストールされている FFmpeg "
                                            "に必要なエンコーダーかコンテナーがありません (0x%x)"),
                output.c_str(), code);
        } else {
            const std::u16string words = ErrorWords::Describe(abortCode);
            Say(UiTextUtf8("ReelsmithMake", "動画 %s は作られませんでした (イベント %d, 0x%x)%s%s"), output.c_str(),
                static_cast<int>(end == MovieRun::End::Aborted ? EC_ERRORABORT : EC_USERABORT), code,
                words.empty() ? "" : ": ", Utf8FromWide(words).c_str());
        }
    }

private:
    MovieEngine& engine;
    ProgressDisplay& progress;
    bool terminal;
    const std::string& output;
};

// Follows the run until it ends or a stop signal comes.
void WaitForRun(MovieRun& run, MovieEngine& engine, WindowDispatcher& dispatcher, HeadlessWindow& main,
                ErrorLine& errors, const std::string& output)
{
    const bool terminal = isatty(STDERR_FILENO);
    ProgressDisplay progress(run.Pace(), engine.PictureCount(), terminal);
    RunReport report(engine, progress, terminal, output);
    while (run.Running()) {
        dispatcher.WaitForWork(100);
        dispatcher.DispatchPending();
        if (stopSignal) return;
        errors.progressShown = terminal;
        run.ShowProgress(engine.CurrentPicture());
        progress.Show(engine.CurrentPicture());
        if (!main.notified) continue;
        main.notified = false;
        if (const ComPtr<IMediaEvent> events = engine.GraphEvents()) run.ReadEvents(*events, &report);
    }
}

// Letters to change, add or drop to turn one name into the other.
std::size_t SpellingDistance(const std::string& a, const std::string& b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Names the missing key and, when the file holds it in another form, that form: with
// spaces around the equals sign, or misspelt (in the key or its section).
void ExplainMissingKey(const std::string& path, const MovieEngine::SettingName& missing)
{
    Say(UiTextUtf8("ReelsmithMake", "%s: [%s] %s がないため、このファイルの設定はどれも使いません "
                                    "(組み込みの 640x480、1 枚 1000 ms、185000 bit/s で作ります)"),
        path.c_str(), missing.section.c_str(), missing.key.c_str());
    IniFile file(path);
    file.Load();
    const int section = file.FindSection(missing.section);
    if (section < 0) {
        for (const std::string& name : file.SectionNames()) {
            if (SpellingDistance(file.FoldCase(name), file.FoldCase(missing.section)) > 2) continue;
            Say(UiTextUtf8("ReelsmithMake", "%s: [%s] は [%s] の書き間違いではありませんか"), path.c_str(),
                name.c_str(), missing.section.c_str());
        }
        return;
    }
    const IniSection& keys = file.Sections()[static_cast<std::size_t>(section)];
    const std::string wanted = file.FoldCase(missing.key);
    for (std::size_t i = 0; i < keys.keyNames.size(); ++i) {
        const std::string& name = keys.keyNames[i];
        if (file.FoldCase(Trimmed(name)) == wanted) {
            Say(UiTextUtf8("ReelsmithMake", "%s: 「%s=%s」の = の前後に空白は書けません。%s=%s と書いてください"),
                path.c_str(), name.c_str(), keys.values[i].c_str(), missing.key.c_str(),
                Trimmed(keys.values[i]).c_str());
        } else if (SpellingDistance(file.FoldCase(name), wanted) <= 2) {
            Say(UiTextUtf8("ReelsmithMake", "%s: [%s] の %s は %s の書き間違いではありませんか"), path.c_str(),
                missing.section.c_str(), name.c_str(), missing.key.c_str());
        }
    }
}

// Says why the settings file gave no values. The window keeps its defaults silently;
// here a user who wrote a file, or named one, learns what is wrong with it. A missing
// config.ini that nobody named is the usual case and passes unsaid.
void ExplainIgnoredSettings(const MovieEngine& engine, const Options& options)
{
    const std::string& path = options.config;
    std::error_code error;
    const bool exists = std::filesystem::exists(path, error);
    if (!exists && !options.configGiven) return;
    if (!exists) {
        Say(UiTextUtf8("ReelsmithMake", "設定ファイル %s がありません。組み込みの設定 (640x480、1 枚 1000 ms、185000 "
                                        "bit/s) で作ります"),
            path.c_str());
        return;
    }
    if (std::filesystem::is_regular_file(path, error) &&
        std::filesystem::file_size(path, error) > IniFile::kMaxFileBytes) {
        Say(UiTextUtf8("ReelsmithMake", "設定ファイル %s は %d KB を超えるため読みません。組み込みの設定で作ります"),
            path.c_str(), static_cast<int>(IniFile::kMaxFileBytes / 1024));
        return;
    }
    if (!std::ifstream(path)) {
        Say(UiTextUtf8("ReelsmithMake", "設定ファイル %s を読めません (%s)。組み込みの設定で作ります"), path.c_str(),
            std::strerror(errno));
        return;
    }
    if (!engine.MissingSetting().key.empty()) {
        ExplainMissingKey(path, engine.MissingSetting());
        return;
    }
    Say(UiTextUtf8("ReelsmithMake", "設定ファイル %s を設定として読めません ([セクション] "
                                    "がないか、制御文字で始まる行があります)。組み込みの設定で作ります"),
        path.c_str());
}

// An unknown word keeps what the settings file chose, with a warning.
void ApplyPictureWords(MovieEngine& engine, const Options& options)
{
    if (options.picture.empty()) return;
    PictureOptions picture = engine.Settings().picture;
    for (const auto& [key, word] : options.picture) {
        std::string refusal;
        if (!PictureKeys::Set(key, word, picture, refusal))
            std::fprintf(stderr, "reelsmith-make: %s\n", refusal.c_str());
    }
    engine.ApplyPictureOptions(picture);
}

// A list of pictures that names none of the folder's makes no movie when it was asked
// for on the command line; the settings file's is only warned of.
bool SayNamesNotFound(const MovieEngine& engine, const Options& options)
{
    if (engine.PictureListFoundNone()) {
        Say(UiTextUtf8("ReelsmithMake", "写真の一覧の名前はどれもフォルダー %s の写真ではありません"),
            options.folder.c_str());
        if (!options.list.empty()) return false;
        Say(UiTextUtf8("ReelsmithMake", "フォルダーのすべての写真を使います"));
        return true;
    }
    for (const std::u16string& name : engine.ListedNamesNotFound())
        Say(UiTextUtf8("ReelsmithMake", "写真の一覧の %s はフォルダー %s の写真ではないため、除きました"),
            PrintableFromWide(name).c_str(), options.folder.c_str());
    return true;
}

int MakeMovie(const Options& options, WindowDispatcher& dispatcher, HeadlessWindow& main)
{
    ErrorLine errors;
    MovieEngine engine([&errors](const MovieError& error) { errors.Report(error); });
    if (!engine.IsReady()) return 1;
    if (errors.soundless && !options.audio.empty()) {
        Say(UiTextUtf8("ReelsmithMake", "この機械には音声出力がありません (%s)。音声はそのまま動画に書き込まれます"),
            ErrorLine::CodeText(VFW_E_NO_AUDIO_HARDWARE).c_str());
    }
    const int reportedBefore = errors.count;
    engine.SetNotifyWindow(kMainWindow, WM_GRAPHNOTIFY, 0);
    if (!engine.LoadSettings(WideFromUtf8(options.config))) ExplainIgnoredSettings(engine, options);
    for (const std::string& refused : engine.RefusedSettings()) {
        std::fprintf(stderr, "reelsmith-make: %s: %s\n", options.config.c_str(), refused.c_str());
    }
    if (options.framesPerSecond >= 0 && !engine.ApplyFrameRate(options.framesPerSecond)) return 1;
    ApplyPictureWords(engine, options);
    if (!options.show.empty()) {
        ShowSettings show = engine.Settings().show;
        for (const auto& [key, value] : options.show) {
            std::string refusal;
            ShowKeys::Set(key, value, show, refusal);
        }
        if (!engine.ApplyShowSettings(show)) {
            Say(UiTextUtf8("ReelsmithMake", "字幕ファイル %s を読めません"), show.captionFile.c_str());
            return 1;
        }
    }
    if (std::string problem; !options.list.empty() && !engine.UsePictureListFile(WideFromUtf8(options.list), problem)) {
        Say("%s", problem.c_str());
        return 1;
    }
    const std::string output =
        OutputFormat::WithExtension(options.output, options.format >= 0 ? options.format : engine.Settings().format);
    engine.SetPictureFolder(WideFromUtf8(options.folder));
    if (!engine.HasPictureFolder() || engine.PictureCount() == 0) {
        std::fprintf(stderr, "Reelsmith: %s\n",
                     UiTextUtf8("MainDialog", "このディレクトリでjpgファイルは見つかりませんでした。").c_str());
        return 1;
    }
    if (!SayNamesNotFound(engine, options)) return 1;
    engine.SetCurrentPicture(0);
    if (!options.audio.empty()) engine.SetAudioFile(WideFromUtf8(options.audio));
    if (stopSignal) return kSignalBase + stopSignal;
    engine.MakeMovie(WideFromUtf8(output), options.preview ? kPreviewWindow : nullptr);
    MovieRun run(SteadySeconds);
    if (errors.count == reportedBefore) {
        run.Start(engine.PictureCount());
        WaitForRun(run, engine, dispatcher, main, errors, output);
    }
    // Stopping before completion removes the unfinished movie.
    engine.Stop();
    if (stopSignal) return kSignalBase + stopSignal;
    if (run.Ended() != MovieRun::End::Complete || errors.count != reportedBefore) return 1;
    return run.Skipped().empty() ? 0 : kPicturesSkipped;
}

} // namespace

int main(int argc, char** argv)
{
    const Translations translations;
    Options options;
    const int parsed = ParseOptions(argc, argv, options);
    if (parsed != 0) return parsed < 0 ? 0 : parsed;
    ShowLibraryMessages(options.verbose);
    CatchStopSignals();
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    WindowDispatcher dispatcher;
    HeadlessWindow main({0, 0, 640, 480});
    HeadlessWindow preview({0, 0, 320, 240});
    dispatcher.RegisterWindow(kMainWindow, &main);
    dispatcher.RegisterWindow(kPreviewWindow, &preview);
    InstallWindowService(&dispatcher);
    const int status = MakeMovie(options, dispatcher, main);
    InstallWindowService(nullptr);
    CoUninitialize();
    return status;
}
