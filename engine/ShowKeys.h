// The [Show] keys of config.ini, also reelsmith-make's options of the same names in
// lower case with dashes (TransitionMs is --transition-ms):
// Transition=none|crossfade|fadeblack|wipeleft|slideleft, TransitionMs, FadeInOut=0|1,
// Motion=none|kenburns, MotionStrength (percent), MotionSeed,
// Caption=none|filename|date|file, CaptionFile=PATH, CaptionPlace=bottom|top,
// CaptionSize (percent of the frame's height), Background=black|blur, FitToSound=0|1,
// MinPictureMs, AudioFadeInMs and AudioFadeOutMs.
#pragma once

#include "engine/ShowSettings.h"

#include <cstddef>
#include <string>

class IniFileWriter;

class ShowKeys {
public:
    static constexpr const char* kSection = "Show";
    static constexpr const char* kNames[] = {"Transition",     "TransitionMs",  "FadeInOut",     "Motion",
                                             "MotionStrength", "MotionSeed",    "Caption",       "CaptionFile",
                                             "CaptionPlace",   "CaptionSize",   "Background",    "FitToSound",
                                             "MinPictureMs",   "AudioFadeInMs", "AudioFadeOutMs"};

    // Sets the key from `text`: a word as the [Picture] keys take one, a whole number
    // within the key's range, or for CaptionFile the text as it is. False, settings
    // unchanged, for an unknown key or a value it does not take; `refusal` then says
    // why and which value stays.
    static bool Set(const std::string& key, const std::string& text, ShowSettings& settings, std::string& refusal);
    // The key's value as Set reads it back.
    static std::string Value(const std::string& key, const ShowSettings& settings);
    // Every key with its value; a key at its default only where the file has it, so that
    // a file without a [Show] section stays without one.
    static void Store(const ShowSettings& settings, IniFileWriter& writer);

    // "--transition-ms" for TransitionMs.
    static std::string OptionName(const char* key);
    // The key of an option ("--transition-ms"), null when it is none.
    static const char* KeyOfOption(const std::string& option);
    // Whether the key is a switch (0 or 1), which its option gives as 1 without a value.
    static bool IsSwitch(const char* key);
};
