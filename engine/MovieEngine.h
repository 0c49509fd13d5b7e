// MovieEngine: the one object through which a front end makes and plays
// movies. It owns the filter graph, the picture source of libXTPPic.so, the
// ASF writer (and for .mp4 and .webm names the media file writer), the renderers, both Windows Media profiles and the sound
// timeline for the whole life of the program.
//
// Every call comes from the front end's thread. Each failing platform call is
// shown at once through ReportError ("Error code: 0x%x." in a message box,
// see platform/resource/MessageBox.h) and ends the operation.
#pragma once

#include "engine/ErrorWords.h"
#include "engine/MovieError.h"
#include "engine/MovieSettings.h"
#include "picsource/IPictureSourceConfig.h"
#include "platform/com/ComPtr.h"
#include "platform/editing/EditingServices.h"
#include "platform/mediagraph/GraphControl.h"
#include "platform/wmformat/WMFormat.h"

#include <functional>
#include <string>
#include <vector>

class IniFile;

// The window message by which graph events reach the front end.
inline constexpr UINT WM_GRAPHNOTIFY = 0x8000 + 100;

class MovieEngine {
public:
    // Resource numbers of the two profiles (type "PROFILE").
    static constexpr int kVideoOnlyProfileId = 148;
    static constexpr int kAudioVideoProfileId = 149;

    // Receives each failure instead of a message box, from construction on.
    using ErrorHandler = std::function<void(const MovieError&)>;

    MovieEngine();
    explicit MovieEngine(ErrorHandler errorHandler);
    MovieEngine(const MovieEngine&) = delete;
    MovieEngine& operator=(const MovieEngine&) = delete;
    virtual ~MovieEngine();

    // False when construction ended early at a reported failure; every
    // operation then refuses to run (E_UNEXPECTED, false, 0 or -1).
    bool IsReady() const { return ready; }

    HRESULT SetNotifyWindow(HWND window, UINT message, LONG_PTR parameter);
    // A value outside what a movie can be made with keeps its default and is listed
    // in RefusedSettings ("Quality=-5 is outside 8000..50000000; 185000 is used").
    bool LoadSettings(const std::u16string& path);
    const std::vector<std::string>& RefusedSettings() const { return refusedSettings; }
    // The first of the five keys that the last LoadSettings found missing, for which it
    // used none of the file's values; both empty when none was (or the file was not read).
    struct SettingName {
        std::string section;
        std::string key;
    };
    const SettingName& MissingSetting() const { return missingSetting; }
    bool ApplySettings(const MovieSettings& values);
    // Only the [Picture] options, leaving the other settings as they are.
    bool ApplyPictureOptions(const PictureOptions& options);
    // Only the [Show] settings; false, nothing changed, when the picture source refuses
    // them (a captions file that cannot be read).
    bool ApplyShowSettings(const ShowSettings& show);
    // The frames a second of the next movie: FrameRate, or 25 for 0 when its pictures
    // move (a transition, a fade or pan and zoom); 0 is a frame per picture.
    std::int32_t FramesPerSecond() const;
    // What the picture source was handed last.
    ShowOptions ShowOptionsInForce();
    // The movie's frame rate (MovieSettings::frameRate) alone, whatever else is in force:
    // after a settings file that could not be used, the picture source's own values.
    bool ApplyFrameRate(std::int32_t framesPerSecond);
    // The milliseconds the pictures fill together when they are fitted to the sound, 0 when not.
    LONG FittedLengthMs() const { return fittedLengthMs; }
    const MovieSettings& Settings() const { return settings; }
    // The settings the next movie is made with: Settings(), with the picture time the
    // picture source holds (its own 1000 ms until a complete file was loaded).
    MovieSettings SettingsInForce();

    // S_OK when the folder was accepted. Refused: E_INVALIDARG when it holds no .jpg file,
    // HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) when it is not a folder,
    // HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) when it cannot be read, and the failure that
    // ended construction (REGDB_E_CLASSNOTREG for an unregistered picture source) when the
    // engine is not ready. Any other failure has been reported.
    HRESULT SetPictureFolder(const std::u16string& path);
    void SetAudioFile(const std::u16string& path);
    // No sound under the next movie or playback.
    void ClearAudioFile();
    const std::u16string& AudioFile() const { return audioFile; }
    // The sound's length in 100-ns units. -1 when the file's first stream is not
    // sound (ErrorWords has words for both), another failure when it cannot be read; nothing is reported.
    HRESULT AudioLength(const std::u16string& soundPath, REFERENCE_TIME& length);
    bool HasPictureFolder() const { return !pictureFolder.empty(); }
    bool HasAudioTimeline() const { return static_cast<bool>(audioTimeline); }
    int PictureCount();
    int CurrentPicture();
    // Pictures the video renderer has shown at their time since playback started: the
    // source's CurrentPicture runs ahead of the screen by the pictures waiting their turn.
    int PicturesShown();
    void SetCurrentPicture(int index);
    // The full path of picture `index`, however long; empty outside the list.
    std::u16string PicturePath(int index);
    // The names (no folder) of the pictures a movie takes now, in its order.
    std::vector<std::u16string> PictureNames();
    // All the folder's picture names, chosen or not, in the PictureOrder `order`.
    std::vector<std::u16string> FolderPictures(LONG order);
    // The pictures to take, by name, in this order, until the folder changes; empty for
    // the whole folder in the order in force. S_OK; S_FALSE when names that are no
    // picture of the folder were passed over (ListedNamesNotFound names them);
    // E_INVALIDARG, nothing changed, when none is one.
    HRESULT SetPictureList(const std::vector<std::u16string>& names);
    // The list of [Picture] List= (or reelsmith-make's --list), taken for every folder
    // chosen after it: false, nothing changed, `problem` saying why, when it cannot be read.
    bool UsePictureListFile(const std::u16string& path, std::string& problem);
    // The names of the last list applied that are no picture of its folder, in its order.
    const std::vector<std::u16string>& ListedNamesNotFound() const { return namesNotFound; }
    // Whether the List= list named no picture of the folder last chosen, which the movie
    // then takes whole.
    bool PictureListFoundNone() const { return listFoundNone; }
    // The folder's picture `name` as a thumbnail of width x height, bottom-up 24-bit rows
    // padded to 4 bytes (see IPictureSourceConfig::RenderThumbnail). Safe on any thread
    // while the engine lives; the failure is returned, not reported.
    HRESULT RenderThumbnail(const std::u16string& name, LONG width, LONG height, std::vector<BYTE>& frame);
    // Picture `index` as the movie's frame shows it: the frame size and [Picture]
    // options in force, bottom-up BGR rows padded to 4 bytes, drawn by the picture
    // source itself. False, nothing reported, when the picture cannot be read.
    bool RenderPicture(int index, std::vector<BYTE>& frame, LONG& width, LONG& height);

    // Builds the encode graph (through a tee and the video renderer when a
    // preview window is given) and runs it; completion arrives as EC_COMPLETE.
    void MakeMovie(const std::u16string& outputPath, HWND previewWindow);
    HRESULT Play(HWND previewWindow);
    // 0 stopped, 1 paused, 2 running, -1 on failure.
    int GraphState();
    void SetPaused(bool pause);
    void Stop();
    // The graph's event queue (a new reference), empty when the engine is not ready.
    ComPtr<IMediaEvent> GraphEvents();

    // The profiles in force, for inspection.
    IWMProfile* VideoOnlyProfile() const { return videoOnlyProfile.Get(); }
    IWMProfile* AudioVideoProfile() const { return audioVideoProfile.Get(); }

    // Reports a failure to the error handler, or without one shows "Error code: 0x%x." in a
    // message box; front ends use it for a run the graph aborted. A code the engine knows
    // gets a second line: what it means in the user's language, and the movie, sound or
    // folder path it concerns. The call site's file and line travel with the code.
    void ReportError(HRESULT hr, const char* file = __builtin_FILE(), int line = __builtin_LINE());
    MovieError DescribeError(HRESULT hr, const char* file, int line) const;

private:
    // Bytes of a bottom-up DIB with rows padded to four bytes; 0 when it does not fit a DWORD.
    static DWORD DibSize(LONG width, LONG height, WORD bitCount);
    HRESULT Construct();
    void ReadPictureKeys(const IniFile& file, PictureOptions& options);
    void ReadShowKeys(const IniFile& file, ShowSettings& show);
    HRESULT HandShowOptions(const ShowSettings& show);
    void FitPicturesToSound();
    HRESULT ApplyAudioFades(IAMTimelineObj* group);
    void ReadFormatKey(const IniFile& file, std::int32_t& format);
    void ReadPictureListKey(const IniFile& file, const std::string& settingsPath);
    HRESULT ApplyPictureList(const std::vector<std::u16string>& names);
    HRESULT WhyFolderRefused(const std::u16string& path);
    HRESULT ClearGraph();
    ComPtr<IWMProfile> LoadProfile(int resourceId);
    HRESULT ApplyProfileSettings(IWMProfile* profile);
    HRESULT EditVideoStream(IWMVideoMediaProps* props);
    bool MovieDuration(REFERENCE_TIME& duration);
    void RebuildAudioTimeline();
    HRESULT BuildAudioTimeline(const std::u16string& soundPath, REFERENCE_TIME movieDuration);
    HRESULT AddAudioClips(IAMTimeline* timeline, const std::u16string& soundPath, REFERENCE_TIME movieDuration,
                          IAMTimelineObj* track);
    HRESULT ConnectAudioFrontEnd();
    HRESULT RenderAudioTo(IBaseFilter* sink);
    HRESULT SetupVideoWindow(IGraphBuilder* graphBuilder, HWND window);
    HRESULT RenderVideo(IBaseFilter* sink, HWND previewWindow);
    HRESULT ChooseWriter(const std::u16string& outputPath, ComPtr<IBaseFilter>& writer);
    HRESULT AddPlaybackAudio();
    void CountFramesPerPicture();
    const std::u16string& SubjectPath(ErrorWords::Subject subject) const;

    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> captureBuilder;
    ComPtr<IPictureSourceConfig> sourceConfig;
    ComPtr<IBaseFilter> sourceFilter;
    ComPtr<IBaseFilter> asfWriter;
    ComPtr<IBaseFilter> mediaWriter; // MP4 and WebM, made for the first such movie
    ComPtr<IBaseFilter> videoRenderer;
    ComPtr<IBaseFilter> tee;
    ComPtr<IWMProfile> videoOnlyProfile;
    ComPtr<IWMProfile> audioVideoProfile;
    ComPtr<IAMTimeline> audioTimeline;
    ComPtr<IBaseFilter> audioRenderer;
    ComPtr<IRenderEngine> renderEngine;
    MovieSettings settings;
    std::u16string pictureFolder;
    std::u16string audioFile;
    std::u16string moviePath;
    std::vector<std::string> refusedSettings;
    std::vector<std::u16string> settingsList; // [Picture] List=, for every folder
    std::vector<std::u16string> namesNotFound;
    bool listFoundNone = false;
    SettingName missingSetting;
    std::string settingsFolder; // a relative CaptionFile is read here
    LONG fittedLengthMs = 0;
    // Whether the captions file was left unread when the show was last handed over.
    bool captionsUnread = false;
    // Of the last Play: frames drawn for each picture, and the pictures.
    double playFramesPerPicture = 1.0;
    int playedPictures = 0;
    // The picture time in force before the pictures were fitted to the sound.
    LONG unfittedRepTime = 0;
    HWND ownerWindow = nullptr;
    ErrorHandler errorHandler;
    bool ready = false;
    // What ended construction early; S_OK once the engine is ready.
    HRESULT constructionResult = E_UNEXPECTED;
};
