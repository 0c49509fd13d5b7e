// The movie-engine operations the main dialog calls, so that the workflow can
// be driven by the real engine in the window and by a scripted one in tests.
#pragma once

#include "engine/MovieSettings.h"
#include "platform/com/ComPtr.h"
#include "platform/mediagraph/GraphControl.h"

#include <string>
#include <vector>

class WorkflowEngine {
public:
    virtual ~WorkflowEngine() = default;

    virtual HRESULT SetNotifyWindow(HWND window, UINT message, LONG_PTR parameter) = 0;
    virtual bool LoadSettings(const std::u16string& path) = 0;
    // False when the engine could not be built (no picture source): nothing can be done.
    virtual bool IsReady() const = 0;
    // S_OK, or why the folder was refused (see MovieEngine::SetPictureFolder).
    virtual HRESULT SetPictureFolder(const std::u16string& path) = 0;
    virtual void SetAudioFile(const std::u16string& path) = 0;
    virtual void ClearAudioFile() = 0;
    // Empty when no sound is chosen.
    virtual std::u16string AudioFile() const = 0;
    virtual bool HasAudioTimeline() const = 0;
    // The sound's length in 100-ns units, or why it holds no sound (see MovieEngine).
    virtual HRESULT AudioLength(const std::u16string& path, REFERENCE_TIME& length) = 0;
    // The settings the next movie is made with.
    virtual MovieSettings SettingsInForce() = 0;
    virtual bool HasPictureFolder() const = 0;
    virtual int PictureCount() = 0;
    virtual int CurrentPicture() = 0;
    // Pictures shown so far by the playback.
    virtual int PicturesShown() = 0;
    virtual void SetCurrentPicture(int index) = 0;
    // The full path of picture `index`, however long; empty outside the list.
    virtual std::u16string PicturePath(int index) = 0;
    // Picture `index` as the movie's frame: bottom-up 24-bit rows padded to 4 bytes.
    virtual bool RenderPicture(int index, std::vector<BYTE>& frame, LONG& width, LONG& height) = 0;
    // The names (no folder) of the pictures the movie takes now, in its order.
    virtual std::vector<std::u16string> PictureNames() = 0;
    // All the folder's picture names in a PictureOrder.
    virtual std::vector<std::u16string> FolderPictures(LONG order) = 0;
    // The pictures to take until the folder changes (see MovieEngine::SetPictureList).
    virtual HRESULT SetPictureList(const std::vector<std::u16string>& names) = 0;
    // Names of the settings' picture list that the folder last chosen lacks, and whether
    // it lacked them all.
    virtual std::vector<std::u16string> ListedNamesNotFound() = 0;
    virtual bool PictureListFoundNone() = 0;
    // Safe on any thread: the folder's picture `name` as a width x height thumbnail,
    // bottom-up 24-bit rows padded to 4 bytes; the reading's failure when it cannot be.
    virtual HRESULT RenderThumbnail(const std::u16string& name, LONG width, LONG height, std::vector<BYTE>& frame) = 0;
    virtual void MakeMovie(const std::u16string& outputPath, HWND previewWindow) = 0;
    virtual HRESULT Play(HWND previewWindow) = 0;
    // 0 stopped, 1 paused, 2 running, anything else when unreadable.
    virtual int GraphState() = 0;
    virtual void SetPaused(bool pause) = 0;
    virtual void Stop() = 0;
    virtual ComPtr<IMediaEvent> GraphEvents() = 0;
    // Shows a failure the way the engine shows its own ("Error code: 0x%x.").
    virtual void ReportError(HRESULT hr) = 0;
};
