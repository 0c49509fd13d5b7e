#include "engine/ShowKeys.h"

#include "config/IniFileWriter.h"
#include "engine/KeyWords.h"
#include "engine/MovieSettings.h"
#include "engine/SettingRefusal.h"
#include "platform/resource/UiText.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace {

using Field = std::int32_t& (*)(ShowSettings&);

struct Key {
    const char* name;
    Field field;
    const char* words[5]; // by value for a word key; all null for a number
    std::int32_t lowest;
    std::int32_t highest;
};

const Key kKeys[] = {
    {"Transition",
     [](ShowSettings& s) -> std::int32_t& { return s.options.transition; },
     {"none", "crossfade", "fadeblack", "wipeleft", "slideleft"},
     0,
     0},
    {"TransitionMs",
     [](ShowSettings& s) -> std::int32_t& { return s.options.transitionMs; },
     {},
     0,
     ShowOptions::kMaxTransitionMs},
    {"FadeInOut", [](ShowSettings& s) -> std::int32_t& { return s.options.fadeInOut; }, {}, 0, 1},
    {"Motion", [](ShowSettings& s) -> std::int32_t& { return s.options.motion; }, {"none", "kenburns"}, 0, 0},
    {"MotionStrength",
     [](ShowSettings& s) -> std::int32_t& { return s.options.motionStrength; },
     {},
     0,
     ShowOptions::kMaxMotionStrength},
    {"MotionSeed", [](ShowSettings& s) -> std::int32_t& { return s.options.motionSeed; }, {}, 0, INT32_MAX},
    {"Caption",
     [](ShowSettings& s) -> std::int32_t& { return s.options.caption; },
     {"none", "filename", "date", "file"},
     0,
     0},
    {"CaptionPlace", [](ShowSettings& s) -> std::int32_t& { return s.options.captionPlace; }, {"bottom", "top"}, 0, 0},
    {"CaptionSize",
     [](ShowSettings& s) -> std::int32_t& { return s.options.captionSize; },
     {},
     ShowOptions::kMinCaptionSize,
     ShowOptions::kMaxCaptionSize},
    {"Background", [](ShowSettings& s) -> std::int32_t& { return s.options.background; }, {"black", "blur"}, 0, 0},
    {"FitToSound", [](ShowSettings& s) -> std::int32_t& { return s.fitToSound; }, {}, 0, 1},
    {"MinPictureMs",
     [](ShowSettings& s) -> std::int32_t& { return s.minPictureMs; },
     {},
     1,
     MovieSettings::kMaxFrameSpeed},
    {"AudioFadeInMs",
     [](ShowSettings& s) -> std::int32_t& { return s.audioFadeInMs; },
     {},
     0,
     ShowSettings::kMaxAudioFadeMs},
    {"AudioFadeOutMs",
     [](ShowSettings& s) -> std::int32_t& { return s.audioFadeOutMs; },
     {},
     0,
     ShowSettings::kMaxAudioFadeMs},
};
constexpr const char* kCaptionFile = "CaptionFile";

const Key* Find(const std::string& name)
{
    for (const Key& key : kKeys)
        if (KeyWords::SameLetters(name, key.name)) return &key;
    return nullptr;
}

bool IsWordKey(const Key& key) { return key.words[0] != nullptr; }

// A whole number and nothing but it; false for text without digits or beyond 32 bits.
bool ParseNumber(const std::string& word, std::int64_t& value)
{
    if (word.empty() || word.size() > 12) return false;
    const std::size_t digits = word[0] == '-' || word[0] == '+' ? 1 : 0;
    if (digits == word.size()) return false;
    for (std::size_t i = digits; i < word.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(word[i]))) return false;
    value = std::strtoll(word.c_str(), nullptr, 10);
    return true;
}

bool SetNumber(const Key& key, const std::string& word, ShowSettings& settings, std::string& refusal)
{
    std::int32_t& field = key.field(settings);
    std::int64_t value = 0;
    if (!ParseNumber(word, value)) {
        char said[256];
        std::snprintf(said, sizeof said, UiTextUtf8("ShowKeys", "%s=%s は整数ではありません。%d を使います").c_str(),
                      key.name, word.c_str(), static_cast<int>(field));
        refusal = said;
        return false;
    }
    if (value < key.lowest || value > key.highest) {
        refusal = SettingRefusal::OutOfRange(key.name, value, key.lowest, key.highest, field);
        return false;
    }
    field = static_cast<std::int32_t>(value);
    return true;
}

} // namespace

bool ShowKeys::Set(const std::string& name, const std::string& text, ShowSettings& settings, std::string& refusal)
{
    if (KeyWords::SameLetters(name, kCaptionFile)) {
        settings.captionFile = text;
        return true;
    }
    const Key* key = Find(name);
    if (!key) {
        char said[256];
        std::snprintf(said, sizeof said, UiTextUtf8("ShowKeys", "スライドショーのオプション %s はありません").c_str(),
                      name.c_str());
        refusal = said;
        return false;
    }
    const std::string word = KeyWords::FirstWord(text);
    if (!IsWordKey(*key)) return SetNumber(*key, word, settings, refusal);
    std::int32_t& field = key->field(settings);
    const int value = KeyWords::Find(word, key->words, std::size(key->words));
    if (value < 0) {
        refusal = KeyWords::NotOneOf(key->name, word, key->words, std::size(key->words), key->words[field]);
        return false;
    }
    field = value;
    return true;
}

std::string ShowKeys::Value(const std::string& name, const ShowSettings& settings)
{
    if (KeyWords::SameLetters(name, kCaptionFile)) return settings.captionFile;
    const Key* key = Find(name);
    if (!key) return {};
    ShowSettings copy = settings;
    const std::int32_t value = key->field(copy);
    if (!IsWordKey(*key)) return std::to_string(value);
    // A value no word stands for reads as the default's word, as Set would keep it.
    const bool named = value >= 0 && value < static_cast<std::int32_t>(std::size(key->words)) && key->words[value];
    return key->words[named ? value : 0];
}

void ShowKeys::Store(const ShowSettings& settings, IniFileWriter& writer)
{
    const ShowSettings defaults;
    for (const char* name : kNames) {
        const std::string value = Value(name, settings);
        if (value != Value(name, defaults)) {
            writer.Set(kSection, name, value);
        } else {
            writer.Replace(kSection, name, value);
        }
    }
}

std::string ShowKeys::OptionName(const char* key)
{
    std::string option = "-";
    for (const char* at = key; *at; ++at) {
        const auto letter = static_cast<unsigned char>(*at);
        if (std::isupper(letter)) option += '-';
        option += static_cast<char>(std::tolower(letter));
    }
    return option;
}

const char* ShowKeys::KeyOfOption(const std::string& option)
{
    for (const char* name : kNames)
        if (OptionName(name) == option) return name;
    return nullptr;
}

bool ShowKeys::IsSwitch(const char* name)
{
    const Key* key = Find(name);
    return key && !IsWordKey(*key) && key->lowest == 0 && key->highest == 1;
}
