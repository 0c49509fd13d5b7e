// UiText: the system's user-interface texts in the user's language.
//
// On Windows a program's texts are string resources chosen by the user's language; here
// a front end installs a translator (Qt's translations, loaded for the system locale).
// The system writes its texts in its own language (UTF-8) with the context they belong
// to; with no translator, or none for a text, the text stays exactly as written.
#pragma once

#include <functional>
#include <string>

// Answers the translation of `text`, or an empty string when it has none.
using UiTextTranslator = std::function<std::string(const char* context, const char* text)>;

// An empty translator restores the texts as written.
void InstallUiTextTranslator(UiTextTranslator translator);

std::string UiTextUtf8(const char* context, const char* text);
std::u16string UiText(const char* context, const char* text);

// Marks a text for translation where it is stored rather than shown (a table).
#define UI_TEXT_NOOP(context, text) text
