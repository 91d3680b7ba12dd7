// SPDX-License-Identifier: GPL-3.0-or-later
#include "translations.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSet>
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

/// Qt's own translation, for what people read of Qt's making: key names in shortcuts ("Strg+Umschalt+P"),
/// the buttons and texts of standard dialogs, the context menus of text fields. Only those: Qt also
/// words the network and file errors it reports, and those reach the log and `status --json`, which
/// stay English.
class QtInterfaceTranslator : public QTranslator
{
public:
    using QTranslator::QTranslator;
    QString translate(const char *context, const char *sourceText, const char *disambiguation, int n) const override
    {
        static const QSet<QByteArray> shown{
            "QShortcut",          "QPlatformTheme",   "QGnomeTheme", "QDialogButtonBox", "QMessageBox",   "QFileDialog",
            "QFileSystemModel",   "QColorDialog",     "QFontDialog", "QInputDialog",     "QErrorMessage", "QLineEdit",
            "QWidgetTextControl", "QAbstractSpinBox", "QScrollBar",  "QAccessibleButton"};
        return context && shown.contains(QByteArray(context))
                   ? QTranslator::translate(context, sourceText, disambiguation, n)
                   : QString();
    }
};

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

QString installTranslations(const QStringList &languages, const QString &qtTranslationsDir)
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
        // A missing or damaged file of Qt's leaves Qt's texts in English and ours as they are.
        auto *qt = new QtInterfaceTranslator(app);
        if (qt->load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                     qtTranslationsDir.isNull() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath)
                                                : qtTranslationsDir) &&
            !qt->isEmpty())
            app->installTranslator(qt);
        else
            delete qt;
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
