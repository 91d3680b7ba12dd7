// SPDX-License-Identifier: GPL-3.0-or-later
#include "errortext.h"

#include "models/errors.h"
#include "store/wallpaperstore.h"

#include <QLocale>
#include <cmath>

namespace Starvane {

namespace {
enum class NextStep { none, retry, waitForNetwork };

NextStep nextStepOf(const WallpaperStore &store)
{
    if (store.changes().isRetryScheduled() && store.nextChangeDate()) return NextStep::retry;
    if ((store.changes().networkHold() == NetworkHold::offline)) return NextStep::waitForNetwork;
    return NextStep::none;
}

int minutesUntil(const QDateTime &next, const QDateTime &now)
{
    return std::max(1, int(std::ceil(double(now.secsTo(next)) / 60.0)));
}

QString stepText(NextStep step, int minutes, bool localized)
{
    switch (step) {
    case NextStep::retry:
        if (minutes == 1)
            return localized ? ErrorText::tr("Trying again in 1 minute") : QStringLiteral("Trying again in 1 minute");
        return localized ? ErrorText::tr("Trying again in %1 minutes").arg(QLocale().toString(minutes))
                         : QStringLiteral("Trying again in %1 minutes").arg(minutes);
    case NextStep::waitForNetwork:
        return localized ? ErrorText::tr("Waiting for a network connection")
                         : QStringLiteral("Waiting for a network connection");
    case NextStep::none:
        break;
    }
    return {};
}
} // namespace

ErrorText ErrorText::of(const WallpaperStore &store)
{
    const QDateTime now = store.now();
    const std::optional<ChangeError> &error = store.changes().error();
    if (!error) return {};
    const NextStep step = nextStepOf(store);
    const int minutes = store.nextChangeDate() ? minutesUntil(*store.nextChangeDate(), now) : 0;
    return {error->localizedDescription(), stepText(step, minutes, true)};
}

QString ErrorText::nextStepForScripts(const WallpaperStore &store)
{
    const QDateTime now = store.now();
    if (!store.changes().error()) return {};
    const int minutes = store.nextChangeDate() ? minutesUntil(*store.nextChangeDate(), now) : 0;
    return stepText(nextStepOf(store), minutes, false);
}

ErrorText ErrorText::fromStatus(const QJsonObject &status, const QDateTime &now)
{
    if (!status.value(QStringLiteral("error")).isString()) return {};
    const std::optional<ChangeError> error =
        ChangeError::fromCode(status.value(QStringLiteral("errorCode")).toString(),
                              status.value(QStringLiteral("errorArguments")).toObject());
    ErrorText text;
    text.message = error ? error->localizedDescription() : status.value(QStringLiteral("error")).toString();
    const QString detail = status.value(QStringLiteral("errorDetail")).toString();
    if (detail.startsWith(QLatin1String("Trying again"))) {
        const QDateTime next =
            QDateTime::fromString(status.value(QStringLiteral("nextChange")).toString(), Qt::ISODate);
        text.nextStep = stepText(NextStep::retry, next.isValid() ? minutesUntil(next, now) : 5, true);
    } else if (detail.startsWith(QLatin1String("Waiting"))) {
        text.nextStep = stepText(NextStep::waitForNetwork, 0, true);
    }
    return text;
}

} // namespace Starvane
