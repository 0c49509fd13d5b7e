// The main dialog's workflow: turns the user's button presses into engine
// operations, choosers and messages, polls the engine on a timer to move the
// progress bar, and reacts to the graph's completion event. It is toolkit
// free: everything visible goes through the DialogHost.
#pragma once

#include "app/DialogHost.h"
#include "app/WorkflowEngine.h"
#include "engine/MovieRun.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

// The window message by which graph events reach the dialog (WM_APP + 100).
inline constexpr UINT WM_GRAPHNOTIFY_MESSAGE = 0x8000 + 100;

enum class DialogMode : std::int32_t { Idle = 0, Playing = 1, Making = 2 };
enum class ProgressView : int { Shown = 0, Hidden = 1, ShownDisabled = 2 };

class MainDialog : private MovieRun::Listener {
public:
    using EngineFactory = std::function<std::unique_ptr<WorkflowEngine>()>;

    static constexpr int kProgressTimer = 1;
    static constexpr int kProgressPeriodMs = 100;

    MainDialog(DialogHost& host, EngineFactory createEngine);

    void OnInitDialog();
    void OnExit();
    void OnStart();
    void OnAudio();
    void OnAnimate();
    void OnPlay();
    void OnHelp();
    // The settings dialog; OK writes the settings file, in force from the next movie.
    void OnSettings();
    // Choose the sound under the movie and the playback, or none.
    void OnSound();
    void OnNoSound();
    // The pictures button: their thumbnails, to order and choose for the movie.
    void OnPictures();
    void OnTimer();
    void OnGraphNotify();
    // Enter, Escape and the window manager's close request: the Exit button
    // is the only way out.
    void OnOk() {}
    void OnCancel() {}

    DialogMode Mode() const { return mode; }
    bool HasEngine() const { return engine != nullptr; }

private:
    // Held by every handler: graph events that arrive meanwhile wait until a box or
    // chooser has closed, so that no message opens on top of another.
    class Busy;

    std::u16string ChoosePictureFolder();
    std::u16string ChooseAudioFile();
    std::u16string ChooseMovieFile();
    // The host's modal boxes and choosers; what the graph reported while one was
    // open is shown once it has closed.
    int ShowModal(const std::u16string& text, const std::u16string& caption, UINT type);
    template <typename Choice>
    auto Choose(Choice choice);
    void HandleWaitingEvents();
    void DrainGraphEvents();
    // Whether a movie is being written now.
    bool MakingMovie();
    // Asks before a movie being made is given up; true when the work may go on.
    bool ConfirmStopMaking();
    void StopRun(const std::u16string& label);
    void ShowFolderRefusal(HRESULT hr, const std::u16string& folder);
    // What the settings' list of pictures named that the folder lacks.
    void ShowNamesNotFound();
    void RefreshAfterSelection();
    void SetProgressView(ProgressView view);
    void ProbeAudioHardware();
    void ShowPlayingLook(bool playing);
    void OnRunEnded(MovieRun::End end, HRESULT abortCode) override;
    void OnMovieComplete();
    // The finished movie's message, with opening the movie or its folder offered.
    void ShowMovieMade();
    void ShowPace(int picture);
    void OnMovieAborted(HRESULT hr);
    void ShowRunEnded(const std::u16string& label, int position);
    // One message naming the pictures the run passed over, if any.
    void ShowSkippedPictures();
    void ShowInfo(const std::u16string& text);
    // The settings written by the dialog, taken by the engine once no run is on.
    void ApplyWaitingSettings();
    // What the next movie is made with: the settings waiting, else the engine's.
    MovieSettings NextSettings();
    void DropUnlaidSound();
    // The sound's name and length beside its button, "no sound" without one.
    void ShowSound();

    DialogHost& host;
    EngineFactory createEngine;
    std::unique_ptr<WorkflowEngine> engine;
    DialogMode mode = DialogMode::Idle;
    // The movie being made or played, or the last one.
    MovieRun run;
    std::u16string moviePath;
    int busyDepth = 0;
    bool draining = false;
    bool eventsWaiting = false;
    std::u16string settingsPath;
    bool settingsWaiting = false;
    MovieSettings waitingSettings;
    REFERENCE_TIME soundLength = 0;
};
