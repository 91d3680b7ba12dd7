// SPDX-License-Identifier: GPL-3.0-or-later
#include "relativetime.h"

#include <array>
#include <cstdlib>

namespace Starvane {

QString shortRelativeTime(const QDateTime &date, const QDateTime &now)
{
    struct Unit
    {
        qint64 seconds;
        const char *one;
        const char *many;
    };
    static constexpr std::array<Unit, 7> units{{
        {365 * 86400, "yr.", "yr."},
        {30 * 86400, "mo.", "mo."},
        {7 * 86400, "wk.", "wk."},
        {86400, "day", "days"},
        {3600, "hr.", "hr."},
        {60, "min.", "min."},
        {1, "sec.", "sec."},
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
    const qint64 count = magnitude / unit->seconds;
    const QString amount =
        QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? unit->one : unit->many));
    return delta >= 0 ? QStringLiteral("in ") + amount : amount + QStringLiteral(" ago");
}

} // namespace Starvane
