#include "engine/MovieEngine.h"

#include "config/IniFile.h"
#include "engine/ErrorWords.h"
#include "engine/OutputFormat.h"
#include "engine/PictureKeys.h"
#include "engine/PictureList.h"
#include "engine/SettingRefusal.h"
#include "engine/ShowKeys.h"
#include "platform/base/WideText.h"
#include "platform/mediagraph/MediaTypes.h"
#include "platform/registry/RegistryStore.h"
#include "platform/resource/MessageBox.h"
#include "platform/resource/UiText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <new>
#include <tuple>
#include <unordered_set>
#include <utility>

namespace {

// Path buffers of the settings reader hold this many bytes with the terminator.
constexpr std::size_t kMaxSettingsPath = 260;
constexpr LONG kInfiniteWait = -1;
// Longer picture paths than this (in UTF-16 units) are not asked for.
constexpr LONG kMaxPicturePath = 1 << 20;

// The keys of config.ini in the order they are read, with the values a movie can be
// made with.
struct SettingKey {
    const char* section;
    const char* name;
    std::int32_t MovieSettings::*field;
    std::int32_t lowest;
    std::int32_t highest;
};
constexpr SettingKey kSettingKeys[] = {
    {"Screen", "width", &MovieSettings::width, MovieSettings::kMinSide, MovieSettings::kMaxSide},
    {"Screen", "height", &MovieSettings::height, MovieSettings::kMinSide, MovieSettings::kMaxSide},
    {"Screen", "FrameSpeed", &MovieSettings::frameSpeed, 1, MovieSettings::kMaxFrameSpeed},
    {"Screen", "Quality", &MovieSettings::quality, MovieSettings::kMinQuality, MovieSettings::kMaxQuality},
    {"System", "WorkThreadPriority", &MovieSettings::workThreadPriority, INT32_MIN, INT32_MAX},
};
// Beyond the five: a file without it makes the movies it always made.
constexpr SettingKey kFrameRateKey{"Output", "FrameRate", &MovieSettings::frameRate, 0, MovieSettings::kMaxFrameRate};

std::string RefusalText(const SettingKey& key, std::int32_t value, std::int32_t used)
{
    return SettingRefusal::OutOfRange(key.name, value, key.lowest, key.highest, used);
}

template <typename T>
HRESULT CreateInProcess(const CLSID& clsid, const IID& iid, ComPtr<T>& object)
{
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object.ReceiveVoid());
}

} // namespace

MovieEngine::MovieEngine() : MovieEngine(ErrorHandler{}) {}

MovieEngine::MovieEngine(ErrorHandler reportError) : errorHandler(std::move(reportError))
{
    constructionResult = Construct();
    ready = SUCCEEDED(constructionResult);
}

// Each step that fails is reported; a missing component ends construction,
// except the audio renderer, which a machine without sound output lacks.
HRESULT MovieEngine::Construct()
{
    HRESULT hr = CreateInProcess(CLSID_PictureSource, IID_IBaseFilter, sourceFilter);
    if (FAILED(hr)) {
        ReportError(hr);
        return hr;
    }
    hr = sourceFilter.As(IID_IPictureSourceConfig, sourceConfig);
    if (FAILED(hr)) {
        ReportError(hr);
        return hr;
    }
    LONG width = settings.width;
    LONG height = settings.height;
    hr = sourceConfig->SetVideoSize(&width, &height);
    if (FAILED(hr)) {
        ReportError(hr);
        return hr;
    }
    for (auto [clsid, iid, target] :
         {std::tuple{&CLSID_FilterGraph, &IID_IGraphBuilder, graph.ReceiveVoid()},
          std::tuple{&CLSID_WMAsfWriter, &IID_IBaseFilter, asfWriter.ReceiveVoid()},
          std::tuple{&CLSID_VideoRenderer, &IID_IBaseFilter, videoRenderer.ReceiveVoid()}}) {
        hr = CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, *iid, target);
        if (FAILED(hr)) {
            ReportError(hr);
            return hr;
        }
    }
    hr = CreateInProcess(CLSID_AudioRender, IID_IBaseFilter, audioRenderer);
    if (FAILED(hr)) ReportError(hr);
    hr = CreateInProcess(CLSID_CaptureGraphBuilder2, IID_ICaptureGraphBuilder2, captureBuilder);
    if (SUCCEEDED(hr)) hr = captureBuilder->SetFiltergraph(graph.Get());
    if (SUCCEEDED(hr)) hr = CreateInProcess(CLSID_InfTee, IID_IBaseFilter, tee);
    if (SUCCEEDED(hr)) hr = CreateInProcess(CLSID_RenderEngine, IID_IRenderEngine, renderEngine);
    if (FAILED(hr)) {
        ReportError(hr);
        return hr;
    }
    videoOnlyProfile = LoadProfile(kVideoOnlyProfileId);
    if (!videoOnlyProfile) return E_FAIL;
    hr = ApplyProfileSettings(videoOnlyProfile.Get());
    if (FAILED(hr)) {
        ReportError(hr);
        return hr;
    }
    audioVideoProfile = LoadProfile(kAudioVideoProfileId);
    if (!audioVideoProfile) return E_FAIL;
    hr = ApplyProfileSettings(audioVideoProfile.Get());
    if (FAILED(hr)) ReportError(hr);
    return S_OK;
}

MovieEngine::~MovieEngine()
{
    if (ready) ClearGraph();
    audioFile.clear();
    pictureFolder.clear();
    renderEngine.Reset();
    audioRenderer.Reset();
    audioTimeline.Reset();
    audioVideoProfile.Reset();
    videoOnlyProfile.Reset();
    tee.Reset();
    videoRenderer.Reset();
    mediaWriter.Reset();
    asfWriter.Reset();
    sourceFilter.Reset();
    sourceConfig.Reset();
    captureBuilder.Reset();
    graph.Reset();
}

HRESULT MovieEngine::SetNotifyWindow(HWND window, UINT message, LONG_PTR parameter)
{
    ownerWindow = window;
    if (!ready) return E_UNEXPECTED;
    ComPtr<IMediaEventEx> events;
    HRESULT hr = graph.As(IID_IMediaEventEx, events);
    if (FAILED(hr)) return hr;
    return events->SetNotifyWindow(reinterpret_cast<OAHWND>(window), static_cast<LONG>(message), parameter);
}

bool MovieEngine::LoadSettings(const std::u16string& path)
{
    refusedSettings.clear();
    missingSetting = {};
    const std::string narrowPath = Utf8FromWide(path);
    if (narrowPath.size() >= kMaxSettingsPath) return false;
    IniFile file(narrowPath);
    if (!file.Load()) return false;
    MovieSettings loaded;
    settingsFolder = std::filesystem::path(narrowPath).parent_path().string();
    // The [Picture] and [Show] keys are optional each, so they count whether the others are complete or not.
    ReadPictureKeys(file, loaded.picture);
    ReadShowKeys(file, loaded.show);
    ReadFormatKey(file, loaded.format);
    ReadPictureListKey(file, narrowPath);
    const std::size_t pictureRefusals = refusedSettings.size();
    for (const SettingKey& key : kSettingKeys) {
        const std::int32_t value = file.GetInt(key.section, key.name, -1);
        if (value == -1) {
            missingSetting = {key.section, key.name};
            refusedSettings.resize(pictureRefusals);
            ApplyPictureOptions(loaded.picture);
            ApplyShowSettings(loaded.show);
            settings.format = loaded.format;
            return false;
        }
        // A value no movie can be made with (a negative bit rate would wrap to
        // 4 Gbit/s) keeps the default instead.
        if (value < key.lowest || value > key.highest) {
            refusedSettings.push_back(RefusalText(key, value, loaded.*key.field));
        } else {
            loaded.*key.field = value;
        }
    }
    const std::int32_t frameRate = file.GetInt(kFrameRateKey.section, kFrameRateKey.name, 0);
    if (frameRate < kFrameRateKey.lowest || frameRate > kFrameRateKey.highest) {
        refusedSettings.push_back(RefusalText(kFrameRateKey, frameRate, loaded.frameRate));
    } else {
        loaded.frameRate = frameRate;
    }
    return ApplySettings(loaded);
}

void MovieEngine::ReadPictureKeys(const IniFile& file, PictureOptions& options)
{
    for (const char* name : PictureKeys::kNames) {
        const int section = file.FindSection(PictureKeys::kSection);
        if (section < 0 || file.FindKey(section, name) < 0) continue;
        std::string refusal;
        if (!PictureKeys::Set(name, file.GetValue(PictureKeys::kSection, name, ""), options, refusal))
            refusedSettings.push_back(refusal);
    }
}

void MovieEngine::ReadShowKeys(const IniFile& file, ShowSettings& show)
{
    const int section = file.FindSection(ShowKeys::kSection);
    if (section < 0) return;
    for (const char* name : ShowKeys::kNames) {
        if (file.FindKey(section, name) < 0) continue;
        std::string refusal;
        if (!ShowKeys::Set(name, file.GetValue(ShowKeys::kSection, name, ""), show, refusal))
            refusedSettings.push_back(refusal);
    }
}

void MovieEngine::ReadFormatKey(const IniFile& file, std::int32_t& format)
{
    const int section = file.FindSection(OutputFormat::kSection);
    if (section < 0 || file.FindKey(section, OutputFormat::kKey) < 0) return;
    std::string refusal;
    if (!OutputFormat::Parse(file.GetValue(OutputFormat::kSection, OutputFormat::kKey, ""), format, refusal))
        refusedSettings.push_back(refusal);
}

MovieSettings MovieEngine::SettingsInForce()
{
    MovieSettings inForce = settings;
    LONG repTime = 0;
    if (ready && SUCCEEDED(sourceConfig->GetRepTime(&repTime))) inForce.frameSpeed = repTime;
    // Fitted to the sound, the picture time is the sound's, not a setting.
    if (fittedLengthMs > 0) inForce.frameSpeed = unfittedRepTime;
    return inForce;
}

// A relative List= is read beside the settings file.
void MovieEngine::ReadPictureListKey(const IniFile& file, const std::string& settingsPath)
{
    settingsList.clear();
    const int section = file.FindSection(PictureKeys::kSection);
    if (section < 0 || file.FindKey(section, PictureKeys::kListName) < 0) return;
    const std::filesystem::path named(file.GetValue(PictureKeys::kSection, PictureKeys::kListName, ""));
    const std::filesystem::path path =
        named.is_absolute() ? named : std::filesystem::path(settingsPath).parent_path() / named;
    std::string problem;
    if (!UsePictureListFile(WideFromUtf8(path.string()), problem)) refusedSettings.push_back(problem);
}

bool MovieEngine::UsePictureListFile(const std::u16string& path, std::string& problem)
{
    std::vector<std::u16string> names;
    if (!PictureList::Read(Utf8FromWide(path), names, problem)) return false;
    settingsList = std::move(names);
    return true;
}

bool MovieEngine::ApplyPictureOptions(const PictureOptions& options)
{
    if (!ready) return false;
    if (FAILED(sourceConfig->SetPictureOptions(options.orientation, options.fit, options.scaling))) return false;
    if (FAILED(sourceConfig->SetPictureOrder(options.order))) return false;
    settings.picture = options;
    return true;
}

bool MovieEngine::ApplyShowSettings(const ShowSettings& show)
{
    if (!ready) return false;
    const ShowSettings before = settings.show;
    settings.show = show;
    if (SUCCEEDED(HandShowOptions(show))) return true;
    settings.show = before;
    HandShowOptions(before);
    return false;
}

bool MovieEngine::ApplyFrameRate(std::int32_t framesPerSecond)
{
    if (!ready || framesPerSecond < 0 || framesPerSecond > MovieSettings::kMaxFrameRate) return false;
    settings.frameRate = framesPerSecond;
    return ApplyShowSettings(settings.show);
}

std::int32_t MovieEngine::FramesPerSecond() const
{
    if (settings.frameRate > 0) return settings.frameRate;
    return settings.show.options.IsAnimated() ? ShowSettings::kDefaultFramesPerSecond : 0;
}

ShowOptions MovieEngine::ShowOptionsInForce()
{
    ShowOptions options;
    if (ready) sourceConfig->GetShowOptions(&options);
    return options;
}

// The record as the picture source takes it: the frame rate of the movie and the
// length the pictures share when fitted to the sound; a relative captions file beside
// the settings file.
HRESULT MovieEngine::HandShowOptions(const ShowSettings& show)
{
    ShowOptions options = show.options;
    options.framesPerSecond = settings.frameRate > 0 ? settings.frameRate : ShowSettings::kDefaultFramesPerSecond;
    options.lengthMs = fittedLengthMs;
    std::u16string captionFile;
    if (options.caption == CaptionFromFile && !show.captionFile.empty()) {
        const std::filesystem::path named(show.captionFile);
        captionFile = WideFromUtf8(
            (named.is_absolute() || settingsFolder.empty() ? named : std::filesystem::path(settingsFolder) / named)
                .string());
    }
    HRESULT hr = sourceConfig->SetShowOptions(&options, captionFile.empty() ? nullptr : captionFile.c_str());
    // A captions file that cannot be read costs the captions, not the other settings;
    // the settings keep them for when the file is there again.
    captionsUnread = FAILED(hr) && options.caption != CaptionNone;
    if (captionsUnread) {
        options.caption = CaptionNone;
        hr = sourceConfig->SetShowOptions(&options, nullptr);
    }
    return hr;
}

bool MovieEngine::ApplySettings(const MovieSettings& values)
{
    if (!ready) return false;
    if (!ApplyPictureOptions(values.picture)) return false;
    LONG width = values.width;
    LONG height = values.height;
    LONG frameSpeed = values.frameSpeed;
    if (FAILED(sourceConfig->SetVideoSize(&width, &height))) return false;
    if (FAILED(sourceConfig->SetRepTime(&frameSpeed))) return false;
    if (FAILED(sourceConfig->SetWorkerPriority(values.workThreadPriority))) return false;
    // The picture time is the setting's again until the sound is laid anew.
    fittedLengthMs = 0;
    const ShowSettings show = settings.show;
    settings = values;
    settings.show = show;
    if (!ApplyShowSettings(values.show)) return false;
    if (captionsUnread) {
        char said[600];
        std::snprintf(said, sizeof said,
                      UiTextUtf8("MovieEngine", "CaptionFile=%s を読めません。字幕なしで作ります").c_str(),
                      values.show.captionFile.c_str());
        refusedSettings.push_back(said);
    }
    if (FAILED(ApplyProfileSettings(videoOnlyProfile.Get()))) return false;
    return SUCCEEDED(ApplyProfileSettings(audioVideoProfile.Get()));
}

HRESULT MovieEngine::SetPictureFolder(const std::u16string& path)
{
    if (!ready) return constructionResult;
    if (!pictureFolder.empty()) ClearAudioFile();
    const HRESULT hr = sourceConfig->SetFolder(path.c_str());
    if (hr == E_INVALIDARG) return WhyFolderRefused(path);
    // Another failure leaves the old list in place: the folder is refused too, but said.
    if (FAILED(hr)) {
        ReportError(hr);
        return hr;
    }
    pictureFolder = path;
    namesNotFound.clear();
    // A list naming no picture of this folder leaves the whole folder in force, named as not found.
    listFoundNone = !settingsList.empty() && ApplyPictureList(settingsList) == E_INVALIDARG;
    if (listFoundNone) namesNotFound = settingsList;
    if (!audioFile.empty()) RebuildAudioTimeline();
    return S_OK;
}

HRESULT MovieEngine::SetPictureList(const std::vector<std::u16string>& names)
{
    if (!ready) return E_UNEXPECTED;
    const HRESULT hr = ApplyPictureList(names);
    // The sound is laid under the movie's new length.
    if (SUCCEEDED(hr) && !audioFile.empty() && !pictureFolder.empty()) RebuildAudioTimeline();
    return hr;
}

HRESULT MovieEngine::ApplyPictureList(const std::vector<std::u16string>& names)
{
    std::vector<LPCWSTR> pointers;
    pointers.reserve(names.size());
    for (const std::u16string& name : names) pointers.push_back(name.c_str());
    const HRESULT hr = sourceConfig->SetPictureList(pointers.data(), static_cast<LONG>(pointers.size()));
    if (FAILED(hr)) return hr;
    namesNotFound.clear();
    if (hr == S_FALSE) {
        const std::vector<std::u16string> folderNames = FolderPictures(OrderListing);
        const std::unordered_set<std::u16string> known(folderNames.begin(), folderNames.end());
        for (const std::u16string& name : names)
            if (!known.contains(name)) namesNotFound.push_back(name);
    }
    return hr;
}

std::vector<std::u16string> MovieEngine::PictureNames()
{
    std::vector<std::u16string> names;
    const int count = PictureCount();
    names.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::u16string path = PicturePath(i);
        names.push_back(path.substr(path.find_last_of(u'/') + 1));
    }
    return names;
}

std::vector<std::u16string> MovieEngine::FolderPictures(LONG order)
{
    std::vector<std::u16string> names;
    LONG needed = 0;
    if (!ready ||
        sourceConfig->GetFolderPictures(order, nullptr, 0, &needed) != HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER))
        return names;
    std::u16string all(static_cast<std::size_t>(needed), u'\0');
    if (FAILED(sourceConfig->GetFolderPictures(order, all.data(), needed, &needed))) return names;
    for (std::size_t at = 0; at < all.size() && all[at] != u'\0';) {
        const std::size_t end = all.find(u'\0', at);
        names.push_back(all.substr(at, end - at));
        at = end + 1;
    }
    return names;
}

HRESULT MovieEngine::RenderThumbnail(const std::u16string& name, LONG width, LONG height, std::vector<BYTE>& frame)
{
    if (!ready) return E_UNEXPECTED;
    const DWORD bytes = DibSize(width, height, 24);
    if (bytes == 0) return E_INVALIDARG;
    try {
        frame.resize(bytes);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return sourceConfig->RenderThumbnail(name.c_str(), width, height, frame.data(), static_cast<LONG>(bytes));
}

// The picture source refuses a folder it found no picture in; whether there was a
// folder to look in at all is told apart here.
HRESULT MovieEngine::WhyFolderRefused(const std::u16string& path)
{
    const std::filesystem::path folder(Utf8FromWide(path));
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    const std::filesystem::directory_iterator entries(folder, error);
    if (error) return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    return E_INVALIDARG;
}

// A sound that cannot be laid leaves no earlier sound behind under the new name.
void MovieEngine::SetAudioFile(const std::u16string& path)
{
    if (!ready) return;
    audioFile = path;
    audioTimeline.Reset();
    if (!pictureFolder.empty()) RebuildAudioTimeline();
}

void MovieEngine::ClearAudioFile()
{
    audioTimeline.Reset();
    audioFile.clear();
    if (ready) FitPicturesToSound();
}

// With FitToSound the pictures share the sound's length, each at least MinPictureMs
// (the movie is then longer than the sound); otherwise they keep the picture time.
void MovieEngine::FitPicturesToSound()
{
    LONG length = 0;
    LONG count = 0;
    REFERENCE_TIME sound = 0;
    if (settings.show.fitToSound != 0 && !audioFile.empty() && !pictureFolder.empty() &&
        SUCCEEDED(sourceConfig->GetPictureCount(&count)) && count > 0 && SUCCEEDED(AudioLength(audioFile, sound))) {
        const std::int64_t least = static_cast<std::int64_t>(count) * settings.show.minPictureMs;
        length = static_cast<LONG>(std::clamp<std::int64_t>(std::max(sound / 10'000, least), 1, INT32_MAX));
    }
    if (length == fittedLengthMs) return;
    if (fittedLengthMs == 0) sourceConfig->GetRepTime(&unfittedRepTime);
    // The record's length makes the total exact; the picture time is its nearest whole share.
    LONG repTime = length > 0 ? std::max<LONG>(1, static_cast<LONG>((length + count / 2) / count)) : unfittedRepTime;
    sourceConfig->SetRepTime(&repTime);
    fittedLengthMs = length;
    HandShowOptions(settings.show);
}

// The movie's length from what the picture source holds; false (reported)
// when either query fails.
bool MovieEngine::MovieDuration(REFERENCE_TIME& duration)
{
    LONG count = 0;
    LONG repTime = 0;
    HRESULT hr = sourceConfig->GetPictureCount(&count);
    if (FAILED(hr)) {
        ReportError(hr);
        return false;
    }
    hr = sourceConfig->GetRepTime(&repTime);
    if (FAILED(hr)) {
        ReportError(hr);
        return false;
    }
    // In 64 bits throughout: a long folder at a long picture time overflows 32.
    duration = static_cast<REFERENCE_TIME>(count) * repTime * 10'000;
    if (fittedLengthMs > 0) duration = static_cast<REFERENCE_TIME>(fittedLengthMs) * 10'000;
    return true;
}

void MovieEngine::RebuildAudioTimeline()
{
    FitPicturesToSound();
    REFERENCE_TIME duration = 0;
    if (!MovieDuration(duration)) return;
    const HRESULT hr = BuildAudioTimeline(audioFile, duration);
    if (FAILED(hr)) ReportError(hr);
}

int MovieEngine::PictureCount()
{
    if (!ready) return 0;
    LONG count = 0;
    const HRESULT hr = sourceConfig->GetPictureCount(&count);
    if (FAILED(hr)) {
        ReportError(hr);
        return 0;
    }
    return count;
}

int MovieEngine::CurrentPicture()
{
    if (!ready) return 0;
    LONG index = 0;
    const HRESULT hr = sourceConfig->GetCurrentPicture(&index);
    if (FAILED(hr)) {
        ReportError(hr);
        return 0;
    }
    return index;
}

int MovieEngine::PicturesShown()
{
    ComPtr<IQualProp> statistics;
    int shown = 0;
    if (!ready || FAILED(videoRenderer.As(IID_IQualProp, statistics)) || FAILED(statistics->get_FramesDrawn(&shown)))
        return 0;
    if (playFramesPerPicture <= 1.0) return shown;
    // An animated show draws many frames a picture.
    return std::min(playedPictures, static_cast<int>(shown / playFramesPerPicture + 1e-6));
}

void MovieEngine::SetCurrentPicture(int index)
{
    if (!ready) return;
    const HRESULT hr = sourceConfig->SetCurrentPicture(index);
    if (FAILED(hr)) ReportError(hr);
}

std::u16string MovieEngine::PicturePath(int index)
{
    if (!ready || index < 0 || index >= PictureCount()) return {};
    // The source refuses a buffer too small for the path: the buffer grows until it fits.
    for (LONG capacity = MAX_PATH; capacity <= kMaxPicturePath; capacity *= 2) {
        std::u16string path(static_cast<std::size_t>(capacity), u'\0');
        if (SUCCEEDED(sourceConfig->GetPictureName(index, path.data(), capacity))) {
            path.resize(std::char_traits<char16_t>::length(path.c_str()));
            return path;
        }
    }
    return {};
}

bool MovieEngine::RenderPicture(int index, std::vector<BYTE>& frame, LONG& width, LONG& height)
{
    if (!ready) return false;
    width = settings.width;
    height = settings.height;
    const DWORD bytes = DibSize(width, height, 24);
    try {
        frame.resize(bytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return SUCCEEDED(sourceConfig->RenderPicture(index, width, height, frame.data(), static_cast<LONG>(bytes)));
}

int MovieEngine::GraphState()
{
    if (!ready) return -1;
    ComPtr<IMediaControl> control;
    OAFilterState state = 0;
    if (FAILED(graph.As(IID_IMediaControl, control)) || FAILED(control->GetState(kInfiniteWait, &state))) return -1;
    return state;
}

void MovieEngine::SetPaused(bool pause)
{
    if (!ready) return;
    ComPtr<IMediaControl> control;
    if (FAILED(graph.As(IID_IMediaControl, control))) return;
    if (pause) {
        control->Pause();
    } else {
        control->Run();
    }
}

void MovieEngine::Stop()
{
    if (!ready) return;
    ComPtr<IMediaControl> control;
    if (SUCCEEDED(graph.As(IID_IMediaControl, control))) control->Stop();
}

ComPtr<IMediaEvent> MovieEngine::GraphEvents()
{
    ComPtr<IMediaEvent> events;
    if (ready) graph.As(IID_IMediaEvent, events);
    return events;
}

// Stops the graph, removes every filter and scraps the render engine's front
// end, so that no graph inherits filters from the one before.
HRESULT MovieEngine::ClearGraph()
{
    ComPtr<IMediaControl> control;
    HRESULT hr = graph.As(IID_IMediaControl, control);
    if (SUCCEEDED(hr)) hr = control->Stop();
    if (FAILED(hr)) return hr;
    ComPtr<IEnumFilters> filters;
    hr = graph->EnumFilters(filters.Receive());
    if (FAILED(hr)) return hr;
    IBaseFilter* filter = nullptr;
    while (filters->Next(1, &filter, nullptr) == S_OK) {
        hr = graph->RemoveFilter(filter);
        filter->Release();
        if (FAILED(hr)) return hr;
        filters->Reset();
    }
    return renderEngine->ScrapIt();
}

MovieError MovieEngine::DescribeError(HRESULT hr, const char* file, int line) const
{
    MovieError error;
    error.code = hr;
    error.words = ErrorWords::Describe(hr);
    error.file = file;
    error.line = line;
    if (!error.words.empty()) error.path = SubjectPath(ErrorWords::SubjectOf(hr));
    // A class that cannot be found may be a registry file that cannot be used: say which.
    if (hr == REGDB_E_READREGDB || hr == REGDB_E_CLASSNOTREG)
        error.registryProblem = WideFromUtf8(RegistryStore::LastProblem());
    return error;
}

void MovieEngine::ReportError(HRESULT hr, const char* file, int line)
{
    const MovieError error = DescribeError(hr, file, line);
    if (errorHandler) {
        errorHandler(error);
        return;
    }
    MessageBoxW(ownerWindow, error.Text().c_str(), u"Reelsmith", MB_OK | MB_ICONERROR);
}

const std::u16string& MovieEngine::SubjectPath(ErrorWords::Subject subject) const
{
    static const std::u16string none;
    switch (subject) {
    case ErrorWords::Subject::Movie:
        return moviePath;
    case ErrorWords::Subject::Sound:
        return audioFile;
    case ErrorWords::Subject::Folder:
        return pictureFolder;
    case ErrorWords::Subject::None:
        break;
    }
    return none;
}
