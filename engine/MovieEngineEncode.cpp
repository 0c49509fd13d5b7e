// The encode graph and the sound timeline the render engine plays into it.
#include "engine/MovieEngine.h"

#include "platform/base/WideText.h"
#include "platform/mediagraph/MediaTypes.h"
#include "platform/mediagraph/OwnedMediaType.h"
#include "platform/wmformat/MediaFileWriterConfig.h"
#include "platform/window/WindowService.h"

#include <algorithm>

namespace {

// A sound shorter than the movie is laid again and again; a sound of a few
// samples under a long movie would make millions of clips, so the repeats stop here.
constexpr LONG kMaxAudioClips = 10'000;
constexpr LONG kUnusualWindowState = 0x01000000;

} // namespace

void MovieEngine::MakeMovie(const std::u16string& outputPath, HWND previewWindow)
{
    if (!ready) return;
    moviePath = outputPath;
    ComPtr<IMediaControl> control;
    HRESULT hr = graph.As(IID_IMediaControl, control);
    if (SUCCEEDED(hr)) hr = ClearGraph();
    if (SUCCEEDED(hr)) hr = sourceConfig->SetWorkerPriority(settings.workThreadPriority);
    if (FAILED(hr)) {
        ReportError(hr);
        return;
    }
    if (audioTimeline) ConnectAudioFrontEnd();
    ComPtr<IBaseFilter> writer;
    hr = ChooseWriter(outputPath, writer);
    if (SUCCEEDED(hr)) hr = graph->AddFilter(sourceFilter.Get(), u"JPEG Source Filter");
    if (SUCCEEDED(hr)) {
        hr = graph->AddFilter(writer.Get(),
                              writer.Get() == asfWriter.Get() ? u"ASF Writer Filter" : u"Media Writer Filter");
    }
    ComPtr<IConfigAsfWriter> writerConfig;
    ComPtr<IFileSinkFilter> fileSink;
    if (SUCCEEDED(hr)) hr = writer.As(IID_IConfigAsfWriter, writerConfig);
    if (SUCCEEDED(hr)) hr = writer.As(IID_IFileSinkFilter, fileSink);
    OwnedMediaType outputType;
    if (SUCCEEDED(hr)) hr = sourceConfig->GetOutputType(outputType.Receive());
    if (SUCCEEDED(hr)) hr = fileSink->SetFileName(outputPath.c_str(), &outputType.Record());
    if (SUCCEEDED(hr)) {
        hr =
            writerConfig->ConfigureFilterUsingProfile(audioTimeline ? audioVideoProfile.Get() : videoOnlyProfile.Get());
    }
    if (SUCCEEDED(hr) && audioTimeline) hr = RenderAudioTo(writer.Get());
    if (SUCCEEDED(hr)) hr = RenderVideo(writer.Get(), previewWindow);
    if (SUCCEEDED(hr)) hr = control->Run();
    if (FAILED(hr)) ReportError(hr);
}

// Names ending in .mp4 or .webm get the media file writer, at the configured frame
// rate (25 for moving pictures without one); every other name the ASF writer, as
// always, which takes the samples' times as they come.
HRESULT MovieEngine::ChooseWriter(const std::u16string& outputPath, ComPtr<IBaseFilter>& writer)
{
    if (!HasExtension(outputPath, u".mp4") && !HasExtension(outputPath, u".webm")) {
        writer = asfWriter;
        return S_OK;
    }
    HRESULT hr = mediaWriter ? S_OK
                             : CoCreateInstance(CLSID_MediaFileWriter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                                mediaWriter.ReceiveVoid());
    ComPtr<IMediaFileWriterConfig> config;
    if (SUCCEEDED(hr)) hr = mediaWriter.As(IID_IMediaFileWriterConfig, config);
    if (SUCCEEDED(hr)) hr = config->SetFrameRate(FramesPerSecond());
    if (SUCCEEDED(hr)) writer = mediaWriter;
    return hr;
}

// The pictures to the writer: through the tee, with the renderer in the
// preview window and no clock, when there is a preview; straight otherwise.
HRESULT MovieEngine::RenderVideo(IBaseFilter* sink, HWND previewWindow)
{
    if (previewWindow == nullptr) {
        return captureBuilder->RenderStream(nullptr, &MEDIATYPE_Video, sourceFilter.Get(), nullptr, sink);
    }
    HRESULT hr = graph->AddFilter(tee.Get(), u"XInfTee");
    if (SUCCEEDED(hr)) hr = graph->AddFilter(videoRenderer.Get(), u"Reder Filter");
    if (SUCCEEDED(hr))
        hr = captureBuilder->RenderStream(nullptr, &MEDIATYPE_Video, sourceFilter.Get(), tee.Get(), sink);
    if (SUCCEEDED(hr)) {
        hr = captureBuilder->RenderStream(nullptr, &MEDIATYPE_Video, tee.Get(), nullptr, videoRenderer.Get());
    }
    if (FAILED(hr)) return hr;
    SetupVideoWindow(graph.Get(), previewWindow);
    ComPtr<IMediaFilter> mediaFilter;
    hr = graph.As(IID_IMediaFilter, mediaFilter);
    return SUCCEEDED(hr) ? mediaFilter->SetSyncSource(nullptr) : hr;
}

HRESULT MovieEngine::ConnectAudioFrontEnd()
{
    if (!audioTimeline) return E_INVALIDARG;
    HRESULT hr = renderEngine->SetTimelineObject(audioTimeline.Get());
    if (FAILED(hr)) {
        ReportError(hr);
        return hr;
    }
    ComPtr<IGraphBuilder> engineGraph;
    renderEngine->GetFilterGraph(engineGraph.Receive());
    if (engineGraph.Get() != graph.Get()) {
        hr = renderEngine->SetFilterGraph(graph.Get());
        if (FAILED(hr)) {
            ReportError(hr);
            return hr;
        }
    }
    hr = renderEngine->ConnectFrontEnd();
    if (FAILED(hr)) ReportError(hr);
    return hr;
}

HRESULT MovieEngine::RenderAudioTo(IBaseFilter* sink)
{
    if (!audioTimeline) return E_INVALIDARG;
    ComPtr<IPin> pin;
    HRESULT hr = renderEngine->GetGroupOutputPin(0, pin.Receive());
    if (SUCCEEDED(hr)) hr = captureBuilder->RenderStream(nullptr, &MEDIATYPE_Audio, pin.Get(), nullptr, sink);
    return hr;
}

HRESULT MovieEngine::SetupVideoWindow(IGraphBuilder* graphBuilder, HWND window)
{
    ComPtr<IVideoWindow> videoWindow;
    HRESULT hr = graphBuilder->QueryInterface(IID_IVideoWindow, videoWindow.ReceiveVoid());
    if (FAILED(hr)) return hr;
    videoWindow->put_Owner(reinterpret_cast<OAHWND>(window));
    hr = videoWindow->put_WindowStyle(WS_CHILD);
    if (SUCCEEDED(hr)) hr = videoWindow->put_WindowState(kUnusualWindowState);
    if (FAILED(hr)) return hr;
    ComPtr<IBasicVideo> basicVideo;
    hr = graphBuilder->QueryInterface(IID_IBasicVideo, basicVideo.ReceiveVoid());
    LONG videoWidth = 0;
    LONG videoHeight = 0;
    if (SUCCEEDED(hr)) hr = basicVideo->GetVideoSize(&videoWidth, &videoHeight);
    if (FAILED(hr)) return hr;
    RECT area{};
    if (!GetWindowRect(window, &area)) return E_FAIL;
    hr = videoWindow->SetWindowPosition(0, 0, area.right - area.left, area.bottom - area.top);
    if (FAILED(hr)) return hr;
    return videoWindow->put_Visible(OATRUE);
}

// Builds the one-group, one-track sound timeline. A timeline that could not
// be built whole is dropped, so a later movie is made without sound rather
// than with half a timeline.
HRESULT MovieEngine::BuildAudioTimeline(const std::u16string& soundPath, REFERENCE_TIME movieDuration)
{
    audioTimeline.Reset();
    ComPtr<IAMTimeline> timeline;
    HRESULT hr =
        CoCreateInstance(CLSID_AMTimeline, nullptr, CLSCTX_INPROC_SERVER, IID_IAMTimeline, timeline.ReceiveVoid());
    ComPtr<IAMTimelineObj> group;
    ComPtr<IAMTimelineGroup> groupFace;
    if (SUCCEEDED(hr)) hr = timeline->CreateEmptyNode(group.Receive(), TIMELINE_MAJOR_TYPE_GROUP);
    if (SUCCEEDED(hr)) hr = group.As(IID_IAMTimelineGroup, groupFace);
    if (SUCCEEDED(hr)) {
        AM_MEDIA_TYPE groupType{};
        groupType.majortype = MEDIATYPE_Audio;
        groupType.bFixedSizeSamples = TRUE;
        groupType.lSampleSize = 1;
        hr = groupFace->SetMediaType(&groupType);
    }
    if (SUCCEEDED(hr)) hr = timeline->AddGroup(group.Get());
    if (SUCCEEDED(hr)) hr = ApplyAudioFades(group.Get());
    ComPtr<IAMTimelineObj> track;
    ComPtr<IAMTimelineComp> composition;
    if (SUCCEEDED(hr)) hr = timeline->CreateEmptyNode(track.Receive(), TIMELINE_MAJOR_TYPE_TRACK);
    if (SUCCEEDED(hr)) hr = group.As(IID_IAMTimelineComp, composition);
    if (SUCCEEDED(hr)) {
        composition->VTrackInsBefore(track.Get(), -1);
        hr = AddAudioClips(timeline.Get(), soundPath, movieDuration, track.Get());
    }
    if (SUCCEEDED(hr)) {
        hr = timeline->ValidateSourceNames(SFN_VALIDATEF_CHECK | SFN_VALIDATEF_POPUP | SFN_VALIDATEF_REPLACE, nullptr,
                                           0);
    }
    if (SUCCEEDED(hr)) audioTimeline = timeline;
    return hr;
}

// The fades of [Show]: in from the start, out to silence where the sound is cut.
HRESULT MovieEngine::ApplyAudioFades(IAMTimelineObj* group)
{
    const ShowSettings& show = settings.show;
    if (show.audioFadeInMs == 0 && show.audioFadeOutMs == 0) return S_OK;
    ComPtr<IAMTimelineGroupFades> fades;
    HRESULT hr = group->QueryInterface(IID_IAMTimelineGroupFades, fades.ReceiveVoid());
    if (SUCCEEDED(hr)) {
        hr = fades->SetAudioFades(static_cast<REFERENCE_TIME>(show.audioFadeInMs) * 10'000,
                                  static_cast<REFERENCE_TIME>(show.audioFadeOutMs) * 10'000);
    }
    return hr;
}

// The sound's length in 100-ns units; -1 when its first stream is not sound.
HRESULT MovieEngine::AudioLength(const std::u16string& soundPath, REFERENCE_TIME& length)
{
    ComPtr<IMediaDet> detector;
    HRESULT hr = CoCreateInstance(CLSID_MediaDet, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaDet, detector.ReceiveVoid());
    if (SUCCEEDED(hr)) hr = detector->put_Filename(const_cast<WCHAR*>(soundPath.c_str()));
    if (SUCCEEDED(hr)) hr = detector->put_CurrentStream(0);
    OwnedMediaType streamType;
    if (SUCCEEDED(hr)) hr = detector->get_StreamMediaType(streamType.Receive());
    if (FAILED(hr)) return hr;
    if (streamType.Record().majortype != MEDIATYPE_Audio) return -1;
    double seconds = 0;
    hr = detector->get_StreamLength(&seconds);
    if (FAILED(hr)) return hr;
    // Beyond about 29,000 years the length does not fit: such a sound is longer than any movie.
    const double units = seconds * 10'000'000.0;
    length = units >= 9.2e18 ? INT64_MAX : units > 0 ? static_cast<REFERENCE_TIME>(units) : 0;
    return hr;
}

// Lays the sound from the start of the movie to its end: a longer sound is
// cut there, a shorter one repeated, its last repeat cut at the end.
HRESULT MovieEngine::AddAudioClips(IAMTimeline* timeline, const std::u16string& soundPath, REFERENCE_TIME movieDuration,
                                   IAMTimelineObj* track)
{
    REFERENCE_TIME audioLength = 0;
    const HRESULT lengthResult = AudioLength(soundPath, audioLength);
    if (FAILED(lengthResult) || audioLength <= 0 || movieDuration <= 0) return lengthResult;
    ComPtr<IAMTimelineTrack> trackFace;
    HRESULT hr = track->QueryInterface(IID_IAMTimelineTrack, trackFace.ReceiveVoid());
    if (FAILED(hr)) return hr;
    REFERENCE_TIME remaining = movieDuration;
    for (LONG i = 0; remaining > 0 && i < kMaxAudioClips; ++i) {
        const REFERENCE_TIME length = std::min(remaining, audioLength);
        const REFERENCE_TIME start = i * audioLength;
        ComPtr<IAMTimelineObj> clip;
        ComPtr<IAMTimelineSrc> source;
        hr = timeline->CreateEmptyNode(clip.Receive(), TIMELINE_MAJOR_TYPE_SOURCE);
        if (SUCCEEDED(hr)) hr = clip->SetStartStop(start, start + length);
        if (SUCCEEDED(hr)) hr = clip.As(IID_IAMTimelineSrc, source);
        if (SUCCEEDED(hr)) hr = source->SetMediaTimes(0, length);
        if (SUCCEEDED(hr)) hr = source->SetMediaName(const_cast<WCHAR*>(soundPath.c_str()));
        if (SUCCEEDED(hr)) hr = trackFace->SrcAdd(clip.Get());
        if (FAILED(hr)) return hr;
        remaining -= length;
    }
    return S_OK;
}
