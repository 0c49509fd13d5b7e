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
};
