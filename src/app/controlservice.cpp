// SPDX-License-Identifier: GPL-3.0-or-later
#include "controlservice.h"

#include "errortext.h"
#include "livemenuobjects.h"
#include "menubarcontentview.h"
#include "models/errors.h"
#include "relativetime.h"
#include "store/keptpictures.h"
#include "store/wallpaperhistory.h"
#include "store/wallpaperstore.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QMetaProperty>
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

std::optional<NetworkHold> networkHoldFromWord(const QString &word)
{
    for (const NetworkHold hold :
         {NetworkHold::none, NetworkHold::offline, NetworkHold::meteredSaved, NetworkHold::meteredWaiting})
        if (networkHoldWord(hold) == word) return hold;
    return std::nullopt;
}

QString isoWithZone(const QDateTime &when)
{
    return when.toUTC().toString(Qt::ISODate);
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
    for (const auto signal : {&WallpaperStore::settingsChanged, &WallpaperStore::currentImageChanged,
                              &WallpaperStore::currentLocalFileURLChanged, &WallpaperStore::isLoadingChanged,
                              &WallpaperStore::errorMessageChanged, &WallpaperStore::nextChangeDateChanged})
        connect(store, signal, this, &ControlService::scheduleAnnouncement);
    m_announced = properties();
}

ControlService::Registration ControlService::registerOn(QDBusConnection bus, QString *error)
{
    if (!bus.isConnected()) {
        *error = QStringLiteral("no session bus: %1").arg(bus.lastError().message());
        return Registration::failed;
    }
    // The object first: a name that answers with "no such object" would send the next launch's
    // commands nowhere.
    if (!bus.registerObject(kControlPath, this,
                            QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableProperties)) {
        *error = QStringLiteral("could not export %1: %2").arg(kControlPath, bus.lastError().message());
        return Registration::failed;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
        kServiceName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_bus = bus;
        m_announced = properties();
        return Registration::registered;
    }
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

QString ControlService::statusText(const QJsonObject &status)
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

QJsonObject ControlService::statusJson(const WallpaperStore &store)
{
    const std::optional<HubbleImage> &image = store.currentImage();
    const std::optional<QUrl> &file = store.currentLocalFileURL();
    const std::optional<QDateTime> &next = store.nextChangeDate();
    bool isYear = false;
    const int year = image && image->dateCaptured ? image->dateCaptured->toInt(&isYear) : 0;
    const std::optional<ChangeError> &error = store.error();
    const QString detail = ErrorText::nextStepForScripts(store);
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
        {QStringLiteral("nextChange"), orNull(next ? std::optional(isoWithZone(*next)) : std::nullopt)},
        {QStringLiteral("loading"), store.isLoading()},
        {QStringLiteral("error"), orNull(store.errorMessage())},
        {QStringLiteral("errorDetail"), orNull(detail.isEmpty() ? std::nullopt : std::optional(detail))},
        {QStringLiteral("errorCode"), orNull(error ? std::optional(error->code()) : std::nullopt)},
        {QStringLiteral("errorArguments"), error ? QJsonValue(error->arguments()) : QJsonValue(QJsonValue::Null)},
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
            {QStringLiteral("title"), orNull(record ? std::optional(record->picture.image.title.trimmed()) : std::nullopt)},
            {QStringLiteral("file"), orNull(record ? std::optional(record->picture.file.toLocalFile()) : std::nullopt)},
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
        reply(kErrorRefused,
              QT_TRANSLATE_NOOP("Starvane::ControlService", "There is no earlier picture to go back to."));
    else if (!m_store->showPreviousWallpaper())
        reply(kErrorRefused, QT_TRANSLATE_NOOP("Starvane::ControlService", "A change is already under way."));
}

QString ControlService::Keep()
{
    if (const auto error = m_store->keepCurrentWallpaper()) {
        reply(kErrorRefused, *error);
        return {};
    }
    return m_store->currentImage() ? m_store->keptPictures().fileFor(m_store->currentImage()->id) : QString();
}

void ControlService::Unkeep()
{
    if (!m_store->currentImage() || !m_store->unkeep(m_store->currentImage()->id))
        reply(kErrorNothingToDo, QT_TRANSLATE_NOOP("Starvane::ControlService", "The picture on screen is not kept."));
}

void ControlService::NeverAgain()
{
    if (!m_store->currentImage()) {
        reply(kErrorRefused, QT_TRANSLATE_NOOP("Starvane::ControlService", "There is no picture on screen."));
        return;
    }
    m_store->neverAgain();
}

QString ControlService::KeepOn(const QString &display)
{
    const std::optional<QString> key = m_store->displayKeyNamed(display);
    if (!key) {
        reply(kErrorInvalidArgument, QT_TRANSLATE_NOOP("Starvane::ControlService", "No display of that name is connected."));
        return {};
    }
    if (const auto error = m_store->keepCurrentWallpaper(*key)) {
        reply(kErrorRefused, *error);
        return {};
    }
    const std::optional<ShownPicture> shown = m_store->screen().shownOn(
        *key, m_store->settings().displayScope == DisplayScope::eachDisplay);
    return shown ? m_store->keptPictures().fileFor(shown->id()) : QString();
}

void ControlService::NeverAgainOn(const QString &display)
{
    const std::optional<QString> key = m_store->displayKeyNamed(display);
    if (!key) {
        reply(kErrorInvalidArgument, QT_TRANSLATE_NOOP("Starvane::ControlService", "No display of that name is connected."));
        return;
    }
    if (!m_store->currentImage()) {
        reply(kErrorRefused, QT_TRANSLATE_NOOP("Starvane::ControlService", "There is no picture on screen."));
        return;
    }
    m_store->neverAgain(*key);
}

QString ControlService::HistoryJson()
{
    return QString::fromUtf8(QJsonDocument(historyJson(*m_store)).toJson(QJsonDocument::Compact));
}

void ControlService::ShowHistoryEntry(int index)
{
    const QList<HistoryEntry> &entries = m_store->history().entries();
    if (index < 0 || index >= entries.size())
        reply(kErrorInvalidArgument,
              QT_TRANSLATE_NOOP("Starvane::ControlService", "The history has no entry with that number."));
    else if (m_store->history().isBannedID(entries.at(index).id))
        reply(kErrorRefused, QT_TRANSLATE_NOOP("Starvane::ControlService",
                                               "That picture is never shown again; allow it again first."));
    else if (index == m_store->historyPosition() && m_store->currentImage() &&
             m_store->currentImage()->id == entries.at(index).id)
        reply(kErrorNothingToDo, QT_TRANSLATE_NOOP("Starvane::ControlService", "That picture is on screen now."));
    else if (m_store->isLoading())
        reply(kErrorRefused, QT_TRANSLATE_NOOP("Starvane::ControlService", "A change is already under way."));
    else if (!m_store->showHistoryEntry(index))
        reply(kErrorRefused, QT_TRANSLATE_NOOP("Starvane::ControlService", "This picture can no longer be shown."));
}

void ControlService::ShowHistoryPicture(const QString &id)
{
    const QList<HistoryEntry> &entries = m_store->history().entries();
    for (int i = 0; i < entries.size(); ++i)
        if (entries.at(i).id == id) return ShowHistoryEntry(i);
    reply(kErrorInvalidArgument,
          QT_TRANSLATE_NOOP("Starvane::ControlService", "The history has no picture with that id."));
}

void ControlService::AllowAgain(const QString &id)
{
    if (!m_store->history().isBannedID(id))
        reply(kErrorInvalidArgument,
              QT_TRANSLATE_NOOP("Starvane::ControlService", "No picture with that id is banned."));
    else
        m_store->liftBan(id);
}

void ControlService::SetOnlyKept(bool enabled)
{
    if (enabled && m_store->keptPictures().all().isEmpty())
        reply(kErrorRefused, QT_TRANSLATE_NOOP("Starvane::ControlService", "No picture is kept yet: keep one first."));
    else
        m_store->updateOnlyKeptPictures(enabled);
}

void ControlService::SetSaveData(bool enabled)
{
    m_store->updateSaveData(enabled);
}

void ControlService::SetDownloadOnMetered(bool enabled)
{
    m_store->updateDownloadOnMetered(enabled);
}

void ControlService::SetNotifyOnChange(bool enabled)
{
    m_store->updateNotifyOnChange(enabled);
}

void ControlService::Pause()
{
    if (m_store->settings().frequency == ChangeFrequency::manual)
        reply(kErrorNothingToDo,
              QT_TRANSLATE_NOOP("Starvane::ControlService",
                                "The wallpaper changes only when asked (manual mode): there is nothing to pause."));
    else if (!m_store->settings().isPaused)
        m_store->togglePaused();
}

void ControlService::Resume()
{
    if (m_store->settings().frequency == ChangeFrequency::manual)
        reply(kErrorNothingToDo,
              QT_TRANSLATE_NOOP("Starvane::ControlService",
                                "The wallpaper changes only when asked (manual mode): there is nothing to resume."));
    else if (m_store->settings().isPaused)
        m_store->togglePaused();
}

void ControlService::TogglePause()
{
    if (m_store->settings().isPaused)
        Resume();
    else
        Pause();
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
        reply(kErrorInvalidArgument, QStringLiteral("unknown frequency '%1'").arg(word));
}

void ControlService::SetDisplays(const QString &word)
{
    if (const auto scope = displaysFromWord(word))
        m_store->updateDisplayScope(*scope);
    else
        reply(kErrorInvalidArgument, QStringLiteral("unknown displays choice '%1'").arg(word));
}

void ControlService::SetLockScreen(const QString &word)
{
    if (word != QLatin1String("on") && word != QLatin1String("off"))
        reply(kErrorInvalidArgument, QStringLiteral("unknown lock screen choice '%1'").arg(word));
    else if (word == QLatin1String("on") && !m_store->supportsLockScreen())
        reply(kErrorRefused,
              QT_TRANSLATE_NOOP("Starvane::ControlService", "This desktop's lock screen cannot be given a picture."));
    else
        m_store->setLockScreenEnabled(word == QLatin1String("on"));
}

void ControlService::reply(const QString &errorName, const char *reason)
{
    reply(errorName, QString::fromUtf8(reason));
}

void ControlService::reply(const QString &errorName, const QString &reason)
{
    if (calledFromDBus()) sendErrorReply(errorName, reason);
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

QString ControlService::id() const
{
    return m_store->currentImage() ? m_store->currentImage()->id : QString();
}

QString ControlService::title() const
{
    return m_store->currentImage() ? m_store->currentImage()->title.trimmed() : QString();
}

QString ControlService::credit() const
{
    return m_store->currentImage() ? m_store->currentImage()->credit : QString();
}

QString ControlService::file() const
{
    return m_store->currentLocalFileURL() ? m_store->currentLocalFileURL()->toLocalFile() : QString();
}

bool ControlService::paused() const
{
    return m_store->settings().isPaused;
}

QString ControlService::frequency() const
{
    return frequencyWord(m_store->settings().frequency);
}

QString ControlService::displays() const
{
    return displaysWord(m_store->settings().displayScope);
}

QString ControlService::nextChange() const
{
    return m_store->nextChangeDate() ? isoWithZone(*m_store->nextChangeDate()) : QString();
}

bool ControlService::loading() const
{
    return m_store->isLoading();
}

QString ControlService::error() const
{
    return m_store->errorMessage().value_or(QString());
}

QVariantMap ControlService::properties() const
{
    QVariantMap values;
    const QMetaObject *meta = metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        values.insert(QString::fromLatin1(meta->property(i).name()), meta->property(i).read(this));
    return values;
}

void ControlService::scheduleAnnouncement()
{
    // One signal for what one step of the store changed together (a new picture: id, title, file, …).
    if (std::exchange(m_announcementScheduled, true)) return;
    QMetaObject::invokeMethod(this, &ControlService::announceChangedProperties, Qt::QueuedConnection);
}

void ControlService::announceChangedProperties()
{
    m_announcementScheduled = false;
    const QVariantMap now = properties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (m_announced.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    m_announced = now;
    if (changed.isEmpty() || !m_bus) return;
    QDBusMessage signal = QDBusMessage::createSignal(kControlPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << kControlInterface << changed << QStringList();
    m_bus->send(signal);
}

} // namespace Starvane
