#include "app/Translations.h"

#include "platform/resource/UiText.h"

#include <QCoreApplication>
#include <QLibraryInfo>

Translations::Translations(const QLocale& locale)
{
    // The C locale names no language: its texts are the program's own.
    if (locale.language() == QLocale::C) return;
    programLoaded = program.load(locale, QStringLiteral("reelsmith"), QStringLiteral("_"), QStringLiteral(":/i18n"));
    if (programLoaded) {
        InstallUiTextTranslator(
            [this](const char* context, const char* text) { return program.translate(context, text).toStdString(); });
    }
    if (QCoreApplication::instance() && toolkit.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                                                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        toolkitInstalled = QCoreApplication::installTranslator(&toolkit);
    }
}

Translations::~Translations()
{
    if (programLoaded) InstallUiTextTranslator({});
    if (toolkitInstalled) QCoreApplication::removeTranslator(&toolkit);
}
