#include "engine/ProgressEstimate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

ProgressEstimate::ProgressEstimate(Clock source) : clock(std::move(source)) {}

void ProgressEstimate::Start(int pictures)
{
    total = std::max(pictures, 0);
    marks.assign(1, {0, clock()});
}

void ProgressEstimate::Update(int done)
{
    const int counted = std::min(done, total);
    if (marks.empty() || counted <= marks.back().done) return;
    marks.push_back({counted, clock()});
    while (marks.size() > 2 && marks.back().done - marks[1].done >= kRatePictures) marks.pop_front();
}

bool ProgressEstimate::Ready() const
{
    return !marks.empty() && marks.back().done >= kFirstPictures && marks.back().at > marks.front().at;
}

double ProgressEstimate::Rate() const
{
    if (!Ready()) return 0;
    return (marks.back().done - marks.front().done) / (marks.back().at - marks.front().at);
}

double ProgressEstimate::SecondsLeft() const
{
    if (!Ready()) return 0;
    const double sinceLast = clock() - marks.back().at;
    return std::max((total - marks.back().done) / Rate() - sinceLast, 0.0);
}

int ProgressEstimate::Percent() const
{
    if (marks.empty() || total == 0) return 0;
    return static_cast<int>(static_cast<long long>(marks.back().done) * 100 / total);
}

namespace {

void ReplaceMark(std::string& text, const char* mark, const std::string& value)
{
    const std::size_t at = text.find(mark);
    if (at != std::string::npos) text.replace(at, 2, value);
}

} // namespace

std::string ProgressEstimate::PaceText(std::string format) const
{
    ReplaceMark(format, "%1", FormatRate(Rate()));
    ReplaceMark(format, "%2", FormatDuration(SecondsLeft()));
    return format;
}

std::string ProgressEstimate::FormatDuration(double seconds)
{
    // A day is far beyond any folder; the cap keeps the text short whatever the rate.
    const long long whole = static_cast<long long>(std::ceil(std::clamp(seconds, 0.0, 86399.0)));
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

std::string ProgressEstimate::FormatRate(double rate)
{
    char text[32];
    std::snprintf(text, sizeof text, rate >= 10 ? "%.0f" : rate >= 1 ? "%.1f" : "%.2f", rate);
    return text;
}
