// The [Output] Format key of config.ini and reelsmith-make's --format: the movie format
// a front end proposes. The output name's extension still picks the format written; the
// key only gives a name without one its extension (reelsmith-make) and puts its type
// first in the window's Save chooser. Without the key nothing changes.
#pragma once

#include <cstdint>
#include <string>

class OutputFormat {
public:
    static constexpr const char* kSection = "Output";
    static constexpr const char* kKey = "Format";
    // MovieSettings::format; None when no format was chosen.
    enum : std::int32_t { None = 0, Wmv = 1, Mp4 = 2, Webm = 3 };

    // "wmv", "mp4" or "webm"; empty for None.
    static std::string Word(std::int32_t format);
    // The format the word `text` starts with, letter case ignored; the word ends as
    // PictureKeys' words do. False, `format` unchanged, with `refusal` saying why.
    static bool Parse(const std::string& text, std::int32_t& format, std::string& refusal);
    // `name` with the format's extension when its last part has none.
    static std::string WithExtension(const std::string& name, std::int32_t format);
};
