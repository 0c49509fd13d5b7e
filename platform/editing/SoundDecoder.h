// Decodes the first audio stream of a file FFmpeg can read into interleaved
// signed 16-bit PCM at a chosen rate and channel count, a block at a time, so
// a long file never has to fit in memory.
#pragma once

#include "platform/com/Com.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVChannelLayout;

class SoundDecoder {
public:
    // Whether the resampler can mix a sound of this layout down: a standard layout, or a
    // count that has one. Another (9 or 12 channels, a header declaring thousands) would
    // give silence, or a matrix of that many inputs for every frame.
    static bool CanMix(const AVChannelLayout& layout);

    SoundDecoder();
    ~SoundDecoder();
    SoundDecoder(const SoundDecoder&) = delete;
    SoundDecoder& operator=(const SoundDecoder&) = delete;

    // Opens the file for output at this rate and channel count; VFW_E_UNSUPPORTED_AUDIO
    // for a sound it cannot mix down (see CanMix).
    HRESULT Open(const std::string& path, int rate, int channels);
    // Fills up to `frames` frames; answers how many were written, fewer only at the end.
    std::size_t Read(std::int16_t* out, std::size_t frames);
    // Drops the next `frames` frames.
    void Skip(std::int64_t frames);

private:
    // Decodes more of the file into `pending`; false at the end or on an error.
    bool DecodeMore();
    bool ConvertFrame();

    struct State;
    std::unique_ptr<State> state;
    int channels = 0;
    std::vector<std::int16_t> pending;
    std::size_t pendingOffset = 0;
    bool finished = false;
};
