// SPDX-License-Identifier: GPL-3.0-or-later
// The store's own state and its persistence; the work is done by its three parts.
#include "wallpaperstore.h"

#include "async/cancellation.h"
#include "catalogpool.h"
#include "contracts/hubbleimagefetching.h"
#include "contracts/networkstatus.h"
#include "contracts/wallpaperapplying.h"
#include "contracts/wallpapercaching.h"
#include "fetchpipeline.h"
#include "keptpictures.h"
#include "keyvaluestore.h"
#include "logging.h"
#include "models/fileurls.h"
#include "rotationschedule.h"
#include "savedpictures.h"
#include "wallpaperhistory.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>

namespace Starvane {

namespace {
template <class T, class U> bool assignIfChanged(T &field, U &&value)
{
    if (field == value) return false;
    field = std::forward<U>(value);
    return true;
}
} // namespace

WallpaperStore::WallpaperStore(StoreServices services, StoreOptions options, QObject *parent)
    : QObject(parent), m_archive(services.apiClient), m_cache(services.cache), m_applier(services.applier),
      m_defaults(services.defaults), m_history(std::make_shared<WallpaperHistory>(options.dataDirectory)),
      m_kept(std::make_unique<KeptPictures>(options.keptDirectory)), m_network(services.network),
      m_records(options.dataDirectory)
{
    if (!m_network) m_network = std::make_shared<NetworkStatus>();
    m_retryDelaySeconds = options.limits.retryDelaySeconds;
    if (!options.now) options.now = defaultClock();
    m_now = options.now;
    const std::shared_ptr<WallpaperApplying> applier = m_applier;
    m_pool = new CatalogPool(
        services.apiClient, m_defaults, [applier] { return applier->primaryDisplayAspectRatio(); },
        options.shuffleBands, options.limits, m_history, this);
    m_pipeline = new FetchPipeline(
        {services.apiClient, services.cache, services.applier}, m_pool, [this] { return m_settings.displayScope; },
        [this] {
            return CatalogPool::Shown{m_currentImage ? std::optional(m_currentImage->id) : std::nullopt,
                                      m_currentContentHash};
        },
        options.limits, this);
    m_pipeline->setDisplayPictures([this] {
        QSet<QString> ids;
        for (const DisplayRecord &record : m_records.records())
            ids.insert(record.image.id);
        return ids;
    });
    m_pipeline->setRememberedPictures([this] { return rememberedDisplayPictures(); });
    connect(m_pipeline, &FetchPipeline::displaysApplied, this, &WallpaperStore::commitDisplayPictures);
    m_schedule = new RotationSchedule(options.now, options.sleep, options.limits.retryDelaySeconds, this);

    connect(m_pipeline, &FetchPipeline::isLoadingChanged, this, &WallpaperStore::isLoadingChanged);
    connect(m_pipeline, &FetchPipeline::fetchEnded, this, &WallpaperStore::fetchTaskEnded);
    connect(m_pipeline, &FetchPipeline::fetchEnded, this, [this] {
        if (!std::exchange(m_eachDisplayPending, false) || m_settings.displayScope != DisplayScope::eachDisplay) return;
        ensureEachDisplayPictures(false);
    });
    connect(m_pipeline, &FetchPipeline::fetchStarted, this, [this] {
        m_errorDetail.reset();
        setErrorMessage(std::nullopt);
    });
    connect(m_pipeline, &FetchPipeline::wallpaperApplied, this, [this](const FetchPipeline::Applied &applied) {
        commitAppliedWallpaper(applied.image, applied.file, applied.contentHash,
                               applied.revisit ? applied.revisit->historyIndex : std::nullopt);
    });
    connect(m_pipeline, &FetchPipeline::fetchFailed, this, &WallpaperStore::reportFailedFetch);
    connect(m_schedule, &RotationSchedule::nextChangeDateChanged, this, &WallpaperStore::nextChangeDateChanged);
    connect(m_schedule, &RotationSchedule::due, this, [this] { startFetch(true); });

    m_networkSettle = new QTimer(this);
    m_networkSettle->setSingleShot(true);
    m_networkSettle->setInterval(options.networkSettleDelay);
    connect(m_networkSettle, &QTimer::timeout, this, &WallpaperStore::resumeAfterNetworkReturned);
    m_wasOnline = m_network->isOnline();
    m_downloadsWereHeld = downloadsHeldBack();
    connect(m_network.get(), &NetworkStatus::changed, this, &WallpaperStore::networkChanged);
    connect(this, &WallpaperStore::settingsChanged, this, &WallpaperStore::updateNetworkHold);
    m_saved = std::make_unique<SavedPictures>(m_defaults);
    m_pipeline->setDownloadCover([this]() -> std::optional<QSize> {
        // Saving data, or paying for every byte: the smallest file that fills the largest display.
        if (!m_settings.saveData && !m_network->isMetered()) return std::nullopt;
        const QSize largest = m_applier->largestDisplayPixelSize();
        return largest.isEmpty() ? std::nullopt : std::optional(largest);
    });
    restoreState();
}

WallpaperStore::Clock WallpaperStore::defaultClock()
{
    return [] { return QDateTime::currentDateTimeUtc(); };
}

// The parts are children: they go first and stop their own tasks, which hold them weakly.
WallpaperStore::~WallpaperStore() = default;

bool WallpaperStore::isLoading() const
{
    return m_pipeline->isLoading();
}

const std::optional<QDateTime> &WallpaperStore::nextChangeDate() const
{
    return m_schedule->nextChangeDate();
}

bool WallpaperStore::supportsPerDisplayWallpaper() const
{
    return m_applier->supportsPerDisplayWallpaper();
}

void WallpaperStore::setSettings(const AppSettings &value)
{
    const bool wasActive = isAutoRotationActive();
    if (!assignIfChanged(m_settings, value)) return;
    Q_EMIT settingsChanged();
    if (wasActive != isAutoRotationActive()) Q_EMIT isAutoRotationActiveChanged();
}

void WallpaperStore::setCurrentImage(const std::optional<HubbleImage> &value)
{
    if (assignIfChanged(m_currentImage, value)) Q_EMIT currentImageChanged();
}

void WallpaperStore::setCurrentLocalFileURL(const std::optional<QUrl> &value)
{
    if (assignIfChanged(m_currentLocalFileURL, value)) Q_EMIT currentLocalFileURLChanged();
}

void WallpaperStore::setErrorMessage(const std::optional<QString> &value)
{
    if (assignIfChanged(m_errorMessage, value)) Q_EMIT errorMessageChanged();
}

bool WallpaperStore::currentFileExists() const
{
    return m_currentLocalFileURL && QFileInfo(m_currentLocalFileURL->toLocalFile()).isFile();
}

void WallpaperStore::restoreState()
{
    // Called from the constructor: nothing observes us yet, so fields are set directly.
    if (const auto json = m_defaults->data(StoreKeys::settings)) {
        if (const auto decoded = AppSettings::fromJson(*json)) m_settings = *decoded;
    }

    const auto path = m_defaults->string(StoreKeys::currentFilePath);
    if (path && !path->isEmpty() && QFileInfo(*path).isFile()) {
        m_currentLocalFileURL = QUrl::fromLocalFile(*path);
        if (const auto json = m_defaults->data(StoreKeys::currentImage)) m_currentImage = HubbleImage::fromJson(*json);
        m_currentContentHash = m_defaults->string(StoreKeys::currentHash);
    } else {
        m_defaults->remove(StoreKeys::currentFilePath);
        m_defaults->remove(StoreKeys::currentImage);
        m_defaults->remove(StoreKeys::currentHash);
    }

    m_schedule->restore(m_defaults->date(StoreKeys::nextChangeDate));
    m_pool->restore();

    m_history->load();
    // Where the picture on screen stands in the history, so that stepping back goes on from there.
    if (m_currentImage) {
        const QList<HistoryEntry> &entries = m_history->entries();
        for (int i = 0; i < entries.size(); ++i) {
            if (entries[i].id != m_currentImage->id) continue;
            m_historyPosition = i;
            break;
        }
    }
    m_saved->restore();
    m_records.load();
    m_lockScreen = m_defaults->integer(StoreKeys::lockScreen) == 1;
}

void WallpaperStore::persistState()
{
    m_defaults->setData(StoreKeys::settings, m_settings.toJson());
    if (m_currentImage)
        m_defaults->setData(StoreKeys::currentImage, m_currentImage->toJson());
    else
        m_defaults->remove(StoreKeys::currentImage);
    if (m_currentLocalFileURL)
        m_defaults->setString(StoreKeys::currentFilePath, m_currentLocalFileURL->toLocalFile());
    else
        m_defaults->remove(StoreKeys::currentFilePath);
    if (m_currentContentHash)
        m_defaults->setString(StoreKeys::currentHash, *m_currentContentHash);
    else
        m_defaults->remove(StoreKeys::currentHash);
    if (const auto &next = m_schedule->nextChangeDate())
        m_defaults->setDate(StoreKeys::nextChangeDate, *next);
    else
        m_defaults->remove(StoreKeys::nextChangeDate);
    m_pool->persist();
}

void WallpaperStore::start()
{
    if (m_schedule->hasStarted()) return;
    const bool hasCurrent = m_currentImage && m_currentLocalFileURL;
    if (m_schedule->start(m_settings, hasCurrent))
        startFetch(true);
    else if (!isAutoRotationActive())
        persistState();
    updateNetworkHold();
}

void WallpaperStore::stop()
{
    m_schedule->stop();
    m_pipeline->cancel();
    // Nothing starts after a stop, not even a change that waited for the network.
    m_networkSettle->stop();
    m_changeAwaitingNetwork.reset();
    m_retryPending = false;
}

void WallpaperStore::requestNextWallpaper()
{
    startFetch(false);
}

QCoro::Task<> WallpaperStore::applyNextWallpaper()
{
    if (!m_pipeline->isActive()) startFetch(false);
    // Bound to this fetch now: a later fetch ending is no answer to this call. Nothing of the store
    // is touched after the wait, which it may not outlive.
    co_await m_pipeline->activeFetchEnding();
}

QCoro::Task<> WallpaperStore::activeFetchEnded()
{
    co_await m_pipeline->activeFetchEnding();
}

void WallpaperStore::commitAppliedWallpaper(const HubbleImage &image, const QUrl &file, const QString &contentHash,
                                            std::optional<int> historyIndex)
{
    setCurrentImage(image);
    setCurrentLocalFileURL(file);
    m_currentContentHash = contentHash;
    if (historyIndex && *historyIndex < m_history->entries().size()) {
        m_historyPosition = *historyIndex;
        // Fetched again: the entry points at the new file from now on.
        HistoryEntry entry = m_history->entries().at(*historyIndex);
        if (entry.file != file.toLocalFile()) {
            entry.file = file.toLocalFile();
            entry.hash = contentHash;
            m_history->replace(*historyIndex, entry);
        }
    } else {
        recordInHistory(image, file.toLocalFile(), contentHash);
        m_historyPosition = 0;
    }
    Q_EMIT historyChanged();
    m_saved->remember({image, file, contentHash});
    m_schedule->restartInterval(m_settings);
    m_automaticFailuresInARow = 0;
    m_errorDetail.reset();
    persistState();
    updateLockScreen();
}

void WallpaperStore::updateFrequency(ChangeFrequency frequency)
{
    if (m_settings.frequency == frequency) return;
    AppSettings next = m_settings;
    next.frequency = frequency;
    // Choosing a frequency is a request for rotation, so it also resumes.
    if (frequency != ChangeFrequency::manual) next.isPaused = false;
    setSettings(next);
    qCInfo(lcStore).noquote()
        << QStringLiteral("Updated change frequency to %1").arg(ChangeFrequencies::rawValue(frequency));
    m_pipeline->cancelIfAutomatic();
    m_schedule->restartInterval(m_settings);
    persistState();
}

void WallpaperStore::togglePaused()
{
    if (m_settings.frequency == ChangeFrequency::manual) return;
    AppSettings next = m_settings;
    next.isPaused = !next.isPaused;
    setSettings(next);
    qCInfo(lcStore).noquote() << QStringLiteral("Toggled pause state: %1")
                                     .arg(next.isPaused ? QStringLiteral("true") : QStringLiteral("false"));
    if (next.isPaused) m_pipeline->cancelIfAutomatic();
    m_schedule->restartInterval(m_settings);
    persistState();
}

void WallpaperStore::handleSystemWake()
{
    if (!m_schedule->hasStarted() || !isAutoRotationActive() || m_pipeline->isLoading() || m_pipeline->isActive())
        return;
    if (m_schedule->wake(m_settings)) startFetch(true);
}

void WallpaperStore::updateDisplayScope(DisplayScope scope)
{
    if (m_settings.displayScope == scope) return;
    AppSettings next = m_settings;
    next.displayScope = scope;
    setSettings(next);
    qCInfo(lcStore).noquote() << QStringLiteral("Updated display scope to %1").arg(DisplayScopes::rawValue(scope));
    persistState();
    if (scope == DisplayScope::eachDisplay)
        ensureEachDisplayPictures(true);
    else if (currentFileExists())
        spawn(reapplyForDisplayScope(*m_currentLocalFileURL, scope), QStringLiteral("display scope"));
}

QCoro::Task<> WallpaperStore::reapplyForDisplayScope(QUrl file, DisplayScope scope)
{
    QPointer<WallpaperStore> self(this);
    const std::shared_ptr<WallpaperApplying> applier = m_applier;
    std::exception_ptr failure;
    try {
        co_await applier->applyWallpaper(file, scope, {});
        // Applies are serialised: a change that finished while this one waited its turn was just
        // covered by the older picture. Put the newer one back, on the scope chosen now.
        while (self && self->m_currentLocalFileURL && *self->m_currentLocalFileURL != file &&
               self->m_settings.displayScope != DisplayScope::eachDisplay) {
            file = *self->m_currentLocalFileURL;
            scope = self->m_settings.displayScope;
            co_await applier->applyWallpaper(file, scope, {});
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self) co_return;
    if (!failure) {
        setErrorMessage(std::nullopt);
        co_return;
    }
    const QString message = describeError(failure);
    setErrorMessage(message);
    qCCritical(lcStore).noquote()
        << QStringLiteral("Failed to re-apply wallpaper for new display scope: %1").arg(message);
}

void WallpaperStore::syncCurrentWallpaperToActiveSpace()
{
    if (m_settings.displayScope == DisplayScope::eachDisplay) {
        spawn(showDisplayPictures(connectedDisplayPictures(), true), QStringLiteral("workspace"));
        return;
    }
    if (currentFileExists())
        spawn(syncToActiveSpace(*m_currentLocalFileURL, m_settings.displayScope), QStringLiteral("workspace"));
}

QCoro::Task<> WallpaperStore::syncToActiveSpace(QUrl file, DisplayScope scope)
{
    const std::shared_ptr<WallpaperApplying> applier = m_applier;
    const QList<std::optional<QUrl>> shown = co_await applier->desktopImageURLs(scope);
    if (shown.isEmpty()) co_return;
    const QUrl target = standardizedFileURL(file);
    const bool allShowCurrent = std::all_of(shown.cbegin(), shown.cend(), [&](const std::optional<QUrl> &u) {
        return u && standardizedFileURL(*u) == target;
    });
    if (allShowCurrent) co_return;
    try {
        co_await applier->applyWallpaper(file, scope, {});
    } catch (...) {
        // The next workspace switch or fetch tries again; nothing to tell the user here.
    }
}

} // namespace Starvane
