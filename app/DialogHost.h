// What the main dialog's workflow needs from the window that hosts it. The Qt
// window implements it with real widgets and dialogs; tests script it.
#pragma once

#include "engine/MovieSettings.h"
#include "platform/base/WinTypes.h"

class WorkflowEngine;

#include <cstdint>
#include <string>
#include <vector>

// Message-box buttons, icons and answers, with MessageBoxW's values.
inline constexpr UINT kMessageOk = 0x00000000;
inline constexpr UINT kMessageYesNo = 0x00000004;
inline constexpr UINT kMessageIconQuestion = 0x00000020;
inline constexpr UINT kMessageIconExclamation = 0x00000030;
inline constexpr UINT kMessageDefaultSecond = 0x00000100;
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

// The dialog's controls.
enum ControlId : int {
    SkinControl = 1000,
    StartControl = 1001,
    PlayControl = 1002,
    AnimateControl = 1003,
    ExitControl = 1004,
    HelpControl = 1005,
    PreviewControl = 1011,
    ProgressControl = 1012,
    AudioControl = 1013,
    // Beside the preview, above it: the settings, the sound and the sound's name.
    SettingsControl = 1020,
    SoundControl = 1021,
    NoSoundControl = 1022,
    SoundNameControl = 1023,
    // Above the preview, left of the settings: the pictures.
    PicturesControl = 1030,
};

// One file-type choice of a file chooser: "AUDIO (*.mp3;*.wav)" and "*.mp3;*.wav".
struct FileFilter {
    std::u16string description;
    std::u16string patterns;
};

class DialogHost {
public:
    // The pressed button (kAnswerYes, kAnswerNo, kAnswerOk).
    virtual int ShowMessage(const std::u16string& text, const std::u16string& caption, UINT type) = 0;
    // Empty when cancelled.
    virtual std::u16string ChooseFolder(const std::u16string& title) = 0;
    virtual std::u16string ChooseOpenFile(const FileFilter* filters, int filterCount) = 0;
    // Asks before replacing an existing file; adds defaultExtension when none is given.
    virtual std::u16string ChooseSaveFile(const FileFilter* filters, int filterCount,
                                          const std::u16string& defaultExtension) = 0;
    // Starting a running timer restarts it.
    virtual void StartTimer(int id, int periodMs) = 0;
    virtual void StopTimer(int id) = 0;
    virtual void ShowControl(int id, bool show) = 0;
    virtual void EnableControl(int id, bool enable) = 0;
    // Loads the images by resource number, sizes the button to the normal one, redraws it.
    virtual void SetButtonImages(int id, int normal, int pressed, int disabled) = 0;
    // Puts the button on the slot of another: the Start button takes the AUDIO button's place.
    virtual void MoveButtonTo(int id, int slotOf) = 0;
    virtual void SetProgressRange(std::int32_t lower, std::int32_t upper) = 0;
    virtual void SetProgressPos(std::int32_t position) = 0;
    virtual void SetProgressLabel(const std::u16string& label) = 0;
    virtual void SetProgressColours(std::uint32_t text, std::uint32_t background) = 0;
    virtual HWND MainWindowHandle() = 0;
    virtual HWND PreviewHandle() = 0;
    // Stretches a bottom-up frame into the preview area once, rows dropped.
    virtual void DrawFrameToWindow(HWND window, const BYTE* pixels, LONG width, LONG height, WORD bitsPerPixel) = 0;
    // Returns the window to black.
    virtual void ClearWindow(HWND window) = 0;
    virtual void RunHelp() = 0;
    // A message box with Ok and one button per action: the chosen action's index, or -1
    // for Ok (also Enter and Escape).
    virtual int ShowMessageWithActions(const std::u16string& text, const std::u16string& caption,
                                       const std::vector<std::u16string>& actions) = 0;
    // Hands a file or folder to the desktop's own handler: a movie opens in the user's
    // player, a folder in the file manager.
    virtual void OpenWithDesktop(const std::u16string& path) = 0;
    // The line under the progress bar (rate and time left); empty hides it.
    virtual void SetProgressDetail(const std::u16string& text) = 0;
    // Seconds on a clock that never goes back.
    virtual double ClockSeconds() = 0;
    // The settings dialog over `settings`: true with the user's values on OK, false
    // (nothing changed) on Cancel.
    virtual bool EditSettings(MovieSettings& settings) = 0;
    // The settings file to read and write (see SettingsLocation).
    virtual std::u16string SettingsPath() = 0;
    virtual void SetControlText(int id, const std::u16string& text) = 0;
    // Shows the folder's pictures for the user to order and choose; true, `taken` the
    // pictures in the movie's order, when the user accepted another choice than the
    // engine's. Thumbnails come from the engine's RenderThumbnail.
    virtual bool ArrangePictures(WorkflowEngine& engine, std::vector<std::u16string>& taken) = 0;
    // Ends the modal run of the dialog.
    virtual void EndDialog() = 0;
    // The program file's name without extension.
    virtual std::u16string ApplicationTitle() = 0;

protected:
    ~DialogHost() = default;
};
