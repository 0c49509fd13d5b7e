// reelsmith-make: the movie engine without a window. It drives the engine as
// the main window does (settings, folder, sound, Animate, completion, Stop)
// and shows progress and the engine's messages on standard error.
#include "engine/MovieEngine.h"
#include "platform/base/WideText.h"
#include "platform/mediagraph/MediaResults.h"
#include "platform/resource/MessageBox.h"
#include "platform/window/WindowDispatcher.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

const HWND MainWindow = reinterpret_cast<HWND>(0x1000);
const HWND PreviewWindow = reinterpret_cast<HWND>(0x1001);
constexpr HRESULT ClassNotRegistered = static_cast<HRESULT>(0x80040154u);
constexpr const char* NoPicturesMessage = "このディレクトリでjpgファイルは見つかりませんでした。";

const char* const HelpText =
    "Usage: reelsmith-make [--config FILE] [--audio FILE] [--preview] FOLDER OUTPUT.wmv\n"
    "\n"
    "Makes a Windows Media movie of the *.jpg pictures of FOLDER, in the order\n"
    "Windows lists them, each shown for the configured time.\n"
    "\n"
    "  --config FILE  settings file (default: config.ini in the current directory):\n"
    "                 [Screen] width, height, FrameSpeed (ms per picture), Quality\n"
    "                 (bit/s); [System] WorkThreadPriority (-2..2). A file missing any\n"
    "                 of the five keys leaves all defaults (640x480, 500 ms, 185000).\n"
    "  --audio FILE   lay an MP3 or WAV sound under the pictures; it is cut at the\n"
    "                 movie's end, or repeated when shorter.\n"
    "  --preview      run the preview branch too (tee and video renderer), as the\n"
    "                 window does; the frames are not shown.\n"
    "  --help         this text.\n"
    "\n"
    "The picture source library must be registered first:\n"
    "  regsvr build/lib/libXTPPic.so\n"
    "Progress goes to standard error. Errors are shown as \"Error code: 0x...\".\n"
    "The movie is written beside OUTPUT under a temporary name and renamed when\n"
    "complete, so a failed run leaves no OUTPUT.\n"
    "\n"
    "Exit status: 0 the movie is complete; 1 an error was reported, the folder was\n"
    "refused or the run aborted; 2 bad command line.\n";

struct Options {
    std::string config = "config.ini";
    std::string audio;
    bool preview = false;
    std::string folder;
    std::string output;
};

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
        } else if (argument == "--preview") {
            options.preview = true;
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
// that is not registered adds how to register the picture source.
class ErrorLine {
public:
    ErrorLine()
    {
        InstallMessageBoxHandler([this](HWND, const std::u16string& text, const std::u16string& caption, UINT) {
            std::fprintf(stderr, "%s%s: %s\n", progressShown ? "\n" : "", Utf8FromWide(caption).c_str(),
                         Utf8FromWide(text).c_str());
            ++count;
            if (text == WideFromUtf8(ClassNotRegisteredText())) {
                std::fputs("XTPPic is not registered: run regsvr build/lib/libXTPPic.so\n", stderr);
            }
            return IDOK;
        });
    }
    ~ErrorLine() { InstallMessageBoxHandler({}); }
    static std::string ClassNotRegisteredText()
    {
        char text[32];
        std::snprintf(text, sizeof text, "Error code: 0x%x.", static_cast<unsigned>(ClassNotRegistered));
        return text;
    }
    int count = 0;
    bool progressShown = false;
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
    constexpr int Width = 40;
    const int filled = total > 0 ? done * Width / total : 0;
    std::fprintf(stderr, "\r[%s%s] %d/%d", std::string(filled, '#').c_str(), std::string(Width - filled, ' ').c_str(),
                 done, total);
}

// Waits for the end of the run: true on EC_COMPLETE, false on an abort.
bool WaitForRun(MovieEngine& engine, WindowDispatcher& dispatcher, HeadlessWindow& main, ErrorLine& errors)
{
    const bool terminal = isatty(STDERR_FILENO);
    const int total = engine.PictureCount();
    int shown = -1;
    for (;;) {
        dispatcher.WaitForWork(100);
        dispatcher.DispatchPending();
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
            if (code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT) {
                if (terminal) std::fputc('\n', stderr);
                if (code != EC_COMPLETE) {
                    std::fprintf(stderr, "reelsmith-make: the run was aborted (event %d, 0x%x)\n",
                                 static_cast<int>(code), static_cast<unsigned>(first));
                }
                return code == EC_COMPLETE;
            }
        }
    }
}

std::filesystem::path PartialName(const std::filesystem::path& output)
{
    std::filesystem::path partial = output;
    partial.replace_filename("." + output.filename().string() + ".partial");
    return partial;
}

int MakeMovie(const Options& options, WindowDispatcher& dispatcher, HeadlessWindow& main)
{
    ErrorLine errors;
    MovieEngine engine;
    if (!engine.IsReady()) return 1;
    // A machine without sound output is told once; it only matters with a sound.
    const bool soundless = errors.count > 0;
    if (soundless && !options.audio.empty()) return 1;
    const int reportedBefore = errors.count;
    engine.SetNotifyWindow(MainWindow, WM_GRAPHNOTIFY, 0);
    engine.LoadSettings(WideFromUtf8(options.config));
    engine.SetPictureFolder(WideFromUtf8(options.folder));
    if (!engine.HasPictureFolder() || engine.PictureCount() == 0) {
        std::fprintf(stderr, "Reelsmith: %s\n", NoPicturesMessage);
        return 1;
    }
    engine.SetCurrentPicture(0);
    if (!options.audio.empty()) engine.SetAudioFile(WideFromUtf8(options.audio));
    const std::filesystem::path partial = PartialName(options.output);
    engine.MakeMovie(WideFromUtf8(partial.string()), options.preview ? PreviewWindow : nullptr);
    bool complete = errors.count == reportedBefore && WaitForRun(engine, dispatcher, main, errors);
    engine.Stop();
    complete = complete && errors.count == reportedBefore;
    std::error_code error;
    if (complete) std::filesystem::rename(partial, options.output, error);
    if (!complete || error) std::filesystem::remove(partial, error);
    if (complete && error) std::fprintf(stderr, "reelsmith-make: cannot write %s\n", options.output.c_str());
    return complete && !error ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    const int parsed = ParseOptions(argc, argv, options);
    if (parsed != 0) return parsed < 0 ? 0 : parsed;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    WindowDispatcher dispatcher;
    HeadlessWindow main({0, 0, 640, 480});
    HeadlessWindow preview({0, 0, 320, 240});
    dispatcher.RegisterWindow(MainWindow, &main);
    dispatcher.RegisterWindow(PreviewWindow, &preview);
    InstallWindowService(&dispatcher);
    const int status = MakeMovie(options, dispatcher, main);
    InstallWindowService(nullptr);
    CoUninitialize();
    return status;
}
