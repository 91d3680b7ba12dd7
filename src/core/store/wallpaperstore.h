// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "displayrecords.h"
#include "fetchpipeline.h"
#include "models/appsettings.h"
#include "models/displaytarget.h"
#include "models/hubbleimage.h"
#include "storekeys.h"
#include "storelimits.h"

#include <QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <exception>
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
struct HistoryEntry;
class SavedPictures;

/// Why automatic changes are held back by the connection.
enum class NetworkHold {
    none,
    /// Offline or behind a captive portal: changes wait for the network.
    offline,
    /// Metered, and downloads are not allowed there: saved pictures rotate instead.
    meteredSaved,
    /// Metered, downloads not allowed, and no saved picture left to show: changes wait.
    meteredWaiting,
};

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

/// A connected display and what it was last given in "each display" mode.
struct DisplayState
{
    DisplayTarget display;
    std::optional<DisplayRecord> record;
};

/// The one owner of the user's settings, the wallpaper on screen, the rotation schedule and the
/// memory of recently shown images: a facade over the catalog pool, the fetch pipeline and the rotation
/// schedule. Main thread only. Views observe it and call its operations; its properties notify only
/// on a real change.
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

    // Observable state.
    const AppSettings &settings() const { return m_settings; }
    const std::optional<HubbleImage> &currentImage() const { return m_currentImage; }
    const std::optional<QUrl> &currentLocalFileURL() const { return m_currentLocalFileURL; }
    /// SHA-256 of the file on screen, when known.
    const std::optional<QString> &currentContentHash() const { return m_currentContentHash; }
    bool isLoading() const;
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    const std::optional<QDateTime> &nextChangeDate() const;
    bool isAutoRotationActive() const { return m_settings.isAutoRotationActive(); }
    /// What the connection does to automatic changes now.
    NetworkHold networkHold() const { return m_networkHold; }
    /// Offline (or behind a captive portal) while a change would otherwise be made: automatic changes
    /// wait for the network instead of failing.
    bool isWaitingForNetwork() const { return m_networkHold == NetworkHold::offline; }
    /// The technical text behind errorMessage (the transport's or archive's own words), when it differs.
    const std::optional<QString> &errorDetail() const { return m_errorDetail; }
    /// False where the desktop has one picture for all displays.
    bool supportsPerDisplayWallpaper() const;
    /// The pictures also go to the lock screen (off unless the user turns it on).
    bool lockScreenEnabled() const { return m_lockScreen; }
    /// False where the desktop's lock screen cannot be given a picture.
    bool supportsLockScreen() const;
    /// The connected displays, primary first, each with its own picture when it has one.
    QList<DisplayState> displayStates() const;

    // Lifecycle and user operations.
    void start();
    void stop();
    void updateFrequency(ChangeFrequency frequency);
    void updateDisplayScope(DisplayScope scope);
    void togglePaused();
    /// Whether automatic changes download over a metered connection.
    void updateDownloadOnMetered(bool enabled);
    /// Whether downloads are kept to what the largest display needs.
    void updateSaveData(bool enabled);
    /// Whether each new wallpaper is announced with a desktop notification.
    void updateNotifyOnChange(bool enabled);
    void handleSystemWake();
    void syncCurrentWallpaperToActiveSpace();
    /// A display appeared, went away or moved: in "each display" mode a new display gets a picture
    /// (the others keep theirs) and a one-picture desktop's combined picture is made anew.
    void handleDisplaysChanged();
    /// Turns the lock screen picture on (the current picture goes there at once) or off (nothing more is written).
    void setLockScreenEnabled(bool enabled);
    /// Starts a fetch the user asked for; returns at once. Dropped while one runs.
    void requestNextWallpaper();
    /// Starts a user fetch (or joins the running one) and completes when that fetch has ended. Never throws.
    QCoro::Task<> applyNextWallpaper();
    /// Completes when the fetch now pending or running has ended; at once when there is none.
    QCoro::Task<> activeFetchEnded();

    // History, kept and banned pictures.
    const WallpaperHistory &history() const { return *m_history; }
    const KeptPictures &keptPictures() const { return *m_kept; }
    /// The history entry on screen: 0 after a new picture, higher after stepping back.
    int historyPosition() const { return m_historyPosition; }
    /// An earlier, not banned picture exists to step back to.
    bool canShowPreviousWallpaper() const;
    /// Steps back one picture in the history; false when there is nothing to step back to or a fetch runs.
    bool showPreviousWallpaper();
    /// Shows the history entry at `index` again; false when it cannot be shown or a fetch runs.
    bool showHistoryEntry(int index);
    bool isCurrentKept() const;
    bool isKept(const QString &id) const;
    /// Copies the picture on screen (or the history entry at `index`) into the kept pictures. Returns
    /// the reason in the user's language when that failed; then nothing changed.
    std::optional<QString> keepCurrentWallpaper();
    std::optional<QString> keepHistoryEntry(int index);
    /// Removes a kept picture; false when there was none.
    bool unkeep(const QString &id);
    /// Bans the picture on screen (id and content) and changes to another one at once.
    void neverAgain();
    /// Bans a history entry's picture; changes the wallpaper too when it is on screen.
    void banHistoryEntry(int index);
    void liftBan(const QString &id);
    void updateOnlyKeptPictures(bool onlyKept);
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
    /// Automatic changes failed this many times in a row while online; emitted for each failure.
    void automaticChangeFailed(int failuresInARow, const QString &message);
    void lockScreenEnabledChanged();
    /// The pictures of the displays changed ("each display" mode).
    void displaysChanged();
    /// Emitted whenever a fetch task ends, however it ended.
    void fetchTaskEnded();
    /// The history, the bans or the kept pictures changed.
    void historyChanged();

private:
    void setSettings(const AppSettings &value);
    void setCurrentImage(const std::optional<HubbleImage> &value);
    void setCurrentLocalFileURL(const std::optional<QUrl> &value);
    void setErrorMessage(const std::optional<QString> &value);

    QString errorMessageText() const { return m_errorMessage.value_or(QString()); }
    QUrl currentLocalFileURLOrEmpty() const { return m_currentLocalFileURL.value_or(QUrl()); }
    bool currentFileExists() const;

    void restoreState();
    void persistState();
    void startFetch(bool isAutomatic);
    std::optional<int> previousHistoryIndex() const;
    std::optional<HubbleImage> recordFor(const HistoryEntry &entry) const;
    /// `historyIndex`: a picture of the history shown again, which stays where it is in it.
    void commitAppliedWallpaper(const HubbleImage &image, const QUrl &file, const QString &contentHash,
                                std::optional<int> historyIndex);
    /// `display` is the display key in "each display" mode, empty otherwise.
    void recordInHistory(const HubbleImage &image, const QString &file, const QString &contentHash,
                         const QString &display = QString());
    std::optional<QString> keep(const QString &file, const HubbleImage &image);
    void startKeptPicture(bool isAutomatic);
    void reportKeptPictureFailure(const QString &message, bool wasAutomatic);
    void reportFailedFetch(const std::exception_ptr &error, bool wasAutomatic);
    void networkChanged();
    void updateNetworkHold();
    void resumeAfterNetworkReturned();
    bool downloadsHeldBack() const;
    QCoro::Task<> showSavedPicture();
    void updateDataSetting(bool AppSettings::*field, bool value, const char *name);
    QCoro::Task<> reapplyForDisplayScope(QUrl file, DisplayScope scope);
    QCoro::Task<> syncToActiveSpace(QUrl file, DisplayScope scope);
    void commitDisplayPictures(const QList<FetchPipeline::DisplayApplied> &applied);
    /// The remembered pictures of the displays connected now.
    QList<DisplayWallpaper> connectedDisplayPictures() const;
    QList<DisplayWallpaper> rememberedDisplayPictures() const;
    /// Every connected display shows its own picture: the remembered one, or a new one fetched for it.
    void ensureEachDisplayPictures(bool showRemembered);
    QCoro::Task<> showDisplayPictures(QList<DisplayWallpaper> pictures, bool onlyWhenDifferent);
    /// Puts the main display's picture on the lock screen when the user asked for it.
    void updateLockScreen();
    QCoro::Task<> applyLockScreen(QUrl file);

    std::shared_ptr<HubbleImageFetching> m_archive;
    std::shared_ptr<const WallpaperCaching> m_cache;
    std::shared_ptr<WallpaperApplying> m_applier;
    std::shared_ptr<KeyValueStore> m_defaults;

    AppSettings m_settings;
    std::optional<HubbleImage> m_currentImage;
    std::optional<QUrl> m_currentLocalFileURL;
    std::optional<QString> m_currentContentHash;
    std::optional<QString> m_errorMessage;
    std::optional<QString> m_errorDetail;

    CatalogPool *m_pool;
    FetchPipeline *m_pipeline;
    RotationSchedule *m_schedule;
    std::shared_ptr<WallpaperHistory> m_history;
    std::unique_ptr<KeptPictures> m_kept;
    int m_historyPosition = 0;
    Clock m_now;

    std::shared_ptr<NetworkStatus> m_network;
    QTimer *m_networkSettle;
    std::unique_ptr<SavedPictures> m_saved;
    bool m_wasOnline = true;
    bool m_downloadsWereHeld = false;
    bool m_showingSavedPicture = false;
    bool m_nothingSavedToShow = false;
    NetworkHold m_networkHold = NetworkHold::none;
    // A change was held back (or failed) for want of a network; it starts when the network returns.
    std::optional<bool> m_changeAwaitingNetwork; // whether it is automatic
    // The last automatic change failed and its retry is scheduled.
    bool m_retryPending = false;
    int m_automaticFailuresInARow = 0;
    double m_retryDelaySeconds = 300;
    DisplayRecords m_records;
    bool m_eachDisplayPending = false;
    bool m_lockScreen = false;
};

} // namespace Starvane
