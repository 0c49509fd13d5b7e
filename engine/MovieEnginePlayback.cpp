// The playback graph: the pictures to the video renderer in the preview
// window and, with a sound, the sound to the audio renderer, whose clock then
// paces the pictures.
#include "engine/MovieEngine.h"

#include <algorithm>

HRESULT MovieEngine::Play(HWND previewWindow)
{
    if (!ready) return E_UNEXPECTED;
    HRESULT hr = ClearGraph();
    if (SUCCEEDED(hr)) hr = sourceConfig->SetWorkerPriority(0);
    if (FAILED(hr)) {
        ReportError(hr);
        return hr;
    }
    if (audioTimeline) ConnectAudioFrontEnd();
    CountFramesPerPicture();
    hr = graph->AddFilter(sourceFilter.Get(), u"JPEG Source Filter");
    if (SUCCEEDED(hr)) hr = graph->AddFilter(videoRenderer.Get(), u"Reader Filter");
    if (SUCCEEDED(hr)) hr = AddPlaybackAudio();
    if (FAILED(hr)) {
        ReportError(hr);
        return hr;
    }
    captureBuilder->RenderStream(nullptr, &MEDIATYPE_Video, sourceFilter.Get(), nullptr, videoRenderer.Get());
    SetupVideoWindow(graph.Get(), previewWindow);
    ComPtr<IMediaControl> control;
    hr = graph.As(IID_IMediaControl, control);
    if (SUCCEEDED(hr)) hr = control->Run();
    if (FAILED(hr)) ReportError(hr);
    return hr;
}

// Asked while the source is stopped: the frames an animated show draws a picture, for
// PicturesShown; 1 for one frame a picture.
void MovieEngine::CountFramesPerPicture()
{
    ShowOptions show;
    LONG count = 0;
    LONG repTime = 0;
    playFramesPerPicture = 1.0;
    if (FAILED(sourceConfig->GetShowOptions(&show)) || !show.IsAnimated() ||
        FAILED(sourceConfig->GetPictureCount(&count)) || FAILED(sourceConfig->GetRepTime(&repTime)) || count < 1)
        return;
    playedPictures = count;
    const double pictureMs = show.lengthMs > 0 ? static_cast<double>(show.lengthMs) / count : repTime;
    playFramesPerPicture = std::max(1.0, pictureMs * show.framesPerSecond / 1000.0);
}

// With a sound: the audio renderer joins and becomes the clock. Without one
// the graph's default clock comes back, which an encode run with a preview
// has switched off, so the pictures keep their pace.
HRESULT MovieEngine::AddPlaybackAudio()
{
    ComPtr<IMediaFilter> mediaFilter;
    HRESULT hr = graph.As(IID_IMediaFilter, mediaFilter);
    if (FAILED(hr)) return hr;
    if (!audioTimeline) return graph->SetDefaultSyncSource();
    if (!audioRenderer) return VFW_E_NO_AUDIO_HARDWARE;
    graph->AddFilter(audioRenderer.Get(), u"Audio Filter");
    hr = RenderAudioTo(audioRenderer.Get());
    if (FAILED(hr)) return hr;
    ComPtr<IReferenceClock> clock;
    hr = audioRenderer.As(IID_IReferenceClock, clock);
    return SUCCEEDED(hr) ? mediaFilter->SetSyncSource(clock.Get()) : hr;
}
