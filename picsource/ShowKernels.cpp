#include "picsource/ShowKernels.h"

#include <algorithm>
#include <vector>

namespace {

void BlendPlain(const BYTE* a, const BYTE* b, BYTE* out, std::size_t bytes, int weight)
{
    const int keep = 256 - weight;
    for (std::size_t i = 0; i < bytes; ++i) out[i] = static_cast<BYTE>((a[i] * keep + b[i] * weight + 128) >> 8);
}

void ScalePlain(BYTE* bytes, std::size_t count, int weight)
{
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<BYTE>((bytes[i] * weight + 128) >> 8);
}

void LerpRowsPlain(const BYTE* top, const BYTE* bottom, std::uint16_t* out, std::size_t bytes, int fraction)
{
    const int keep = 128 - fraction;
    for (std::size_t i = 0; i < bytes; ++i) out[i] = static_cast<std::uint16_t>(top[i] * keep + bottom[i] * fraction);
}

void SampleRowPlain(const std::uint16_t* lerped, const std::uint32_t* column, const std::uint8_t* fraction, BYTE* out,
                    std::size_t pixels)
{
    for (std::size_t k = 0; k < pixels; ++k) {
        const std::uint16_t* left = lerped + 3 * std::size_t{column[k]};
        const std::uint32_t f = fraction[k];
        for (int c = 0; c < 3; ++c) *out++ = static_cast<BYTE>((left[c] * (128 - f) + left[c + 3] * f + 8192) >> 14);
    }
}

void BoxColumnsPlain(const BYTE* in, BYTE* out, std::size_t rowBytes, std::size_t rows, std::size_t stride, int radius)
{
    const auto window = static_cast<std::uint32_t>(2 * radius + 1);
    const std::uint32_t multiplier = 65536 / window;
    const auto last = static_cast<std::ptrdiff_t>(rows) - 1;
    const auto at = [&](std::ptrdiff_t row) { return in + std::clamp<std::ptrdiff_t>(row, 0, last) * stride; };
    std::vector<std::uint32_t> sum(rowBytes, 0);
    for (std::ptrdiff_t k = -radius; k <= radius; ++k) {
        const BYTE* row = at(k);
        for (std::size_t x = 0; x < rowBytes; ++x) sum[x] += row[x];
    }
    for (std::size_t y = 0; y < rows; ++y) {
        BYTE* target = out + y * stride;
        for (std::size_t x = 0; x < rowBytes; ++x)
            target[x] = static_cast<BYTE>(((sum[x] + window / 2) * multiplier) >> 16);
        const BYTE* leaving = at(static_cast<std::ptrdiff_t>(y) - radius);
        const BYTE* entering = at(static_cast<std::ptrdiff_t>(y) + radius + 1);
        for (std::size_t x = 0; x < rowBytes; ++x) sum[x] += entering[x] - leaving[x];
    }
}

} // namespace

const ShowKernels& ShowKernels::Plain()
{
    static const ShowKernels table{BlendPlain, ScalePlain, LerpRowsPlain, SampleRowPlain, BoxColumnsPlain};
    return table;
}
