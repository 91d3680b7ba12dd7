// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace Starvane {

/// `date` relative to `now` in short units, the way a relative-date formatter of short style writes
/// it in English: "in 14 min.", "in 2 hr.", "in 1 day", "5 min. ago". The largest whole unit wins
/// (59 minutes 50 seconds is "in 59 min.").
QString shortRelativeTime(const QDateTime &date, const QDateTime &now);

/// A moment as a person reads it anywhere in the program (status, history, windows, tray): local time,
/// the locale's short date with the full year, and the time of day without seconds.
QString dateTimeText(const QDateTime &when, const QLocale &locale = QLocale());

/// When a picture was taken, from the archive's ISO date or bare year: English keeps the archive's form,
/// other languages write the day their own way with the full year.
QString capturedDateText(const QString &raw);

} // namespace Starvane
