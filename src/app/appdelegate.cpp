// SPDX-License-Identifier: GPL-3.0-or-later
#include "appdelegate.h"

#include "archive/boundeddownload.h"
#include "archive/hubbleapiclient.h"
#include "archive/systemnetworkstatus.h"
#include "controlservice.h"
#include "desktop/linuxwallpaperapplier.h"
#include "desktop/systemevents.h"
#include "integrity/wallpapercache.h"
#include "launchatlogin.h"
#include "logging.h"
#include "menubarcontentview.h"
#include "notifier.h"
#include "store/keyvaluestore.h"
#include "store/wallpaperhistory.h"
#include "store/wallpaperstore.h"
#include "theme/velmoratheme.h"
#include "updatecontroller.h"
#include "views/aboutview.h"
#include "views/contentview.h"
#include "views/displaypreviewrow.h"
#include "views/historyview.h"
#include "views/mainwindow.h"
#include "views/pictureinfoview.h"
#include "views/preferencesview.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

static void initAppResources()
{
    // The icon lives in the shell's static library, whose resource registration the linker would
    // otherwise drop: the tray icon came up blank.
    Q_INIT_RESOURCE(app);
}

namespace Starvane {

namespace {
constexpr int kTrayFallbackMs = 2000;
constexpr int kTrayPollMs = 5000;
// Long enough for the prune that follows a change to have run on its worker thread.
constexpr int kReleaseMemoryDelayMs = 2000;
constexpr int kDisplayLayoutSettleMs = 500;

void releaseFreedMemory()
{
#ifdef __GLIBC__
    // A change decodes pictures of tens of megabytes, partly on worker threads. glibc keeps what was
    // freed in its arenas for reuse; for a program that then sleeps until the next change that is
    // resident memory nobody uses, so hand it back.
    ::malloc_trim(0);
#endif
}

ArchiveHosts archiveHosts()
{
    ArchiveHosts hosts;
#ifdef STARVANE_TEST_HOOKS
    // Test builds only: end-to-end tests point the real binary at a local archive.
    const QString web = qEnvironmentVariable("STARVANE_TEST_ARCHIVE_WEB");
    const QString images = qEnvironmentVariable("STARVANE_TEST_ARCHIVE_IMAGES");
    if (!web.isEmpty())
        hosts.web = QUrl(web);
    if (!images.isEmpty())
        hosts.images = QUrl(images);
#endif
    return hosts;
}
} // namespace

int removeStaleDownloads()
{
    const QDateTime dayAgo = QDateTime::currentDateTimeUtc().addDays(-1);
    int removed = 0;
    const QFileInfoList files = QDir(QDir::tempPath()).entryInfoList({temporaryDownloadPrefix + QStringLiteral("*.tmp")}, QDir::Files);
    for (const QFileInfo &f : files) {
        if (f.ownerId() == ::getuid() && f.lastModified().toUTC() < dayAgo && QFile::remove(f.filePath()))
            ++removed;
    }
    return removed;
}

AppDelegate::AppDelegate(std::shared_ptr<WallpaperApplying> applier, QObject *parent) : QObject(parent)
{
    initAppResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/starvane/starvane.svg")));
    const ArchiveHosts hosts = archiveHosts();
    auto client = std::make_shared<HubbleAPIClient>(&m_nam, HubbleAPIClient::maxDownloadBytes, hosts.web, hosts.images);
    auto cache = std::make_shared<WallpaperCache>(WallpaperCache::defaultDirectoryURL(), wallpaperMinimumWidth,
                                                  wallpaperMinimumHeight, wallpaperMinimumAspectRatio,
                                                  wallpaperMaximumAspectRatio);
    auto state = std::make_shared<SettingsKeyValueStore>();
    StoreOptions options;
    options.dataDirectory = WallpaperHistory::defaultDirectory();
    m_store = std::make_unique<WallpaperStore>(
        StoreServices{client, cache, std::move(applier), state, std::make_shared<SystemNetworkStatus>()}, options);
    m_updater = UpdateController::createForThisProcess(&m_nam, this);
    connect(m_updater, &UpdateController::checkFinished, this, &AppDelegate::showUpdateResult);
    m_trayMenu = std::make_unique<MenuBarContentView>(
        m_store.get(), m_updater, [this] { focusOrOpenMainWindow(); }, nullptr, [this] { openHistory(); },
        [this] { openPreferences(); }, [this] { openAbout(); }, [this] { openAboutPicture(); });
}

AppDelegate::~AppDelegate()
{
    delete m_pictureInfo;
    delete m_about;
    delete m_preferences;
    delete m_history;
    delete m_window;
}

void AppDelegate::openHistory()
{
    if (!m_history) {
        m_history = new HistoryView(*m_store);
        m_history->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

namespace {
void bringForward(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}
} // namespace

void AppDelegate::openPreferences()
{
    if (!m_preferences) {
        m_preferences = new PreferencesView(*m_store);
        m_preferences->setAttribute(Qt::WA_DeleteOnClose);
        m_preferences->setLaunchAtLogin([] { return LaunchAtLogin::isEnabled(); },
                                        [this](bool on, QString *error) {
                                            const bool written = LaunchAtLogin::setEnabled(on, error);
                                            m_trayMenu->scheduleRebuild(); // the menus tick it too
                                            return written;
                                        });
    }
    bringForward(m_preferences);
}

void AppDelegate::openAbout()
{
    if (!m_about) {
        m_about = new AboutView;
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    bringForward(m_about);
}

void AppDelegate::openAboutPicture()
{
    if (!m_pictureInfo) {
        m_pictureInfo = new PictureInfoView(*m_store);
        m_pictureInfo->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_pictureInfo->refresh(); // the display chosen in the main window may be another one by now
    bringForward(m_pictureInfo);
}

ControlService::Registration AppDelegate::registerControlService(QString *error)
{
    m_control = new ControlService(m_store.get(), [this] { focusOrOpenMainWindow(); }, this);
    const ControlService::Registration result = m_control->registerOn(QDBusConnection::sessionBus(), error);
    if (result == ControlService::Registration::failed)
        qCWarning(lcApp).noquote() << "Session bus control unavailable:" << *error;
    return result;
}

void AppDelegate::applicationDidFinishLaunching(bool openWindow)
{
    if (const int stale = removeStaleDownloads())
        qCInfo(lcApp) << "Removed" << stale << "stale download files";
    m_started = true;
    connect(m_store.get(), &WallpaperStore::isLoadingChanged, this, [this] {
        if (!m_store->isLoading())
            QTimer::singleShot(kReleaseMemoryDelayMs, this, [] { releaseFreedMemory(); });
    });
    // Before the store starts, so that the first change is announced too.
    m_notifier = new Notifier(m_store.get(), QDBusConnection::sessionBus(), this);
    // The wallpaper dimmed for the dark style follows the same scheme as the windows.
    m_store->changes().setDarkStyle(Appearance::instance().isDark());
    connect(&Appearance::instance(), &Appearance::changed, &m_store->changes(), &ChangeCoordinator::setDarkStyle,
            Qt::QueuedConnection);
    m_store->start();

    m_systemEvents = new SystemEvents(this);
    // Queued: the store's operations never run inside an event source's own callback.
    connect(m_systemEvents, &SystemEvents::systemDidWake, m_store.get(), &WallpaperStore::handleSystemWake,
            Qt::QueuedConnection);
    connect(m_systemEvents, &SystemEvents::activeWorkspaceChanged, m_store.get(),
            &WallpaperStore::syncCurrentWallpaperToActiveSpace, Qt::QueuedConnection);
    m_systemEvents->start();

    // Monitors come and go (and move) in bursts: let the layout settle before the store looks at it.
    auto *layoutSettled = new QTimer(this);
    layoutSettled->setSingleShot(true);
    layoutSettled->setInterval(kDisplayLayoutSettleMs);
    connect(layoutSettled, &QTimer::timeout, m_store.get(), &WallpaperStore::handleDisplaysChanged);
    const auto watchScreen = [this, layoutSettled](QScreen *screen) {
        connect(screen, &QScreen::geometryChanged, layoutSettled, qOverload<>(&QTimer::start));
    };
    for (QScreen *screen : QGuiApplication::screens())
        watchScreen(screen);
    connect(qApp, &QGuiApplication::screenAdded, this, [layoutSettled, watchScreen](QScreen *screen) {
        watchScreen(screen);
        layoutSettled->start();
    });
    connect(qApp, &QGuiApplication::screenRemoved, layoutSettled, qOverload<>(&QTimer::start));
    connect(qApp, &QGuiApplication::primaryScreenChanged, layoutSettled, qOverload<>(&QTimer::start));

    // Until a tray exists, closing the window must quit: otherwise the program would be unreachable.
    QApplication::setQuitOnLastWindowClosed(true);
    createTrayIconWhenHostAppears();
    if (openWindow)
        focusOrOpenMainWindow();
}

void AppDelegate::applicationWillTerminate()
{
    if (!m_started)
        return;
    m_store->stop();
    if (m_systemEvents) {
        m_systemEvents->disconnect(m_store.get());
        delete m_systemEvents;
        m_systemEvents = nullptr;
    }
}

void AppDelegate::createTrayIconWhenHostAppears()
{
    const QString watcherName = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Qt picks StatusNotifierItem or XEmbed once, when the icon is created: wait for a host.
    if (bus.isConnected() && bus.interface()->isServiceRegistered(watcherName).value()) {
        createTrayIcon();
        return;
    }
    if (bus.isConnected()) {
        m_trayWatcher = new QDBusServiceWatcher(watcherName, bus, QDBusServiceWatcher::WatchForRegistration, this);
        connect(m_trayWatcher, &QDBusServiceWatcher::serviceRegistered, this, &AppDelegate::createTrayIcon);
    }
    // An XEmbed tray may come up long after us (autostart races the panel), and without a tray an
    // instance started at login has nothing on screen at all: keep looking until one appears.
    auto *poll = new QTimer(this);
    poll->setInterval(kTrayFallbackMs);
    connect(poll, &QTimer::timeout, this, [this, poll] {
        if (!m_tray && QSystemTrayIcon::isSystemTrayAvailable())
            createTrayIcon();
        if (m_tray)
            poll->deleteLater();
        else
            poll->setInterval(kTrayPollMs);
    });
    poll->start();
}

void AppDelegate::createTrayIcon()
{
    if (m_tray)
        return;
    m_tray = new QSystemTrayIcon(QIcon(QStringLiteral(":/starvane/starvane.svg")), this);
    m_tray->setToolTip(QStringLiteral("Starvane"));
    m_tray->setContextMenu(m_trayMenu->menu());
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            focusOrOpenMainWindow();
    });
    m_tray->show();
    QApplication::setQuitOnLastWindowClosed(false);
    qCInfo(lcApp) << "Tray icon created";
}

void AppDelegate::focusOrOpenMainWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *window = qobject_cast<QMainWindow *>(w);
        if (!window || window->windowTitle() != QLatin1String("Starvane"))
            continue;
        if (window->isMinimized())
            window->showNormal();
        window->show();
        window->raise();
        window->activateWindow();
        return;
    }
    m_window = new MainWindow(*m_store);
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    m_window->contentView()->setRevealFileHandler([](const QUrl &file) { revealInFileManager(file); });
    m_trayMenu->attachMenuBar(m_window->menuBar());
    connect(m_window->contentView(), &ContentView::aboutPictureRequested, this, &AppDelegate::openAboutPicture);
    // An open "About This Picture" follows the preview chosen (after the store has taken the choice).
    connect(m_window->contentView()->displayPreviews(), &DisplayPreviewRow::selectedKeyChanged, this, [this] {
        if (m_pictureInfo) m_pictureInfo->refresh();
    });
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void AppDelegate::showUpdateResult(const UpdateController::Result &result)
{
    makeUpdateResultBox(result, m_window)->show();
}

} // namespace Starvane
