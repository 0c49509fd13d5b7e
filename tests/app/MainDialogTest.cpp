#include "app/MainDialog.h"

#include "app/SettingsForm.h"
#include "app/Translations.h"
#include "engine/OutputFormat.h"
#include "jpeg/JpegDecoder.h"

#include "picsource/IPictureSourceConfig.h"
#include "platform/com/Com.h"
#include "platform/mediagraph/GraphControl.h"
#include "platform/mediagraph/MediaResults.h"

#include <QString>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string Narrow(const std::u16string& text) { return QString::fromStdU16String(text).toStdString(); }

// Records what the dialog does to the window; answers the choosers and
// message boxes from a script.
class ScriptedHost : public DialogHost {
public:
    struct Message {
        std::string text;
        std::string caption;
        UINT type;
    };

    int ShowMessage(const std::u16string& text, const std::u16string& caption, UINT type) override
    {
        messages.push_back({Narrow(text), Narrow(caption), type});
        if (onMessage) onMessage();
        if (answers.empty()) return answer;
        const int next = answers.front();
        answers.pop_front();
        return next;
    }
    std::u16string ChooseFolder(const std::u16string& title) override
    {
        folderTitle = Narrow(title);
        if (whileChoosing) whileChoosing();
        return folder;
    }
    std::u16string ChooseOpenFile(const FileFilter* filters, int count) override
    {
        openFilters.assign(filters, filters + count);
        return openFile;
    }
    std::u16string ChooseSaveFile(const FileFilter* filters, int count, const std::u16string& extension) override
    {
        saveFilters.assign(filters, filters + count);
        saveExtension = Narrow(extension);
        return saveFile;
    }
    void StartTimer(int id, int period) override
    {
        timerRunning = id == 1 && period == 100;
        ++timerStarts;
    }
    void StopTimer(int) override { timerRunning = false; }
    void ShowControl(int id, bool show) override { visible[id] = show; }
    void EnableControl(int id, bool enable) override { enabled[id] = enable; }
    void SetButtonImages(int id, int normal, int pressed, int disabled) override
    {
        images[id] = {normal, pressed, disabled};
    }
    void MoveButtonTo(int id, int slotOf) override { movedTo[id] = slotOf; }
    void SetProgressRange(std::int32_t lower, std::int32_t upper) override { range = {lower, upper}; }
    void SetProgressPos(std::int32_t position) override { progress = position; }
    void SetProgressLabel(const std::u16string& text) override { label = Narrow(text); }
    void SetProgressColours(std::uint32_t text, std::uint32_t background) override { colours = {text, background}; }
    HWND MainWindowHandle() override { return reinterpret_cast<HWND>(0x100); }
    HWND PreviewHandle() override { return reinterpret_cast<HWND>(0x200); }
    void DrawFrameToWindow(HWND window, const BYTE* pixels, LONG width, LONG height, WORD bits) override
    {
        drawnTo = window;
        frameSize = {width, height, bits};
        // Bottom-up: the first row is the picture's bottom one.
        firstPixel = {pixels[0], pixels[1], pixels[2]};
    }
    void ClearWindow(HWND window) override
    {
        if (window == drawnTo) drawnTo = nullptr;
    }
    void RunHelp() override { ++helpRuns; }
    int ShowMessageWithActions(const std::u16string& text, const std::u16string& caption,
                               const std::vector<std::u16string>& choices) override
    {
        actions.clear();
        for (const std::u16string& choice : choices) actions.push_back(Narrow(choice));
        ShowMessage(text, caption, kMessageOk);
        return chosenAction;
    }
    void OpenWithDesktop(const std::u16string& path) override { opened.push_back(Narrow(path)); }
    void SetProgressDetail(const std::u16string& text) override { detail = Narrow(text); }
    double ClockSeconds() override { return clock; }
    bool ArrangePictures(WorkflowEngine&, std::vector<std::u16string>& taken) override
    {
        ++arrangements;
        taken = arranged;
        return !arranged.empty();
    }
    void EndDialog() override { ended = true; }
    std::u16string ApplicationTitle() override { return u"reelsmith"; }
    bool EditSettings(MovieSettings& settings) override
    {
        shownSettings = settings;
        if (!editSettings) return false;
        editSettings(settings);
        return true;
    }
    std::u16string SettingsPath() override { return settingsPath; }
    void SetControlText(int id, const std::u16string& text) override { texts[id] = Narrow(text); }

    int answer = kAnswerOk;
    // Answers for the next boxes, in turn; then `answer`.
    std::deque<int> answers;
    std::function<void()> onMessage;
    // What happens while the folder chooser is open (the window's events go on).
    std::function<void()> whileChoosing;
    std::u16string folder;
    std::u16string openFile;
    std::u16string saveFile;
    std::string folderTitle;
    std::vector<FileFilter> openFilters;
    std::vector<FileFilter> saveFilters;
    std::string saveExtension;
    std::vector<Message> messages;
    bool timerRunning = false;
    int timerStarts = 0;
    std::map<int, bool> visible;
    std::map<int, bool> enabled;
    std::map<int, std::vector<int>> images;
    std::map<int, int> movedTo;
    std::pair<int, int> range{-1, -1};
    int progress = -1;
    std::string label;
    std::pair<std::uint32_t, std::uint32_t> colours{};
    HWND drawnTo = nullptr;
    std::vector<LONG> frameSize;
    std::vector<int> firstPixel;
    int helpRuns = 0;
    // What the user leaves in the pictures dialog; empty: cancelled or nothing changed.
    std::vector<std::u16string> arranged;
    int arrangements = 0;
    bool ended = false;
    // The actions of the last box that offered some, and the one the user takes (-1: Ok).
    std::vector<std::string> actions;
    int chosenAction = -1;
    std::vector<std::string> opened;
    std::string detail;
    double clock = 0;
    // What the user does in the settings dialog before OK; unset: Cancel.
    std::function<void(MovieSettings&)> editSettings;
    MovieSettings shownSettings;
    std::u16string settingsPath = u"config.ini";
    std::map<int, std::string> texts;
};

// The engine as the dialog sees it, with a real graph event queue.
class ScriptedEngine : public WorkflowEngine {
public:
    explicit ScriptedEngine(std::vector<std::string>& callLog) : log(callLog)
    {
        if (CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaEventEx,
                             events.ReceiveVoid()) >= 0) {
            events->CancelDefaultHandling(EC_COMPLETE);
            events.As(IID_IMediaEventSink, sink);
        }
    }
    ~ScriptedEngine() override { log.push_back("destroyed"); }

    HRESULT SetNotifyWindow(HWND window, UINT message, LONG_PTR parameter) override
    {
        log.push_back("SetNotifyWindow " + std::to_string(reinterpret_cast<std::uintptr_t>(window)) + " " +
                      std::to_string(message) + " " + std::to_string(parameter));
        return S_OK;
    }
    bool LoadSettings(const std::u16string& path) override
    {
        log.push_back("LoadSettings " + Narrow(path));
        return false;
    }
    // The settings the dialog wrote reach the engine through the file.
    MovieSettings settings;
    std::u16string audioFile;
    REFERENCE_TIME soundLength = 0;
    HRESULT soundResult = S_OK;
    bool soundLays = true;
    bool IsReady() const override { return ready; }
    HRESULT SetPictureFolder(const std::u16string& path) override
    {
        log.push_back("SetPictureFolder " + Narrow(path));
        // As the engine does: another folder drops the sound, even a refused one.
        if (hasFolder) audioFile.clear();
        if (SUCCEEDED(folderResult)) hasFolder = true;
        return folderResult;
    }
    void SetAudioFile(const std::u16string& path) override
    {
        log.push_back("SetAudioFile " + Narrow(path));
        audioFile = path;
    }
    void ClearAudioFile() override
    {
        log.push_back("ClearAudioFile");
        audioFile.clear();
    }
    std::u16string AudioFile() const override { return audioFile; }
    bool HasAudioTimeline() const override { return !audioFile.empty() && soundLays; }
    HRESULT AudioLength(const std::u16string&, REFERENCE_TIME& length) override
    {
        length = soundLength;
        return soundResult;
    }
    MovieSettings SettingsInForce() override { return settings; }
    bool HasPictureFolder() const override { return hasFolder; }
    int PictureCount() override { return count; }
    int CurrentPicture() override { return current; }
    int PicturesShown() override { return shown; }
    void SetCurrentPicture(int index) override { log.push_back("SetCurrentPicture " + std::to_string(index)); }
    std::u16string PicturePath(int index) override
    {
        const std::string other = pictureFolder + "/picture" + std::to_string(index) + ".jpg";
        return index == 0 ? firstPicture : std::u16string(other.begin(), other.end());
    }
    bool RenderPicture(int index, std::vector<BYTE>& frame, LONG& width, LONG& height) override
    {
        log.push_back("RenderPicture " + std::to_string(index));
        if (previewFrame.empty()) return false;
        frame = previewFrame;
        width = previewWidth;
        height = previewHeight;
        return true;
    }
    std::vector<std::u16string> PictureNames() override { return {}; }
    std::vector<std::u16string> FolderPictures(LONG) override { return {}; }
    HRESULT SetPictureList(const std::vector<std::u16string>& names) override
    {
        std::string joined;
        for (const std::u16string& name : names) joined += " " + Narrow(name);
        log.push_back("SetPictureList" + joined);
        count = static_cast<int>(names.size());
        return S_OK;
    }
    std::vector<std::u16string> ListedNamesNotFound() override { return namesNotFound; }
    bool PictureListFoundNone() override { return listFoundNone; }
    HRESULT RenderThumbnail(const std::u16string&, LONG, LONG, std::vector<BYTE>&) override { return E_NOTIMPL; }
    void MakeMovie(const std::u16string& path, HWND preview) override
    {
        log.push_back("MakeMovie " + Narrow(path) + " " + std::to_string(reinterpret_cast<std::uintptr_t>(preview)));
        state = 2;
    }
    HRESULT Play(HWND) override
    {
        log.push_back("Play");
        if (playResult >= 0) state = 2;
        return playResult;
    }
    int GraphState() override { return state; }
    void SetPaused(bool pause) override
    {
        log.push_back(pause ? "Pause" : "Run");
        state = pause ? 1 : 2;
    }
    void Stop() override
    {
        log.push_back("Stop");
        state = 0;
    }
    ComPtr<IMediaEvent> GraphEvents() override
    {
        ComPtr<IMediaEvent> queue;
        events.As(IID_IMediaEvent, queue);
        return queue;
    }
    void ReportError(HRESULT hr) override
    {
        char text[32];
        std::snprintf(text, sizeof text, "ReportError 0x%x", static_cast<unsigned>(hr));
        log.push_back(text);
    }
    void Raise(LONG code, LONG_PTR param1 = 0, LONG_PTR param2 = 0) { sink->Notify(code, param1, param2); }

    std::vector<std::string>& log;
    bool ready = true;
    HRESULT folderResult = S_OK;
    std::string pictureFolder = "/photos";
    bool hasFolder = false;
    int count = 0;
    int current = 0;
    int shown = 0;
    int state = 0;
    HRESULT playResult = S_OK;
    std::vector<std::u16string> namesNotFound;
    bool listFoundNone = false;
    std::u16string firstPicture = u"/nonexistent/first.jpg";
    // The first frame the picture source would make; empty: the picture cannot be read.
    std::vector<BYTE> previewFrame;
    LONG previewWidth = 0;
    LONG previewHeight = 0;
    ComPtr<IMediaEventEx> events;
    ComPtr<IMediaEventSink> sink;
};

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    void TearDown() override { CoUninitialize(); }

    void Init()
    {
        dialog.OnInitDialog();
        ASSERT_NE(engine, nullptr);
    }
    // Accepts a folder of `pictures` through Start.
    void AcceptFolder(int pictures)
    {
        engine->count = pictures;
        host.folder = u"/photos";
        dialog.OnStart();
    }
    const ScriptedHost::Message& LastMessage() const { return host.messages.back(); }
    std::vector<std::string> MessageTexts() const
    {
        std::vector<std::string> texts;
        for (const ScriptedHost::Message& message : host.messages) texts.push_back(message.text);
        return texts;
    }
    // Every text the dialog shows in one walk through it: the refusals, the chooser's title, an
    // empty folder, the count, both progress labels, completion, the skipped pictures and the
    // exit question with its caption.
    std::vector<std::string> DialogTexts()
    {
        std::vector<std::string> texts;
        Init();
        dialog.OnPlay();
        dialog.OnAnimate();
        engine->count = 0;
        host.folder = u"/photos";
        dialog.OnStart();
        texts.push_back(host.folderTitle);
        engine->count = 12;
        dialog.OnStart();
        host.saveFile = u"/out/movie.wmv";
        dialog.OnAnimate();
        dialog.OnTimer();
        texts.push_back(host.label);
        engine->Raise(EC_PICTURE_SKIPPED, 3, JpegUnsupportedBytesPerPixel);
        engine->Raise(EC_COMPLETE);
        dialog.OnGraphNotify();
        dialog.OnPlay();
        dialog.OnTimer();
        texts.push_back(host.label);
        host.answer = kAnswerNo;
        dialog.OnExit();
        for (const ScriptedHost::Message& message : host.messages) texts.push_back(message.text);
        texts.push_back(host.messages.back().caption);
        return texts;
    }

    ScriptedHost host;
    std::vector<std::string> log;
    ScriptedEngine* engine = nullptr;
    MainDialog dialog{host, [this] {
                          auto created = std::make_unique<ScriptedEngine>(log);
                          engine = created.get();
                          return created;
                      }};
};

TEST_F(MainDialogTest, InitialisationLaysOutTheWindowAndPreparesTheEngine)
{
    Init();
    EXPECT_EQ(host.images[StartControl], (std::vector<int>{132, 131, 0}));
    EXPECT_EQ(host.images[PlayControl], (std::vector<int>{130, 129, 0}));
    EXPECT_EQ(host.images[AnimateControl], (std::vector<int>{135, 134, 0}));
    EXPECT_EQ(host.images[ExitControl], (std::vector<int>{137, 136, 0}));
    EXPECT_EQ(host.images[AudioControl], (std::vector<int>{140, 141, 145}));
    EXPECT_EQ(host.images[HelpControl], (std::vector<int>{150, 151, 0}));
    EXPECT_EQ(host.images[PicturesControl], (std::vector<int>{170, 171, 0}));
    EXPECT_FALSE(host.visible[AudioControl]);
    EXPECT_FALSE(host.visible[HelpControl]);
    EXPECT_FALSE(host.visible[ProgressControl]);
    EXPECT_EQ(host.movedTo[StartControl], AudioControl);
    EXPECT_EQ(host.colours, (std::pair<std::uint32_t, std::uint32_t>{0x7FFF00, 0xFFFFFF}));
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "SetNotifyWindow 256 32868 0");
    EXPECT_EQ(log[1], "LoadSettings config.ini");
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(host.enabled.find(AudioControl) == host.enabled.end()) << "audio hardware present";
}

TEST_F(MainDialogTest, NoAudioHardwareDisablesTheAudioButton)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    Init();
    EXPECT_FALSE(host.enabled.at(AudioControl));
    EXPECT_FALSE(host.visible[AudioControl]);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(MainDialogTest, ExitAsksAndOnlyYesEndsTheDialog)
{
    Init();
    host.answer = kAnswerNo;
    dialog.OnExit();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(LastMessage().text, "本当にReelsmithを終了させますか？");
    EXPECT_EQ(LastMessage().caption, "終了確認");
    EXPECT_EQ(LastMessage().type, kMessageYesNo | kMessageIconQuestion | kMessageDefaultSecond);
    EXPECT_FALSE(host.ended);
    EXPECT_TRUE(dialog.HasEngine());

    host.answer = kAnswerYes;
    dialog.OnExit();
    EXPECT_TRUE(host.ended);
    EXPECT_FALSE(dialog.HasEngine());
    EXPECT_EQ(log.back(), "destroyed");
}

TEST_F(MainDialogTest, PlayAndAnimateWithoutAFolderOnlySayWhy)
{
    Init();
    dialog.OnPlay();
    EXPECT_EQ(LastMessage().text, "まず、JPGファイルを選択してください。");
    EXPECT_EQ(LastMessage().caption, "Reelsmith");
    EXPECT_EQ(LastMessage().type, kMessageOk);
    dialog.OnAnimate();
    EXPECT_EQ(LastMessage().text, "まだイメージを選んでいません。");
    EXPECT_EQ(host.timerStarts, 0);
    EXPECT_EQ(dialog.Mode(), DialogMode::Idle);
    EXPECT_FALSE(host.visible[ProgressControl]);
}

TEST_F(MainDialogTest, CancelledChoosersChangeNothing)
{
    Init();
    const auto before = log.size();
    dialog.OnStart();
    dialog.OnAudio();
    EXPECT_EQ(log.size(), before) << "the graph is stopped only after a choice";
    EXPECT_EQ(host.folderTitle, "写真ディレクトリを選択してください");
    ASSERT_EQ(host.openFilters.size(), 2u);
    EXPECT_EQ(Narrow(host.openFilters[0].patterns), "*.mp3;*.wav");
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(MainDialogTest, FolderWithoutPicturesSaysSoAndLeavesTheBar)
{
    Init();
    AcceptFolder(0);
    EXPECT_EQ(LastMessage().text, "このディレクトリでjpgファイルは見つかりませんでした。");
    EXPECT_EQ(LastMessage().caption, "Reelsmith");
    EXPECT_FALSE(host.visible[ProgressControl]);
    EXPECT_EQ(host.range, (std::pair<int, int>{-1, -1}));
}

TEST_F(MainDialogTest, AcceptedFolderShowsCountResetsBarAndDrawsThePreview)
{
    Init();
    // The movie's first frame, 1280 x 720, as the engine makes it: its first pixel blue.
    engine->previewWidth = 1280;
    engine->previewHeight = 720;
    engine->previewFrame.assign(1280 * 3 * 720, 0);
    engine->previewFrame[0] = 255;
    host.timerRunning = true;
    AcceptFolder(12);

    EXPECT_EQ(LastMessage().text, "12 個JPGファイルはロードされています。");
    EXPECT_EQ(log[2], "Stop");
    EXPECT_EQ(log[3], "SetPictureFolder /photos");
    EXPECT_EQ(log[4], "SetCurrentPicture 0");
    EXPECT_EQ(log[5], "RenderPicture 0");
    EXPECT_FALSE(host.timerRunning);
    EXPECT_EQ(host.range, (std::pair<int, int>{0, 12}));
    EXPECT_EQ(host.progress, 0);
    EXPECT_TRUE(host.visible[ProgressControl]);
    EXPECT_TRUE(host.enabled[ProgressControl]);
    EXPECT_EQ(host.drawnTo, host.PreviewHandle());
    EXPECT_EQ(host.frameSize, (std::vector<LONG>{1280, 720, 24}));
    EXPECT_EQ(host.firstPixel, (std::vector<int>{255, 0, 0}));
}

TEST_F(MainDialogTest, ThePicturesChosenAreHandedOverAndTheBarAndPreviewFollowThem)
{
    Init();
    dialog.OnPictures();
    EXPECT_EQ(LastMessage().text, "まず、JPGファイルを選択してください。");
    EXPECT_EQ(host.arrangements, 0);

    AcceptFolder(12);
    // Cancelled, or accepted unchanged: the engine keeps what it had.
    std::size_t calls = log.size();
    dialog.OnPictures();
    EXPECT_EQ(host.arrangements, 1);
    EXPECT_EQ(log.size(), calls);

    host.arranged = {u"10.jpg", u"2.jpg", u"1.jpg"};
    host.timerRunning = true;
    calls = log.size();
    dialog.OnPictures();
    ASSERT_EQ(log.size(), calls + 4);
    EXPECT_EQ(log[calls], "Stop");
    EXPECT_EQ(log[calls + 1], "SetPictureList 10.jpg 2.jpg 1.jpg");
    EXPECT_EQ(log[calls + 2], "SetCurrentPicture 0");
    EXPECT_EQ(log[calls + 3], "RenderPicture 0") << "the preview is the first chosen picture";
    EXPECT_EQ(host.range, (std::pair<int, int>{0, 3}));
    EXPECT_FALSE(host.timerRunning);
}

TEST_F(MainDialogTest, NamesOfTheSettingsListNotInTheFolderAreToldAfterTheCount)
{
    Init();
    engine->namesNotFound = {u"gone.jpg", u"also\ngone.jpg"};
    AcceptFolder(3);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text, "3 個JPGファイルはロードされています。");
    EXPECT_EQ(LastMessage().text,
              "設定の写真の一覧の次の名前はこのフォルダーの写真ではないため、除きました:\ngone.jpg\nalso\\ngone.jpg");
    engine->listFoundNone = true;
    AcceptFolder(3);
    EXPECT_EQ(LastMessage().text.rfind("設定の写真の一覧の名前はどれもこのフォルダーの写真ではないため", 0), 0u);
}

TEST_F(MainDialogTest, UnreadablePictureDrawsNothingAndSaysNothingMore)
{
    Init();
    AcceptFolder(3);
    EXPECT_EQ(host.drawnTo, nullptr);
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_TRUE(host.visible[ProgressControl]);
}

TEST_F(MainDialogTest, AudioFileIsHandedOverAndAnnounced)
{
    Init();
    AcceptFolder(2);
    host.openFile = u"/music/song.mp3";
    dialog.OnAudio();
    EXPECT_EQ(LastMessage().text, "Add Audio File");
    EXPECT_EQ(LastMessage().caption, "reelsmith");
    EXPECT_EQ(LastMessage().type, kMessageOk | kMessageIconExclamation);
    EXPECT_NE(std::find(log.begin(), log.end(), "SetAudioFile /music/song.mp3"), log.end());
}

TEST_F(MainDialogTest, AnimateMakesTheMovieAndTheTimerReportsMaking)
{
    Init();
    AcceptFolder(4);
    host.saveFile = u"/out/movie.wmv";
    dialog.OnAnimate();
    EXPECT_EQ(log.back(), "MakeMovie /out/movie.wmv 512");
    EXPECT_EQ(host.saveExtension, ".wmv");
    ASSERT_EQ(host.saveFilters.size(), 3u);
    EXPECT_EQ(Narrow(host.saveFilters[0].patterns), "*.wmv");
    EXPECT_EQ(Narrow(host.saveFilters[1].description), "MP4 動画 (*.mp4)");
    EXPECT_EQ(Narrow(host.saveFilters[2].patterns), "*.webm");
    EXPECT_TRUE(host.timerRunning);
    EXPECT_EQ(dialog.Mode(), DialogMode::Making);
    EXPECT_TRUE(host.visible[ProgressControl]);
    EXPECT_FALSE(host.enabled[ProgressControl]);

    engine->current = 3;
    dialog.OnTimer();
    EXPECT_EQ(host.label, "動画作成中");
    EXPECT_EQ(host.progress, 3);
}

TEST_F(MainDialogTest, TimerDoesNothingWhileIdle)
{
    Init();
    AcceptFolder(4);
    engine->current = 2;
    dialog.OnTimer();
    EXPECT_EQ(host.progress, 0);
    EXPECT_EQ(host.label, "");
}

TEST_F(MainDialogTest, PlayTogglesBetweenRunAndPauseWithTheButtonLook)
{
    Init();
    AcceptFolder(4);
    dialog.OnPlay();
    EXPECT_EQ(log.back(), "Play");
    EXPECT_EQ(host.images[PlayControl], (std::vector<int>{139, 138, 0}));
    EXPECT_EQ(dialog.Mode(), DialogMode::Playing);
    EXPECT_TRUE(host.timerRunning);
    // The source has read two pictures ahead of the one on screen.
    engine->current = 3;
    engine->shown = 1;
    dialog.OnTimer();
    EXPECT_EQ(host.label, "再生中");
    EXPECT_EQ(host.progress, 1);

    const int startsBefore = host.timerStarts;
    dialog.OnPlay();
    EXPECT_EQ(log.back(), "Pause");
    EXPECT_EQ(host.images[PlayControl], (std::vector<int>{130, 129, 0}));
    dialog.OnPlay();
    EXPECT_EQ(log.back(), "Run");
    EXPECT_EQ(host.images[PlayControl], (std::vector<int>{139, 138, 0}));
    EXPECT_EQ(host.timerStarts, startsBefore) << "pause and resume leave the timer alone";
}

TEST_F(MainDialogTest, FailedPlayOnlyShowsTheBar)
{
    Init();
    AcceptFolder(4);
    host.visible[ProgressControl] = false;
    engine->playResult = E_FAIL;
    dialog.OnPlay();
    EXPECT_EQ(dialog.Mode(), DialogMode::Idle);
    EXPECT_FALSE(host.timerRunning);
    EXPECT_EQ(host.images[PlayControl], (std::vector<int>{130, 129, 0}));
    EXPECT_TRUE(host.visible[ProgressControl]);

    engine->state = -1;
    host.visible[ProgressControl] = false;
    dialog.OnPlay();
    EXPECT_TRUE(host.visible[ProgressControl]);
}

TEST_F(MainDialogTest, CompletionAfterPlayingStopsAndFreezesTheBar)
{
    Init();
    AcceptFolder(4);
    dialog.OnPlay();
    engine->current = 3;
    dialog.OnTimer();
    EXPECT_EQ(host.label, "再生中");
    // The last picture passes between two polls: the bar still shows where the run ended.
    engine->current = 4;
    engine->Raise(EC_PAUSED);
    engine->Raise(EC_COMPLETE);
    dialog.OnGraphNotify();
    EXPECT_FALSE(host.timerRunning);
    EXPECT_EQ(engine->state, 0);
    EXPECT_EQ(host.images[PlayControl], (std::vector<int>{130, 129, 0}));
    EXPECT_EQ(LastMessage().text, "データの処理は終了しました!");
    EXPECT_EQ(host.messages.size(), 2u) << "the other event is ignored";
    EXPECT_EQ(host.label, "") << "the work has ended";
    EXPECT_EQ(host.progress, 4);
    EXPECT_EQ(dialog.Mode(), DialogMode::Playing);

    dialog.OnGraphNotify();
    EXPECT_EQ(host.messages.size(), 2u) << "the queue was drained";
}

TEST_F(MainDialogTest, CompletionAfterMakingSaysTheSame)
{
    Init();
    AcceptFolder(4);
    host.saveFile = u"/out/movie.wmv";
    dialog.OnAnimate();
    engine->Raise(EC_COMPLETE);
    dialog.OnGraphNotify();
    EXPECT_EQ(LastMessage().text, "データの処理は終了しました!");
    EXPECT_FALSE(host.timerRunning);
    EXPECT_EQ(log.back(), "Stop");
}

TEST_F(MainDialogTest, TheRateAndTimeLeftShowAfterTheFirstPicturesAndClearAtTheEnd)
{
    Init();
    AcceptFolder(40);
    host.saveFile = u"/out/movie.wmv";
    dialog.OnAnimate();
    // Two pictures a second, looked at every eighth of a second (a clock without rounding).
    for (int tick = 1; tick <= 8; ++tick) {
        host.clock += 0.125;
        engine->current = tick / 4;
        dialog.OnTimer();
        EXPECT_EQ(host.detail, "") << "after " << engine->current << " pictures";
    }
    for (int tick = 9; tick <= 32; ++tick) {
        host.clock += 0.125;
        engine->current = tick / 4;
        dialog.OnTimer();
    }
    EXPECT_EQ(host.label, "動画作成中") << "the bar's own label stays";
    EXPECT_EQ(host.detail, "2.0 枚/秒 ・ 残り 0:16");
    host.clock += 0.5;
    dialog.OnTimer();
    EXPECT_EQ(host.detail, "2.0 枚/秒 ・ 残り 0:16");
    host.clock += 0.625;
    dialog.OnTimer();
    EXPECT_EQ(host.detail, "2.0 枚/秒 ・ 残り 0:15") << "the time left counts down between pictures";

    engine->Raise(EC_COMPLETE);
    dialog.OnGraphNotify();
    EXPECT_EQ(host.detail, "");
}

TEST_F(MainDialogTest, PlaybackAndAFailedOrStoppedMovieShowNoTimeLeft)
{
    Init();
    AcceptFolder(40);
    dialog.OnPlay();
    for (int tick = 1; tick <= 40; ++tick) {
        host.clock += 0.1;
        engine->shown = tick / 2;
        dialog.OnTimer();
    }
    EXPECT_EQ(host.detail, "");
    dialog.OnPlay();
    engine->Stop();

    host.saveFile = u"/out/movie.wmv";
    dialog.OnAnimate();
    for (int tick = 1; tick <= 40; ++tick) {
        host.clock += 0.1;
        engine->current = tick / 2;
        dialog.OnTimer();
    }
    EXPECT_NE(host.detail, "");
    engine->Raise(EC_ERRORABORT, E_FAIL);
    dialog.OnGraphNotify();
    EXPECT_EQ(host.detail, "");
}

TEST_F(MainDialogTest, AFinishedMovieOffersToOpenItOrItsFolder)
{
    Init();
    AcceptFolder(4);
    host.saveFile = u"/out/holiday movie.wmv";
    for (const int action : {-1, 0, 1}) {
        host.chosenAction = action;
        host.actions.clear();
        dialog.OnAnimate();
        engine->Raise(EC_COMPLETE);
        dialog.OnGraphNotify();
        EXPECT_EQ(LastMessage().text, "データの処理は終了しました!");
        EXPECT_EQ(LastMessage().caption, "Reelsmith");
        EXPECT_EQ(host.actions, (std::vector<std::string>{"動画を開く", "フォルダーに表示"}));
    }
    EXPECT_EQ(host.opened, (std::vector<std::string>{"/out/holiday movie.wmv", "/out"}));
}

TEST_F(MainDialogTest, TheEndOfPlaybackOffersNothing)
{
    Init();
    AcceptFolder(4);
    host.chosenAction = 0;
    dialog.OnPlay();
    engine->Raise(EC_COMPLETE);
    dialog.OnGraphNotify();
    EXPECT_EQ(LastMessage().text, "データの処理は終了しました!");
    EXPECT_TRUE(host.actions.empty());
    EXPECT_TRUE(host.opened.empty());
}

TEST_F(MainDialogTest, AnAbortedMovieStopsAndReportsItsCode)
{
    Init();
    AcceptFolder(4);
    host.saveFile = u"/out/movie.wmv";
    dialog.OnAnimate();
    const std::size_t messagesBefore = host.messages.size();
    engine->Raise(EC_ERRORABORT, static_cast<LONG_PTR>(static_cast<HRESULT>(0x80070070)));
    dialog.OnGraphNotify();
    EXPECT_FALSE(host.timerRunning);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "Stop");
    EXPECT_EQ(log.back(), "ReportError 0x80070070");
    EXPECT_EQ(host.messages.size(), messagesBefore) << "no word of success";
}

TEST_F(MainDialogTest, AFailedRunEmptiesTheBarInsteadOfShowingItFull)
{
    Init();
    AcceptFolder(4);
    host.saveFile = u"/out/movie.wmv";
    dialog.OnAnimate();
    // Every picture was delivered; the writer then failed to finish the file.
    engine->current = 4;
    dialog.OnTimer();
    EXPECT_EQ(host.progress, 4);
    engine->Raise(EC_ERRORABORT, static_cast<LONG_PTR>(static_cast<HRESULT>(0x80070070)));
    dialog.OnGraphNotify();
    EXPECT_EQ(host.progress, 0);
    EXPECT_EQ(host.label, "エラーで中断");
}

const char* const kStopMakingQuestion =
    "動画を作成中です。中止すると、作成途中の動画は保存されません。作成を中止しますか？";

class MakingTest : public MainDialogTest {
protected:
    void StartMaking()
    {
        Init();
        AcceptFolder(4);
        host.saveFile = u"/out/movie.wmv";
        dialog.OnAnimate();
        host.messages.clear();
        host.folder = u"/other";
        engine->count = 7;
    }
    bool Logged(const std::string& entry) const { return std::find(log.begin(), log.end(), entry) != log.end(); }
};

TEST_F(MakingTest, StartWhileMakingAsksAndNoLetsTheMovieFinish)
{
    StartMaking();
    host.answers = {kAnswerNo};
    const std::size_t calls = log.size();
    dialog.OnStart();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(LastMessage().text, kStopMakingQuestion);
    EXPECT_EQ(LastMessage().type, kMessageYesNo | kMessageIconQuestion | kMessageDefaultSecond);
    EXPECT_EQ(log.size(), calls) << "neither stopped nor given the folder";
    EXPECT_TRUE(host.timerRunning);

    engine->current = 4;
    engine->Raise(EC_COMPLETE);
    dialog.OnGraphNotify();
    EXPECT_EQ(LastMessage().text, "データの処理は終了しました!");
    EXPECT_EQ(host.progress, 4);
}

TEST_F(MakingTest, StartWhileMakingYesStopsTellsAndTakesTheFolder)
{
    StartMaking();
    host.answers = {kAnswerYes};
    dialog.OnStart();
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{
                                  kStopMakingQuestion, "動画の作成を中止しました。作成途中の動画は保存されていません。",
                                  "7 個JPGファイルはロードされています。"}));
    EXPECT_TRUE(Logged("Stop"));
    EXPECT_EQ(log[log.size() - 3], "SetPictureFolder /other");
    EXPECT_FALSE(host.timerRunning);
    EXPECT_EQ(host.range, (std::pair<int, int>{0, 7}));
    EXPECT_EQ(host.label, "");
}

TEST_F(MakingTest, ChoosingPicturesWhileMakingAsksFirst)
{
    StartMaking();
    host.arranged = {u"1.jpg"};
    host.answers = {kAnswerNo};
    const std::size_t calls = log.size();
    dialog.OnPictures();
    EXPECT_EQ(LastMessage().text, kStopMakingQuestion);
    EXPECT_EQ(log.size(), calls) << "the movie goes on with its pictures";
    host.answers = {kAnswerYes};
    dialog.OnPictures();
    EXPECT_NE(std::find(log.begin() + static_cast<std::ptrdiff_t>(calls), log.end(), "SetPictureList 1.jpg"),
              log.end());
}

TEST_F(MakingTest, AnimateWhileMakingAsksToo)
{
    StartMaking();
    host.answers = {kAnswerNo};
    host.saveFile = u"/out/second.wmv";
    dialog.OnAnimate();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(LastMessage().text, kStopMakingQuestion);
    EXPECT_FALSE(Logged("MakeMovie /out/second.wmv 512"));
}

TEST_F(MakingTest, CompletionWhileTheFolderChooserIsOpenIsShownWhenItCloses)
{
    StartMaking();
    std::size_t shownWhileOpen = 99;
    host.whileChoosing = [&] {
        engine->current = 4;
        engine->Raise(EC_COMPLETE);
        dialog.OnGraphNotify();
        shownWhileOpen = host.messages.size();
    };
    dialog.OnStart();
    EXPECT_EQ(shownWhileOpen, 0u) << "nothing opens on top of the chooser";
    EXPECT_EQ(MessageTexts(),
              (std::vector<std::string>{"データの処理は終了しました!", "7 個JPGファイルはロードされています。"}))
        << "the finished movie needs no question";

    // Also when the chooser is cancelled.
    host.saveFile = u"/out/again.wmv";
    dialog.OnAnimate();
    host.folder.clear();
    const std::size_t before = host.messages.size();
    dialog.OnStart();
    ASSERT_EQ(host.messages.size(), before + 1);
    EXPECT_EQ(LastMessage().text, "データの処理は終了しました!");
}

TEST_F(MakingTest, ExitWhileMakingSaysWhatIsLostAndCompletionWaitsForTheAnswer)
{
    StartMaking();
    host.answer = kAnswerNo;
    bool raised = false;
    host.onMessage = [&] {
        if (raised) return;
        raised = true;
        engine->Raise(EC_COMPLETE);
        dialog.OnGraphNotify();
    };
    dialog.OnExit();
    EXPECT_EQ(MessageTexts(),
              (std::vector<std::string>{
                  "動画を作成中です。終了すると、作成途中の動画は保存されません。本当にReelsmithを終了させますか？",
                  "データの処理は終了しました!"}));
    EXPECT_EQ(host.messages.front().caption, "終了確認");
    EXPECT_FALSE(host.ended);

    dialog.OnExit();
    EXPECT_EQ(LastMessage().text, "本当にReelsmithを終了させますか？") << "nothing is being made now";
}

TEST_F(MainDialogTest, AnotherFolderDuringPlaybackStopsItAndPlayReadsPlayAgain)
{
    Init();
    AcceptFolder(4);
    dialog.OnPlay();
    ASSERT_EQ(host.images[PlayControl], (std::vector<int>{139, 138, 0}));
    host.folder = u"/other";
    const std::size_t shown = host.messages.size();
    dialog.OnStart();
    EXPECT_EQ(host.messages.size(), shown + 1) << "playback loses nothing: no question";
    EXPECT_EQ(host.images[PlayControl], (std::vector<int>{130, 129, 0}));
    EXPECT_FALSE(host.timerRunning);
    dialog.OnPlay();
    EXPECT_EQ(log.back(), "Play");
}

TEST_F(MainDialogTest, EachRefusedFolderSaysWhyAndClearsThePreview)
{
    Init();
    engine->previewWidth = 8;
    engine->previewHeight = 8;
    engine->previewFrame.assign(8 * 3 * 8, 0);
    AcceptFolder(3);
    ASSERT_EQ(host.drawnTo, host.PreviewHandle());

    const auto refusal = [&](HRESULT hr, const char16_t* folder) {
        engine->folderResult = hr;
        host.folder = folder;
        dialog.OnStart();
        return LastMessage().text;
    };
    EXPECT_EQ(refusal(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), u"/gone"), "このフォルダーは存在しません:\n/gone");
    EXPECT_EQ(host.drawnTo, nullptr) << "the previous folder's picture is gone";
    EXPECT_EQ(refusal(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), u"/locked"), "このフォルダーを読み込めません:\n/locked");
    EXPECT_EQ(refusal(E_INVALIDARG, u"/empty"), "このディレクトリでjpgファイルは見つかりませんでした。");
    engine->ready = false;
    EXPECT_EQ(refusal(REGDB_E_CLASSNOTREG, u"/photos"),
              "写真ソース (libXTPPic.so) を作成できないため、写真を読み込めません。regsvr で登録してください。 "
              "(0x80040154)");
}

TEST_F(MainDialogTest, SkippedPicturesAreNamedOnceAfterTheCompletionMessage)
{
    Init();
    AcceptFolder(20);
    // A folder path longer than any fixed buffer: the names are still found.
    engine->pictureFolder = "/" + std::string(300, 'p');
    host.saveFile = u"/out/movie.wmv";
    dialog.OnAnimate();
    engine->Raise(EC_PICTURE_SKIPPED, 2, JpegErrorEof);
    engine->Raise(EC_PICTURE_SKIPPED, 5, HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE));
    engine->current = 20;
    engine->Raise(EC_COMPLETE);
    dialog.OnGraphNotify();
    ASSERT_GE(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[host.messages.size() - 2].text, "データの処理は終了しました!");
    // Each with the reason in words, the code after them.
    EXPECT_EQ(LastMessage().text, "次のJPGファイルは読み込めなかったため、飛ばしました:\n"
                                  "picture2.jpg: ファイルが途中で終わっています (-11)\n"
                                  "picture5.jpg: 通常のファイルではありません (0x800700de)");
    EXPECT_EQ(host.progress, 20);

    // The next run starts with no skips of its own.
    const std::size_t shown = host.messages.size();
    dialog.OnAnimate();
    engine->Raise(EC_COMPLETE);
    dialog.OnGraphNotify();
    EXPECT_EQ(host.messages.size(), shown + 1);
}

TEST_F(MainDialogTest, AManySkipsMessageListsFifteenAndCountsTheRest)
{
    Init();
    AcceptFolder(40);
    host.saveFile = u"/out/movie.wmv";
    dialog.OnAnimate();
    for (int index = 1; index <= 20; ++index) engine->Raise(EC_PICTURE_SKIPPED, index, JpegNotJpeg);
    // Nothing could be read: the writer aborts, and the skips say why.
    engine->Raise(EC_ERRORABORT, static_cast<LONG_PTR>(HRESULT_FROM_WIN32(ERROR_NO_DATA)));
    dialog.OnGraphNotify();
    EXPECT_EQ(log.back(), "ReportError 0x800700e8");
    const std::string& text = LastMessage().text;
    EXPECT_NE(text.find("\npicture15.jpg: JPEG ファイルではありません (-13)\n(+5)"), std::string::npos) << text;
    EXPECT_EQ(text.find("picture16.jpg"), std::string::npos);
}

const std::vector<std::string> kJapaneseTexts = {
    "写真ディレクトリを選択してください",
    "動画作成中",
    "再生中",
    "まず、JPGファイルを選択してください。",
    "まだイメージを選んでいません。",
    "このディレクトリでjpgファイルは見つかりませんでした。",
    "12 個JPGファイルはロードされています。",
    "データの処理は終了しました!",
    "次のJPGファイルは読み込めなかったため、飛ばしました:\npicture3.jpg: CMYK などの 4 チャンネル (または 2 "
    "チャンネル) の JPEG (-4)",
    "本当にReelsmithを終了させますか？",
    "終了確認",
};

class DialogLanguage : public MainDialogTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(DialogLanguage, JapaneseAndCKeepTheTextsAsWritten)
{
    const Translations translations{QLocale(QString::fromLatin1(GetParam()))};
    EXPECT_FALSE(translations.TranslatesProgram());
    EXPECT_EQ(DialogTexts(), kJapaneseTexts);
}

INSTANTIATE_TEST_SUITE_P(Locales, DialogLanguage, ::testing::Values("ja_JP", "C"));

TEST_F(MainDialogTest, EnglishLocaleShowsEveryTextInEnglish)
{
    const Translations translations{QLocale(QStringLiteral("en_GB"))};
    ASSERT_TRUE(translations.TranslatesProgram());
    const std::vector<std::string> english = {
        "Please choose the folder of photographs",
        "Making the movie",
        "Playing",
        "Please choose the JPG files first.",
        "No pictures have been chosen yet.",
        "No JPG files were found in this folder.",
        "JPG files loaded: 12.",
        "Processing has finished!",
        "The following JPG files could not be read and were skipped:\npicture3.jpg: CMYK or other 4-channel (or "
        "2-channel) JPEG (-4)",
        "Do you really want to quit Reelsmith?",
        "Confirm exit",
    };
    EXPECT_EQ(DialogTexts(), english);
}

TEST_F(MainDialogTest, TheTimeLeftAndTheActionsHaveTheirEnglish)
{
    const Translations translations{QLocale(QStringLiteral("en_GB"))};
    Init();
    AcceptFolder(10);
    host.saveFile = u"/out/movie.wmv";
    dialog.OnAnimate();
    for (int picture = 1; picture <= 4; ++picture) {
        host.clock += 0.5;
        engine->current = picture;
        dialog.OnTimer();
    }
    EXPECT_EQ(host.detail, "2.0 pictures/s · 0:03 left");
    engine->Raise(EC_COMPLETE);
    dialog.OnGraphNotify();
    EXPECT_EQ(host.actions, (std::vector<std::string>{"Open the movie", "Show in folder"}));
}

TEST_F(MainDialogTest, TheSaveChoosersTypesFollowTheLanguage)
{
    const Translations translations{QStringList{QStringLiteral("en"), QStringLiteral("ja")}};
    Init();
    AcceptFolder(4);
    host.saveFile = u"/out/movie.mp4";
    dialog.OnAnimate();
    ASSERT_EQ(host.saveFilters.size(), 3u);
    EXPECT_EQ(Narrow(host.saveFilters[0].description), "Windows Media (*.wmv)");
    EXPECT_EQ(Narrow(host.saveFilters[1].description), "MP4 video (*.mp4)");
    EXPECT_EQ(Narrow(host.saveFilters[2].description), "WebM video (*.webm)");
}

TEST_F(MakingTest, TheQuestionsAndRefusalsHaveTheirEnglish)
{
    const Translations translations{QLocale(QStringLiteral("en_GB"))};
    StartMaking();
    host.answers = {kAnswerYes};
    engine->folderResult = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    dialog.OnStart();
    EXPECT_EQ(MessageTexts(),
              (std::vector<std::string>{
                  "A movie is being made. If it is stopped, the unfinished movie is not saved. Stop making it?",
                  "Making the movie was stopped. The unfinished movie has not been saved.",
                  "This folder does not exist:\n/other"}));
    EXPECT_EQ(host.label, "Stopped");
    host.answer = kAnswerNo;
    dialog.OnAnimate();
    dialog.OnExit();
    EXPECT_EQ(LastMessage().text,
              "A movie is being made. If you quit, the unfinished movie is not saved. Do you really want to quit "
              "Reelsmith?");
    engine->Raise(EC_ERRORABORT, E_FAIL);
    dialog.OnGraphNotify();
    EXPECT_EQ(host.label, "Stopped by an error");
}

TEST_F(MainDialogTest, TextsReturnToTheOriginalWhenTheTranslationEnds)
{
    {
        const Translations translations{QLocale(QStringLiteral("en_US"))};
        Init();
        dialog.OnPlay();
        EXPECT_EQ(LastMessage().text, "Please choose the JPG files first.");
    }
    dialog.OnPlay();
    EXPECT_EQ(LastMessage().text, "まず、JPGファイルを選択してください。");
}

// The settings dialog's effect on the file and the engine, with a scripted user at the dialog.
class SettingsTest : public MakingTest {
protected:
    void SetUp() override
    {
        MakingTest::SetUp();
        char pattern[] = "/tmp/settings-dialog-XXXXXX";
        folder = mkdtemp(pattern);
        host.settingsPath = QString::fromStdString((folder / "config.ini").string()).toStdU16String();
    }
    void TearDown() override
    {
        std::filesystem::remove_all(folder);
        MakingTest::TearDown();
    }
    std::string FileText() const
    {
        std::ifstream in(folder / "config.ini", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    int LoadsLogged() const
    {
        return static_cast<int>(std::count(log.begin(), log.end(), "LoadSettings " + Narrow(host.settingsPath)));
    }
    // The user picks Full HD, 2.5 s a picture, high quality, MP4, upright, letterboxed,
    // smooth, 25 fps.
    static void ChooseFullHd(MovieSettings& settings)
    {
        settings.width = 1920;
        settings.height = 1080;
        settings.frameSpeed = 2500;
        settings.quality = SettingsForm::QualityRate(SettingsForm::High, 1920, 1080);
        settings.format = OutputFormat::Mp4;
        settings.picture.orientation = OrientationExif;
        settings.picture.fit = FitLetterbox;
        settings.picture.scaling = ScalingSmooth;
        settings.frameRate = 25;
    }
    std::filesystem::path folder;
};

TEST_F(SettingsTest, OkWritesTheKeysInPlaceKeepsTheFilesOtherLinesAndReloads)
{
    std::ofstream(folder / "config.ini") << "; my own notes\n[Screen]\nwidth=640   ; pixels\nheight=480\n"
                                            "[Mine]\nunknown=kept\n";
    Init();
    engine->settings.frameSpeed = 1000;
    host.editSettings = ChooseFullHd;
    dialog.OnSettings();
    EXPECT_EQ(host.shownSettings.frameSpeed, 1000) << "the dialog starts from the settings in force";
    EXPECT_EQ(FileText(), "; my own notes\n[Screen]\nwidth=1920   ; pixels\nheight=1080\nFrameSpeed=2500\n"
                          "Quality=4147000\n[Mine]\nunknown=kept\n[System]\nWorkThreadPriority=0\n"
                          "[Output]\nFormat=mp4\nFrameRate=25\n"
                          "[Picture]\nOrientation=exif\nFit=letterbox\nScaling=smooth\n");
    EXPECT_EQ(LoadsLogged(), 2) << "read at start and again after OK";
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(SettingsTest, CancelChangesNothingAndAMovieBeingMadeKeepsItsSettingsUntilTheNext)
{
    std::ofstream(folder / "config.ini") << "[Screen]\nwidth=640\n";
    Init();
    dialog.OnSettings();
    EXPECT_EQ(FileText(), "[Screen]\nwidth=640\n");
    EXPECT_EQ(LoadsLogged(), 1);

    AcceptFolder(4);
    host.saveFile = u"/out/movie.wmv";
    dialog.OnAnimate();
    host.editSettings = ChooseFullHd;
    dialog.OnSettings();
    EXPECT_NE(FileText().find("width=1920"), std::string::npos) << "saved at once";
    EXPECT_EQ(LoadsLogged(), 1) << "not applied under the running movie";
    dialog.OnSettings();
    EXPECT_EQ(host.shownSettings.width, 1920) << "the dialog shows what was saved";
    engine->Raise(EC_COMPLETE);
    dialog.OnGraphNotify();
    log.clear();
    host.saveFile = u"/out/second.mp4";
    dialog.OnAnimate();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "LoadSettings " + Narrow(host.settingsPath));
    EXPECT_EQ(log.back().substr(0, 10), "MakeMovie ");
    EXPECT_EQ(Narrow(host.saveFilters[0].patterns), "*.mp4") << "the chosen format is offered first";
    EXPECT_EQ(host.saveExtension, ".mp4");
}

TEST_F(SettingsTest, NewSettingsRedrawThePreviewAndWaitingOnesComeBeforeTheNextFolder)
{
    Init();
    AcceptFolder(4);
    log.clear();
    host.editSettings = ChooseFullHd;
    dialog.OnSettings();
    const std::vector<std::string> reloaded{"LoadSettings " + Narrow(host.settingsPath), "SetCurrentPicture 0",
                                            "RenderPicture 0"};
    EXPECT_EQ(log, reloaded);

    dialog.OnPlay();
    dialog.OnSettings();
    EXPECT_EQ(LoadsLogged(), 1) << "not under the playback";
    log.clear();
    dialog.OnStart();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "Stop");
    EXPECT_EQ(log[1], "LoadSettings " + Narrow(host.settingsPath));
    EXPECT_EQ(log[2], "SetPictureFolder /photos");
}

TEST_F(SettingsTest, TheChosenFormatLeadsTheSaveChooserAndNoneKeepsWmvFirst)
{
    Init();
    AcceptFolder(2);
    const std::vector<std::pair<std::int32_t, std::vector<std::string>>> orders = {
        {OutputFormat::None, {"*.wmv", "*.mp4", "*.webm"}},
        {OutputFormat::Wmv, {"*.wmv", "*.mp4", "*.webm"}},
        {OutputFormat::Mp4, {"*.mp4", "*.wmv", "*.webm"}},
        {OutputFormat::Webm, {"*.webm", "*.wmv", "*.mp4"}}};
    for (const auto& [format, patterns] : orders) {
        engine->settings.format = format;
        dialog.OnAnimate();
        std::vector<std::string> offered;
        for (const FileFilter& filter : host.saveFilters) offered.push_back(Narrow(filter.patterns));
        EXPECT_EQ(offered, patterns) << format;
        EXPECT_EQ(host.saveExtension, patterns[0].substr(1)) << format;
    }
}

TEST_F(SettingsTest, ValuesNoMovieCanBeMadeWithAreRefusedLosingNothing)
{
    std::ofstream(folder / "config.ini") << "[Screen]\nwidth=640\n";
    Init();
    host.editSettings = [](MovieSettings& settings) {
        settings.width = 16384;
        settings.height = 16384;
        settings.format = OutputFormat::Mp4;
    };
    dialog.OnSettings();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(LastMessage().text, "MP4 と WebM の動画は 3560 万画素までです。小さいサイズを選んでください");
    EXPECT_EQ(FileText(), "[Screen]\nwidth=640\n");
    EXPECT_EQ(LoadsLogged(), 1);
}

TEST_F(SettingsTest, AFileThatCannotBeWrittenIsSaidAndNothingIsLost)
{
    std::ofstream(folder / "config.ini") << "[Screen]\nwidth=640\n";
    host.settingsPath = QString::fromStdString((folder / "config.ini" / "inner.ini").string()).toStdU16String();
    Init();
    host.editSettings = ChooseFullHd;
    dialog.OnSettings();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(LastMessage().text, "設定を保存できませんでした。設定ファイルは元のままです:\n" +
                                      Narrow(host.settingsPath) + "\nNot a directory");
    EXPECT_EQ(LastMessage().type, kMessageOk | kMessageIconExclamation);
    EXPECT_EQ(FileText(), "[Screen]\nwidth=640\n");
    EXPECT_EQ(LoadsLogged(), 1) << "only at start";
}

TEST_F(SettingsTest, TheSoundIsShownWithItsLengthAndNoneRemovesIt)
{
    Init();
    EXPECT_EQ(host.texts[SoundNameControl], "音声なし");
    EXPECT_FALSE(host.enabled[NoSoundControl]);
    AcceptFolder(4);
    host.openFile = u"/music/our song.mp3";
    engine->soundLength = 1254 * 1'000'000LL; // 125.4 s
    dialog.OnSound();
    EXPECT_EQ(engine->audioFile, u"/music/our song.mp3");
    EXPECT_EQ(host.texts[SoundNameControl], "\u266A our song.mp3 (2:05)");
    EXPECT_TRUE(host.enabled[NoSoundControl]);
    EXPECT_EQ(Narrow(host.openFilters[0].patterns), "*.mp3;*.wav");
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"4 個JPGファイルはロードされています。"})
        << "the window shows the sound: no box says so";

    // New settings lay the sound again, for the movie's new length.
    log.clear();
    host.editSettings = ChooseFullHd;
    dialog.OnSettings();
    EXPECT_NE(std::find(log.begin(), log.end(), "SetAudioFile /music/our song.mp3"), log.end());

    dialog.OnNoSound();
    EXPECT_TRUE(engine->audioFile.empty());
    EXPECT_EQ(host.texts[SoundNameControl], "音声なし");
    EXPECT_FALSE(host.enabled[NoSoundControl]);

    dialog.OnSound();
    dialog.OnStart();
    EXPECT_EQ(host.texts[SoundNameControl], "音声なし") << "another folder drops the sound";
}

TEST_F(SettingsTest, ASoundWithoutSoundIsRefusedInWordsAndOneThatCannotBeLaidIsNotKept)
{
    Init();
    AcceptFolder(4);
    host.messages.clear();
    host.openFile = u"/music/picture.mp3";
    engine->soundResult = static_cast<HRESULT>(0xFFFFFFFFu);
    dialog.OnSound();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(LastMessage().text,
              "この音声ファイルは使えません:\n/music/picture.mp3\nこのファイルには読み込める音声がありません "
              "(0xffffffff)");
    EXPECT_TRUE(engine->audioFile.empty());

    engine->soundResult = S_OK;
    engine->soundLays = false;
    dialog.OnSound();
    EXPECT_TRUE(engine->audioFile.empty());
    EXPECT_EQ(host.texts[SoundNameControl], "音声なし");
}

TEST_F(SettingsTest, ASoundChosenBeforeThePicturesIsShownAndDroppedIfItCannotBeLaidUnderThem)
{
    Init();
    host.openFile = u"/music/nine-channels.wav";
    engine->soundLength = 30'000'000;
    engine->soundLays = false;
    dialog.OnSound();
    EXPECT_EQ(host.texts[SoundNameControl], "\u266A nine-channels.wav (0:03)") << "laid once there are pictures";
    AcceptFolder(4);
    EXPECT_TRUE(engine->audioFile.empty());
    EXPECT_EQ(host.texts[SoundNameControl], "音声なし");
}

TEST_F(SettingsTest, TheNewTextsHaveTheirEnglish)
{
    const Translations translations{QLocale(QStringLiteral("en_GB"))};
    std::ofstream(folder / "config.ini") << "";
    host.settingsPath = QString::fromStdString((folder / "config.ini" / "inner.ini").string()).toStdU16String();
    Init();
    EXPECT_EQ(host.texts[SoundNameControl], "No sound");
    host.openFile = u"/music/picture.mp3";
    engine->soundResult = static_cast<HRESULT>(0xFFFFFFFFu);
    dialog.OnSound();
    EXPECT_EQ(LastMessage().text,
              "This sound file cannot be used:\n/music/picture.mp3\nThe file has no sound that can be read "
              "(0xffffffff)");
    host.editSettings = [](MovieSettings& settings) { settings.format = OutputFormat::Wmv; };
    dialog.OnSettings();
    EXPECT_EQ(LastMessage().text, "The settings could not be saved; the settings file is as it was:\n" +
                                      Narrow(host.settingsPath) + "\nNot a directory");
    host.editSettings = [](MovieSettings& settings) {
        settings.width = 16300;
        settings.format = OutputFormat::Wmv;
    };
    dialog.OnSettings();
    EXPECT_EQ(LastMessage().text, "A WMV movie is at most 16254 pixels a side; choose a smaller size or MP4");
    EXPECT_EQ(SettingsForm::QualityLabel(SettingsForm::High, 4147000), u"High (4,147 kbit/s)");
    EXPECT_EQ(SettingsForm::FrameSizeLabel(SettingsForm::kFrameSizes[5]), u"1080 x 1920 (Portrait)");
}

TEST(SettingsFormTest, QualityFollowsTheFrameSizeAndARateOfTheUsersOwnIsNoLevel)
{
    EXPECT_EQ(SettingsForm::QualityRate(SettingsForm::Low, 640, 480), 153000);
    EXPECT_EQ(SettingsForm::QualityRate(SettingsForm::Medium, 1280, 720), 921000);
    EXPECT_EQ(SettingsForm::QualityRate(SettingsForm::Best, 3840, 2160), 33177000);
    EXPECT_EQ(SettingsForm::QualityRate(SettingsForm::Low, 20, 20), MovieSettings::kMinQuality);
    EXPECT_EQ(SettingsForm::QualityRate(SettingsForm::Best, 16384, 16384), MovieSettings::kMaxQuality);
    MovieSettings settings;
    EXPECT_EQ(SettingsForm::QualityLevelOf(settings), -1) << "185000 bit/s at 640x480";
    settings.quality = 614000;
    EXPECT_EQ(SettingsForm::QualityLevelOf(settings), SettingsForm::High);
    EXPECT_EQ(SettingsForm::QualityLabel(-1, 185000), u"その他 (185 kbit/s)");
    EXPECT_EQ(SettingsForm::FrameSizeIndex(1080, 1920), 5);
    EXPECT_EQ(SettingsForm::FrameSizeIndex(1000, 1000), -1);
    EXPECT_TRUE(SettingsForm::Problem(settings).empty());
    settings.frameSpeed = 0;
    EXPECT_EQ(SettingsForm::Problem(settings),
              u"1 枚の表示時間 (ミリ秒) は 1 から 3600000 までにしてください (いまは 0)");
}

TEST_F(MainDialogTest, HelpRunsTheHelpDialog)
{
    Init();
    dialog.OnHelp();
    EXPECT_EQ(host.helpRuns, 1);
}

} // namespace
