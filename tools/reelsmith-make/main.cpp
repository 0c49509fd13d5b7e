// reelsmith-make: the movie engine without a window. It drives the engine as
// the main window does (settings, folder, sound, Animate, completion, Stop)
// and shows progress and the engine's messages on standard error.
#include "app/Translations.h"
#include "engine/ErrorWords.h"
#include "engine/MovieEngine.h"
#include "engine/PictureKeys.h"
#include "jpeg/JpegDecoder.h"
#include "platform/base/WideText.h"
#include "platform/mediagraph/MediaResults.h"
#include "platform/messages/LibraryMessages.h"
#include "platform/resource/MessageBox.h"
#include "platform/resource/UiText.h"
#include "platform/window/WindowDispatcher.h"
#include "platform/wmformat/WMFormat.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <unistd.h>
#include <vector>

namespace {

const HWND kMainWindow = reinterpret_cast<HWND>(0x1000);
const HWND kPreviewWindow = reinterpret_cast<HWND>(0x1001);
constexpr HRESULT kClassNotRegistered = static_cast<HRESULT>(0x80040154u);

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
    "Usage: reelsmith-make [--config FILE] [--audio FILE] [--fps N] [--orientation ignore|exif]\n"
    "                      [--fit stretch|letterbox|crop] [--smooth] [--preview] [--verbose]\n"
    "                      FOLDER OUTPUT\n"
    "\n"
    "Makes a movie of the *.jpg pictures of FOLDER, in the order Windows lists\n"
    "them, each shown for the configured time. OUTPUT's extension picks the format:\n"
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
    "                 Fit and Scaling, as the three options below, which win over\n"
    "                 the file.\n"
    "  --audio FILE   lay an MP3 or WAV sound under the pictures; it is cut at the\n"
    "                 movie's end, or repeated when shorter.\n"
    "  --fps N        MP4 and WebM: a constant N frames per second, each picture's\n"
    "                 frame repeated (0..120; 0, the default, gives one frame per\n"
    "                 picture). Players seek better at a constant rate. Not for .wmv.\n"
    "  --orientation ignore|exif\n"
    "                 exif: turn each photo upright by its Exif orientation tag\n"
    "                 (default ignore: as stored).\n"
    "  --fit stretch|letterbox|crop\n"
    "                 stretch (default): to the whole frame, aspect ratio lost;\n"
    "                 letterbox: all of the picture, centred, black borders; crop:\n"
    "                 the whole frame, centred, the overflow cut.\n"
    "  --smooth       average when shrinking, interpolate when enlarging, from a\n"
    "                 reduced decode where it suffices (default: nearest neighbour).\n"
    "  --preview      run the preview branch too (tee and video renderer), as the\n"
    "                 window does; the frames are not shown.\n"
    "  --verbose      also show the warnings of the media libraries (FFmpeg, ALSA).\n"
    "  --help         this text.\n"
    "\n"
    "The picture source library must be registered first:\n"
    "  regsvr build/lib/libXTPPic.so\n"
    "Progress goes to standard error. Errors are shown as \"Error code: 0x...\" with a\n"
    "line saying what the code means; the messages shared with the window follow the\n"
    "locale (LANG, LC_ALL): Japanese, or English under an English locale.\n"
    "A picture that cannot be read is skipped with a line naming it and why; the\n"
    "movie is shorter by its time. The movie is written beside OUTPUT under a hidden\n"
    "temporary name and renamed when complete, so a failed or interrupted run leaves\n"
    "no OUTPUT and an earlier OUTPUT stays as it was.\n"
    "\n"
    "Exit status: 0 the movie is complete; 1 an error was reported, the folder was\n"
    "refused, no picture could be read or the run aborted; 2 bad command line;\n"
    "3 the movie is complete but pictures were skipped; 130 or 143 stopped by\n"
    "SIGINT or SIGTERM (nothing is left).\n";

struct Options {
    std::string config = "config.ini";
    std::string audio;
    int framesPerSecond = -1; // -1: as the settings say
    // [Picture] words given on the command line, by key.
    std::vector<std::pair<std::string, std::string>> picture;
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

// Answers 0 to go on, otherwise the exit status.
int ParseOptions(int argc, char** argv, Options& options)
{
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help") {
            std::fputs(HelpText, stdout);
            return -1;
        }
        if ((argument == "--config" || argument == "--audio") && i + 1 < argc) {
            (argument == "--config" ? options.config : options.audio) = argv[++i];
        } else if (argument == "--fps" && i + 1 < argc) {
            if (!ParseFrameRate(argv[++i], options.framesPerSecond)) {
                std::fprintf(stderr, "reelsmith-make: --fps takes a whole number from 0 to %d\n",
                             static_cast<int>(MovieSettings::kMaxFrameRate));
                return 2;
            }
        } else if ((argument == "--orientation" || argument == "--fit") && i + 1 < argc) {
            options.picture.emplace_back(argument == "--fit" ? "Fit" : "Orientation", argv[++i]);
        } else if (argument == "--smooth") {
            options.picture.emplace_back("Scaling", "smooth");
        } else if (argument == "--preview") {
            options.preview = true;
        } else if (argument == "--verbose") {
            options.verbose = true;
        } else if (!argument.starts_with("--") && positional < 2) {
            (positional++ == 0 ? options.folder : options.output) = argument;
        } else {
            std::fprintf(stderr, "reelsmith-make: unexpected argument \"%s\" (see --help)\n", argument.c_str());
            return 2;
        }
    }
    if (positional != 2) {
        std::fputs("reelsmith-make: a FOLDER and an OUTPUT file are needed (see --help)\n", stderr);
        return 2;
    }
    return 0;
}

// The main window and the preview control as the platform sees them: the
// main window takes WM_GRAPHNOTIFY, the preview drops its frames.
class HeadlessWindow final : public WindowClient {
public:
    explicit HeadlessWindow(RECT area) : area(area) {}
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

// Counts the engine's reports and prints them; the first report of a class
// that is not registered adds how to register the picture source. A machine
// without sound output is reported at construction: making a movie needs none,
// so that report is only noted.
class ErrorLine {
public:
    ErrorLine()
    {
        InstallMessageBoxHandler([this](HWND, const std::u16string& text, const std::u16string& caption, UINT) {
            if (Reports(text, VFW_E_NO_AUDIO_HARDWARE)) {
                soundless = true;
                return IDOK;
            }
            std::fprintf(stderr, "%s%s: %s\n", progressShown ? "\n" : "", Utf8FromWide(caption).c_str(),
                         Utf8FromWide(text).c_str());
            ++count;
            if (Reports(text, kClassNotRegistered)) {
                std::fputs("XTPPic is not registered: run regsvr build/lib/libXTPPic.so\n", stderr);
            }
            return IDOK;
        });
    }
    ~ErrorLine() { InstallMessageBoxHandler({}); }
    static std::string CodeText(HRESULT code)
    {
        char text[32];
        std::snprintf(text, sizeof text, "Error code: 0x%x.", static_cast<unsigned>(code));
        return text;
    }
    // Whether a report is of this code: its first line is the code, the next its words.
    static bool Reports(const std::u16string& text, HRESULT code)
    {
        return text.substr(0, text.find(u'\n')) == WideFromUtf8(CodeText(code));
    }
    int count = 0;
    bool soundless = false;
    bool progressShown = false;
};

// Why the picture source passed over a picture, in words.
std::string SkipReason(LONG_PTR reason)
{
    if (IsDecoderResult(reason)) {
        std::string text = "error " + std::to_string(reason) + ": " + jpegErrorString(static_cast<int>(reason));
        // The decoder says this too when its input ends before the picture does.
        if (reason == JpegMemoryError) text += " (the file ends too early, or memory is short)";
        if (reason == JpegNotSupported) text += " (arithmetic coding, or more than 64 megapixels)";
        return text;
    }
    const auto code = static_cast<HRESULT>(reason);
    const char* words = "the file cannot be read";
    if (code == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) words = "the file is no longer there";
    if (code == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)) words = "permission denied";
    if (code == HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE)) words = "not a regular file";
    if (code == HRESULT_FROM_WIN32(ERROR_HANDLE_EOF)) words = "the file is empty or was cut short while read";
    if (code == HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE)) words = "the file is too large";
    if (code == E_OUTOFMEMORY) words = "not enough memory";
    char text[96];
    std::snprintf(text, sizeof text, "0x%x: %s", static_cast<unsigned>(code), words);
    return text;
}

// Why the writer refused OUTPUT before writing it, for the codes only its output
// checks answer; empty for any other.
std::string OutputRefusal(LONG_PTR code)
{
    if (code == HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE))
        return "it is a device, FIFO or socket, which the finished movie would replace; name a regular file";
    if (code == WRITER_E_FRAME_TOO_LARGE)
        return "the frame size is larger than the format encodes (MP4 and WebM: 35.6 megapixels, at most 16384 "
               "a side; WMV: 16254x16254); make [Screen] width and height smaller";
    return {};
}

// How a run ended.
struct RunEnd {
    bool complete = false;
    int skipped = 0;
};

// A bar redrawn in place on a terminal, a line per change otherwise.
void ShowProgress(int done, int total, int& shown, bool terminal)
{
    if (done == shown) return;
    shown = done;
    if (!terminal) {
        std::fprintf(stderr, "%d/%d\n", done, total);
        return;
    }
    constexpr int kWidth = 40;
    const int filled = total > 0 ? done * kWidth / total : 0;
    std::fprintf(stderr, "\r[%s%s] %d/%d", std::string(filled, '#').c_str(), std::string(kWidth - filled, ' ').c_str(),
                 done, total);
}

// Waits for the end of the run, a stop signal or an abort, printing a line for each
// skipped picture.
RunEnd WaitForRun(MovieEngine& engine, WindowDispatcher& dispatcher, HeadlessWindow& main, ErrorLine& errors,
                  const std::string& output)
{
    const bool terminal = isatty(STDERR_FILENO);
    const int total = engine.PictureCount();
    int shown = -1;
    RunEnd end;
    for (;;) {
        dispatcher.WaitForWork(100);
        dispatcher.DispatchPending();
        if (stopSignal) return end;
        errors.progressShown = terminal;
        ShowProgress(engine.CurrentPicture(), total, shown, terminal);
        if (!main.notified) continue;
        main.notified = false;
        ComPtr<IMediaEvent> events = engine.GraphEvents();
        LONG code = 0;
        LONG_PTR first = 0;
        LONG_PTR second = 0;
        while (events && SUCCEEDED(events->GetEvent(&code, &first, &second, 0))) {
            events->FreeEventParams(code, first, second);
            if (code == EC_PICTURE_SKIPPED) {
                ++end.skipped;
                WCHAR path[MAX_PATH] = {};
                engine.PictureFileName(static_cast<int>(first), path, MAX_PATH);
                std::fprintf(stderr, "%sreelsmith-make: skipped picture %d, %s: %s\n", terminal ? "\r\33[K" : "",
                             static_cast<int>(first) + 1, Utf8FromWide(path).c_str(), SkipReason(second).c_str());
                shown = -1;
            }
            if (code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT) {
                if (terminal) std::fputc('\n', stderr);
                end.complete = code == EC_COMPLETE;
                if (code == EC_ERRORABORT && first == HRESULT_FROM_WIN32(ERROR_NO_DATA)) {
                    std::fputs("reelsmith-make: no picture could be read; no movie was made\n", stderr);
                } else if (code == EC_ERRORABORT && first == NS_E_INVALID_INPUT_FORMAT) {
                    std::fprintf(stderr,
                                 "reelsmith-make: the movie %s was not made: the installed FFmpeg lacks an "
                                 "encoder or container it needs (0x%x)\n",
                                 output.c_str(), static_cast<unsigned>(first));
                } else if (const std::string refusal = OutputRefusal(first);
                           code == EC_ERRORABORT && !refusal.empty()) {
                    std::fprintf(stderr, "reelsmith-make: the movie %s was not made: %s (0x%x)\n", output.c_str(),
                                 refusal.c_str(), static_cast<unsigned>(first));
                } else if (!end.complete) {
                    const std::u16string words = ErrorWords::Describe(static_cast<HRESULT>(first));
                    std::fprintf(stderr, "reelsmith-make: the movie %s was not made (event %d, 0x%x)%s%s\n",
                                 output.c_str(), static_cast<int>(code), static_cast<unsigned>(first),
                                 words.empty() ? "" : ": ", Utf8FromWide(words).c_str());
                }
                return end;
            }
        }
    }
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

int MakeMovie(const Options& options, WindowDispatcher& dispatcher, HeadlessWindow& main)
{
    ErrorLine errors;
    MovieEngine engine;
    if (!engine.IsReady()) return 1;
    if (errors.soundless && !options.audio.empty()) {
        std::fprintf(stderr,
                     "reelsmith-make: this machine has no sound output (%s); the sound is written into the movie "
                     "all the same\n",
                     ErrorLine::CodeText(VFW_E_NO_AUDIO_HARDWARE).c_str());
    }
    const int reportedBefore = errors.count;
    engine.SetNotifyWindow(kMainWindow, WM_GRAPHNOTIFY, 0);
    engine.LoadSettings(WideFromUtf8(options.config));
    for (const std::string& refused : engine.RefusedSettings()) {
        std::fprintf(stderr, "reelsmith-make: %s: %s\n", options.config.c_str(), refused.c_str());
    }
    if (options.framesPerSecond >= 0) {
        MovieSettings settings = engine.Settings();
        settings.frameRate = options.framesPerSecond;
        if (!engine.ApplySettings(settings)) return 1;
    }
    ApplyPictureWords(engine, options);
    engine.SetPictureFolder(WideFromUtf8(options.folder));
    if (!engine.HasPictureFolder() || engine.PictureCount() == 0) {
        std::fprintf(stderr, "Reelsmith: %s\n",
                     UiTextUtf8("MainDialog", "このディレクトリでjpgファイルは見つかりませんでした。").c_str());
        return 1;
    }
    engine.SetCurrentPicture(0);
    if (!options.audio.empty()) engine.SetAudioFile(WideFromUtf8(options.audio));
    if (stopSignal) return kSignalBase + stopSignal;
    engine.MakeMovie(WideFromUtf8(options.output), options.preview ? kPreviewWindow : nullptr);
    RunEnd end;
    if (errors.count == reportedBefore) end = WaitForRun(engine, dispatcher, main, errors, options.output);
    // Stopping before completion removes the unfinished movie.
    engine.Stop();
    if (stopSignal) return kSignalBase + stopSignal;
    if (!end.complete || errors.count != reportedBefore) return 1;
    return end.skipped > 0 ? kPicturesSkipped : 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    const int parsed = ParseOptions(argc, argv, options);
    if (parsed != 0) return parsed < 0 ? 0 : parsed;
    const Translations translations;
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
