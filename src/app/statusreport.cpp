// SPDX-License-Identifier: GPL-3.0-or-later
// What `status`, `status --json` and `history --json` say: the stable words and keys for scripts, and the
// text a person reads, made from them in the caller's language.
#include "statusreport.h"

#include "errortext.h"
#include "menubarcontentview.h"
#include "models/errors.h"
#include "relativetime.h"
#include "store/keptpictures.h"
#include "store/picturelibrary.h"
#include "store/wallpaperhistory.h"
#include "store/wallpaperstore.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>

namespace Starvane {

namespace {
template <typename T> struct Word
{
    T value;
    QLatin1String word;
};

constexpr Word<ChangeFrequency> kFrequencyWords[] = {{ChangeFrequency::manual, QLatin1String("manual")},
                                                     {ChangeFrequency::every5Minutes, QLatin1String("5m")},
                                                     {ChangeFrequency::every15Minutes, QLatin1String("15m")},
                                                     {ChangeFrequency::hourly, QLatin1String("hourly")},
                                                     {ChangeFrequency::daily, QLatin1String("daily")}};
constexpr Word<DisplayScope> kDisplayWords[] = {{DisplayScope::allDisplays, QLatin1String("all")},
                                                {DisplayScope::mainDisplay, QLatin1String("main")},
                                                {DisplayScope::eachDisplay, QLatin1String("each")}};

template <typename T, size_t N> QString wordFor(const Word<T> (&table)[N], T value)
{
    for (const auto &w : table)
        if (w.value == value) return w.word;
    return {};
}

template <typename T, size_t N> std::optional<T> valueFor(const Word<T> (&table)[N], const QString &word)
{
    for (const auto &w : table)
        if (w.word == word) return w.value;
    return std::nullopt;
}

QString networkHoldWord(NetworkHold hold)
{
    switch (hold) {
    case NetworkHold::offline:
        return QStringLiteral("offline");
    case NetworkHold::meteredSaved:
        return QStringLiteral("meteredSaved");
    case NetworkHold::meteredWaiting:
        return QStringLiteral("meteredWaiting");
    case NetworkHold::none:
        break;
    }
    return QStringLiteral("none");
}

std::optional<NetworkHold> networkHoldFromWord(const QString &word)
{
    for (const NetworkHold hold :
         {NetworkHold::none, NetworkHold::offline, NetworkHold::meteredSaved, NetworkHold::meteredWaiting})
        if (networkHoldWord(hold) == word) return hold;
    return std::nullopt;
}

QJsonValue orNull(const std::optional<QString> &text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}
} // namespace

QString isoWithZone(const QDateTime &when)
{
    return when.toUTC().toString(Qt::ISODate);
}

QString frequencyWord(ChangeFrequency frequency)
{
    return wordFor(kFrequencyWords, frequency);
}
std::optional<ChangeFrequency> frequencyFromWord(const QString &word)
{
    return valueFor(kFrequencyWords, word);
}
QString displaysWord(DisplayScope scope)
{
    return wordFor(kDisplayWords, scope);
}
std::optional<DisplayScope> displaysFromWord(const QString &word)
{
    return valueFor(kDisplayWords, word);
}

QString StatusReport::statusText(const QJsonObject &status)
{
    // Words for people, in their language; `status --json` is the form for scripts.
    const auto text = [&status](const char *key) { return status.value(QLatin1String(key)).toString(); };
    QStringList lines;
    if (status.value(QStringLiteral("id")).isString()) {
        lines << tr("Wallpaper: %1 (%2)").arg(text("title"), text("id"));
        // A credit of several lines keeps them, indented under its first.
        lines << tr("Credit: %1").arg(text("credit").replace(QLatin1Char('\n'), QStringLiteral("\n  ")));
    } else {
        lines << tr("Wallpaper: none yet");
    }
    if (status.value(QStringLiteral("file")).isString()) lines << tr("File: %1").arg(text("file"));
    if (status.value(QStringLiteral("askingForPermission")).toBool())
        lines << tr("The desktop is asking whether Starvane may change the background; answer it there.");
    AppSettings settings;
    settings.frequency = frequencyFromWord(text("frequency")).value_or(settings.frequency);
    settings.isPaused = status.value(QStringLiteral("paused")).toBool();
    const DisplayScope scope = displaysFromWord(text("displays")).value_or(settings.displayScope);
    lines << tr("Status: %1")
                 .arg(MenuBarContentView::statusSummary(
                     settings, status.value(QStringLiteral("loading")).toBool(),
                     networkHoldFromWord(text("networkHold")).value_or(NetworkHold::none)));
    lines << tr("Displays: %1").arg(DisplayScopes::displayName(scope));
    if (scope == DisplayScope::eachDisplay) {
        for (const QJsonValue &value : status.value(QStringLiteral("screens")).toArray()) {
            const QJsonObject screen = value.toObject();
            const QJsonObject g = screen.value(QStringLiteral("geometry")).toObject();
            const QString where = QStringLiteral("%1x%2+%3+%4")
                                      .arg(g.value(QStringLiteral("width")).toInt())
                                      .arg(g.value(QStringLiteral("height")).toInt())
                                      .arg(g.value(QStringLiteral("x")).toInt())
                                      .arg(g.value(QStringLiteral("y")).toInt());
            const QString name = screen.value(QStringLiteral("name")).toString();
            lines << (screen.value(QStringLiteral("id")).isString()
                          ? tr("Display %1 (%2): %3 (%4)")
                                .arg(name, where, screen.value(QStringLiteral("title")).toString(),
                                     screen.value(QStringLiteral("id")).toString())
                          : tr("Display %1 (%2): none yet").arg(name, where));
        }
    }
    if (status.value(QStringLiteral("lockScreen")).toBool()) lines << tr("Lock screen: the main display's picture");
    const QDateTime next = QDateTime::fromString(text("nextChange"), Qt::ISODate);
    lines << (next.isValid() ? tr("Next change: %1").arg(dateTimeText(next)) : tr("Next change: none scheduled"));
    if (status.value(QStringLiteral("error")).isString())
        lines << tr("Error: %1").arg(ErrorText::fromStatus(status, QDateTime::currentDateTimeUtc()).joined());
    return lines.join(QLatin1Char('\n'));
}

QJsonObject StatusReport::statusJson(const WallpaperStore &store)
{
    const std::optional<HubbleImage> &image = store.currentImage();
    const std::optional<QUrl> &file = store.currentLocalFileURL();
    const std::optional<QDateTime> &next = store.nextChangeDate();
    bool isYear = false;
    const int year = image && image->dateCaptured ? image->dateCaptured->toInt(&isYear) : 0;
    const std::optional<ChangeError> &error = store.changes().error();
    const QString detail = ErrorText::nextStepForScripts(store);
    return QJsonObject{
        {QStringLiteral("id"), orNull(image ? std::optional(image->id) : std::nullopt)},
        {QStringLiteral("title"), orNull(image ? std::optional(image->title.trimmed()) : std::nullopt)},
        {QStringLiteral("credit"), orNull(image ? std::optional(image->credit) : std::nullopt)},
        {QStringLiteral("description"), orNull(image ? image->description : std::nullopt)},
        {QStringLiteral("file"), orNull(file ? std::optional(file->toLocalFile()) : std::nullopt)},
        {QStringLiteral("hash"), orNull(image ? store.currentContentHash() : std::nullopt)},
        {QStringLiteral("captureYear"), isYear ? QJsonValue(year) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("paused"), store.settings().isPaused},
        {QStringLiteral("frequency"), frequencyWord(store.settings().frequency)},
        {QStringLiteral("displays"), displaysWord(store.settings().displayScope)},
        {QStringLiteral("nextChange"), orNull(next ? std::optional(isoWithZone(*next)) : std::nullopt)},
        {QStringLiteral("loading"), store.isLoading()},
        {QStringLiteral("askingForPermission"), store.isAskingForPermission()},
        {QStringLiteral("error"), orNull(store.errorMessage())},
        {QStringLiteral("errorDetail"), orNull(detail.isEmpty() ? std::nullopt : std::optional(detail))},
        {QStringLiteral("errorCode"), orNull(error ? std::optional(error->code()) : std::nullopt)},
        {QStringLiteral("errorArguments"), error ? QJsonValue(error->arguments()) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("networkHold"), networkHoldWord(store.changes().networkHold())},
        {QStringLiteral("downloadOnMetered"), store.settings().downloadOnMetered},
        {QStringLiteral("saveData"), store.settings().saveData},
        {QStringLiteral("notifyOnChange"), store.settings().notifyOnChange},
        {QStringLiteral("showCaption"), store.settings().showCaption},
        {QStringLiteral("dimInDarkStyle"), store.settings().dimInDarkStyle},
        {QStringLiteral("screens"), screensJson(store)},
        {QStringLiteral("lockScreen"), store.lockScreenEnabled()},
    };
}

QJsonObject StatusReport::historyJson(const WallpaperStore &store)
{
    const WallpaperHistory &history = store.library().history();
    QJsonArray entries;
    for (const HistoryEntry &e : history.entries()) {
        QJsonObject o = e.toJsonObject();
        o.insert(QStringLiteral("kept"), store.library().kept().isKept(e.id));
        o.insert(QStringLiteral("banned"), history.isBannedID(e.id));
        // Scripts find the key on every entry; the history file leaves it out when there is nothing to say.
        o.insert(QStringLiteral("description"),
                 e.description.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(e.description));
        entries.append(o);
    }
    return QJsonObject{{QStringLiteral("version"), 1}, {QStringLiteral("entries"), entries}};
}

QJsonArray StatusReport::screensJson(const WallpaperStore &store)
{
    QJsonArray screens;
    const QList<DisplayState> states = store.displayStates();
    const DisplayScope scope = store.settings().displayScope;
    for (const DisplayState &state : states) {
        const QRect g = state.display.geometry;
        // Outside "each display" mode a display shows the one current picture, when it is in the scope.
        std::optional<DisplayRecord> record = state.record;
        if (scope != DisplayScope::eachDisplay) {
            const bool inScope =
                scope == DisplayScope::allDisplays || state.display.primary || !store.supportsPerDisplayWallpaper();
            record.reset();
            if (inScope && store.currentImage() && store.currentLocalFileURL())
                record = DisplayRecord{state.display.name,
                                       ShownPicture{*store.currentImage(), *store.currentLocalFileURL(),
                                                    store.currentContentHash().value_or(QString()), QUrl()},
                                       {}};
        }
        screens.append(QJsonObject{
            {QStringLiteral("name"), state.display.name},
            {QStringLiteral("key"), state.display.key},
            {QStringLiteral("primary"), state.display.primary},
            {QStringLiteral("geometry"), QJsonObject{{QStringLiteral("x"), g.x()},
                                                     {QStringLiteral("y"), g.y()},
                                                     {QStringLiteral("width"), g.width()},
                                                     {QStringLiteral("height"), g.height()}}},
            {QStringLiteral("id"), orNull(record ? std::optional(record->picture.image.id) : std::nullopt)},
            {QStringLiteral("title"),
             orNull(record ? std::optional(record->picture.image.title.trimmed()) : std::nullopt)},
            {QStringLiteral("description"), orNull(record ? record->picture.image.description : std::nullopt)},
            {QStringLiteral("file"), orNull(record ? std::optional(record->picture.file.toLocalFile()) : std::nullopt)},
        });
    }
    return screens;
}

} // namespace Starvane
