#include "engine/PictureKeys.h"

#include "engine/KeyWords.h"
#include "platform/resource/UiText.h"

#include <cstdio>
#include <iterator>

namespace {

struct Key {
    const char* name;
    LONG PictureOptions::*field;
    const char* words[4]; // by value; null past the last
};
constexpr Key kKeys[] = {
    {"Orientation", &PictureOptions::orientation, {"ignore", "exif", nullptr}},
    {"Fit", &PictureOptions::fit, {"stretch", "letterbox", "crop"}},
    {"Scaling", &PictureOptions::scaling, {"nearest", "smooth", nullptr}},
    {"Order", &PictureOptions::order, {"listing", "name", "date", "time"}},
};

} // namespace

bool PictureKeys::Set(const std::string& key, const std::string& text, PictureOptions& options, std::string& refusal)
{
    const std::string word = KeyWords::FirstWord(text);
    for (const Key& known : kKeys) {
        if (!KeyWords::SameLetters(key, known.name)) continue;
        const int value = KeyWords::Find(word, known.words, std::size(known.words));
        if (value >= 0) {
            options.*known.field = value;
            return true;
        }
        refusal = KeyWords::NotOneOf(known.name, word, known.words, std::size(known.words),
                                     known.words[options.*known.field]);
        return false;
    }
    char said[256];
    std::snprintf(said, sizeof said, UiTextUtf8("PictureKeys", "写真のオプション %s はありません").c_str(),
                  key.c_str());
    refusal = said;
    return false;
}
