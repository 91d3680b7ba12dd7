// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

namespace Starvane {

class WallpaperStore;

/// The words a person reads about the last failure: what went wrong, in their language, and beneath it
/// what Starvane does next, said only when it is true. The one place those words are made.
struct ErrorText
{
    Q_DECLARE_TR_FUNCTIONS(Starvane::ErrorText)

public:
    QString message;
    /// "Trying again in 5 minutes", "Waiting for a network connection", or empty.
    QString nextStep;

    bool isEmpty() const { return message.isEmpty(); }
    /// Both, on two lines.
    QString joined() const { return nextStep.isEmpty() ? message : message + QLatin1Char('\n') + nextStep; }

    static ErrorText of(const WallpaperStore &store);
    /// From `status --json` of an instance that may speak another language.
    static ErrorText fromStatus(const QJsonObject &status, const QDateTime &now);
    /// The next step in English, for `status --json` ("errorDetail").
    static QString nextStepForScripts(const WallpaperStore &store);
};

} // namespace Starvane
