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
#include "wallpaperhistory.h"
#include "savedpictures.h"

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

void WallpaperStore::startKeptPicture(bool isAutomatic)
{
    // The kept pictures in turn, by name, going on after the one on screen; banned ones are skipped.
    QList<KeptPictures::Picture> kept = m_kept->all();
    kept.removeIf([this](const KeptPictures::Picture &p) { return m_history->isBannedID(p.id); });
    if (kept.isEmpty()) {
        reportKeptPictureFailure(tr("No kept pictures to show. Keep a picture first, or rotate among all pictures."),
                          isAutomatic);
        return;
    }
    qsizetype next = 0;
    if (m_currentImage) {
        for (qsizetype i = 0; i < kept.size(); ++i)
            if (kept[i].id == m_currentImage->id) next = (i + 1) % kept.size();
    }
    const KeptPictures::Picture &picture = kept[next];
    HubbleImage image = m_archive->candidateForID(picture.id).value_or(HubbleImage{});
    image.id = picture.id;
    image.title = picture.title;
    for (const HistoryEntry &e : m_history->entries()) {
        if (e.id != picture.id) continue;
        image.title = e.title;
        image.credit = e.credit;
        if (e.captureYear > 0) image.dateCaptured = QString::number(e.captureYear);
        break;
    }
    m_pipeline->start(isAutomatic, FetchPipeline::Revisit{image, picture.file, QString(), std::nullopt});
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

void WallpaperStore::recordInHistory(const HubbleImage &image, const QString &file, const QString &contentHash,
                                     const QString &display)
{
    bool isYear = false;
    const int year = image.dateCaptured ? image.dateCaptured->toInt(&isYear) : 0;
    HistoryEntry entry{image.id,
                       image.title.trimmed(),
                       image.credit,
                       isYear ? year : 0,
                       m_now().toUTC(),
                       display,
                       file,
                       contentHash,
                       m_history->thumbnailPath(image.id)};
    m_history->record(entry);
    if (entry.thumbnail.isEmpty()) return;
    // Made off the main thread; until it exists the picture's own file stands in.
    auto makeThumbnail = [cache = m_cache, file, target = entry.thumbnail] {
        if (!cache->saveThumbnail(QUrl::fromLocalFile(file), target, 256))
            qCWarning(lcStore).noquote() << QStringLiteral("Could not make a thumbnail of %1").arg(file);
    };
    spawn(runInBackground(std::move(makeThumbnail)), QStringLiteral("thumbnail"));
}

std::optional<int> WallpaperStore::previousHistoryIndex() const
{
    const QList<HistoryEntry> &entries = m_history->entries();
    const QString current = m_currentImage ? m_currentImage->id : QString();
    for (int i = m_historyPosition + 1; i < entries.size(); ++i) {
        // The same picture twice in a row is no step back.
        if (entries[i].id == current || m_history->isBannedID(entries[i].id)) continue;
        return i;
    }
    return std::nullopt;
}

bool WallpaperStore::canShowPreviousWallpaper() const
{
    return previousHistoryIndex().has_value();
}

bool WallpaperStore::showPreviousWallpaper()
{
    const std::optional<int> index = previousHistoryIndex();
    return index && showHistoryEntry(*index);
}

std::optional<HubbleImage> WallpaperStore::recordFor(const HistoryEntry &entry) const
{
    std::optional<HubbleImage> image = m_archive->candidateForID(entry.id);
    if (!image) {
        // Without the archive's addresses the file on disk is the only way back.
        if (entry.file.isEmpty() || !QFileInfo(entry.file).isFile()) return std::nullopt;
        image = HubbleImage{};
        image->id = entry.id;
    }
    image->title = entry.title;
    image->credit = entry.credit;
    if (entry.captureYear > 0) image->dateCaptured = QString::number(entry.captureYear);
    return image;
}

bool WallpaperStore::showHistoryEntry(int index)
{
    if (index < 0 || index >= m_history->entries().size() || m_pipeline->isActive()) return false;
    const HistoryEntry &entry = m_history->entries().at(index);
    const std::optional<HubbleImage> image = recordFor(entry);
    if (!image) {
        setErrorMessage(tr("This picture can no longer be shown."));
        return false;
    }
    qCInfo(lcStore).noquote() << QStringLiteral("Showing history entry %1 (%2) again").arg(index).arg(entry.id);
    return m_pipeline->start(false, FetchPipeline::Revisit{*image, entry.file, entry.hash, index});
}

bool WallpaperStore::isKept(const QString &id) const
{
    return m_kept->isKept(id);
}

bool WallpaperStore::isCurrentKept() const
{
    return m_currentImage && m_kept->isKept(m_currentImage->id);
}

std::optional<QString> WallpaperStore::keep(const QString &file, const HubbleImage &image)
{
    const std::optional<QString> error =
        m_kept->keep(file, KeptPictures::Description{image.id, image.title.trimmed(), image.credit, image.detailsURL});
    if (error) {
        qCWarning(lcStore).noquote() << QStringLiteral("Could not keep %1: %2").arg(image.id, *error);
        setErrorMessage(*error);
    } else {
        Q_EMIT historyChanged();
    }
    return error;
}

std::optional<QString> WallpaperStore::keepCurrentWallpaper()
{
    if (!m_currentImage || !currentFileExists()) return tr("There is no picture on screen to keep.");
    return keep(m_currentLocalFileURL->toLocalFile(), *m_currentImage);
}

std::optional<QString> WallpaperStore::keepHistoryEntry(int index)
{
    if (index < 0 || index >= m_history->entries().size()) return tr("There is no such picture.");
    const HistoryEntry &entry = m_history->entries().at(index);
    if (entry.file.isEmpty() || !QFileInfo(entry.file).isFile())
        return tr("The picture's file is gone; show it again first.");
    HubbleImage image = recordFor(entry).value_or(HubbleImage{});
    image.id = entry.id;
    return keep(entry.file, image);
}

bool WallpaperStore::unkeep(const QString &id)
{
    const bool removed = m_kept->unkeep(id);
    if (removed) {
        qCInfo(lcStore).noquote() << QStringLiteral("No longer keeping %1").arg(id);
        Q_EMIT historyChanged();
    }
    return removed;
}

void WallpaperStore::neverAgain()
{
    if (!m_currentImage) return;
    qCInfo(lcStore).noquote() << QStringLiteral("Never again: %1").arg(m_currentImage->id);
    m_history->ban(m_currentImage->id, m_currentContentHash.value_or(QString()));
    Q_EMIT historyChanged();
    // A change the schedule started goes on and replaces the picture anyway.
    startFetch(false);
}

void WallpaperStore::banHistoryEntry(int index)
{
    if (index < 0 || index >= m_history->entries().size()) return;
    const HistoryEntry entry = m_history->entries().at(index);
    if (m_currentImage && m_currentImage->id == entry.id) {
        neverAgain();
        return;
    }
    qCInfo(lcStore).noquote() << QStringLiteral("Never again: %1").arg(entry.id);
    m_history->ban(entry.id, entry.hash);
    Q_EMIT historyChanged();
}

void WallpaperStore::liftBan(const QString &id)
{
    if (!m_history->isBannedID(id)) return;
    qCInfo(lcStore).noquote() << QStringLiteral("Lifted the ban on %1").arg(id);
    m_history->liftBan(id);
    Q_EMIT historyChanged();
}

std::optional<QUrl> WallpaperStore::archivePage(const QString &id) const
{
    const std::optional<HubbleImage> image = m_archive->candidateForID(id);
    if (!image || !image->detailsURL.isValid()) return std::nullopt;
    return image->detailsURL;
}

void WallpaperStore::updateOnlyKeptPictures(bool onlyKept)
{
    if (m_settings.onlyKeptPictures == onlyKept) return;
    AppSettings next = m_settings;
    next.onlyKeptPictures = onlyKept;
    setSettings(next);
    qCInfo(lcStore).noquote()
        << QStringLiteral("Only kept pictures: %1").arg(onlyKept ? QStringLiteral("true") : QStringLiteral("false"));
    m_pipeline->cancelIfAutomatic();
    persistState();
}

void WallpaperStore::reportKeptPictureFailure(const QString &message, bool wasAutomatic)
{
    setErrorMessage(message);
    if (m_schedule->retryAfterFailure(m_settings, wasAutomatic)) persistState();
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
