#include "app/MainDialog.h"

#include "app/PreviewFrame.h"
#include "app/SettingsForm.h"
#include "config/IniFileWriter.h"
#include "engine/OutputFormat.h"
#include "engine/ErrorWords.h"
#include "picsource/IPictureSourceConfig.h"
#include "platform/base/WideText.h"
#include "platform/com/Com.h"
#include "platform/mediagraph/MediaResults.h"
#include "platform/mediagraph/MediaTypes.h"
#include "platform/resource/UiText.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace {

// Skipped pictures named in the message after a run; the rest are counted.
constexpr std::size_t kMaxListedSkips = 15;
const std::u16string kProductCaption = u"Reelsmith";
constexpr std::array kProgressControls{static_cast<int>(ProgressControl)};

std::u16string ToWide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// A translation may place the number elsewhere than the original does.
std::u16string WithCount(std::u16string text, int count)
{
    const std::size_t at = text.find(u"%d");
    if (at != std::u16string::npos) text.replace(at, 2, ToWide(std::to_string(count)));
    return text;
}

std::u16string WithCode(std::u16string text, HRESULT hr)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%x", static_cast<unsigned>(hr));
    return text + u" (" + ToWide(code) + u")";
}

// The folder a chosen file lies in: "/" for a file at the root.
std::u16string FolderOf(const std::u16string& path)
{
    const std::size_t slash = path.find_last_of(u'/');
    if (slash == std::u16string::npos) return u".";
    return slash == 0 ? u"/" : path.substr(0, slash);
}

constexpr UINT kQuestion = kMessageYesNo | kMessageIconQuestion | kMessageDefaultSecond;

} // namespace

class MainDialog::Busy {
public:
    explicit Busy(MainDialog& owner) : dialog(owner) { ++dialog.busyDepth; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
    ~Busy()
    {
        if (--dialog.busyDepth == 0) dialog.HandleWaitingEvents();
    }

private:
    MainDialog& dialog;
};

MainDialog::MainDialog(DialogHost& dialogHost, EngineFactory engineFactory)
    : host(dialogHost), createEngine(std::move(engineFactory)), run([this] { return host.ClockSeconds(); })
{
}

void MainDialog::OnInitDialog()
{
    host.SetButtonImages(StartControl, 132, 131, 0);
    host.SetButtonImages(PlayControl, 130, 129, 0);
    host.SetButtonImages(AnimateControl, 135, 134, 0);
    host.SetButtonImages(ExitControl, 137, 136, 0);
    host.SetButtonImages(AudioControl, 140, 141, 145);
    host.ShowControl(AudioControl, false);
    host.MoveButtonTo(StartControl, AudioControl);
    host.SetButtonImages(HelpControl, 150, 151, 0);
    host.ShowControl(HelpControl, false);
    host.SetButtonImages(SettingsControl, 160, 161, 0);
    host.SetButtonImages(SoundControl, 162, 163, 0);
    host.SetButtonImages(NoSoundControl, 165, 166, 167);
    host.SetButtonImages(PicturesControl, 170, 171, 0);

    engine = createEngine();
    settingsPath = host.SettingsPath();
    if (engine) {
        engine->SetNotifyWindow(host.MainWindowHandle(), WM_GRAPHNOTIFY_MESSAGE, 0);
        engine->LoadSettings(settingsPath);
    }
    ShowSound();
    host.SetProgressColours(0x7FFF00, 0xFFFFFF);
    SetProgressView(ProgressView::Hidden);
    ProbeAudioHardware();
}

void MainDialog::SetProgressView(ProgressView view)
{
    for (const int control : kProgressControls) {
        switch (view) {
        case ProgressView::Shown:
            host.ShowControl(control, true);
            host.EnableControl(control, true);
            break;
        case ProgressView::Hidden:
            host.ShowControl(control, false);
            break;
        case ProgressView::ShownDisabled:
            host.ShowControl(control, true);
            host.EnableControl(control, false);
            break;
        }
    }
}

void MainDialog::ProbeAudioHardware()
{
    IBaseFilter* renderer = nullptr;
    const HRESULT hr = CoCreateInstance(CLSID_AudioRender, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                        reinterpret_cast<void**>(&renderer));
    if (hr == VFW_E_NO_AUDIO_HARDWARE) host.EnableControl(AudioControl, false);
    if (renderer) renderer->Release();
}

int MainDialog::ShowModal(const std::u16string& text, const std::u16string& caption, UINT type)
{
    const int answer = host.ShowMessage(text, caption, type);
    HandleWaitingEvents();
    return answer;
}

template <typename Choice>
auto MainDialog::Choose(Choice choice)
{
    auto chosen = choice();
    HandleWaitingEvents();
    return chosen;
}

void MainDialog::OnExit()
{
    const Busy busy(*this);
    // Quitting ends a movie being made; the question says what is lost.
    const std::u16string question =
        MakingMovie() ? UiText("MainDialog", "動画を作成中です。終了すると、作成途中の動画は保存されません。"
                                             "本当にReelsmithを終了させますか？")
                      : UiText("MainDialog", "本当にReelsmithを終了させますか？");
    const int answer = ShowModal(question, UiText("MainDialog", "終了確認"), kQuestion);
    if (answer != kAnswerYes) return;
    engine.reset();
    host.EndDialog();
}

void MainDialog::ShowInfo(const std::u16string& text) { ShowModal(text, kProductCaption, kMessageOk); }

bool MainDialog::MakingMovie() { return engine && run.Running() && mode == DialogMode::Making; }

bool MainDialog::ConfirmStopMaking()
{
    if (!MakingMovie()) return true;
    const int answer = ShowModal(
        UiText("MainDialog", "動画を作成中です。中止すると、作成途中の動画は保存されません。作成を中止しますか？"),
        kProductCaption, kQuestion);
    // The movie may have ended while the question was open; its message has been shown.
    if (!MakingMovie()) return true;
    if (answer != kAnswerYes) return false;
    StopRun(UiText("MainDialog", "中止"));
    ShowInfo(UiText("MainDialog", "動画の作成を中止しました。作成途中の動画は保存されていません。"));
    return true;
}

// Stops the graph; a run it ends leaves the bar with `label` at 0 and the Play
// button in its idle look.
void MainDialog::StopRun(const std::u16string& label)
{
    engine->Stop();
    if (run.Running()) ShowRunEnded(label, 0);
    ShowPlayingLook(false);
}

void MainDialog::OnStart()
{
    const Busy busy(*this);
    const std::u16string folder = ChoosePictureFolder();
    if (folder.empty() || !engine) return;
    if (!ConfirmStopMaking()) return;
    StopRun(u"");
    ApplyWaitingSettings();
    // Whatever the answer, the previous folder's picture is no longer what a movie would show.
    host.ClearWindow(host.PreviewHandle());
    const HRESULT hr = engine->SetPictureFolder(folder);
    // Another folder drops the sound, also when it is refused; a sound chosen before the
    // first folder is laid now, and one that cannot be has been reported.
    DropUnlaidSound();
    ShowSound();
    const int count = SUCCEEDED(hr) ? engine->PictureCount() : 0;
    if (count == 0) {
        ShowFolderRefusal(hr, folder);
        return;
    }
    ShowInfo(WithCount(UiText("MainDialog", "%d 個JPGファイルはロードされています。"), count));
    ShowNamesNotFound();
    RefreshAfterSelection();
}

void MainDialog::ShowNamesNotFound()
{
    const std::vector<std::u16string> names = engine->ListedNamesNotFound();
    if (names.empty()) return;
    std::u16string text = engine->PictureListFoundNone()
                              ? UiText("MainDialog", "設定の写真の一覧の名前はどれもこのフォルダーの写真ではないため、"
                                                     "すべての写真を使います:")
                              : UiText("MainDialog", "設定の写真の一覧の次の名前はこのフォルダーの写真ではないため、"
                                                     "除きました:");
    const std::size_t listed = std::min(names.size(), kMaxListedSkips);
    for (std::size_t i = 0; i < listed; ++i) text += u"\n" + WideFromUtf8(PrintableFromWide(names[i]));
    if (listed < names.size()) text += u"\n" + ToWide("(+" + std::to_string(names.size() - listed) + ")");
    ShowModal(text, kProductCaption, kMessageOk | kMessageIconExclamation);
}

void MainDialog::OnPictures()
{
    const Busy busy(*this);
    if (!engine || !engine->HasPictureFolder()) {
        ShowInfo(UiText("MainDialog", "まず、JPGファイルを選択してください。"));
        return;
    }
    std::vector<std::u16string> taken;
    const bool changed = Choose([&] { return host.ArrangePictures(*engine, taken); });
    if (!changed || !ConfirmStopMaking()) return;
    StopRun(u"");
    const HRESULT hr = engine->SetPictureList(taken);
    if (FAILED(hr)) engine->ReportError(hr);
    RefreshAfterSelection();
}

void MainDialog::ShowFolderRefusal(HRESULT hr, const std::u16string& folder)
{
    if (!engine->IsReady()) {
        ShowInfo(WithCode(UiText("MainDialog", "写真ソース (libXTPPic.so) を作成できないため、写真を読み込めません。"
                                               "regsvr で登録してください。"),
                          hr));
    } else if (hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) {
        ShowInfo(UiText("MainDialog", "このフォルダーは存在しません:") + u"\n" + folder);
    } else if (hr == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)) {
        ShowInfo(UiText("MainDialog", "このフォルダーを読み込めません:") + u"\n" + folder);
    } else if (SUCCEEDED(hr) || hr == E_INVALIDARG) {
        ShowInfo(UiText("MainDialog", "このディレクトリでjpgファイルは見つかりませんでした。"));
    }
    // Any other failure has been reported by the engine.
}

std::u16string MainDialog::ChoosePictureFolder()
{
    return Choose([&] { return host.ChooseFolder(UiText("MainDialog", "写真ディレクトリを選択してください")); });
}

void MainDialog::OnAudio()
{
    const Busy busy(*this);
    const std::u16string file = ChooseAudioFile();
    if (file.empty() || !engine) return;
    if (!ConfirmStopMaking()) return;
    StopRun(u"");
    engine->SetAudioFile(file);
    ShowModal(u"Add Audio File", host.ApplicationTitle(), kMessageOk | kMessageIconExclamation);
    RefreshAfterSelection();
}

std::u16string MainDialog::ChooseAudioFile()
{
    const FileFilter filters[] = {{u"AUDIO (*.mp3;*.wav)", u"*.mp3;*.wav"}, {u"All(*.*)", u"*.*"}};
    return Choose([&] { return host.ChooseOpenFile(filters, 2); });
}

std::u16string MainDialog::ChooseMovieFile()
{
    // The output name's extension picks the movie's format (see MovieEngine::MakeMovie);
    // the format chosen in the settings comes first.
    std::vector<FileFilter> filters = {{UiText("MainDialog", "Windows Media 動画 (*.wmv)"), u"*.wmv"},
                                       {UiText("MainDialog", "MP4 動画 (*.mp4)"), u"*.mp4"},
                                       {UiText("MainDialog", "WebM 動画 (*.webm)"), u"*.webm"}};
    const std::int32_t format = NextSettings().format;
    if (format == OutputFormat::Mp4) std::rotate(filters.begin(), filters.begin() + 1, filters.begin() + 2);
    if (format == OutputFormat::Webm) std::rotate(filters.begin(), filters.begin() + 2, filters.end());
    const std::u16string extension = filters.front().patterns.substr(1);
    return Choose([&] { return host.ChooseSaveFile(filters.data(), static_cast<int>(filters.size()), extension); });
}

void MainDialog::RefreshAfterSelection()
{
    const int count = engine->PictureCount();
    if (count == 0) return;
    host.StopTimer(kProgressTimer);
    host.SetProgressRange(0, count);
    host.SetProgressPos(0);
    host.SetProgressLabel(u"");
    engine->SetCurrentPicture(0);
    PreviewFrame::Show(*engine, host.PreviewHandle(), host);
    SetProgressView(ProgressView::Shown);
}

void MainDialog::OnAnimate()
{
    const Busy busy(*this);
    if (!engine || !engine->HasPictureFolder()) {
        ShowInfo(UiText("MainDialog", "まだイメージを選んでいません。"));
        return;
    }
    const std::u16string file = ChooseMovieFile();
    if (file.empty()) return;
    if (!ConfirmStopMaking()) return;
    // A playback the new movie replaces ends here.
    if (run.Running()) StopRun(u"");
    ApplyWaitingSettings();
    run.ForgetSkips();
    engine->MakeMovie(file, host.PreviewHandle());
    moviePath = file;
    if (engine->GraphState() == State_Running) run.Start(engine->PictureCount());
    SetProgressView(ProgressView::ShownDisabled);
    host.StartTimer(kProgressTimer, kProgressPeriodMs);
    mode = DialogMode::Making;
}

void MainDialog::ShowPlayingLook(bool playing)
{
    if (playing)
        host.SetButtonImages(PlayControl, 139, 138, 0);
    else
        host.SetButtonImages(PlayControl, 130, 129, 0);
}

void MainDialog::OnPlay()
{
    const Busy busy(*this);
    if (!engine || !engine->HasPictureFolder()) {
        ShowInfo(UiText("MainDialog", "まず、JPGファイルを選択してください。"));
        return;
    }
    switch (engine->GraphState()) {
    case 0:
        ApplyWaitingSettings();
        run.ForgetSkips();
        if (engine->Play(host.PreviewHandle()) >= 0) {
            host.StartTimer(kProgressTimer, kProgressPeriodMs);
            mode = DialogMode::Playing;
            run.Start(engine->PictureCount());
            ShowPlayingLook(true);
        }
        break;
    case 1:
        engine->SetPaused(false);
        ShowPlayingLook(true);
        break;
    case 2:
        engine->SetPaused(true);
        ShowPlayingLook(false);
        break;
    default:
        break;
    }
    SetProgressView(ProgressView::Shown);
}

void MainDialog::OnHelp()
{
    const Busy busy(*this);
    host.RunHelp();
}

void MainDialog::OnSettings()
{
    const Busy busy(*this);
    if (!engine) return;
    MovieSettings values = NextSettings();
    if (!Choose([&] { return host.EditSettings(values); })) return;
    const std::u16string problem = SettingsForm::Problem(values);
    if (!problem.empty()) {
        ShowModal(problem, kProductCaption, kMessageOk | kMessageIconExclamation);
        return;
    }
    IniFileWriter writer(Utf8FromWide(settingsPath));
    SettingsForm::Store(values, writer);
    std::string failure;
    if (!writer.Save(failure)) {
        ShowModal(UiText("MainDialog", "設定を保存できませんでした。設定ファイルは元のままです:") + u"\n" +
                      settingsPath + u"\n" + WideFromUtf8(failure),
                  kProductCaption, kMessageOk | kMessageIconExclamation);
        return;
    }
    settingsWaiting = true;
    waitingSettings = values;
    // A movie being made or played keeps the settings it started with.
    if (run.Running()) return;
    ApplyWaitingSettings();
    // The preview is the next movie's first frame.
    if (engine->HasPictureFolder()) RefreshAfterSelection();
}

MovieSettings MainDialog::NextSettings() { return settingsWaiting ? waitingSettings : engine->SettingsInForce(); }

void MainDialog::ApplyWaitingSettings()
{
    if (!settingsWaiting) return;
    settingsWaiting = false;
    engine->LoadSettings(settingsPath);
    // The sound is laid for the movie's length, which the picture time changes.
    const std::u16string sound = engine->AudioFile();
    if (!sound.empty() && engine->HasPictureFolder()) engine->SetAudioFile(sound);
    ShowSound();
}

void MainDialog::OnSound()
{
    const Busy busy(*this);
    const std::u16string file = ChooseAudioFile();
    if (file.empty() || !engine) return;
    REFERENCE_TIME length = 0;
    const HRESULT hr = engine->AudioLength(file, length);
    if (FAILED(hr)) {
        ShowModal(WithCode(UiText("MainDialog", "この音声ファイルは使えません:") + u"\n" + file + u"\n" +
                               ErrorWords::Describe(hr),
                           hr),
                  kProductCaption, kMessageOk | kMessageIconExclamation);
        return;
    }
    if (!ConfirmStopMaking()) return;
    StopRun(u"");
    engine->SetAudioFile(file);
    soundLength = length;
    DropUnlaidSound();
    ShowSound();
    if (engine->HasPictureFolder()) RefreshAfterSelection();
}

void MainDialog::OnNoSound()
{
    const Busy busy(*this);
    if (!engine || engine->AudioFile().empty()) return;
    if (!ConfirmStopMaking()) return;
    StopRun(u"");
    engine->ClearAudioFile();
    ShowSound();
    if (engine->HasPictureFolder()) RefreshAfterSelection();
}

// A sound the engine could not lay under the pictures (reported when it tried) stays
// chosen in no movie.
void MainDialog::DropUnlaidSound()
{
    if (engine->HasPictureFolder() && !engine->AudioFile().empty() && !engine->HasAudioTimeline())
        engine->ClearAudioFile();
}

void MainDialog::ShowSound()
{
    const std::u16string sound = engine ? engine->AudioFile() : std::u16string();
    host.EnableControl(NoSoundControl, !sound.empty());
    if (sound.empty()) {
        host.SetControlText(SoundNameControl, UiText("MainDialog", "音声なし"));
        return;
    }
    const long long seconds = (soundLength + 5'000'000) / 10'000'000;
    char length[32];
    std::snprintf(length, sizeof length, " (%lld:%02lld)", seconds / 60, seconds % 60);
    const std::u16string name = WideFromUtf8(PrintableFromWide(sound.substr(sound.find_last_of(u'/') + 1)));
    host.SetControlText(SoundNameControl, u"\u266A " + name + ToWide(length));
}

void MainDialog::OnTimer()
{
    const Busy busy(*this);
    if (!engine || mode == DialogMode::Idle) return;
    // While playing, the bar follows the screen rather than the pictures read ahead of it.
    const bool playing = mode == DialogMode::Playing;
    const int picture = playing ? engine->PicturesShown() : engine->CurrentPicture();
    host.SetProgressLabel(playing ? UiText("MainDialog", "再生中") : UiText("MainDialog", "動画作成中"));
    host.SetProgressPos(picture);
    if (!playing) ShowPace(picture);
}

void MainDialog::ShowPace(int picture)
{
    run.ShowProgress(picture);
    if (!run.Pace().Ready()) return;
    host.SetProgressDetail(WideFromUtf8(run.Pace().PaceText(UiTextUtf8("MainDialog", "%1 枚/秒 ・ 残り %2"))));
}

void MainDialog::OnGraphNotify()
{
    eventsWaiting = true;
    if (busyDepth == 0) HandleWaitingEvents();
}

void MainDialog::HandleWaitingEvents()
{
    if (eventsWaiting && !draining) DrainGraphEvents();
}

void MainDialog::DrainGraphEvents()
{
    eventsWaiting = false;
    if (!engine) return;
    const ComPtr<IMediaEvent> events = engine->GraphEvents();
    if (!events) return;
    const Busy busy(*this);
    draining = true;
    run.ReadEvents(*events, this);
    draining = false;
}

void MainDialog::OnRunEnded(MovieRun::End end, HRESULT abortCode)
{
    if (end == MovieRun::End::Complete) OnMovieComplete();
    if (end == MovieRun::End::Aborted) OnMovieAborted(abortCode);
    if (end == MovieRun::End::Stopped) {
        ShowRunEnded(u"", 0);
        StopRun(u"");
    }
}

void MainDialog::ShowSkippedPictures()
{
    const std::vector<MovieRun::Skip>& skippedPictures = run.Skipped();
    if (skippedPictures.empty()) return;
    std::u16string text = UiText("MainDialog", "次のJPGファイルは読み込めなかったため、飛ばしました:");
    const std::size_t listed = std::min(skippedPictures.size(), kMaxListedSkips);
    for (std::size_t i = 0; i < listed; ++i) {
        const auto [index, reason] = skippedPictures[i];
        const std::u16string path = engine->PicturePath(index);
        const std::u16string name = WideFromUtf8(PrintableFromWide(path.substr(path.find_last_of(u'/') + 1)));
        text += u"\n" + name + u": " + ErrorWords::DescribeSkip(reason);
    }
    if (listed < skippedPictures.size()) {
        text += u"\n" + ToWide("(+" + std::to_string(skippedPictures.size() - listed) + ")");
    }
    run.ForgetSkips();
    ShowModal(text, kProductCaption, kMessageOk | kMessageIconExclamation);
}

void MainDialog::ShowRunEnded(const std::u16string& label, int position)
{
    run.Stop();
    host.StopTimer(kProgressTimer);
    host.SetProgressDetail(u"");
    host.SetProgressLabel(label);
    host.SetProgressPos(position);
}

// A run that the graph gave up on (a full disk, an unwritable file) never
// completes: without this the timer would run on and the user would never learn.
// The bar empties, as nothing of the run was kept.
void MainDialog::OnMovieAborted(HRESULT hr)
{
    ShowRunEnded(UiText("MainDialog", "エラーで中断"), 0);
    engine->Stop();
    ShowPlayingLook(false);
    engine->ReportError(hr);
    ShowSkippedPictures();
}

// The bar shows where the work ended, not the last poll before it.
void MainDialog::OnMovieComplete()
{
    ShowRunEnded(u"", engine->CurrentPicture());
    engine->Stop();
    ShowPlayingLook(false);
    if (mode == DialogMode::Making)
        ShowMovieMade();
    else
        ShowInfo(UiText("MainDialog", "データの処理は終了しました!"));
    ShowSkippedPictures();
}

void MainDialog::ShowMovieMade()
{
    const std::vector<std::u16string> actions{UiText("MainDialog", "動画を開く"),
                                              UiText("MainDialog", "フォルダーに表示")};
    const int chosen = Choose([&] {
        return host.ShowMessageWithActions(UiText("MainDialog", "データの処理は終了しました!"), kProductCaption,
                                           actions);
    });
    if (chosen == 0) host.OpenWithDesktop(moviePath);
    if (chosen == 1) host.OpenWithDesktop(FolderOf(moviePath));
}
