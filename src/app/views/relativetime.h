// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

namespace Starvane {

/// `date` relative to `now` in short units, the way a relative-date formatter of short style writes
/// it in English: "in 14 min.", "in 2 hr.", "in 1 day", "5 min. ago". The largest whole unit wins
/// (59 minutes 50 seconds is "in 59 min.").
QString shortRelativeTime(const QDateTime &date, const QDateTime &now);

} // namespace Starvane
