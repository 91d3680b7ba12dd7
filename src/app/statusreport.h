// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/appsettings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <optional>

namespace Starvane {

class WallpaperStore;

/// The words scripts use for the two choices: manual|5m|15m|hourly|daily and all|main|each.
QString frequencyWord(ChangeFrequency frequency);
std::optional<ChangeFrequency> frequencyFromWord(const QString &word);
QString displaysWord(DisplayScope scope);
std::optional<DisplayScope> displaysFromWord(const QString &word);
/// ISO 8601 with the zone, as every date in the JSON is written.
QString isoWithZone(const QDateTime &when);

/// What the `status` and `history` commands print: the stable JSON for scripts, and the text a person
/// reads, made from that JSON so that a caller words the instance's state in its own language.
class StatusReport
{
    Q_DECLARE_TR_FUNCTIONS(Starvane::ControlService)

public:
    /// The human-readable state, in this process's language, from the object `statusJson` makes.
    static QString statusText(const QJsonObject &status);
    static QString statusText(const WallpaperStore &store) { return statusText(statusJson(store)); }
    /// The machine-readable state `status --json` prints; its keys and words are stable.
    static QJsonObject statusJson(const WallpaperStore &store);
    /// The history as `history --json` prints it: the entries of the history file, newest first, each
    /// with "kept" and "banned".
    static QJsonObject historyJson(const WallpaperStore &store);
    /// Every connected display: name, key, geometry, and the picture it shows.
    static QJsonArray screensJson(const WallpaperStore &store);
};

} // namespace Starvane
