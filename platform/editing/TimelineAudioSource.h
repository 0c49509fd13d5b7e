// The source filter the render engine puts into the graph for an audio group:
// it decodes each clip's sound and delivers PCM of the group's type laid out
// on the timeline, silence where no clip plays, from time 0 to the timeline's
// end, then end-of-stream. Each sample holds a tenth of a second and carries
// its start and stop times; a clip whose file cannot be decoded stays silent.
//
// Streaming runs on a thread of the filter's own from Pause to Stop. The
// thread never takes the filter lock, so Stop can wait for it.
#pragma once

#include "platform/editing/TimelineAudioPin.h"
#include "platform/editing/TimelineNode.h"
#include "platform/mediagraph/PlatformFilter.h"

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class SoundDecoder;

class TimelineAudioSource final : public PlatformFilter {
public:
    // PCM of the group's type when it describes 8- or 16-bit PCM, else 44,100 Hz 16-bit stereo.
    static OwnedMediaType OutputTypeFor(const AM_MEDIA_TYPE& groupType);

    TimelineAudioSource(const AM_MEDIA_TYPE& pcmType, std::vector<TimelineNode::Clip> clips, REFERENCE_TIME duration,
                        TimelineNode::Fades fades = {});

    TimelineAudioPin& Output() { return output; }

private:
    ~TimelineAudioSource() override;

    std::vector<PlatformPin*> Pins() override;
    HRESULT OnStop() override;
    HRESULT OnPause() override;

    void Stream(ComPtr<IMemInputPin> target, ComPtr<IMemAllocator> allocator, ComPtr<IPin> peer);
    // Lays the clips' sound over the silence of one block.
    void FillBlock(BYTE* block, std::int64_t firstFrame, std::int64_t frames,
                   std::vector<std::unique_ptr<SoundDecoder>>& decoders);
    // The group's fades over one block, as a gain on its samples; none leaves them as they are.
    void FadeBlock(BYTE* block, std::int64_t firstFrame, std::int64_t frames) const;
    void StopStreaming();

    const WAVEFORMATEX format;
    const std::vector<TimelineNode::Clip> clips;
    const REFERENCE_TIME duration;
    // In frames: the fades' lengths, and where the fade-out ends (the last clip's end).
    std::int64_t fadeInFrames = 0;
    std::int64_t fadeOutFrames = 0;
    std::int64_t soundEndFrame = 0;
    TimelineAudioPin output;
    std::atomic<bool> stopping{false};
    std::thread worker;
};
