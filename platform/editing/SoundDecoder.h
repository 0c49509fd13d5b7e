// Decodes the first audio stream of a file FFmpeg can read into interleaved
// signed 16-bit PCM at a chosen rate and channel count, a block at a time, so
// a long file never has to fit in memory.
#pragma once

#include "platform/com/Com.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SoundDecoder {
public:
    SoundDecoder();
    ~SoundDecoder();
    SoundDecoder(const SoundDecoder&) = delete;
    SoundDecoder& operator=(const SoundDecoder&) = delete;

    // Opens the file for output at this rate and channel count.
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
