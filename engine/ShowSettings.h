// The [Show] settings of config.ini: the picture source's slide-show record, with the
// captions file and what the engine itself does with the sound (fit the pictures to
// it, fade it in and out). The defaults make the movies made without a [Show] section.
#pragma once

#include "picsource/ShowOptions.h"

#include <cstdint>
#include <string>

struct ShowSettings {
    static constexpr std::int32_t kDefaultMinPictureMs = 1000;
    static constexpr std::int32_t kMaxAudioFadeMs = 600'000;
    // The frame rate of a movie with effects when [Output] FrameRate is 0.
    static constexpr std::int32_t kDefaultFramesPerSecond = 25;

    // framesPerSecond and lengthMs are the engine's to set, from FrameRate and the sound.
    ShowOptions options;
    std::string captionFile; // UTF-8, for CaptionFromFile; relative to the settings file's folder
    std::int32_t fitToSound = 0;
    std::int32_t minPictureMs = kDefaultMinPictureMs;
    std::int32_t audioFadeInMs = 0;
    std::int32_t audioFadeOutMs = 0;

    bool operator==(const ShowSettings&) const = default;
};
