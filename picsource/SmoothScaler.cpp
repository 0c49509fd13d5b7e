#include "picsource/SmoothScaler.h"

#include "picsource/FrameBuilder.h"

#include <algorithm>
#include <cmath>
#include <new>

void SmoothScaler::AddAreaTaps(std::uint32_t sourceLength, double start, double end, Axis& axis)
{
    const auto first = static_cast<std::uint32_t>(start);
    const auto last = std::min(sourceLength - 1, static_cast<std::uint32_t>(std::ceil(end)) - 1);
    Taps taps{first, 0, static_cast<std::uint32_t>(axis.weights.size())};
    const double scale = 1.0 / (end - start);
    for (std::uint32_t k = first; k <= last; ++k) {
        const double covered = std::min(end, k + 1.0) - std::max(start, static_cast<double>(k));
        axis.weights.push_back(static_cast<float>(std::max(0.0, covered) * scale));
        ++taps.count;
    }
    axis.taps.push_back(taps);
}

void SmoothScaler::AddBilinearTaps(std::uint32_t sourceLength, double centre, Axis& axis)
{
    const double clamped = std::clamp(centre, 0.0, static_cast<double>(sourceLength - 1));
    const auto first = static_cast<std::uint32_t>(clamped);
    const auto fraction = static_cast<float>(clamped - first);
    Taps taps{first, 1, static_cast<std::uint32_t>(axis.weights.size())};
    axis.weights.push_back(1.0f - fraction);
    if (first + 1 < sourceLength) {
        axis.weights.push_back(fraction);
        taps.count = 2;
    }
    axis.taps.push_back(taps);
}

bool SmoothScaler::BuildAxis(std::uint32_t sourceLength, std::int64_t placedStart, std::int64_t placedLength,
                             LONG frameLength, Axis& axis)
{
    const std::int64_t begin = std::max<std::int64_t>(0, placedStart);
    const std::int64_t end = std::min<std::int64_t>(frameLength, placedStart + placedLength);
    axis.firstOutput = begin;
    if (begin >= end) return true;
    const double step = static_cast<double>(sourceLength) / static_cast<double>(placedLength);
    try {
        axis.taps.reserve(static_cast<std::size_t>(end - begin));
        axis.weights.reserve(static_cast<std::size_t>(end - begin) * (static_cast<std::size_t>(step) + 2));
        for (std::int64_t o = begin; o < end; ++o) {
            const auto position = static_cast<double>(o - placedStart);
            if (step > 1.0) {
                AddAreaTaps(sourceLength, position * step, std::min<double>(sourceLength, (position + 1) * step), axis);
            } else {
                AddBilinearTaps(sourceLength, (position + 0.5) * step - 0.5, axis);
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::uint32_t SmoothScaler::MostTaps(std::uint32_t sourceLength, std::int64_t placedLength)
{
    if (placedLength <= 0) return 2;
    // An area of `step` pixels starting anywhere meets at most ceil(step) + 1 of them.
    const double step = static_cast<double>(sourceLength) / static_cast<double>(placedLength);
    return static_cast<std::uint32_t>(std::ceil(step)) + 1;
}

bool SmoothScaler::Scale(const Image& source, const PicturePlacement::Rect& rect, BYTE* frame, LONG width, LONG height,
                         const Band& band)
{
    if (width <= 0 || height <= 0 || source.width == 0 || source.height == 0) return true;
    Axis columns;
    Axis rows;
    if (!BuildAxis(source.width, rect.left, rect.width, width, columns) ||
        !BuildAxis(source.height, rect.bottom, rect.height, height, rows))
        return false;
    std::vector<float> blended;
    try {
        blended.resize(std::size_t{source.width} * 3);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::uint64_t dstStride = FrameBuilder::FrameStride(width);
    for (std::size_t i = 0; i < rows.taps.size(); ++i) {
        // Down first: the source rows behind this output row, blended into one.
        const Taps& down = rows.taps[i];
        if (down.first < band.first || down.first >= band.ownedEnd) continue;
        std::fill(blended.begin(), blended.end(), 0.0f);
        for (std::uint32_t k = 0; k < down.count; ++k) {
            const float weight = rows.weights[down.weights + k];
            const BYTE* row = source.pixels + (down.first - band.first + k) * source.stride;
            for (std::size_t x = 0; x < blended.size(); ++x) blended[x] += weight * row[x];
        }
        // Then across, into the frame row.
        BYTE* target = frame + (static_cast<std::uint64_t>(rows.firstOutput) + i) * dstStride +
                       3 * static_cast<std::uint64_t>(columns.firstOutput);
        for (const Taps& across : columns.taps) {
            float sum[3] = {0.0f, 0.0f, 0.0f};
            const float* pixel = blended.data() + 3 * std::size_t{across.first};
            const float* weight = columns.weights.data() + across.weights;
            for (std::uint32_t k = 0; k < across.count; ++k, pixel += 3) {
                sum[0] += weight[k] * pixel[0];
                sum[1] += weight[k] * pixel[1];
                sum[2] += weight[k] * pixel[2];
            }
            for (const float value : sum) *target++ = static_cast<BYTE>(std::clamp(value + 0.5f, 0.0f, 255.0f));
        }
    }
    return true;
}
