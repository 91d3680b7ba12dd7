// SPDX-License-Identifier: GPL-3.0-or-later
#include "relativetime.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <array>
#include <cstdlib>

namespace Starvane {

QString shortRelativeTime(const QDateTime &date, const QDateTime &now)
{
    // %Ln: the count in the user's locale, and the plural form the translation picks for it. English has
    // one word for one day and another for more, so days have a sentence of their own for one.
    struct Unit
    {
        qint64 seconds;
        const char *ahead;
        const char *ago;
    };
    static constexpr std::array<Unit, 8> units{{
        {365 * 86400, QT_TRANSLATE_N_NOOP("Starvane::RelativeTime", "in %Ln yr."),
         QT_TRANSLATE_N_NOOP("Starvane::RelativeTime", "%Ln yr. ago")},
        {30 * 86400, QT_TRANSLATE_N_NOOP("Starvane::RelativeTime", "in %Ln mo."),
         QT_TRANSLATE_N_NOOP("Starvane::RelativeTime", "%Ln mo. ago")},
        {7 * 86400, QT_TRANSLATE_N_NOOP("Starvane::RelativeTime", "in %Ln wk."),
         QT_TRANSLATE_N_NOOP("Starvane::RelativeTime", "%Ln wk. ago")},
        {2 * 86400, QT_TRANSLATE_N_NOOP("Starvane::RelativeTime", "in %Ln days"),
         QT_TRANSLATE_N_NOOP("Starvane::RelativeTime", "%Ln days ago")},
        {86400, QT_TRANSLATE_N_NOOP("Starvane::RelativeTime", "in %Ln day"),
         QT_TRANSLATE_N_NOOP("Starvane::RelativeTime", "%Ln day ago")},
        {3600, QT_TRANSLATE_N_NOOP("Starvane::RelativeTime", "in %Ln hr."),
         QT_TRANSLATE_N_NOOP("Starvane::RelativeTime", "%Ln hr. ago")},
        {60, QT_TRANSLATE_N_NOOP("Starvane::RelativeTime", "in %Ln min."),
         QT_TRANSLATE_N_NOOP("Starvane::RelativeTime", "%Ln min. ago")},
        {1, QT_TRANSLATE_N_NOOP("Starvane::RelativeTime", "in %Ln sec."),
         QT_TRANSLATE_N_NOOP("Starvane::RelativeTime", "%Ln sec. ago")},
    }};
    const qint64 delta = now.secsTo(date);
    const qint64 magnitude = std::llabs(delta);
    const Unit *unit = &units.back();
    for (const Unit &u : units) {
        if (magnitude >= u.seconds) {
            unit = &u;
            break;
        }
    }
    // The two day rows share one length: count whole days, not pairs of them.
    const qint64 length = unit->seconds == 2 * 86400 ? 86400 : unit->seconds;
    const int count = int(magnitude / length);
    return QCoreApplication::translate("Starvane::RelativeTime", delta >= 0 ? unit->ahead : unit->ago, nullptr, count);
}

QString dateTimeText(const QDateTime &when, const QLocale &locale)
{
    // Two-digit years read as days or months in some orders ("09.12.26"); seconds only make the line
    // longer. Short formats differ in whether they have either, so both are fixed up here.
    QString date = locale.dateFormat(QLocale::ShortFormat);
    if (!date.contains(QLatin1String("yyyy"))) date.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    QString time = locale.timeFormat(QLocale::ShortFormat);
    static const QRegularExpression seconds(QStringLiteral("[:.,]?s{1,2}(?:[.,]z+)?"));
    time.remove(seconds);
    const QDateTime local = when.toLocalTime();
    return locale.toString(local.date(), date) + QLatin1Char(' ') + locale.toString(local.time(), time.trimmed());
}

// The archive gives an ISO date or just a year. English keeps that form; other languages write the
// day their own way, always with the full year.
QString capturedDateText(const QString &raw)
{
    const QLocale locale;
    const QDate date = QDate::fromString(raw, Qt::ISODate);
    if (!date.isValid() || locale.language() == QLocale::English || locale.language() == QLocale::C) return raw;
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy"))) format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return locale.toString(date, format);
}

} // namespace Starvane
