// The playback graph: the pictures to the video renderer in the preview
// window and, with a sound, the sound to the audio renderer, whose clock then
// paces the pictures.
#include "engine/MovieEngine.h"

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
