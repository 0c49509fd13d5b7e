// Translations: the program's texts and Qt's own in the language of the system locale.
//
// The program's texts are written in Japanese and stay so under a Japanese locale, C and
// POSIX; its English translation is built into the program. While the object lives the
// program's translation serves UiText (platform/resource/UiText.h), and when an
// application object exists Qt's translation of its own dialogs (choosers, Yes/No) is
// installed for the same locale.
#pragma once

#include <QLocale>
#include <QTranslator>

class Translations {
public:
    explicit Translations(const QLocale& locale = QLocale::system());
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;
    ~Translations();

    bool TranslatesProgram() const { return programLoaded; }

private:
    QTranslator program;
    QTranslator toolkit;
    bool programLoaded = false;
    bool toolkitInstalled = false;
};
