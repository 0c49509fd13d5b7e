// Translations: the program's texts and Qt's own in the user's language.
//
// The program's texts are written in Japanese; its English translation is built into the
// program. The language is the first of the user's languages (LANGUAGE, else the locale's)
// that the program has texts in: Japanese, its own, or a built-in translation. None, or a
// C or POSIX locale, keeps the texts as written. While the object lives the program's
// translation serves UiText (platform/resource/UiText.h), and when an application object
// exists Qt's translation of its own dialogs (choosers, Yes/No) is installed for the same
// language.
#pragma once

#include <QLocale>
#include <QStringList>
#include <QTranslator>

class Translations {
public:
    explicit Translations(const QLocale& locale = QLocale::system());
    // `languages`: the user's languages, most wanted first ("ja_JP", "en").
    explicit Translations(const QStringList& languages);
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;
    ~Translations();

    bool TranslatesProgram() const { return programLoaded; }

private:
    // The first of `languages` the program has texts in; `fallback` when none has.
    QLocale ProgramLanguage(const QStringList& languages, const QLocale& fallback);
    void Install(const QStringList& languages, const QLocale& fallback);

    QTranslator program;
    QTranslator toolkit;
    bool programLoaded = false;
    bool toolkitInstalled = false;
};
