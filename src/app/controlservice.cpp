// SPDX-License-Identifier: GPL-3.0-or-later
#include "controlservice.h"

#include "livemenuobjects.h"
#include "menubarcontentview.h"
#include "propertiesannouncer.h"
#include "store/keptpictures.h"
#include "store/picturelibrary.h"
#include "store/storesettings.h"
#include "store/wallpaperhistory.h"
#include "store/wallpaperstore.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QJsonDocument>
#include <QTimer>

namespace Starvane {

ControlService::ControlService(WallpaperStore *store, std::function<void()> showWindow, QObject *parent)
    : QObject(parent), m_store(store), m_showWindow(std::move(showWindow)),
      m_announcer(new PropertiesAnnouncer(this, kControlPath, kControlInterface))
{
    for (const auto signal : {&WallpaperStore::settingsChanged, &WallpaperStore::currentImageChanged,
                              &WallpaperStore::currentLocalFileURLChanged, &WallpaperStore::isLoadingChanged,
                              &WallpaperStore::errorMessageChanged, &WallpaperStore::nextChangeDateChanged})
        connect(store, signal, m_announcer, &PropertiesAnnouncer::propertiesMayHaveChanged);
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
        m_announcer->announceOn(bus);
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

void ControlService::Next()
{
    m_store->requestNextWallpaper();
}

void ControlService::Previous()
{
    if (!m_store->changes().canShowPrevious())
        reply(kErrorRefused,
              QT_TRANSLATE_NOOP("Starvane::ControlService", "There is no earlier picture to go back to."));
    else if (!m_store->changes().requestPrevious())
        reply(kErrorRefused, QT_TRANSLATE_NOOP("Starvane::ControlService", "A change is already under way."));
}

QString ControlService::Keep()
{
    if (const auto error = m_store->keepCurrentWallpaper()) {
        reply(kErrorRefused, *error);
        return {};
    }
    return m_store->currentImage() ? m_store->library().kept().fileFor(m_store->currentImage()->id) : QString();
}

void ControlService::Unkeep()
{
    if (!m_store->currentImage() || !m_store->library().unkeep(m_store->currentImage()->id))
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
        reply(kErrorInvalidArgument,
              QT_TRANSLATE_NOOP("Starvane::ControlService", "No display of that name is connected."));
        return {};
    }
    if (const auto error = m_store->keepCurrentWallpaper(*key)) {
        reply(kErrorRefused, *error);
        return {};
    }
    const std::optional<ShownPicture> shown =
        m_store->screen().shownOn(*key, m_store->settings().displayScope == DisplayScope::eachDisplay);
    return shown ? m_store->library().kept().fileFor(shown->id()) : QString();
}

void ControlService::NeverAgainOn(const QString &display)
{
    const std::optional<QString> key = m_store->displayKeyNamed(display);
    if (!key) {
        reply(kErrorInvalidArgument,
              QT_TRANSLATE_NOOP("Starvane::ControlService", "No display of that name is connected."));
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
    return QString::fromUtf8(QJsonDocument(StatusReport::historyJson(*m_store)).toJson(QJsonDocument::Compact));
}

void ControlService::ShowHistoryEntry(int index)
{
    const QList<HistoryEntry> &entries = m_store->library().history().entries();
    if (index < 0 || index >= entries.size())
        reply(kErrorInvalidArgument,
              QT_TRANSLATE_NOOP("Starvane::ControlService", "The history has no entry with that number."));
    else if (m_store->library().history().isBannedID(entries.at(index).id))
        reply(kErrorRefused, QT_TRANSLATE_NOOP("Starvane::ControlService",
                                               "That picture is never shown again; allow it again first."));
    else if (index == m_store->historyPosition() && m_store->currentImage() &&
             m_store->currentImage()->id == entries.at(index).id)
        reply(kErrorNothingToDo, QT_TRANSLATE_NOOP("Starvane::ControlService", "That picture is on screen now."));
    else if (m_store->isLoading())
        reply(kErrorRefused, QT_TRANSLATE_NOOP("Starvane::ControlService", "A change is already under way."));
    else if (!m_store->changes().requestHistoryEntry(index))
        reply(kErrorRefused, QT_TRANSLATE_NOOP("Starvane::ControlService", "This picture can no longer be shown."));
}

void ControlService::ShowHistoryPicture(const QString &id)
{
    const QList<HistoryEntry> &entries = m_store->library().history().entries();
    for (int i = 0; i < entries.size(); ++i)
        if (entries.at(i).id == id) return ShowHistoryEntry(i);
    reply(kErrorInvalidArgument,
          QT_TRANSLATE_NOOP("Starvane::ControlService", "The history has no picture with that id."));
}

void ControlService::AllowAgain(const QString &id)
{
    if (!m_store->library().history().isBannedID(id))
        reply(kErrorInvalidArgument,
              QT_TRANSLATE_NOOP("Starvane::ControlService", "No picture with that id is banned."));
    else
        m_store->library().liftBan(id);
}

void ControlService::SetOnlyKept(bool enabled)
{
    if (enabled && m_store->library().kept().all().isEmpty())
        reply(kErrorRefused, QT_TRANSLATE_NOOP("Starvane::ControlService", "No picture is kept yet: keep one first."));
    else
        m_store->settingsObject().setOnlyKeptPictures(enabled);
}

void ControlService::SetSaveData(bool enabled)
{
    m_store->settingsObject().setSaveData(enabled);
}

void ControlService::SetShowCaption(bool enabled)
{
    m_store->settingsObject().setShowCaption(enabled);
}

void ControlService::SetDimInDarkStyle(bool enabled)
{
    m_store->settingsObject().setDimInDarkStyle(enabled);
}

void ControlService::SetDownloadOnMetered(bool enabled)
{
    m_store->settingsObject().setDownloadOnMetered(enabled);
}

void ControlService::SetNotifyOnChange(bool enabled)
{
    m_store->settingsObject().setNotifyOnChange(enabled);
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
    return StatusReport::statusText(*m_store);
}

QString ControlService::StatusJson()
{
    return QString::fromUtf8(QJsonDocument(StatusReport::statusJson(*m_store)).toJson(QJsonDocument::Compact));
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

QString ControlService::description() const
{
    return m_store->currentImage() ? m_store->currentImage()->description.value_or(QString()) : QString();
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

} // namespace Starvane
