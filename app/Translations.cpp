#include "app/Translations.h"

#include "platform/resource/UiText.h"

#include <QCoreApplication>
#include <QLibraryInfo>

Translations::Translations(const QLocale& locale)
{
    // The C locale names no language, whatever LANGUAGE says: its texts are the program's own.
    if (locale.language() == QLocale::C) return;
    Install(locale.uiLanguages(), locale);
}

Translations::Translations(const QStringList& languages) { Install(languages, QLocale(languages.value(0))); }

QLocale Translations::ProgramLanguage(const QStringList& languages, const QLocale& fallback)
{
    for (const QString& name : languages) {
        const QLocale language(name);
        // Japanese is the language the texts are written in: no catalogue exists for it,
        // and a later language of the list must not win over it.
        if (language.language() == QLocale::Japanese || language.language() == QLocale::C) return language;
        programLoaded =
            program.load(language, QStringLiteral("reelsmith"), QStringLiteral("_"), QStringLiteral(":/i18n"));
        if (programLoaded) return language;
    }
    return fallback;
}

void Translations::Install(const QStringList& languages, const QLocale& fallback)
{
    const QLocale language = ProgramLanguage(languages, fallback);
    if (programLoaded) {
        InstallUiTextTranslator(
            [this](const char* context, const char* text) { return program.translate(context, text).toStdString(); });
    }
    if (QCoreApplication::instance() && toolkit.load(language, QStringLiteral("qtbase"), QStringLiteral("_"),
                                                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        toolkitInstalled = QCoreApplication::installTranslator(&toolkit);
    }
}

Translations::~Translations()
{
    if (programLoaded) InstallUiTextTranslator({});
    if (toolkitInstalled) QCoreApplication::removeTranslator(&toolkit);
}
