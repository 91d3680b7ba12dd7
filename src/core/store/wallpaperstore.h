// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "changecoordinator.h"
#include "models/appsettings.h"
#include "models/displaytarget.h"
#include "models/hubbleimage.h"
#include "screenstate.h"
#include "storekeys.h"
#include "storelimits.h"

#include <QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace Starvane {

class HubbleImageFetching;
class NetworkStatus;
class WallpaperApplying;
class WallpaperCaching;
class KeyValueStore;
class CatalogPool;
class RotationSchedule;
class WallpaperHistory;
class KeptPictures;
class PictureLibrary;
class StoreSettings;

/// The services the store reaches the world through.
struct StoreServices
{
    std::shared_ptr<HubbleImageFetching> apiClient;
    std::shared_ptr<const WallpaperCaching> cache;
    std::shared_ptr<WallpaperApplying> applier;
    /// Where the state is persisted.
    std::shared_ptr<KeyValueStore> defaults;
    /// The state of the connection. Empty: always online, never metered.
    std::shared_ptr<NetworkStatus> network = nullptr;
};

/// How the store behaves; the defaults are the application's.
struct StoreOptions
{
    StoreLimits limits;
    /// Shuffle the best candidates within small bands, so the rotation does not follow the archive's order.
    bool shuffleBands = true;
    /// Every reading of the current time; callable from any thread. Empty: the system clock (UTC).
    std::function<QDateTime()> now;
    /// How the schedule waits: completes after the delay, throws CancelledError when stopped. Empty: a timer.
    std::function<QCoro::Task<>(std::chrono::milliseconds, std::stop_token)> sleep;
    /// Where the history, the bans and the thumbnails live. Empty: in memory only.
    QString dataDirectory = {};
    /// Where kept pictures go. Empty: the user's Pictures folder, subfolder "Starvane".
    QString keptDirectory = {};
    /// How long after the network returns a change that waited for it begins: routes and name servers
    /// settle in that time.
    std::chrono::milliseconds networkSettleDelay = std::chrono::milliseconds(2000);
};

/// A connected display and what it shows in "each display" mode.
struct DisplayState
{
    DisplayTarget display;
    std::optional<DisplayRecord> record;
};

/// The one owner of the user's settings, the wallpaper on screen, the rotation schedule and the memory
/// of what was shown: a small facade that builds its parts and hands them out (the settings, the screen
/// state, the picture library, the change coordinator), with the operations the menus, the window and
/// the command line call. Main thread only; its properties notify only on a real change.
class WallpaperStore : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString errorMessage READ errorMessageText NOTIFY errorMessageChanged)
    Q_PROPERTY(QUrl currentLocalFileURL READ currentLocalFileURLOrEmpty NOTIFY currentLocalFileURLChanged)
    Q_PROPERTY(bool isAutoRotationActive READ isAutoRotationActive NOTIFY isAutoRotationActiveChanged)

public:
    using Clock = std::function<QDateTime()>;

    /// Restores the persisted state; starts nothing (no task, no timer, no network access).
    explicit WallpaperStore(StoreServices services, StoreOptions options = {}, QObject *parent = nullptr);
    ~WallpaperStore() override;

    /// The system clock, in UTC.
    static Clock defaultClock();
    /// The store's own reading of the time.
    QDateTime now() const { return m_now(); }

    // The parts.
    StoreSettings &settingsObject() const { return *m_settings; }
    ScreenState &screen() const { return *m_screen; }
    PictureLibrary &library() const { return *m_library; }
    ChangeCoordinator &changes() const { return *m_changes; }

    // What is on screen, and what the store is doing.
    const AppSettings &settings() const;
    const std::optional<HubbleImage> &currentImage() const { return m_currentImage; }
    std::optional<QUrl> currentLocalFileURL() const;
    /// SHA-256 of the file on screen, when known.
    std::optional<QString> currentContentHash() const;
    bool isLoading() const { return m_changes->isLoading(); }
    /// Why the last change failed in English (the log's and `status --json`'s words); the error itself
    /// is the change coordinator's.
    std::optional<QString> errorMessage() const;
    const std::optional<QDateTime> &nextChangeDate() const;
    bool isAutoRotationActive() const;
    /// True while the desktop asks the person whether Starvane may change its picture; the change that
    /// asked waits for the answer.
    bool isAskingForPermission() const { return m_askingForPermission; }
    /// False where the desktop has one picture for all displays.
    bool supportsPerDisplayWallpaper() const;
    bool lockScreenEnabled() const;
    /// False where the desktop's lock screen cannot be given a picture.
    bool supportsLockScreen() const;
    /// The connected displays, primary first, each with its own picture when it has one.
    QList<DisplayState> displayStates() const;
    /// The key of the connected display called `name` (as `status --json` names it); absent when none is.
    std::optional<QString> displayKeyNamed(const QString &name) const;

    // Lifecycle and settings.
    void start();
    void stop();
    void updateFrequency(ChangeFrequency frequency);
    void updateDisplayScope(DisplayScope scope);
    void togglePaused();
    /// Turns the lock screen picture on (the current picture goes there at once) or off.
    void setLockScreenEnabled(bool enabled);
    void handleSystemWake();
    void syncCurrentWallpaperToActiveSpace();
    /// A display appeared, went away or moved.
    void handleDisplaysChanged();

    // Changes of the picture.
    /// Starts a change the user asked for; returns at once. Dropped while one runs.
    void requestNextWallpaper();
    /// Starts a user change (or joins the running one) and completes when it has ended. Never throws.
    QCoro::Task<> applyNextWallpaper();
    /// Completes when the change now pending or running has ended; at once when there is none.
    QCoro::Task<> activeFetchEnded();
    /// The history entry on the main display: 0 after a new picture, higher after stepping back.
    int historyPosition() const;

    // Kept and banned pictures, where they concern what is on screen (the rest is the library's).
    /// The picture on the display `displayKey` shows is kept (the main display's for an empty key).
    bool isCurrentKept(const QString &displayKey = {}) const;
    /// Copies the picture a display shows (the main display's for an empty key) into the kept pictures.
    /// Returns the reason in the user's language when that failed; then nothing changed.
    std::optional<QString> keepCurrentWallpaper(const QString &displayKey = {});
    std::optional<QString> keepHistoryEntry(int index);
    /// The display the window's menus act on ("each display" mode): the one whose preview is chosen.
    const QString &selectedDisplay() const { return m_selectedDisplay; }
    void setSelectedDisplay(const QString &displayKey) { m_selectedDisplay = displayKey; }
    /// Bans what a display shows (the main display's for an empty key) and changes only that one.
    void neverAgain(const QString &displayKey = {});
    /// Bans a history entry's picture; changes the display that shows it, if one does.
    void banHistoryEntry(int index);
    /// The archive's page of a picture, when the id is safe to put in a URL.
    std::optional<QUrl> archivePage(const QString &id) const;

Q_SIGNALS:
    void settingsChanged();
    void currentImageChanged();
    void currentLocalFileURLChanged();
    void isLoadingChanged();
    void errorMessageChanged();
    void nextChangeDateChanged();
    void isAutoRotationActiveChanged();
    void networkHoldChanged();
    void askingForPermissionChanged();
    void automaticChangeFailed(int failuresInARow, const QString &message);
    void lockScreenEnabledChanged();
    void displaysChanged();
    /// Emitted whenever a picture change ends, however it ended.
    void fetchTaskEnded();
    /// The history, the bans or the kept pictures changed.
    void historyChanged();

private:
    QString errorMessageText() const { return errorMessage().value_or(QString()); }
    QUrl currentLocalFileURLOrEmpty() const { return currentLocalFileURL().value_or(QUrl()); }
    void updateSettings(const AppSettings &next, const QString &logLine);
    void updateCurrentImage();
    std::optional<ShownPicture> shownOn(const QString &displayKey) const;
    std::optional<QString> keep(const ShownPicture &picture);

    std::shared_ptr<HubbleImageFetching> m_archive;
    std::shared_ptr<WallpaperApplying> m_applier;
    std::shared_ptr<NetworkStatus> m_network;
    StoreSettings *m_settings;
    ScreenState *m_screen;
    PictureLibrary *m_library;
    CatalogPool *m_pool;
    FetchPipeline *m_pipeline;
    RotationSchedule *m_schedule;
    ChangeCoordinator *m_changes;
    std::optional<HubbleImage> m_currentImage;
    Clock m_now;
    QString m_selectedDisplay;
    bool m_askingForPermission = false;
};

} // namespace Starvane
