// SPDX-License-Identifier: GPL-3.0-or-later
// The store in "each display" mode: every display has a picture of its own, remembered by display key.
#include "wallpaperstore.h"

#include "async/cancellation.h"
#include "contracts/wallpaperapplying.h"
#include "keyvaluestore.h"
#include "logging.h"
#include "models/fileurls.h"
#include "rotationschedule.h"

#include <QFileInfo>
#include <QPointer>

namespace Starvane {

QList<DisplayState> WallpaperStore::displayStates() const
{
    QList<DisplayState> states;
    const QList<DisplayTarget> displays = m_applier->displayTargets();
    for (const DisplayTarget &display : displays)
        states.append({display, m_records.record(display.key)});
    return states;
}

QList<DisplayWallpaper> WallpaperStore::rememberedDisplayPictures() const
{
    QList<DisplayWallpaper> pictures;
    for (auto it = m_records.records().cbegin(); it != m_records.records().cend(); ++it)
        pictures.append({it.key(), it->file});
    return pictures;
}

QList<DisplayWallpaper> WallpaperStore::connectedDisplayPictures() const
{
    QList<DisplayWallpaper> pictures;
    const QList<DisplayState> states = displayStates();
    for (const DisplayState &state : states) {
        if (state.record && QFileInfo(state.record->file.toLocalFile()).isFile())
            pictures.append({state.display.key, state.record->file});
    }
    return pictures;
}

void WallpaperStore::commitDisplayPictures(const QList<FetchPipeline::DisplayApplied> &applied)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    std::optional<FetchPipeline::Applied> primary;
    for (const FetchPipeline::DisplayApplied &each : applied) {
        m_records.set(each.display.key, DisplayRecord{each.display.name, each.applied.image, each.applied.file,
                                                      each.applied.contentHash, now});
        if (each.display.primary || !primary) primary = each.applied;
        // One history entry per display that changed, named by its key.
        recordInHistory(each.applied.image, each.applied.file.toLocalFile(), each.applied.contentHash,
                        each.display.key);
    }
    m_records.save();
    // The main display's picture is the one the window, the tray and the status name.
    const QList<DisplayState> states = displayStates();
    if (!states.isEmpty() && states.first().record) {
        const DisplayRecord &main = *states.first().record;
        primary = FetchPipeline::Applied{main.image, main.file, main.contentHash, std::nullopt};
    }
    if (primary) {
        setCurrentImage(primary->image);
        setCurrentLocalFileURL(primary->file);
        m_currentContentHash = primary->contentHash;
    }
    m_schedule->restartInterval(m_settings);
    persistState();
    Q_EMIT displaysChanged();
    updateLockScreen();
}

void WallpaperStore::handleDisplaysChanged()
{
    Q_EMIT displaysChanged();
    if (m_settings.displayScope != DisplayScope::eachDisplay) return;
    // A display that went away keeps its record; only a one-picture desktop needs the others again,
    // for a combined picture of the new layout.
    ensureEachDisplayPictures(!m_applier->supportsPerDisplayWallpaper());
}

void WallpaperStore::ensureEachDisplayPictures(bool showRemembered)
{
    QStringList missing;
    const QList<DisplayState> states = displayStates();
    for (const DisplayState &state : states) {
        if (!state.record || !QFileInfo(state.record->file.toLocalFile()).isFile()) missing << state.display.key;
    }
    const QList<DisplayWallpaper> remembered = connectedDisplayPictures();
    if (!missing.isEmpty()) {
        qCInfo(lcStore).noquote() << QStringLiteral("Fetching pictures for %1 display(s)").arg(missing.size());
        // The fetch shows the remembered pictures of the others too where the desktop needs them all.
        if (m_pipeline->start(false, std::nullopt, missing)) {
            if (showRemembered && m_applier->supportsPerDisplayWallpaper() && !remembered.isEmpty())
                spawn(showDisplayPictures(remembered, true), QStringLiteral("displays"));
            return;
        }
        // A change is under way (perhaps still for one picture everywhere): look again once it has ended.
        m_eachDisplayPending = true;
    }
    if (showRemembered && !remembered.isEmpty())
        spawn(showDisplayPictures(remembered, false), QStringLiteral("displays"));
}

QCoro::Task<> WallpaperStore::showDisplayPictures(QList<DisplayWallpaper> pictures, bool onlyWhenDifferent)
{
    QPointer<WallpaperStore> self(this);
    const std::shared_ptr<WallpaperApplying> applier = m_applier;
    if (pictures.isEmpty()) co_return;
    if (onlyWhenDifferent && applier->supportsPerDisplayWallpaper()) {
        const QSet<QUrl> shown = co_await applier->currentDesktopImageURLs();
        const bool allShown = std::all_of(pictures.cbegin(), pictures.cend(), [&](const DisplayWallpaper &p) {
            return shown.contains(standardizedFileURL(p.file));
        });
        if (allShown) co_return;
    }
    std::exception_ptr failure;
    try {
        co_await applier->applyDisplayWallpapers(pictures, {});
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self || !failure) co_return;
    const QString message = describeError(failure);
    setErrorMessage(message);
    qCCritical(lcStore).noquote() << QStringLiteral("Failed to show the displays' own pictures: %1").arg(message);
}

bool WallpaperStore::supportsLockScreen() const
{
    return m_applier->supportsLockScreen();
}

void WallpaperStore::setLockScreenEnabled(bool enabled)
{
    if (enabled && !supportsLockScreen()) {
        qCWarning(lcStore) << "This desktop's lock screen cannot be given a picture; the setting stays off";
        return;
    }
    if (m_lockScreen == enabled) return;
    m_lockScreen = enabled;
    m_defaults->setInteger(StoreKeys::lockScreen, enabled ? 1 : 0);
    qCInfo(lcStore).noquote() << QStringLiteral("Lock screen picture: %1").arg(enabled ? u"on" : u"off");
    Q_EMIT lockScreenEnabledChanged();
    updateLockScreen();
}

void WallpaperStore::updateLockScreen()
{
    if (m_lockScreen && currentFileExists())
        spawn(applyLockScreen(*m_currentLocalFileURL), QStringLiteral("lock screen"));
}

QCoro::Task<> WallpaperStore::applyLockScreen(QUrl file)
{
    QPointer<WallpaperStore> self(this);
    const std::shared_ptr<WallpaperApplying> applier = m_applier;
    std::exception_ptr failure;
    try {
        co_await applier->applyLockScreen(file, {});
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self || !failure) co_return;
    const QString message = describeError(failure);
    setErrorMessage(message);
    qCCritical(lcStore).noquote() << QStringLiteral("Failed to set the lock screen picture: %1").arg(message);
}

} // namespace Starvane
