// SPDX-License-Identifier: GPL-3.0-or-later
// The facade: builds the parts, restores them, and turns the user's operations into settings changes
// and requests on the one road.
#include "wallpaperstore.h"

#include "catalogpool.h"
#include "contracts/hubbleimagefetching.h"
#include "contracts/networkstatus.h"
#include "contracts/wallpaperapplying.h"
#include "keyvaluestore.h"
#include "logging.h"
#include "picturelibrary.h"
#include "rotationschedule.h"
#include "storesettings.h"

#include <QFileInfo>
#include <QPointer>

namespace Starvane {

namespace {
QString onOff(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}
} // namespace

WallpaperStore::WallpaperStore(StoreServices services, StoreOptions options, QObject *parent)
    : QObject(parent), m_archive(services.apiClient), m_applier(services.applier), m_network(services.network)
{
    if (!m_network) m_network = std::make_shared<NetworkStatus>();
    if (!options.now) options.now = defaultClock();
    m_now = options.now;
    m_settings = new StoreSettings(services.defaults, this);
    m_screen = new ScreenState(services.defaults, options.dataDirectory, this);
    m_library = new PictureLibrary({options.dataDirectory, options.keptDirectory}, services.defaults, services.cache,
                                   options.now, this);
    const std::shared_ptr<WallpaperApplying> applier = m_applier;
    m_pool = new CatalogPool(
        services.apiClient, services.defaults, [applier] { return applier->primaryDisplayAspectRatio(); },
        options.shuffleBands, options.limits, m_library->bans(), this);
    const FetchPipeline::Services pipelineServices{services.apiClient, services.cache, services.applier};
    m_pipeline = new FetchPipeline(pipelineServices, m_pool, options.limits, this);
    m_pipeline->setDownloadCover([this]() -> std::optional<QSize> {
        // Saving data, or paying for every byte: the smallest file that fills the largest display.
        if (!m_settings->saveData() && !m_network->isMetered()) return std::nullopt;
        const QSize largest = m_applier->largestDisplayPixelSize();
        return largest.isEmpty() ? std::nullopt : std::optional(largest);
    });
    m_schedule = new RotationSchedule(options.now, options.sleep, options.limits.retryDelaySeconds, this);
    m_changes = new ChangeCoordinator({m_settings, m_screen, m_library, m_pool, m_schedule, m_pipeline,
                                       pipelineServices, m_network, services.defaults},
                                      options.limits, options.networkSettleDelay, this);

    // The portal's first-use question can stay open for as long as the person likes: say so meanwhile,
    // or the change would look stuck. The applier may outlive the store.
    if (m_applier) {
        m_applier->onAskingForPermission([self = QPointer<WallpaperStore>(this)](bool asking) {
            if (!self || self->m_askingForPermission == asking) return;
            self->m_askingForPermission = asking;
            Q_EMIT self->askingForPermissionChanged();
        });
    }
    connect(m_settings, &StoreSettings::changed, this, &WallpaperStore::settingsChanged);
    connect(m_settings, &StoreSettings::isAutoRotationActiveChanged, this,
            &WallpaperStore::isAutoRotationActiveChanged);
    connect(m_settings, &StoreSettings::lockScreenChanged, this, &WallpaperStore::lockScreenEnabledChanged);
    connect(m_screen, &ScreenState::currentImageChanged, this, &WallpaperStore::updateCurrentImage);
    connect(m_screen, &ScreenState::currentLocalFileURLChanged, this, &WallpaperStore::currentLocalFileURLChanged);
    connect(m_screen, &ScreenState::displaysChanged, this, &WallpaperStore::displaysChanged);
    connect(m_library, &PictureLibrary::changed, this, &WallpaperStore::historyChanged);
    connect(m_changes, &ChangeCoordinator::isLoadingChanged, this, &WallpaperStore::isLoadingChanged);
    connect(m_changes, &ChangeCoordinator::errorChanged, this, &WallpaperStore::errorMessageChanged);
    connect(m_changes, &ChangeCoordinator::networkHoldChanged, this, &WallpaperStore::networkHoldChanged);
    connect(m_changes, &ChangeCoordinator::automaticChangeFailed, this, &WallpaperStore::automaticChangeFailed);
    connect(m_changes, &ChangeCoordinator::changeEnded, this, &WallpaperStore::fetchTaskEnded);
    connect(m_schedule, &RotationSchedule::nextChangeDateChanged, this, &WallpaperStore::nextChangeDateChanged);
    connect(m_schedule, &RotationSchedule::due, this, [this] { m_changes->requestPictureChange(true); });

    // Nothing observes us yet.
    m_settings->restore();
    m_screen->restore();
    m_schedule->restore(services.defaults->date(StoreKeys::nextChangeDate));
    m_pool->restore();
    m_library->restore(m_screen->current());
    if (const auto &current = m_screen->current(); current && !current->image.id.isEmpty())
        m_currentImage = current->image;
}

WallpaperStore::Clock WallpaperStore::defaultClock()
{
    return [] { return QDateTime::currentDateTimeUtc(); };
}

// The parts are children: they go first and stop their own tasks, which hold them weakly.
WallpaperStore::~WallpaperStore() = default;

const AppSettings &WallpaperStore::settings() const
{
    return m_settings->values();
}

std::optional<QUrl> WallpaperStore::currentLocalFileURL() const
{
    const auto &current = m_screen->current();
    return current ? std::optional(current->file) : std::nullopt;
}

std::optional<QString> WallpaperStore::currentContentHash() const
{
    const auto &current = m_screen->current();
    if (!current || current->contentHash.isEmpty()) return std::nullopt;
    return current->contentHash;
}

std::optional<QString> WallpaperStore::errorMessage() const
{
    const auto &error = m_changes->error();
    return error ? std::optional(error->description()) : std::nullopt;
}

const std::optional<QDateTime> &WallpaperStore::nextChangeDate() const
{
    return m_schedule->nextChangeDate();
}

bool WallpaperStore::isAutoRotationActive() const
{
    return m_settings->isAutoRotationActive();
}

bool WallpaperStore::supportsPerDisplayWallpaper() const
{
    return m_applier->supportsPerDisplayWallpaper();
}

bool WallpaperStore::lockScreenEnabled() const
{
    return m_settings->lockScreen();
}

bool WallpaperStore::supportsLockScreen() const
{
    return m_applier->supportsLockScreen();
}

QList<DisplayState> WallpaperStore::displayStates() const
{
    QList<DisplayState> states;
    for (const DisplayTarget &display : m_applier->displayTargets())
        states.append({display, m_screen->display(display.key)});
    return states;
}

std::optional<QString> WallpaperStore::displayKeyNamed(const QString &name) const
{
    for (const DisplayTarget &display : m_applier->displayTargets())
        if (display.name == name) return display.key;
    return std::nullopt;
}

void WallpaperStore::updateCurrentImage()
{
    const auto &current = m_screen->current();
    std::optional<HubbleImage> image;
    if (current && !current->image.id.isEmpty()) image = current->image;
    if (m_currentImage == image) return;
    m_currentImage = image;
    Q_EMIT currentImageChanged();
}

void WallpaperStore::start()
{
    if (m_schedule->hasStarted()) return;
    const bool hasCurrent = m_currentImage && m_screen->current();
    if (m_schedule->start(m_settings->values(), hasCurrent))
        m_changes->requestPictureChange(true);
    else if (!isAutoRotationActive())
        m_changes->persistState();
    m_changes->networkChanged();
}

void WallpaperStore::stop()
{
    m_schedule->stop();
    m_changes->stop();
}

void WallpaperStore::updateSettings(const AppSettings &next, const QString &logLine)
{
    if (!m_settings->set(next)) return;
    qCInfo(lcStore).noquote() << logLine;
}

void WallpaperStore::updateFrequency(ChangeFrequency frequency)
{
    if (settings().frequency == frequency) return;
    AppSettings next = settings();
    next.frequency = frequency;
    // Choosing a frequency is a request for rotation, so it also resumes.
    if (frequency != ChangeFrequency::manual) next.isPaused = false;
    updateSettings(next, QStringLiteral("Updated change frequency to %1").arg(ChangeFrequencies::rawValue(frequency)));
    m_changes->cancelAutomaticFetchIfRunning();
    m_schedule->restartInterval(settings());
    m_changes->persistState();
}

void WallpaperStore::togglePaused()
{
    if (settings().frequency == ChangeFrequency::manual) return;
    AppSettings next = settings();
    next.isPaused = !next.isPaused;
    updateSettings(next, QStringLiteral("Toggled pause state: %1").arg(onOff(next.isPaused)));
    if (next.isPaused) m_changes->cancelAutomaticFetchIfRunning();
    m_schedule->restartInterval(settings());
    m_changes->persistState();
}

void WallpaperStore::updateDisplayScope(DisplayScope scope)
{
    if (settings().displayScope == scope) return;
    AppSettings next = settings();
    next.displayScope = scope;
    updateSettings(next, QStringLiteral("Updated display scope to %1").arg(DisplayScopes::rawValue(scope)));
    m_changes->persistState();
    m_changes->putBack(ChangeKind::scopeReapply);
}

void WallpaperStore::setLockScreenEnabled(bool enabled)
{
    if (enabled && !supportsLockScreen()) {
        qCWarning(lcStore) << "This desktop's lock screen cannot be given a picture; the setting stays off";
        return;
    }
    if (!m_settings->setLockScreen(enabled)) return;
    qCInfo(lcStore).noquote() << QStringLiteral("Lock screen picture: %1").arg(enabled ? u"on" : u"off");
    if (enabled) m_changes->putBack(ChangeKind::lockScreen);
}

void WallpaperStore::handleSystemWake()
{
    if (!m_schedule->hasStarted() || !isAutoRotationActive() || isLoading() || m_changes->isActive()) return;
    if (m_schedule->wake(settings())) m_changes->requestPictureChange(true);
}

void WallpaperStore::syncCurrentWallpaperToActiveSpace()
{
    m_changes->putBack(ChangeKind::workspaceSync);
}

void WallpaperStore::handleDisplaysChanged()
{
    Q_EMIT displaysChanged();
    if (settings().displayScope == DisplayScope::eachDisplay) m_changes->putBack(ChangeKind::displaysAppeared);
}

void WallpaperStore::requestNextWallpaper()
{
    m_changes->requestPictureChange(false);
}

QCoro::Task<> WallpaperStore::applyNextWallpaper()
{
    if (!m_changes->isActive()) m_changes->requestPictureChange(false);
    // Bound to this change now: a later one ending is no answer to this call. Nothing of the store is
    // touched after the wait, which it may not outlive.
    co_await m_changes->activeChangeEnding();
}

QCoro::Task<> WallpaperStore::activeFetchEnded()
{
    co_await m_changes->activeChangeEnding();
}

int WallpaperStore::historyPosition() const
{
    QString key;
    if (settings().displayScope == DisplayScope::eachDisplay) {
        const QList<DisplayTarget> displays = m_applier->displayTargets();
        if (!displays.isEmpty()) key = displays.first().key;
    }
    return std::max(0, m_library->positionOf(key, m_currentImage ? m_currentImage->id : QString()));
}

std::optional<ShownPicture> WallpaperStore::shownOn(const QString &displayKey) const
{
    const bool each = settings().displayScope == DisplayScope::eachDisplay;
    if (displayKey.isEmpty() || !each) return m_screen->current();
    return m_screen->shownOn(displayKey, true);
}

bool WallpaperStore::isCurrentKept(const QString &displayKey) const
{
    const std::optional<ShownPicture> picture = shownOn(displayKey);
    return picture && !picture->id().isEmpty() && m_library->kept().isKept(picture->id());
}

std::optional<QString> WallpaperStore::keepCurrentWallpaper(const QString &displayKey)
{
    const std::optional<ShownPicture> picture = shownOn(displayKey);
    if (!picture || picture->id().isEmpty() || !picture->fileExists())
        return tr("There is no picture on screen to keep.");
    return keep(*picture);
}

std::optional<QString> WallpaperStore::keep(const ShownPicture &picture)
{
    std::optional<QString> error = m_library->keep(picture);
    if (error) m_changes->showError(ChangeError::of(ChangeError::Kind::other, *error));
    return error;
}

std::optional<QString> WallpaperStore::keepHistoryEntry(int index)
{
    if (index < 0 || index >= m_library->history().entries().size()) return tr("There is no such picture.");
    const HistoryEntry &entry = m_library->history().entries().at(index);
    if (entry.file.isEmpty() || !QFileInfo(entry.file).isFile())
        return tr("The picture's file is gone; show it again first.");
    const HubbleImage image = entry.imageOver(m_archive->candidateForID(entry.id).value_or(HubbleImage{}));
    return keep(ShownPicture{image, QUrl::fromLocalFile(entry.file), entry.hash, entry.variant});
}

void WallpaperStore::neverAgain(const QString &displayKey)
{
    m_changes->neverAgain(displayKey);
}

void WallpaperStore::banHistoryEntry(int index)
{
    if (index < 0 || index >= m_library->history().entries().size()) return;
    const HistoryEntry entry = m_library->history().entries().at(index);
    // A display that shows it changes at once.
    for (const DisplayState &state : displayStates()) {
        const std::optional<ShownPicture> shown = shownOn(state.display.key);
        if (shown && shown->id() == entry.id) {
            neverAgain(state.display.key);
            return;
        }
    }
    if (m_currentImage && m_currentImage->id == entry.id) {
        neverAgain();
        return;
    }
    m_library->ban(entry.id, entry.hash);
}

std::optional<QUrl> WallpaperStore::archivePage(const QString &id) const
{
    const std::optional<HubbleImage> image = m_archive->candidateForID(id);
    if (!image || !image->detailsURL.isValid()) return std::nullopt;
    return image->detailsURL;
}

} // namespace Starvane
