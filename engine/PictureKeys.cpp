#include "engine/PictureKeys.h"

#include "platform/resource/UiText.h"

#include <algorithm>
#include <cctype>
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

bool SameLetters(const std::string& a, const char* b)
{
    const std::string other(b);
    return std::equal(a.begin(), a.end(), other.begin(), other.end(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

std::string WordList(const Key& key)
{
    std::string list;
    const auto count = static_cast<std::size_t>(
        std::count_if(std::begin(key.words), std::end(key.words), [](const char* word) { return word != nullptr; }));
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) list += i + 1 == count ? UiTextUtf8("PictureKeys", "、または ") : UiTextUtf8("PictureKeys", "、");
        list += key.words[i];
    }
    return list;
}

} // namespace

bool PictureKeys::Set(const std::string& key, const std::string& text, PictureOptions& options, std::string& refusal)
{
    const std::string word = text.substr(0, text.find_first_of(" \t;#"));
    for (const Key& known : kKeys) {
        if (!SameLetters(key, known.name)) continue;
        for (LONG value = 0; value < static_cast<LONG>(std::size(known.words)); ++value) {
            const char* candidate = known.words[value];
            if (candidate && SameLetters(word, candidate)) {
                options.*known.field = value;
                return true;
            }
        }
        char said[256];
        std::snprintf(said, sizeof said,
                      UiTextUtf8("PictureKeys", "%s=%s は %s のどれでもありません。%s を使います").c_str(), known.name,
                      word.c_str(), WordList(known).c_str(), known.words[options.*known.field]);
        refusal = said;
        return false;
    }
    char said[256];
    std::snprintf(said, sizeof said, UiTextUtf8("PictureKeys", "写真のオプション %s はありません").c_str(),
                  key.c_str());
    refusal = said;
    return false;
}
