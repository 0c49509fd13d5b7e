#include "app/SettingsForm.h"

#include "config/IniFileWriter.h"
#include "engine/OutputFormat.h"
#include "engine/ShowKeys.h"
#include "platform/base/WideText.h"
#include "platform/resource/UiText.h"

#include <algorithm>
#include <cstdio>

namespace {

// Bits per pixel and second of each level, in tenths.
constexpr std::int64_t kTenthBitsPerPixel[SettingsForm::kQualityLevels] = {5, 10, 20, 40};
// The largest frame the MP4 and WebM encoders take (their highest level).
constexpr std::int64_t kMaxCodecPixels = 35'651'584;
constexpr std::int32_t kMaxWmvSide = 16254;

std::u16string Number(std::int64_t value) { return WideFromUtf8(std::to_string(value)); }

// Thousands grouped with commas, as a bit rate is easier read.
std::u16string Grouped(std::int64_t value)
{
    const std::string digits = std::to_string(value);
    std::u16string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += u',';
        grouped += static_cast<char16_t>(digits[i]);
    }
    return grouped;
}

std::u16string Replaced(std::u16string text, const std::u16string& mark, const std::u16string& value)
{
    const std::size_t at = text.find(mark);
    if (at != std::u16string::npos) text.replace(at, mark.size(), value);
    return text;
}

const char* const kLevelNames[SettingsForm::kQualityLevels] = {
    UI_TEXT_NOOP("SettingsForm", "低"), UI_TEXT_NOOP("SettingsForm", "標準"), UI_TEXT_NOOP("SettingsForm", "高"),
    UI_TEXT_NOOP("SettingsForm", "最高")};

const char* const kFitWords[] = {"stretch", "letterbox", "crop"};

} // namespace

int SettingsForm::FrameSizeIndex(std::int32_t width, std::int32_t height)
{
    for (std::size_t i = 0; i < kFrameSizes.size(); ++i)
        if (kFrameSizes[i].width == width && kFrameSizes[i].height == height) return static_cast<int>(i);
    return -1;
}

std::u16string SettingsForm::FrameSizeLabel(const FrameSize& size)
{
    std::u16string label = Number(size.width) + u" x " + Number(size.height);
    if (size.name[0] != '\0') label += u" (" + UiText("SettingsForm", size.name) + u")";
    return label;
}

std::int32_t SettingsForm::QualityRate(int level, std::int32_t width, std::int32_t height)
{
    const std::int64_t rate = static_cast<std::int64_t>(width) * height * kTenthBitsPerPixel[level] / 10;
    // Whole kilobits, within what the encoders take.
    const std::int64_t rounded = rate / 1000 * 1000;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(rounded, MovieSettings::kMinQuality, MovieSettings::kMaxQuality));
}

int SettingsForm::QualityLevelOf(const MovieSettings& settings)
{
    for (int level = 0; level < kQualityLevels; ++level)
        if (QualityRate(level, settings.width, settings.height) == settings.quality) return level;
    return -1;
}

std::u16string SettingsForm::QualityLabel(int level, std::int32_t rate)
{
    const std::u16string name =
        level < 0 ? UiText("SettingsForm", "その他") : UiText("SettingsForm", kLevelNames[level]);
    return name + u" (" + Grouped(rate / 1000) + u" kbit/s)";
}

std::u16string SettingsForm::Problem(const MovieSettings& settings)
{
    const auto outside = [](const char* what, std::int64_t value, std::int64_t lowest, std::int64_t highest) {
        std::u16string text = UiText("SettingsForm", "%1 は %2 から %3 までにしてください (いまは %4)");
        text = Replaced(text, u"%1", UiText("SettingsForm", what));
        text = Replaced(text, u"%2", Number(lowest));
        text = Replaced(text, u"%3", Number(highest));
        return Replaced(text, u"%4", Number(value));
    };
    if (settings.width < MovieSettings::kMinSide || settings.width > MovieSettings::kMaxSide)
        return outside(UI_TEXT_NOOP("SettingsForm", "幅"), settings.width, MovieSettings::kMinSide,
                       MovieSettings::kMaxSide);
    if (settings.height < MovieSettings::kMinSide || settings.height > MovieSettings::kMaxSide)
        return outside(UI_TEXT_NOOP("SettingsForm", "高さ"), settings.height, MovieSettings::kMinSide,
                       MovieSettings::kMaxSide);
    if (settings.frameSpeed < 1 || settings.frameSpeed > MovieSettings::kMaxFrameSpeed)
        return outside(UI_TEXT_NOOP("SettingsForm", "1 枚の表示時間 (ミリ秒)"), settings.frameSpeed, 1,
                       MovieSettings::kMaxFrameSpeed);
    if (settings.frameRate < 0 || settings.frameRate > MovieSettings::kMaxFrameRate)
        return outside(UI_TEXT_NOOP("SettingsForm", "フレームレート"), settings.frameRate, 0,
                       MovieSettings::kMaxFrameRate);
    const std::int64_t pixels = static_cast<std::int64_t>(settings.width) * settings.height;
    if (settings.format == OutputFormat::Wmv && (settings.width > kMaxWmvSide || settings.height > kMaxWmvSide))
        return UiText("SettingsForm", "WMV の動画は一辺 16254 ピクセルまでです。小さいサイズか MP4 を選んでください");
    if (settings.format != OutputFormat::Wmv && settings.format != OutputFormat::None && pixels > kMaxCodecPixels)
        return UiText("SettingsForm", "MP4 と WebM の動画は 3560 万画素までです。小さいサイズを選んでください");
    return {};
}

void SettingsForm::Store(const MovieSettings& settings, IniFileWriter& writer)
{
    writer.Set("Screen", "width", std::to_string(settings.width));
    writer.Set("Screen", "height", std::to_string(settings.height));
    writer.Set("Screen", "FrameSpeed", std::to_string(settings.frameSpeed));
    writer.Set("Screen", "Quality", std::to_string(settings.quality));
    writer.Set("System", "WorkThreadPriority", std::to_string(settings.workThreadPriority));
    writer.Set(OutputFormat::kSection, OutputFormat::kKey,
               OutputFormat::Word(settings.format == OutputFormat::None ? OutputFormat::Wmv : settings.format));
    writer.Set("Output", "FrameRate", std::to_string(settings.frameRate));
    writer.Set("Picture", "Orientation", settings.picture.orientation ? "exif" : "ignore");
    writer.Set("Picture", "Fit", kFitWords[std::clamp<LONG>(settings.picture.fit, 0, 2)]);
    writer.Set("Picture", "Scaling", settings.picture.scaling ? "smooth" : "nearest");
    ShowKeys::Store(settings.show, writer);
}
