// SPDX-License-Identifier: GPL-3.0-or-later
#include "appsettings.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

namespace Starvane {

namespace {
struct FrequencyInfo
{
    ChangeFrequency value;
    const char *raw;
    const char *displayName;
    const char *shortLabel;
    double interval; // 0 = none
};

constexpr FrequencyInfo kFrequencies[] = {
    {ChangeFrequency::manual, "manual", QT_TRANSLATE_NOOP("Starvane::ChangeFrequency", "Manual only"),
     QT_TRANSLATE_NOOP("Starvane::ChangeFrequencyShort", "Manual"), 0},
    {ChangeFrequency::every5Minutes, "every5Minutes", QT_TRANSLATE_NOOP("Starvane::ChangeFrequency", "Every 5 minutes"),
     QT_TRANSLATE_NOOP("Starvane::ChangeFrequencyShort", "5 min"), 300},
    {ChangeFrequency::every15Minutes, "every15Minutes", QT_TRANSLATE_NOOP("Starvane::ChangeFrequency", "Every 15 minutes"),
     QT_TRANSLATE_NOOP("Starvane::ChangeFrequencyShort", "15 min"), 900},
    {ChangeFrequency::hourly, "hourly", QT_TRANSLATE_NOOP("Starvane::ChangeFrequency", "Every hour"),
     QT_TRANSLATE_NOOP("Starvane::ChangeFrequencyShort", "1 hour"), 3600},
    {ChangeFrequency::daily, "daily", QT_TRANSLATE_NOOP("Starvane::ChangeFrequency", "Daily"),
     QT_TRANSLATE_NOOP("Starvane::ChangeFrequencyShort", "Daily"), 86400},
};

const FrequencyInfo &info(ChangeFrequency f)
{
    return kFrequencies[static_cast<int>(f)];
}
} // namespace

namespace ChangeFrequencies {
const QList<ChangeFrequency> &allCases()
{
    static const QList<ChangeFrequency> all{ChangeFrequency::manual, ChangeFrequency::every5Minutes,
                                            ChangeFrequency::every15Minutes, ChangeFrequency::hourly,
                                            ChangeFrequency::daily};
    return all;
}

QString rawValue(ChangeFrequency f) { return QLatin1String(info(f).raw); }

std::optional<ChangeFrequency> fromRawValue(const QString &raw)
{
    for (const auto &i : kFrequencies)
        if (raw == QLatin1String(i.raw))
            return i.value;
    return std::nullopt;
}

ChangeFrequency decodeStored(const QString &raw)
{
    // Earlier versions offered 30-minute and 6-hour intervals; they, and anything unknown, become hourly.
    return fromRawValue(raw).value_or(ChangeFrequency::hourly);
}

// Shown in the user's language; the raw values are what gets stored.
QString displayName(ChangeFrequency f) { return QCoreApplication::translate("Starvane::ChangeFrequency", info(f).displayName); }
QString shortLabel(ChangeFrequency f)
{
    // Its own context: these stand inside the tray's "Paused · every … when resumed" and may be worded differently from
    // the full names.
    return QCoreApplication::translate("Starvane::ChangeFrequencyShort", info(f).shortLabel);
}

std::optional<double> interval(ChangeFrequency f)
{
    if (f == ChangeFrequency::manual)
        return std::nullopt;
    return info(f).interval;
}
} // namespace ChangeFrequencies

namespace DisplayScopes {
const QList<DisplayScope> &allCases()
{
    static const QList<DisplayScope> all{DisplayScope::allDisplays, DisplayScope::mainDisplay,
                                         DisplayScope::eachDisplay};
    return all;
}

QString rawValue(DisplayScope s)
{
    switch (s) {
    case DisplayScope::allDisplays:
        return QStringLiteral("allDisplays");
    case DisplayScope::mainDisplay:
        return QStringLiteral("mainDisplay");
    case DisplayScope::eachDisplay:
        return QStringLiteral("eachDisplay");
    }
    return {};
}

std::optional<DisplayScope> fromRawValue(const QString &raw)
{
    for (DisplayScope s : allCases())
        if (raw == rawValue(s)) return s;
    return std::nullopt;
}

QString displayName(DisplayScope s)
{
    switch (s) {
    case DisplayScope::allDisplays:
        return QCoreApplication::translate("Starvane::DisplayScope", "All displays");
    case DisplayScope::mainDisplay:
        return QCoreApplication::translate("Starvane::DisplayScope", "Main display");
    case DisplayScope::eachDisplay:
        return QCoreApplication::translate("Starvane::DisplayScope", "Each display");
    }
    return {};
}

QString description(DisplayScope s)
{
    switch (s) {
    case DisplayScope::allDisplays:
        return QCoreApplication::translate("Starvane::DisplayScope", "The same picture on every display");
    case DisplayScope::mainDisplay:
        return QCoreApplication::translate("Starvane::DisplayScope", "A picture on the main display only");
    case DisplayScope::eachDisplay:
        return QCoreApplication::translate("Starvane::DisplayScope", "A different picture on each display");
    }
    return {};
}
} // namespace DisplayScopes

QByteArray AppSettings::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("frequency"), ChangeFrequencies::rawValue(frequency));
    o.insert(QStringLiteral("displayScope"), DisplayScopes::rawValue(displayScope));
    o.insert(QStringLiteral("isPaused"), isPaused);
    o.insert(QStringLiteral("onlyKeptPictures"), onlyKeptPictures);
    o.insert(QStringLiteral("downloadOnMetered"), downloadOnMetered);
    o.insert(QStringLiteral("saveData"), saveData);
    o.insert(QStringLiteral("notifyOnChange"), notifyOnChange);
    o.insert(QStringLiteral("showCaption"), showCaption);
    o.insert(QStringLiteral("dimInDarkStyle"), dimInDarkStyle);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<AppSettings> AppSettings::fromJson(const QByteArray &json)
{
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    const QJsonValue f = o.value(QStringLiteral("frequency"));
    const QJsonValue s = o.value(QStringLiteral("displayScope"));
    const QJsonValue p = o.value(QStringLiteral("isPaused"));
    if (!f.isString() || !s.isString() || !p.isBool())
        return std::nullopt;
    const auto scope = DisplayScopes::fromRawValue(s.toString());
    if (!scope)
        return std::nullopt;
    AppSettings settings{ChangeFrequencies::decodeStored(f.toString()), *scope, p.toBool()};
    // Added later: settings written before them lack the keys.
    settings.onlyKeptPictures = o.value(QStringLiteral("onlyKeptPictures")).toBool(false);
    settings.downloadOnMetered = o.value(QStringLiteral("downloadOnMetered")).toBool(false);
    settings.saveData = o.value(QStringLiteral("saveData")).toBool(false);
    settings.notifyOnChange = o.value(QStringLiteral("notifyOnChange")).toBool(false);
    settings.showCaption = o.value(QStringLiteral("showCaption")).toBool(false);
    settings.dimInDarkStyle = o.value(QStringLiteral("dimInDarkStyle")).toBool(false);
    return settings;
}

} // namespace Starvane
