// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace Starvane {

/// How often the wallpaper changes by itself. Enumerators keep their stored raw values' spelling.
enum class ChangeFrequency { manual, every5Minutes, every15Minutes, hourly, daily };

namespace ChangeFrequencies {
const QList<ChangeFrequency> &allCases();
QString rawValue(ChangeFrequency f);
/// Strict: only the five raw values.
std::optional<ChangeFrequency> fromRawValue(const QString &raw);
/// Tolerant mapping used when reading stored settings: old and unknown values become hourly.
ChangeFrequency decodeStored(const QString &raw);
QString displayName(ChangeFrequency f);
QString shortLabel(ChangeFrequency f);
/// Seconds between automatic changes; absent for manual.
std::optional<double> interval(ChangeFrequency f);
} // namespace ChangeFrequencies

/// Which displays receive the wallpaper: one picture everywhere, on the main display only, or a
/// picture of its own on each display.
enum class DisplayScope { allDisplays, mainDisplay, eachDisplay };

namespace DisplayScopes {
const QList<DisplayScope> &allCases();
QString rawValue(DisplayScope s);
std::optional<DisplayScope> fromRawValue(const QString &raw);
QString displayName(DisplayScope s);
/// One sentence saying what the choice does.
QString description(DisplayScope s);
} // namespace DisplayScopes

/// The user's choices, persisted as JSON.
struct AppSettings
{
    ChangeFrequency frequency = ChangeFrequency::hourly;
    DisplayScope displayScope = DisplayScope::allDisplays;
    bool isPaused = false;
    /// Rotate among the kept pictures only, without the network.
    bool onlyKeptPictures = false;
    /// Automatic changes download over a metered connection too; otherwise they rotate cached pictures there.
    bool downloadOnMetered = false;
    /// Downloads no bigger than the largest display needs.
    bool saveData = false;
    /// A desktop notification for every new wallpaper.
    bool notifyOnChange = false;
    /// The picture's title and credit in a corner of the wallpaper.
    bool showCaption = false;
    /// A darker wallpaper while the desktop's style is dark.
    bool dimInDarkStyle = false;

    bool operator==(const AppSettings &) const = default;

    static AppSettings defaults() { return {}; }
    bool isAutoRotationActive() const { return frequency != ChangeFrequency::manual && !isPaused; }

    QByteArray toJson() const;
    /// Every key is required but the later ones (the kept-only rotation, the network options), which default
    /// when missing; the frequency is decoded tolerantly, the scope strictly.
    static std::optional<AppSettings> fromJson(const QByteArray &json);
};

} // namespace Starvane
