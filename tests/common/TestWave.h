// Writes 16-bit PCM WAV files whose every sample is known, so tests can find
// the exact bytes again after decoding and playing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The interleaved samples of the test pattern: no frame is silent.
std::vector<std::int16_t> TestPattern(int channels, int frames);
// Writes the pattern to a WAV file; false when the file cannot be written.
bool WriteTestWave(const std::string& path, int rate, int channels, int frames);
