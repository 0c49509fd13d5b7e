#include "platform/resource/UiText.h"

#include "platform/base/WideText.h"
#include "platform/resource/InstalledHandler.h"

namespace {

InstalledHandler<UiTextTranslator>& Translator()
{
    static InstalledHandler<UiTextTranslator> translator;
    return translator;
}

} // namespace

void InstallUiTextTranslator(UiTextTranslator translator) { Translator().Install(std::move(translator)); }

std::string UiTextUtf8(const char* context, const char* text)
{
    if (const UiTextTranslator translator = Translator().Get()) {
        std::string translated = translator(context, text);
        if (!translated.empty()) return translated;
    }
    return text;
}

std::u16string UiText(const char* context, const char* text) { return WideFromUtf8(UiTextUtf8(context, text)); }
