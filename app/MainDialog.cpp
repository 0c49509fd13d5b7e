#include "app/MainDialog.h"

#include "app/PreviewFrame.h"
#include "picsource/IPictureSourceConfig.h"
#include "platform/com/Com.h"
#include "platform/mediagraph/MediaResults.h"
#include "platform/mediagraph/MediaTypes.h"
#include "platform/resource/UiText.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

constexpr int kMaxPath = 260;
// Skipped pictures named in the message after a run; the rest are counted.
constexpr std::size_t kMaxListedSkips = 15;
const std::u16string kProductCaption = u"Reelsmith";
constexpr std::array ProgressControls{static_cast<int>(ProgressControl)};

std::u16string ToWide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// A translation may place the number elsewhere than the original does.
std::u16string WithCount(std::u16string text, int count)
{
    const std::size_t at = text.find(u"%d");
    if (at != std::u16string::npos) text.replace(at, 2, ToWide(std::to_string(count)));
    return text;
}

} // namespace

MainDialog::MainDialog(DialogHost& dialogHost, EngineFactory engineFactory)
    : host(dialogHost), createEngine(std::move(engineFactory))
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

    engine = createEngine();
    if (engine) {
        engine->SetNotifyWindow(host.MainWindowHandle(), WM_GRAPHNOTIFY_MESSAGE, 0);
        engine->LoadSettings(u"config.ini");
    }
    host.SetProgressColours(0x7FFF00, 0xFFFFFF);
    SetProgressView(ProgressView::Hidden);
    ProbeAudioHardware();
}

void MainDialog::SetProgressView(ProgressView view)
{
    for (const int control : ProgressControls) {
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

void MainDialog::OnExit()
{
    const int answer =
        host.ShowMessage(UiText("MainDialog", "本当にReelsmithを終了させますか？"), UiText("MainDialog", "終了確認"),
                         kMessageYesNo | kMessageIconQuestion | kMessageDefaultSecond);
    if (answer != kAnswerYes) return;
    engine.reset();
    host.EndDialog();
}

void MainDialog::ShowInfo(const std::u16string& text) { host.ShowMessage(text, kProductCaption, kMessageOk); }

void MainDialog::OnStart()
{
    const std::u16string folder = ChoosePictureFolder();
    if (folder.empty() || !engine) return;
    engine->Stop();
    engine->SetPictureFolder(folder);
    const int count = engine->PictureCount();
    if (count == 0) {
        ShowInfo(UiText("MainDialog", "このディレクトリでjpgファイルは見つかりませんでした。"));
        return;
    }
    ShowInfo(WithCount(UiText("MainDialog", "%d 個JPGファイルはロードされています。"), count));
    RefreshAfterSelection();
}

std::u16string MainDialog::ChoosePictureFolder()
{
    return host.ChooseFolder(UiText("MainDialog", "写真ディレクトリを選択してください"));
}

void MainDialog::OnAudio()
{
    const std::u16string file = ChooseAudioFile();
    if (file.empty() || !engine) return;
    engine->Stop();
    engine->SetAudioFile(file);
    host.ShowMessage(u"Add Audio File", host.ApplicationTitle(), kMessageOk | kMessageIconExclamation);
    RefreshAfterSelection();
}

std::u16string MainDialog::ChooseAudioFile()
{
    const FileFilter filters[] = {{u"AUDIO (*.mp3;*.wav)", u"*.mp3;*.wav"}, {u"All(*.*)", u"*.*"}};
    return host.ChooseOpenFile(filters, 2);
}

std::u16string MainDialog::ChooseMovieFile()
{
    // The output name's extension picks the movie's format (see MovieEngine::MakeMovie).
    const FileFilter filters[] = {{UiText("MainDialog", "Windows Media 動画 (*.wmv)"), u"*.wmv"},
                                  {UiText("MainDialog", "MP4 動画 (*.mp4)"), u"*.mp4"},
                                  {UiText("MainDialog", "WebM 動画 (*.webm)"), u"*.webm"}};
    return host.ChooseSaveFile(filters, 3, u".wmv");
}

void MainDialog::RefreshAfterSelection()
{
    const int count = engine->PictureCount();
    if (count == 0) return;
    host.StopTimer(kProgressTimer);
    host.SetProgressRange(0, count);
    host.SetProgressPos(0);
    engine->SetCurrentPicture(0);
    PreviewFrame::Show(*engine, host.PreviewHandle(), host);
    SetProgressView(ProgressView::Shown);
}

void MainDialog::OnAnimate()
{
    if (!engine || !engine->HasPictureFolder()) {
        ShowInfo(UiText("MainDialog", "まだイメージを選んでいません。"));
        return;
    }
    const std::u16string file = ChooseMovieFile();
    if (file.empty()) return;
    skippedPictures.clear();
    engine->MakeMovie(file, host.PreviewHandle());
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
    if (!engine || !engine->HasPictureFolder()) {
        ShowInfo(UiText("MainDialog", "まず、JPGファイルを選択してください。"));
        return;
    }
    switch (engine->GraphState()) {
    case 0:
        skippedPictures.clear();
        if (engine->Play(host.PreviewHandle()) >= 0) {
            host.StartTimer(kProgressTimer, kProgressPeriodMs);
            mode = DialogMode::Playing;
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

void MainDialog::OnHelp() { host.RunHelp(); }

void MainDialog::OnTimer()
{
    if (!engine || mode == DialogMode::Idle) return;
    const int picture = engine->CurrentPicture();
    host.SetProgressLabel(mode == DialogMode::Playing ? UiText("MainDialog", "再生中")
                                                      : UiText("MainDialog", "動画作成中"));
    host.SetProgressPos(picture);
}

void MainDialog::OnGraphNotify()
{
    if (!engine) return;
    const ComPtr<IMediaEvent> events = engine->GraphEvents();
    if (!events) return;
    LONG code = 0;
    LONG_PTR param1 = 0;
    LONG_PTR param2 = 0;
    while (events->GetEvent(&code, &param1, &param2, 0) >= 0) {
        const auto abortCode = static_cast<HRESULT>(param1);
        events->FreeEventParams(code, param1, param2);
        if (code == EC_PICTURE_SKIPPED) skippedPictures.push_back(static_cast<int>(param1));
        if (code == EC_COMPLETE) OnMovieComplete();
        if (code == EC_ERRORABORT) OnMovieAborted(abortCode);
    }
}

void MainDialog::ShowSkippedPictures()
{
    if (skippedPictures.empty()) return;
    std::u16string text = UiText("MainDialog", "次のJPGファイルは読み込めなかったため、飛ばしました:");
    const std::size_t listed = std::min(skippedPictures.size(), kMaxListedSkips);
    for (std::size_t i = 0; i < listed; ++i) {
        WCHAR path[kMaxPath] = {};
        engine->PictureFileName(skippedPictures[i], path, kMaxPath);
        const std::u16string_view name(path);
        text += u"\n" + std::u16string(name.substr(name.find_last_of(u'/') + 1));
    }
    if (listed < skippedPictures.size()) {
        text += u"\n" + ToWide("(+" + std::to_string(skippedPictures.size() - listed) + ")");
    }
    skippedPictures.clear();
    host.ShowMessage(text, kProductCaption, kMessageOk | kMessageIconExclamation);
}

// The bar shows where the work ended, not the last poll before it.
void MainDialog::ShowRunEnded()
{
    host.StopTimer(kProgressTimer);
    host.SetProgressLabel(u"");
    host.SetProgressPos(engine->CurrentPicture());
}

// A run that the graph gave up on (a full disk, an unwritable file) never
// completes: without this the timer would run on and the user would never learn.
void MainDialog::OnMovieAborted(HRESULT hr)
{
    ShowRunEnded();
    engine->Stop();
    ShowPlayingLook(false);
    engine->ReportError(hr);
    ShowSkippedPictures();
}

void MainDialog::OnMovieComplete()
{
    ShowRunEnded();
    engine->Stop();
    ShowPlayingLook(false);
    ShowInfo(UiText("MainDialog", "データの処理は終了しました!"));
    ShowSkippedPictures();
}
