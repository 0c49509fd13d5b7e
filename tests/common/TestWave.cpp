#include "TestWave.h"

#include <cstring>
#include <fstream>

namespace {

void Put32(std::ofstream& out, std::uint32_t value)
{
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 24)};
    out.write(bytes, 4);
}

void Put16(std::ofstream& out, std::uint16_t value)
{
    const char bytes[2] = {static_cast<char>(value), static_cast<char>(value >> 8)};
    out.write(bytes, 2);
}

} // namespace

std::vector<std::int16_t> TestPattern(int channels, int frames)
{
    std::vector<std::int16_t> samples(static_cast<std::size_t>(channels) * frames);
    for (int frame = 0; frame < frames; ++frame) {
        for (int channel = 0; channel < channels; ++channel) {
            samples[static_cast<std::size_t>(frame) * channels + channel] =
                static_cast<std::int16_t>(1000 + (frame * 37 + channel * 4099) % 20000);
        }
    }
    return samples;
}

bool WriteTestWave(const std::string& path, int rate, int channels, int frames)
{
    const std::vector<std::int16_t> samples = TestPattern(channels, frames);
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    Put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    Put32(out, 16);
    Put16(out, 1);
    Put16(out, static_cast<std::uint16_t>(channels));
    Put32(out, static_cast<std::uint32_t>(rate));
    // In 32 bits as the header holds it: a crafted header of thousands of channels must not overflow.
    Put32(out, static_cast<std::uint32_t>(rate) * static_cast<std::uint32_t>(channels) * 2u);
    Put16(out, static_cast<std::uint16_t>(channels * 2));
    Put16(out, 16);
    out.write("data", 4);
    Put32(out, dataBytes);
    for (std::int16_t sample : samples) Put16(out, static_cast<std::uint16_t>(sample));
    return static_cast<bool>(out);
}
