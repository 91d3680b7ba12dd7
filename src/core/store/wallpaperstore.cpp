// SPDX-License-Identifier: GPL-3.0-or-later
// Construction, observable state and persistence of the store.
#include "wallpaperstore.h"

#include "contracts/hubbleimagefetching.h"
#include "keyvaluestore.h"
#include "async/cancellation.h"
#include "logging.h"
#include "contracts/wallpaperapplying.h"
#include "contracts/wallpapercaching.h"

#include <QFileInfo>

namespace Starvane {

namespace {
template<class T, class U>
bool assignIfChanged(T &field, U &&value)
{
    if (field == value)
        return false;
    field = std::forward<U>(value);
    return true;
}
} // namespace

WallpaperStore::WallpaperStore(std::shared_ptr<HubbleImageFetching> apiClient,
                               std::shared_ptr<const WallpaperCaching> cache,
                               std::shared_ptr<WallpaperApplying> applier, std::shared_ptr<KeyValueStore> defaults,
                               Clock now, bool shuffleBands, Sleeper sleep, QObject *parent)
    : QObject(parent), m_apiClient(std::move(apiClient)), m_cache(std::move(cache)), m_applier(std::move(applier)),
      m_defaults(std::move(defaults)), m_now(std::move(now)), m_shuffleBands(shuffleBands), m_sleep(std::move(sleep))
{
    if (!m_sleep)
        m_sleep = [](std::chrono::milliseconds d, std::stop_token st) { return sleepFor(d, std::move(st)); };
    restoreState();
}

WallpaperStore::~WallpaperStore()
{
    // Tasks hold the store weakly and find it gone; stopping them here just ends them sooner.
    if (m_schedulerTask)
        m_schedulerTask->request_stop();
    if (m_activeFetchTask)
        m_activeFetchTask->request_stop();
}

WallpaperStore::Clock WallpaperStore::defaultClock()
{
    return [] { return QDateTime::currentDateTimeUtc(); };
}

bool WallpaperStore::supportsPerDisplayWallpaper() const
{
    return m_applier->supportsPerDisplayWallpaper();
}

void WallpaperStore::setSettings(const AppSettings &value)
{
    const bool wasActive = isAutoRotationActive();
    if (!assignIfChanged(m_settings, value))
        return;
    Q_EMIT settingsChanged();
    if (wasActive != isAutoRotationActive())
        Q_EMIT isAutoRotationActiveChanged();
}

void WallpaperStore::setCurrentImage(const std::optional<HubbleImage> &value)
{
    if (assignIfChanged(m_currentImage, value))
        Q_EMIT currentImageChanged();
}

void WallpaperStore::setCurrentLocalFileURL(const std::optional<QUrl> &value)
{
    if (assignIfChanged(m_currentLocalFileURL, value))
        Q_EMIT currentLocalFileURLChanged();
}

void WallpaperStore::setLoading(bool value)
{
    if (assignIfChanged(m_isLoading, value))
        Q_EMIT isLoadingChanged();
}

void WallpaperStore::setErrorMessage(const std::optional<QString> &value)
{
    if (assignIfChanged(m_errorMessage, value))
        Q_EMIT errorMessageChanged();
}

void WallpaperStore::setNextChangeDate(const std::optional<QDateTime> &value)
{
    if (assignIfChanged(m_nextChangeDate, value))
        Q_EMIT nextChangeDateChanged();
}

bool WallpaperStore::currentFileExists() const
{
    return m_currentLocalFileURL && QFileInfo(m_currentLocalFileURL->toLocalFile()).isFile();
}

void WallpaperStore::restoreState()
{
    // Called from the constructor: nothing observes us yet, so fields are set directly.
    if (const auto json = m_defaults->data(StoreKeys::settings)) {
        if (const auto decoded = AppSettings::fromJson(*json))
            m_settings = *decoded;
    }

    const auto path = m_defaults->string(StoreKeys::currentFilePath);
    if (path && !path->isEmpty() && QFileInfo(*path).isFile()) {
        m_currentLocalFileURL = QUrl::fromLocalFile(*path);
        if (const auto json = m_defaults->data(StoreKeys::currentImage))
            m_currentImage = HubbleImage::fromJson(*json);
        m_currentContentHash = m_defaults->string(StoreKeys::currentHash);
    } else {
        m_defaults->remove(StoreKeys::currentFilePath);
        m_defaults->remove(StoreKeys::currentImage);
        m_defaults->remove(StoreKeys::currentHash);
    }

    m_nextChangeDate = m_defaults->date(StoreKeys::nextChangeDate);

    const qint64 page = m_defaults->integer(StoreKeys::nextPage);
    if (page >= 1 && page <= StoreLimits::catalogPages)
        m_nextPageNumber = int(page);

    if (const auto ids = m_defaults->stringArray(StoreKeys::recentIDs))
        m_recentImageIDs = *ids;
    if (const auto hashes = m_defaults->stringArray(StoreKeys::recentHashes))
        m_recentContentHashes = *hashes;
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
    if (m_nextChangeDate)
        m_defaults->setDate(StoreKeys::nextChangeDate, *m_nextChangeDate);
    else
        m_defaults->remove(StoreKeys::nextChangeDate);
    m_defaults->setInteger(StoreKeys::nextPage, m_nextPageNumber);
    m_defaults->setStringArray(StoreKeys::recentIDs, m_recentImageIDs);
    m_defaults->setStringArray(StoreKeys::recentHashes, m_recentContentHashes);
}

} // namespace Starvane
