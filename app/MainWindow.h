// The Qt window that hosts the main dialog: a frameless 800x600 skin with
// the skinned buttons, the preview area and the progress bar placed by the
// dialog template's units, dragged by any point. It carries the graph's
// messages and the video frames from the window service to the workflow.
#pragma once

#include "app/DialogHost.h"
#include "app/MainDialog.h"
#include "app/PreviewArea.h"
#include "app/SkinButton.h"
#include "app/SkinProgress.h"
#include "platform/window/WindowDispatcher.h"

#include <QLabel>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <map>

class PictureDialog;

class MainWindow : public QWidget, public DialogHost {
public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 600;
    // The pictures button, in the strip above the preview area.
    static constexpr int kPicturesButtonLeft = 270;
    static constexpr int kPicturesButtonTop = 36;

    explicit MainWindow(MainDialog::EngineFactory createEngine);
    ~MainWindow() override;

    // Runs the dialog's initialisation and shows the window centred.
    void Start();
    bool Ended() const { return ended; }
    SkinButton* Button(int id) const;
    SkinProgress& Progress() { return *progress; }
    QLabel& ProgressDetail() { return *progressDetail; }
    PreviewArea& Preview() { return *preview; }
    MainDialog& Dialog() { return dialog; }

    int ShowMessage(const std::u16string& text, const std::u16string& caption, UINT type) override;
    std::u16string ChooseFolder(const std::u16string& title) override;
    std::u16string ChooseOpenFile(const FileFilter* filters, int filterCount) override;
    std::u16string ChooseSaveFile(const FileFilter* filters, int filterCount,
                                  const std::u16string& defaultExtension) override;
    void StartTimer(int id, int periodMs) override;
    void StopTimer(int id) override;
    void ShowControl(int id, bool show) override;
    void EnableControl(int id, bool enable) override;
    void SetButtonImages(int id, int normal, int pressed, int disabled) override;
    void MoveButtonTo(int id, int slotOf) override;
    void SetProgressRange(std::int32_t lower, std::int32_t upper) override;
    void SetProgressPos(std::int32_t position) override;
    void SetProgressLabel(const std::u16string& label) override;
    void SetProgressColours(std::uint32_t text, std::uint32_t background) override;
    HWND MainWindowHandle() override;
    HWND PreviewHandle() override;
    void DrawFrameToWindow(HWND window, const BYTE* pixels, LONG width, LONG height, WORD bitsPerPixel) override;
    void ClearWindow(HWND window) override;
    void RunHelp() override;
    int ShowMessageWithActions(const std::u16string& text, const std::u16string& caption,
                               const std::vector<std::u16string>& actions) override;
    void OpenWithDesktop(const std::u16string& path) override;
    void SetProgressDetail(const std::u16string& text) override;
    double ClockSeconds() override;
    bool EditSettings(MovieSettings& settings) override;
    std::u16string SettingsPath() override;
    void SetControlText(int id, const std::u16string& text) override;
    QLabel& SoundName() { return *soundName; }
    bool ArrangePictures(WorkflowEngine& engine, std::vector<std::u16string>& taken) override;
    void EndDialog() override;
    std::u16string ApplicationTitle() override;

protected:
    // Runs the pictures dialog modally; the dialog's result.
    virtual int RunPictureDialog(PictureDialog& pictures);
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    class MainClient;
    class PreviewClient;

    static QRect FromDialogUnits(int x, int y, int width, int height);
    QWidget* Control(int id) const;
    void AddButton(int id, const QRect& place, void (MainDialog::*handler)());
    void CentreOnScreen();
    void ScheduleDispatch();

    MainDialog dialog;
    QLabel* skin;
    PreviewArea* preview;
    SkinProgress* progress;
    QLabel* progressDetail;
    QLabel* soundName;
    std::map<int, SkinButton*> buttons;
    QTimer progressTimer;
    QElapsedTimer clock;
    QPoint dragOffset;
    bool ended = false;
    std::unique_ptr<MainClient> mainClient;
    std::unique_ptr<PreviewClient> previewClient;
    WindowDispatcher dispatcher;
};
