// The [Picture] keys of config.ini and their words, also used by reelsmith-make's
// options: Orientation=ignore|exif, Fit=stretch|letterbox|crop, Scaling=nearest|smooth.
#pragma once

#include "picsource/PictureOptions.h"

#include <string>

class PictureKeys {
public:
    static constexpr const char* Section = "Picture";
    static constexpr const char* Names[] = {"Orientation", "Fit", "Scaling"};

    // Sets the option `key` names from `word` (both compared without letter case).
    // False, options unchanged, for an unknown key or word; `refusal` then says why
    // and which value stays ("Fit=zoom is not stretch, letterbox or crop; stretch is used").
    static bool Set(const std::string& key, const std::string& word, PictureOptions& options, std::string& refusal);
};
