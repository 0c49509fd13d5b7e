#pragma once

#include "engine/ShowSettings.h"
#include "picsource/IPictureSourceConfig.h"

#include <cstdint>

// The values read from config.ini, in the order the engine reads them. The defaults
// below are the program's: loading them replaces the picture source's own
// (kPictureSourceWidth and the rest) before any movie is made.
struct MovieSettings {
    // The values a movie can be made with; config.ini's others keep the defaults below.
    static constexpr std::int32_t kMinSide = kPictureSourceMinSide;
    static constexpr std::int32_t kMaxSide = kMaxVideoSide;
    static constexpr std::int32_t kMaxFrameSpeed = 3'600'000;
    static constexpr std::int32_t kMinQuality = 8'000;
    static constexpr std::int32_t kMaxQuality = 50'000'000;

    std::int32_t width = 640;
    std::int32_t height = 480;
    std::int32_t workThreadPriority = 0;
    std::int32_t frameSpeed = 500; // milliseconds per picture
    std::int32_t quality = 185000; // video bit rate, bits per second
    // MP4 and WebM only ([Output] FrameRate, optional): frames per second, 0 for one frame per picture.
    std::int32_t frameRate = 0;
    static constexpr std::int32_t kMaxFrameRate = 120;
    // [Output] Format, optional: the OutputFormat a front end proposes; None keeps the
    // output name's extension alone in charge.
    std::int32_t format = 0;
    // [Picture], each key optional: how pictures become frames.
    PictureOptions picture;
    // [Show], each key optional: the slide show's effects and the sound's fit and fades.
    ShowSettings show;
};
