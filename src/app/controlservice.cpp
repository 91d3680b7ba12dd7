// SPDX-License-Identifier: GPL-3.0-or-later
#include "controlservice.h"

#include "livemenuobjects.h"
#include "menubarcontentview.h"
#include "models/errors.h"
#include "store/keptpictures.h"
#include "store/wallpaperhistory.h"
#include "store/wallpaperstore.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QTimer>

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

QJsonValue orNull(const std::optional<QString> &text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}
} // namespace

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

ControlService::ControlService(WallpaperStore *store, std::function<void()> showWindow, QObject *parent)
    : QObject(parent), m_store(store), m_showWindow(std::move(showWindow))
{
}

ControlService::Registration ControlService::registerOn(QDBusConnection bus, QString *error)
{
    if (!bus.isConnected()) {
        *error = QStringLiteral("no session bus: %1").arg(bus.lastError().message());
        return Registration::failed;
    }
    // The object first: a name that answers with "no such object" would send the next launch's
    // commands nowhere.
    if (!bus.registerObject(kControlPath, this, QDBusConnection::ExportScriptableSlots)) {
        *error = QStringLiteral("could not export %1: %2").arg(kControlPath, bus.lastError().message());
        return Registration::failed;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
        kServiceName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return Registration::registered;
    bus.unregisterObject(kControlPath);
    // Forward only to another connection: never to ourselves, which would wait on our own event loop.
    const QString owner = bus.interface()->serviceOwner(kServiceName).value();
    if (!owner.isEmpty() && owner != bus.baseService()) {
        *error = QStringLiteral("%1 is already owned by another instance").arg(kServiceName);
        return Registration::anotherInstanceRuns;
    }
    *error = QStringLiteral("could not claim %1: %2")
                 .arg(kServiceName, reply.isValid() ? QStringLiteral("the bus refused it") : reply.error().message());
    return Registration::failed;
}

QString ControlService::statusText(const WallpaperStore &store)
{
    // Words for people, in their language; `status --json` is the form for scripts.
    QStringList lines;
    if (const auto &image = store.currentImage()) {
        lines << tr("Wallpaper: %1 (%2)").arg(image->title.trimmed(), image->id);
        lines << tr("Credit: %1").arg(image->credit);
    } else {
        lines << tr("Wallpaper: none yet");
    }
    if (const auto &file = store.currentLocalFileURL()) lines << tr("File: %1").arg(file->toLocalFile());
    lines << tr("Status: %1")
                 .arg(MenuBarContentView::statusSummary(store.settings(), store.isLoading(), store.networkHold()));
    lines << tr("Displays: %1").arg(DisplayScopes::displayName(store.settings().displayScope));
    if (store.settings().displayScope == DisplayScope::eachDisplay) {
        const QList<DisplayState> states = store.displayStates();
        for (const DisplayState &state : states) {
            const QRect g = state.display.geometry;
            const QString where = QStringLiteral("%1x%2+%3+%4").arg(g.width()).arg(g.height()).arg(g.x()).arg(g.y());
            lines << (state.record ? tr("Display %1 (%2): %3 (%4)")
                                         .arg(state.display.name, where, state.record->image.title.trimmed(),
                                              state.record->image.id)
                                   : tr("Display %1 (%2): none yet").arg(state.display.name, where));
        }
    }
    if (store.lockScreenEnabled()) lines << tr("Lock screen: the main display's picture");
    if (const auto &next = store.nextChangeDate()) {
        // English keeps the form it always printed; other languages write the date their own way.
        const QLocale locale;
        const bool english = locale.language() == QLocale::English || locale.language() == QLocale::C;
        lines << tr("Next change: %1")
                     .arg(english ? next->toLocalTime().toString(Qt::ISODate)
                                  : locale.toString(next->toLocalTime(), QLocale::ShortFormat));
    } else {
        lines << tr("Next change: none scheduled");
    }
    if (const auto &error = store.errorMessage()) lines << tr("Error: %1").arg(localizedErrorMessage(*error));
    return lines.join(QLatin1Char('\n'));
}

QJsonObject ControlService::statusJson(const WallpaperStore &store)
{
    const std::optional<HubbleImage> &image = store.currentImage();
    const std::optional<QUrl> &file = store.currentLocalFileURL();
    const std::optional<QDateTime> &next = store.nextChangeDate();
    bool isYear = false;
    const int year = image && image->dateCaptured ? image->dateCaptured->toInt(&isYear) : 0;
    return QJsonObject{
        {QStringLiteral("id"), orNull(image ? std::optional(image->id) : std::nullopt)},
        {QStringLiteral("title"), orNull(image ? std::optional(image->title.trimmed()) : std::nullopt)},
        {QStringLiteral("credit"), orNull(image ? std::optional(image->credit) : std::nullopt)},
        {QStringLiteral("file"), orNull(file ? std::optional(file->toLocalFile()) : std::nullopt)},
        {QStringLiteral("hash"), orNull(image ? store.currentContentHash() : std::nullopt)},
        {QStringLiteral("captureYear"), isYear ? QJsonValue(year) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("paused"), store.settings().isPaused},
        {QStringLiteral("frequency"), frequencyWord(store.settings().frequency)},
        {QStringLiteral("displays"), displaysWord(store.settings().displayScope)},
        {QStringLiteral("nextChange"),
         orNull(next ? std::optional(next->toUTC().toString(Qt::ISODate)) : std::nullopt)},
        {QStringLiteral("loading"), store.isLoading()},
        {QStringLiteral("error"), orNull(store.errorMessage())},
        {QStringLiteral("errorDetail"), orNull(store.errorDetail())},
        {QStringLiteral("networkHold"), networkHoldWord(store.networkHold())},
        {QStringLiteral("downloadOnMetered"), store.settings().downloadOnMetered},
        {QStringLiteral("saveData"), store.settings().saveData},
        {QStringLiteral("notifyOnChange"), store.settings().notifyOnChange},
        {QStringLiteral("screens"), screensJson(store)},
        {QStringLiteral("lockScreen"), store.lockScreenEnabled()},
    };
}

QJsonObject ControlService::historyJson(const WallpaperStore &store)
{
    const WallpaperHistory &history = store.history();
    QJsonArray entries;
    for (const HistoryEntry &e : history.entries()) {
        QJsonObject o = e.toJsonObject();
        o.insert(QStringLiteral("kept"), store.isKept(e.id));
        o.insert(QStringLiteral("banned"), history.isBannedID(e.id));
        entries.append(o);
    }
    return QJsonObject{{QStringLiteral("version"), 1}, {QStringLiteral("entries"), entries}};
}

QJsonArray ControlService::screensJson(const WallpaperStore &store)
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
                                       *store.currentImage(),
                                       *store.currentLocalFileURL(),
                                       store.currentContentHash().value_or(QString()),
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
            {QStringLiteral("id"), orNull(record ? std::optional(record->image.id) : std::nullopt)},
            {QStringLiteral("title"), orNull(record ? std::optional(record->image.title.trimmed()) : std::nullopt)},
            {QStringLiteral("file"), orNull(record ? std::optional(record->file.toLocalFile()) : std::nullopt)},
        });
    }
    return screens;
}

void ControlService::Next()
{
    m_store->requestNextWallpaper();
}

void ControlService::Previous()
{
    if (!m_store->canShowPreviousWallpaper())
        fail(tr("There is no earlier picture to go back to."));
    else if (!m_store->showPreviousWallpaper())
        fail(tr("A change is already under way."));
}

QString ControlService::Keep()
{
    if (const auto error = m_store->keepCurrentWallpaper()) {
        fail(*error);
        return {};
    }
    return m_store->currentImage() ? m_store->keptPictures().fileFor(m_store->currentImage()->id) : QString();
}

void ControlService::Unkeep()
{
    if (!m_store->currentImage() || !m_store->unkeep(m_store->currentImage()->id))
        fail(tr("The picture on screen is not kept."));
}

void ControlService::NeverAgain()
{
    if (!m_store->currentImage()) {
        fail(tr("There is no picture on screen."));
        return;
    }
    m_store->neverAgain();
}

QString ControlService::HistoryJson()
{
    return QString::fromUtf8(QJsonDocument(historyJson(*m_store)).toJson(QJsonDocument::Compact));
}

void ControlService::Pause()
{
    if (!m_store->settings().isPaused) m_store->togglePaused();
}

void ControlService::Resume()
{
    if (m_store->settings().isPaused) m_store->togglePaused();
}

void ControlService::TogglePause()
{
    m_store->togglePaused();
}

QString ControlService::Status()
{
    return statusText(*m_store);
}

QString ControlService::StatusJson()
{
    return QString::fromUtf8(QJsonDocument(statusJson(*m_store)).toJson(QJsonDocument::Compact));
}

#ifdef STARVANE_TEST_HOOKS
QString ControlService::LiveMenuObjects()
{
    return QString::fromUtf8(QJsonDocument(liveMenuObjects()).toJson(QJsonDocument::Compact));
}
#endif

void ControlService::SetFrequency(const QString &word)
{
    if (const auto frequency = frequencyFromWord(word))
        m_store->updateFrequency(*frequency);
    else
        refuse(QStringLiteral("unknown frequency '%1'").arg(word));
}

void ControlService::SetDisplays(const QString &word)
{
    if (const auto scope = displaysFromWord(word))
        m_store->updateDisplayScope(*scope);
    else
        refuse(QStringLiteral("unknown displays choice '%1'").arg(word));
}

void ControlService::SetLockScreen(const QString &word)
{
    if (word != QLatin1String("on") && word != QLatin1String("off"))
        refuse(QStringLiteral("unknown lock screen choice '%1'").arg(word));
    else if (word == QLatin1String("on") && !m_store->supportsLockScreen())
        refuse(QStringLiteral("this desktop's lock screen cannot be given a picture"));
    else
        m_store->setLockScreenEnabled(word == QLatin1String("on"));
}

void ControlService::refuse(const QString &message)
{
    if (calledFromDBus()) sendErrorReply(QDBusError::InvalidArgs, message);
}

void ControlService::fail(const QString &message)
{
    if (calledFromDBus()) sendErrorReply(QDBusError::Failed, message);
}

void ControlService::ShowWindow()
{
    if (m_showWindow) m_showWindow();
}

void ControlService::Quit()
{
    // Answer the caller first, then leave.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

} // namespace Starvane
