// SPDX-License-Identifier: GPL-3.0-or-later
#include "translations.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLocale>
#include <QTranslator>

namespace Starvane {

namespace {
const QString kTranslationsDir = QStringLiteral(":/i18n");

QString normalised(QString language)
{
    // "de-DE", "de_DE.UTF-8" and "de_DE@euro" all name the file starvane_de_DE (or starvane_de).
    language = language.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    return language.replace(QLatin1Char('-'), QLatin1Char('_'));
}

bool isEnglish(const QString &language)
{
    return language == QLatin1String("C") || language == QLatin1String("POSIX") || language == QLatin1String("en") ||
           language.startsWith(QLatin1String("en_"));
}
} // namespace

QStringList preferredLanguages()
{
    QStringList languages;
    const QString fromEnvironment = qEnvironmentVariable("LANGUAGE");
    for (const QString &l : fromEnvironment.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        languages << normalised(l);
    for (const QString &l : QLocale::system().uiLanguages())
        languages << normalised(l);
    languages.removeDuplicates();
    return languages;
}

QString installTranslations(const QStringList &languages)
{
    auto *app = QCoreApplication::instance();
    if (!app || languages.isEmpty())
        return {};
    // The first language decides the direction, even when we have no words in it: the layout of a right-to-
    // left reader's desktop stays mirrored.
    const QLocale first(languages.first());
    if (qobject_cast<QGuiApplication *>(app))
        QGuiApplication::setLayoutDirection(first.textDirection());

    for (const QString &language : languages) {
        auto *ours = new QTranslator(app);
        // English is the source language; its file only holds the plural forms. QTranslator also tries the
        // shorter names itself (starvane_de for de_AT).
        if (!ours->load(QStringLiteral("starvane_") + language, kTranslationsDir) || ours->isEmpty()) {
            delete ours;
            if (isEnglish(language))
                return {};
            continue;
        }
        // Ours only, not Qt's own: Qt translates the network and file errors it reports, and those reach the
        // log and `status --json`, which stay English.
        app->installTranslator(ours);
        // Dates and numbers follow the language the words are in, in the user's region when the system names
        // one for that language. Set by name: the system locale object of a GUI session may still format in
        // the C locale's way.
        const QLocale system = QLocale::system();
        QLocale::setDefault(system.language() == QLocale(language).language() ? QLocale(system.name())
                                                                              : QLocale(language));
        return ours->filePath().section(QLatin1Char('/'), -1);
    }
    return {};
}

} // namespace Starvane
