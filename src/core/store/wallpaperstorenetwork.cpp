// SPDX-License-Identifier: GPL-3.0-or-later
// The store and the connection: changes that wait for a network, downloads held back on metered
// connections, failures told in plain words, and the data-saving settings.
#include "wallpaperstore.h"

#include "async/cancellation.h"
#include "contracts/networkstatus.h"
#include "contracts/wallpaperapplying.h"
#include "fetchpipeline.h"
#include "logging.h"
#include "models/errors.h"
#include "rotationschedule.h"
#include "savedpictures.h"

#include <QPointer>
#include <cmath>

namespace Starvane {

void WallpaperStore::startFetch(bool isAutomatic)
{
    if (m_pipeline->isActive() || m_showingSavedPicture) return;
    // Kept pictures are on disk: the network does not matter to them.
    if (m_settings.onlyKeptPictures) {
        startKeptPicture(isAutomatic);
        return;
    }
    if (!m_network->isOnline()) {
        // Without a network every candidate would fail after its time-outs and use up the attempts;
        // the change waits for the network instead. A person who asked is told at once.
        if (!m_changeAwaitingNetwork) qCInfo(lcStore) << "No network connection; the wallpaper change waits for it";
        m_changeAwaitingNetwork = isAutomatic && m_changeAwaitingNetwork.value_or(true);
        if (!isAutomatic) setErrorMessage(offlineErrorMessage());
        updateNetworkHold();
        return;
    }
    m_changeAwaitingNetwork.reset();
    m_retryPending = false;
    if (isAutomatic && downloadsHeldBack()) {
        spawn(showSavedPicture(), QStringLiteral("saved picture"));
        return;
    }
    m_pipeline->start(isAutomatic);
    updateNetworkHold();
}

bool WallpaperStore::downloadsHeldBack() const
{
    return m_network->isMetered() && !m_settings.downloadOnMetered;
}

QCoro::Task<> WallpaperStore::showSavedPicture()
{
    QPointer<WallpaperStore> self(this);
    const std::shared_ptr<WallpaperApplying> applier = m_applier;
    m_showingSavedPicture = true;
    std::optional<SavedPictures::Entry> entry;
    std::exception_ptr failure;
    try {
        const QSet<QUrl> shown = co_await applier->currentDesktopImageURLs();
        if (!self) co_return;
        entry = m_saved->leastRecentNotShown(shown, m_currentLocalFileURL);
        if (entry) co_await applier->applyWallpaper(entry->file, m_settings.displayScope, {});
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self) co_return;
    m_showingSavedPicture = false;
    if (failure) {
        reportFailedFetch(failure, true);
    } else if (!entry) {
        // Nothing to rotate to: the change waits for a connection it may download on.
        if (!m_nothingSavedToShow)
            qCInfo(lcStore) << "Metered connection and no saved picture to show; waiting for an unmetered connection";
        m_nothingSavedToShow = true;
        m_changeAwaitingNetwork = true;
    } else {
        qCInfo(lcStore).noquote()
            << QStringLiteral("Metered connection; showing saved wallpaper %1").arg(entry->image.id);
        m_nothingSavedToShow = false;
        commitAppliedWallpaper(entry->image, entry->file, entry->contentHash, std::nullopt);
    }
    updateNetworkHold();
}

void WallpaperStore::networkChanged()
{
    const bool online = m_network->isOnline();
    const bool held = downloadsHeldBack();
    const bool cameOnline = online && !m_wasOnline;
    const bool heldNoMore = m_downloadsWereHeld && !held;
    if (online != m_wasOnline)
        qCInfo(lcStore).noquote()
            << QStringLiteral("Network %1").arg(online ? QStringLiteral("available") : QStringLiteral("unavailable"));
    m_wasOnline = online;
    m_downloadsWereHeld = held;
    if (!held) m_nothingSavedToShow = false;
    if ((cameOnline || heldNoMore) && (m_changeAwaitingNetwork || m_retryPending))
        m_networkSettle->start();
    else if (!online)
        m_networkSettle->stop();
    updateNetworkHold();
}

void WallpaperStore::resumeAfterNetworkReturned()
{
    if (!m_network->isOnline() || m_pipeline->isActive()) return;
    if (m_changeAwaitingNetwork) {
        const bool isAutomatic = *m_changeAwaitingNetwork;
        // An automatic change only while rotation is still on; the user's request stands regardless.
        if (!isAutomatic || isAutoRotationActive()) {
            qCInfo(lcStore) << "Network is back; starting the change that waited for it";
            startFetch(isAutomatic);
            return;
        }
        m_changeAwaitingNetwork.reset();
    } else if (m_retryPending && isAutoRotationActive()) {
        // The last change failed, most likely for want of this network: no need to sit out the retry delay.
        qCInfo(lcStore) << "Network is back; retrying the failed change now";
        startFetch(true);
        return;
    }
    updateNetworkHold();
}

void WallpaperStore::updateNetworkHold()
{
    NetworkHold hold = NetworkHold::none;
    if (!m_network->isOnline() && (m_changeAwaitingNetwork || isAutoRotationActive()))
        hold = NetworkHold::offline;
    else if (isAutoRotationActive() && downloadsHeldBack())
        hold = m_nothingSavedToShow ? NetworkHold::meteredWaiting : NetworkHold::meteredSaved;
    if (m_networkHold == hold) return;
    m_networkHold = hold;
    Q_EMIT networkHoldChanged();
}

void WallpaperStore::reportFailedFetch(const std::exception_ptr &error, bool wasAutomatic)
{
    const QString detail = describeError(error);
    if (!m_network->isOnline()) {
        // The connection went away during the change: waiting for it replaces the retry, and being
        // offline is no error of ours to show (only the person who asked is told).
        m_changeAwaitingNetwork = wasAutomatic && m_changeAwaitingNetwork.value_or(true);
        if (!wasAutomatic) setErrorMessage(offlineErrorMessage());
        updateNetworkHold();
        return;
    }
    const bool retried = m_schedule->retryAfterFailure(m_settings, wasAutomatic);
    m_retryPending = retried && m_schedule->isWaiting();
    std::optional<int> retryMinutes;
    if (m_retryPending) {
        const double delay = std::min(ChangeFrequencies::interval(m_settings.frequency).value_or(m_retryDelaySeconds),
                                      m_retryDelaySeconds);
        retryMinutes = std::max(1, int(std::lround(delay / 60.0)));
    }
    const QString message = plainErrorMessage(error, retryMinutes).value_or(detail);
    m_errorDetail = message != detail ? std::optional(detail) : std::nullopt;
    setErrorMessage(message);
    if (retried) persistState();
    if (wasAutomatic) Q_EMIT automaticChangeFailed(++m_automaticFailuresInARow, message);
}

void WallpaperStore::updateDownloadOnMetered(bool enabled)
{
    updateDataSetting(&AppSettings::downloadOnMetered, enabled, "download on metered connections");
    // Allowed now: a change that waited for an unmetered connection need not wait any longer.
    networkChanged();
}

void WallpaperStore::updateSaveData(bool enabled)
{
    updateDataSetting(&AppSettings::saveData, enabled, "save data");
}

void WallpaperStore::updateNotifyOnChange(bool enabled)
{
    updateDataSetting(&AppSettings::notifyOnChange, enabled, "notify on change");
}

void WallpaperStore::updateDataSetting(bool AppSettings::*field, bool value, const char *name)
{
    if (m_settings.*field == value) return;
    AppSettings next = m_settings;
    next.*field = value;
    setSettings(next);
    qCInfo(lcStore).noquote() << QStringLiteral("Updated %1: %2")
                                     .arg(QLatin1String(name),
                                          value ? QStringLiteral("true") : QStringLiteral("false"));
    persistState();
}

} // namespace Starvane
