#pragma once

#include <cstdint>

// The values read from config.ini, in the order the engine reads them.
struct MovieSettings {
    std::int32_t width = 640;
    std::int32_t height = 480;
    std::int32_t workThreadPriority = 0;
    std::int32_t frameSpeed = 500;   // milliseconds per picture
    std::int32_t quality = 185000;   // video bit rate, bits per second
};
