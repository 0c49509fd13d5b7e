#include "platform/audio/AudioRenderer.h"

#include "platform/mediagraph/MediaResults.h"
#include "platform/mediagraph/MediaTypes.h"
#include "platform/mediagraph/SystemClock.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>

namespace {

// How far ahead of the device sound is queued.
constexpr REFERENCE_TIME kQueueAhead = kUnitsPerSecond / 3;
constexpr auto kWatchPeriod = std::chrono::milliseconds(5);
constexpr Uint16 kDeviceFrames = 1024;

// Holds SDL's audio subsystem; answers whether the default output device opens.
bool StartAudioSubsystem()
{
    // SDL would otherwise turn SIGINT and SIGTERM into quit events that nobody reads,
    // and Ctrl-C would no longer stop the program.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec wanted{};
    wanted.freq = 44100;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = kDeviceFrames;
    const SDL_AudioDeviceID probe = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (probe == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_CloseAudioDevice(probe);
    return true;
}

} // namespace

HRESULT AudioRenderer::Create(IUnknown* outer, REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!StartAudioSubsystem()) return VFW_E_NO_AUDIO_HARDWARE;
    auto* created = new (std::nothrow) AudioRenderer;
    if (!created) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = created->QueryInterface(iid, object);
    created->Release();
    return hr;
}

AudioRenderer::AudioRenderer() : PlatformFilter(CLSID_AudioRender), input(*this)
{
    CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_IReferenceClock, systemClock.ReceiveVoid());
    lastSystem = SystemClock::Now();
    lastClock = lastSystem;
}

AudioRenderer::~AudioRenderer()
{
    CloseDevice();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

HRESULT AudioRenderer::QueryOtherInterface(REFIID iid, void** object)
{
    if (iid == IID_IReferenceClock) {
        *object = static_cast<IReferenceClock*>(this);
        AddRef();
        return S_OK;
    }
    return PlatformFilter::QueryOtherInterface(iid, object);
}

std::vector<PlatformPin*> AudioRenderer::Pins() { return {&input}; }

HRESULT AudioRenderer::OpenDevice(const AudioFormat& sound)
{
    CloseDevice();
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(sound.sampleRate);
    wanted.format = sound.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    wanted.channels = static_cast<Uint8>(sound.channels);
    wanted.samples = kDeviceFrames;
    SDL_AudioSpec obtained{};
    const SDL_AudioDeviceID opened = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (opened == 0) return VFW_E_NO_AUDIO_HARDWARE;
    std::lock_guard guard(streamLock);
    device = opened;
    format = sound;
    deviceLatency = kUnitsPerSecond * obtained.samples / std::max(obtained.freq, 1);
    closing = false;
    ResetStream();
    watcher = std::thread(&AudioRenderer::WatchPlayback, this);
    return S_OK;
}

void AudioRenderer::CloseDevice()
{
    {
        std::lock_guard guard(streamLock);
        if (device == 0) return;
        closing = true;
        changed.notify_all();
    }
    if (watcher.joinable()) watcher.join();
    std::lock_guard guard(streamLock);
    SDL_CloseAudioDevice(device);
    device = 0;
}

void AudioRenderer::ResetStream()
{
    haveFirstSample = false;
    firstSampleStart = 0;
    queuedBytes = 0;
    endOfStream = false;
    completed = false;
    drainedAt = -1;
    if (device != 0) SDL_ClearQueuedAudio(device);
}

HRESULT AudioRenderer::OnPause()
{
    std::lock_guard guard(streamLock);
    if (streamState == State_Stopped) ResetStream();
    streamState = State_Paused;
    if (device != 0) SDL_PauseAudioDevice(device, 1);
    changed.notify_all();
    return S_OK;
}

HRESULT AudioRenderer::OnRun(REFERENCE_TIME start)
{
    std::lock_guard guard(streamLock);
    streamState = State_Running;
    runStart = start;
    if (device != 0) SDL_PauseAudioDevice(device, 0);
    changed.notify_all();
    return S_OK;
}

HRESULT AudioRenderer::OnStop()
{
    std::lock_guard guard(streamLock);
    streamState = State_Stopped;
    if (device != 0) SDL_PauseAudioDevice(device, 1);
    ResetStream();
    changed.notify_all();
    return S_OK;
}

REFERENCE_TIME AudioRenderer::BytesToTime(std::uint64_t bytes) const
{
    return static_cast<REFERENCE_TIME>(bytes / format.blockAlign * kUnitsPerSecond / format.sampleRate);
}

HRESULT AudioRenderer::Render(IMediaSample* sample)
{
    BYTE* data = nullptr;
    const LONG length = sample->GetActualDataLength();
    if (FAILED(sample->GetPointer(&data)) || length < 0 || length > sample->GetSize()) return E_INVALIDARG;
    std::unique_lock guard(streamLock);
    if (streamState == State_Stopped) return VFW_E_WRONG_STATE;
    if (flushing) return S_FALSE;
    if (endOfStream) return VFW_E_SAMPLE_REJECTED_EOS;
    if (!haveFirstSample) {
        REFERENCE_TIME start = 0;
        REFERENCE_TIME stop = 0;
        haveFirstSample = true;
        firstSampleStart = SUCCEEDED(sample->GetTime(&start, &stop)) ? start : 0;
    }
    const std::uint32_t limit = static_cast<std::uint32_t>(format.bytesPerSecond * kQueueAhead / kUnitsPerSecond);
    changed.wait(guard, [&] { return Halted() || closing || SDL_GetQueuedAudioSize(device) <= limit; });
    if (Halted() || closing) return S_FALSE;
    // Whole frames only, so a stray byte cannot shift every later channel.
    const std::uint32_t bytes = static_cast<std::uint32_t>(length) / format.blockAlign * format.blockAlign;
    if (bytes > 0 && SDL_QueueAudio(device, data, bytes) != 0) return E_FAIL;
    queuedBytes += bytes;
    return S_OK;
}

HRESULT AudioRenderer::EndOfStream()
{
    std::lock_guard guard(streamLock);
    if (streamState == State_Stopped) return VFW_E_WRONG_STATE;
    if (flushing) return S_FALSE;
    endOfStream = true;
    changed.notify_all();
    return S_OK;
}

HRESULT AudioRenderer::BeginFlush()
{
    std::lock_guard guard(streamLock);
    flushing = true;
    ResetStream();
    changed.notify_all();
    return S_OK;
}

HRESULT AudioRenderer::EndFlush()
{
    std::lock_guard guard(streamLock);
    flushing = false;
    changed.notify_all();
    return S_OK;
}

void AudioRenderer::WatchPlayback()
{
    std::unique_lock guard(streamLock);
    while (!closing) {
        changed.wait_for(guard, kWatchPeriod);
        // Wakes a Receive waiting for room in the queue.
        changed.notify_all();
        if (!endOfStream || completed || streamState != State_Running) continue;
        if (SDL_GetQueuedAudioSize(device) > 0) continue;
        // The queue is empty once the device has taken the last block; it plays for one more buffer.
        const REFERENCE_TIME now = SystemClock::Now();
        if (drainedAt < 0) drainedAt = now;
        if (now - drainedAt < deviceLatency) continue;
        completed = true;
        guard.unlock();
        NotifyEvent(EC_COMPLETE, S_OK, 0);
        guard.lock();
    }
}

REFERENCE_TIME AudioRenderer::ClockNow()
{
    const REFERENCE_TIME system = SystemClock::Now();
    REFERENCE_TIME candidate = lastClock + (system - lastSystem);
    if (streamState == State_Running && device != 0 && haveFirstSample && !completed) {
        const std::uint64_t waiting = SDL_GetQueuedAudioSize(device);
        if (waiting > 0) {
            const std::uint64_t played = queuedBytes - std::min<std::uint64_t>(waiting, queuedBytes);
            candidate = runStart + firstSampleStart + BytesToTime(played);
        }
    }
    lastClock = std::max(lastClock, candidate);
    lastSystem = system;
    return lastClock;
}

HRESULT AudioRenderer::GetTime(REFERENCE_TIME* time)
{
    if (!time) return E_POINTER;
    std::lock_guard guard(streamLock);
    *time = ClockNow();
    return S_OK;
}

REFERENCE_TIME AudioRenderer::AheadOfSystemClock()
{
    std::lock_guard guard(streamLock);
    return ClockNow() - SystemClock::Now();
}

HRESULT AudioRenderer::AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event,
                                  DWORD_PTR* adviseCookie)
{
    if (!systemClock) return E_OUTOFMEMORY;
    // Served by the machine's clock at the moment this clock will show.
    return systemClock->AdviseTime(baseTime - AheadOfSystemClock(), streamTime, event, adviseCookie);
}

HRESULT AudioRenderer::AdvisePeriodic(REFERENCE_TIME firstTime, REFERENCE_TIME periodTime, HSEMAPHORE semaphore,
                                      DWORD_PTR* adviseCookie)
{
    if (!systemClock) return E_OUTOFMEMORY;
    return systemClock->AdvisePeriodic(firstTime - AheadOfSystemClock(), periodTime, semaphore, adviseCookie);
}

HRESULT AudioRenderer::Unadvise(DWORD_PTR adviseCookie)
{
    return systemClock ? systemClock->Unadvise(adviseCookie) : E_OUTOFMEMORY;
}
