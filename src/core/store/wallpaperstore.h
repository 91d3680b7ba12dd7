// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/appsettings.h"
#include "models/hubbleimage.h"

#include <QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace Starvane {

class HubbleImageFetching;
class WallpaperApplying;
class WallpaperCaching;
class KeyValueStore;
struct SavedWallpaper;

/// Keys of the persisted state.
namespace StoreKeys {
inline const QString settings = QStringLiteral("starvane.settings.v1");
inline const QString currentImage = QStringLiteral("starvane.current_image.v1");
inline const QString currentFilePath = QStringLiteral("starvane.current_file_path.v1");
inline const QString currentHash = QStringLiteral("starvane.current_hash.v1");
inline const QString nextChangeDate = QStringLiteral("starvane.next_change_date.v1");
inline const QString nextPage = QStringLiteral("starvane.next_page.v1");
inline const QString recentIDs = QStringLiteral("starvane.recent_ids.v1");
inline const QString recentHashes = QStringLiteral("starvane.recent_hashes.v1");
} // namespace StoreKeys

/// The one owner of the user's settings, the wallpaper on screen, the rotation schedule and the
/// memory of recently shown images. Main thread only. Views observe it and call its operations;
/// its properties notify only on a real change.
class WallpaperStore : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString errorMessage READ errorMessageText NOTIFY errorMessageChanged)
    Q_PROPERTY(QUrl currentLocalFileURL READ currentLocalFileURLOrEmpty NOTIFY currentLocalFileURLChanged)
    Q_PROPERTY(bool isAutoRotationActive READ isAutoRotationActive NOTIFY isAutoRotationActiveChanged)

public:
    using Clock = std::function<QDateTime()>;
    /// How the schedule waits: completes after the delay, throws CancelledError when stopped.
    using Sleeper = std::function<QCoro::Task<>(std::chrono::milliseconds, std::stop_token)>;

    WallpaperStore(std::shared_ptr<HubbleImageFetching> apiClient, std::shared_ptr<const WallpaperCaching> cache,
                   std::shared_ptr<WallpaperApplying> applier, std::shared_ptr<KeyValueStore> defaults,
                   Clock now = defaultClock(), bool shuffleBands = true, Sleeper sleep = {},
                   QObject *parent = nullptr);
    ~WallpaperStore() override;

    static Clock defaultClock();

    // Observable state.
    const AppSettings &settings() const { return m_settings; }
    const std::optional<HubbleImage> &currentImage() const { return m_currentImage; }
    const std::optional<QUrl> &currentLocalFileURL() const { return m_currentLocalFileURL; }
    bool isLoading() const { return m_isLoading; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    const std::optional<QDateTime> &nextChangeDate() const { return m_nextChangeDate; }
    bool isAutoRotationActive() const { return m_settings.isAutoRotationActive(); }
    /// False where the desktop has one picture for all displays.
    bool supportsPerDisplayWallpaper() const;

    // Lifecycle and user operations.
    void start();
    void stop();
    void updateFrequency(ChangeFrequency frequency);
    void updateDisplayScope(DisplayScope scope);
    void togglePaused();
    void handleSystemWake();
    void syncCurrentWallpaperToActiveSpace();
    /// Starts a fetch the user asked for; returns at once. Dropped while one runs.
    void requestNextWallpaper();
    /// Starts a user fetch (or joins the running one) and completes when it has ended. Never throws.
    QCoro::Task<> applyNextWallpaper();

Q_SIGNALS:
    void settingsChanged();
    void currentImageChanged();
    void currentLocalFileURLChanged();
    void isLoadingChanged();
    void errorMessageChanged();
    void nextChangeDateChanged();
    void isAutoRotationActiveChanged();
    /// Emitted whenever a fetch task ends, however it ended (used to await a fetch).
    void fetchTaskEnded();

private:
    friend class WallpaperStoreTestAccess;

    // Property setters: compare, assign, then notify.
    void setSettings(const AppSettings &value);
    void setCurrentImage(const std::optional<HubbleImage> &value);
    void setCurrentLocalFileURL(const std::optional<QUrl> &value);
    void setLoading(bool value);
    void setErrorMessage(const std::optional<QString> &value);
    void setNextChangeDate(const std::optional<QDateTime> &value);

    QString errorMessageText() const { return m_errorMessage.value_or(QString()); }
    QUrl currentLocalFileURLOrEmpty() const { return m_currentLocalFileURL.value_or(QUrl()); }

    void restoreState();
    void persistState();

    // Catalog pool.
    QCoro::Task<std::optional<HubbleImage>> drawNextCandidate(std::stop_token st);
    QCoro::Task<> refillCatalogPool(std::stop_token st);
    void writeNextPage();
    static QList<HubbleImage> variedTopOrdering(QList<HubbleImage> images);

    // Fetch pipeline.
    void startFetch(bool isAutomatic);
    QCoro::Task<> runFetchTask(QUuid fetchID, bool isAutomatic, std::stop_token st);
    QCoro::Task<> performFetch(QUuid fetchID, bool isAutomatic, std::stop_token st);
    QCoro::Task<SavedWallpaper> downloadAndValidate(HubbleImage candidate, std::stop_token st);
    QCoro::Task<SavedWallpaper> fetchAndValidateFile(QUrl url, QString imageID, std::stop_token st);
    static void recordShownImage(QStringList &list, const QString &value);
    QCoro::Task<> removeAbandonedCacheFile(QUrl url);
    void scheduleRetryIfNeeded();
    void failFetch(const std::exception_ptr &error, bool isAutomatic, const std::stop_token &st);
    void endFetch(QUuid fetchID);

    // Schedule.
    void rescheduleTimer(bool resetInterval);
    void scheduleTimer(const QDateTime &date);
    QCoro::Task<> runTimer(std::chrono::milliseconds delay, std::stop_token st);
    void cancelSchedulerTask();
    void cancelActiveFetch();
    void cancelAutomaticFetchIfRunning();
    bool currentFileExists() const;
    QCoro::Task<> reapplyForDisplayScope(QUrl file, DisplayScope scope);
    QCoro::Task<> syncToActiveSpace(QUrl file, DisplayScope scope);

    std::shared_ptr<HubbleImageFetching> m_apiClient;
    std::shared_ptr<const WallpaperCaching> m_cache;
    std::shared_ptr<WallpaperApplying> m_applier;
    std::shared_ptr<KeyValueStore> m_defaults;
    Clock m_now;
    bool m_shuffleBands;
    Sleeper m_sleep;

    AppSettings m_settings;
    std::optional<HubbleImage> m_currentImage;
    std::optional<QUrl> m_currentLocalFileURL;
    bool m_isLoading = false;
    std::optional<QString> m_errorMessage;
    std::optional<QDateTime> m_nextChangeDate;

    QList<HubbleImage> m_catalogPool;
    QStringList m_recentImageIDs;
    QStringList m_recentContentHashes;
    std::optional<QString> m_currentContentHash;
    int m_nextPageNumber = 1;
    int m_pagesCheckedWithoutUnseen = 0;

    // A present stop source is the handle of a running task.
    std::optional<std::stop_source> m_schedulerTask;
    std::optional<std::stop_source> m_activeFetchTask;
    std::optional<QUuid> m_activeFetchID;
    bool m_activeFetchIsAutomatic = false;
    bool m_hasStarted = false;
};

namespace StoreLimits {
constexpr int maxAttempts = 6;
constexpr int recentListBound = 200;
constexpr int retainedCacheFiles = 8;
constexpr double retryDelaySeconds = 300;
constexpr int catalogPages = 25;
constexpr int exhaustionThreshold = 25;
constexpr int toleratedPageFailures = 2;
constexpr int bandSize = 4;
} // namespace StoreLimits

} // namespace Starvane
