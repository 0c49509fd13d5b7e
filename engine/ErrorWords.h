// ErrorWords: what a result code the engine can meet means, in the user's language, and
// which of the engine's paths it concerns, for the line under "Error code: 0x%x.".
#pragma once

#include "platform/com/Com.h"

#include <string>

class ErrorWords {
public:
    enum class Subject { None, Movie, Sound, Folder };

    // Empty for a code without words.
    static std::u16string Describe(HRESULT hr);
    static Subject SubjectOf(HRESULT hr);
    // Why the picture source passed over a picture (EC_PICTURE_SKIPPED's second
    // parameter: the JPEG decoder's code or the file's HRESULT), in words with the code
    // after them: "CMYK or other 4-channel (or 2-channel) JPEG (-4)".
    static std::u16string DescribeSkip(LONG_PTR reason);
};
