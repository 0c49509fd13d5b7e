// The real movie engine behind the workflow's engine interface.
#pragma once

#include "app/MainDialog.h"
#include "app/WorkflowEngine.h"
#include "engine/MovieEngine.h"

static_assert(WM_GRAPHNOTIFY == WM_GRAPHNOTIFY_MESSAGE, "the dialog listens for the engine's message");

class MovieEngineAdapter final : public WorkflowEngine {
public:
    HRESULT SetNotifyWindow(HWND window, UINT message, LONG_PTR parameter) override
    {
        return engine.SetNotifyWindow(window, message, parameter);
    }
    bool LoadSettings(const std::u16string& path) override { return engine.LoadSettings(path); }
    bool IsReady() const override { return engine.IsReady(); }
    HRESULT SetPictureFolder(const std::u16string& path) override { return engine.SetPictureFolder(path); }
    void SetAudioFile(const std::u16string& path) override { engine.SetAudioFile(path); }
    void ClearAudioFile() override { engine.ClearAudioFile(); }
    std::u16string AudioFile() const override { return engine.AudioFile(); }
    bool HasAudioTimeline() const override { return engine.HasAudioTimeline(); }
    HRESULT AudioLength(const std::u16string& path, REFERENCE_TIME& length) override
    {
        return engine.AudioLength(path, length);
    }
    MovieSettings SettingsInForce() override { return engine.SettingsInForce(); }
    bool HasPictureFolder() const override { return engine.HasPictureFolder(); }
    int PictureCount() override { return engine.PictureCount(); }
    int CurrentPicture() override { return engine.CurrentPicture(); }
    int PicturesShown() override { return engine.PicturesShown(); }
    void SetCurrentPicture(int index) override { engine.SetCurrentPicture(index); }
    std::u16string PicturePath(int index) override { return engine.PicturePath(index); }
    bool RenderPicture(int index, std::vector<BYTE>& frame, LONG& width, LONG& height) override
    {
        return engine.RenderPicture(index, frame, width, height);
    }
    std::vector<std::u16string> PictureNames() override { return engine.PictureNames(); }
    std::vector<std::u16string> FolderPictures(LONG order) override { return engine.FolderPictures(order); }
    HRESULT SetPictureList(const std::vector<std::u16string>& names) override { return engine.SetPictureList(names); }
    std::vector<std::u16string> ListedNamesNotFound() override { return engine.ListedNamesNotFound(); }
    bool PictureListFoundNone() override { return engine.PictureListFoundNone(); }
    HRESULT RenderThumbnail(const std::u16string& name, LONG width, LONG height, std::vector<BYTE>& frame) override
    {
        return engine.RenderThumbnail(name, width, height, frame);
    }
    void MakeMovie(const std::u16string& outputPath, HWND previewWindow) override
    {
        engine.MakeMovie(outputPath, previewWindow);
    }
    HRESULT Play(HWND previewWindow) override { return engine.Play(previewWindow); }
    int GraphState() override { return engine.GraphState(); }
    void SetPaused(bool pause) override { engine.SetPaused(pause); }
    void Stop() override { engine.Stop(); }
    ComPtr<IMediaEvent> GraphEvents() override { return engine.GraphEvents(); }
    void ReportError(HRESULT hr) override { engine.ReportError(hr); }

private:
    MovieEngine engine;
};
