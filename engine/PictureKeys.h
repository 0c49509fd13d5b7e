// The [Picture] keys of config.ini and their words, also used by reelsmith-make's
// options: Orientation=ignore|exif, Fit=stretch|letterbox|crop, Scaling=nearest|smooth,
// Order=listing|name|date|time, and List=FILE.
#pragma once

#include "picsource/PictureOptions.h"

#include <string>

class PictureKeys {
public:
    static constexpr const char* kSection = "Picture";
    static constexpr const char* kNames[] = {"Orientation", "Fit", "Scaling", "Order"};
    // A file of picture names in the movie's order (see PictureList), beside the settings
    // file when relative.
    static constexpr const char* kListName = "List";

    // Sets the option `key` names from the word `text` starts with (both compared without
    // letter case). The word ends at a space, tab, ';' or '#', as a number ends at its
    // first non-digit, so that "Fit=crop   ; comment" is crop.
    // False, options unchanged, for an unknown key or word; `refusal` then says why
    // and which value stays ("Fit=zoom is not stretch, letterbox or crop; stretch is used").
    static bool Set(const std::string& key, const std::string& text, PictureOptions& options, std::string& refusal);
};
