// What the settings dialog offers and how its choices become config.ini's keys,
// toolkit free: the frame-size presets, the quality levels with their bit rates, the
// check that a movie can be made with the values, and the keys written.
#pragma once

#include "engine/MovieSettings.h"
#include "platform/resource/UiText.h"

#include <array>
#include <cstdint>
#include <string>

class IniFileWriter;

class SettingsForm {
public:
    struct FrameSize {
        std::int32_t width;
        std::int32_t height;
        const char* name; // a translated text's source, empty for none
    };
    static constexpr std::array<FrameSize, 6> kFrameSizes{{{640, 480, ""},
                                                           {1280, 720, "HD"},
                                                           {1920, 1080, "Full HD"},
                                                           {3840, 2160, "4K"},
                                                           {1080, 1080, UI_TEXT_NOOP("SettingsForm", "正方形")},
                                                           {1080, 1920, UI_TEXT_NOOP("SettingsForm", "縦長")}}};
    // The preset of the size, -1 for a size of the user's own.
    static int FrameSizeIndex(std::int32_t width, std::int32_t height);
    // "1280 x 720 (HD)".
    static std::u16string FrameSizeLabel(const FrameSize& size);

    enum QualityLevel : int { Low, Medium, High, Best, kQualityLevels };
    // The bit rate of a level for a frame size: bits per pixel and second, so that a 4K
    // movie gets the rate its pictures need.
    static std::int32_t QualityRate(int level, std::int32_t width, std::int32_t height);
    // The level whose rate `settings.quality` is, -1 for a rate of the user's own.
    static int QualityLevelOf(const MovieSettings& settings);
    // "高 (1,843 kbit/s)"; level -1 reads "その他 (...)".
    static std::u16string QualityLabel(int level, std::int32_t rate);

    // Empty when a movie can be made with the values; otherwise what is wrong, in the
    // user's language.
    static std::u16string Problem(const MovieSettings& settings);

    // The dialog's keys with their values. The others of the file (WorkThreadPriority's
    // own value aside, kept as it is) stay.
    static void Store(const MovieSettings& settings, IniFileWriter& writer);
};
