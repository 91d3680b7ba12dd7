// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controlservice.h"
#include "updatecontroller.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <memory>

class QMainWindow;
class QSystemTrayIcon;
class QDBusServiceWatcher;

namespace Starvane {

class WallpaperStore;
class SystemEvents;
class MenuBarContentView;
class MainWindow;
class HistoryView;
class PreferencesView;
class AboutView;
class PictureInfoView;
class Notifier;
class WallpaperApplying;

/// Owns the one store and the one update controller for the life of the process, and wires them to
/// the window, the tray, the session bus and the system's wake and workspace events.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    /// `applier` sets the pictures on the desktop this session runs (see createDesktopApplier()).
    explicit AppDelegate(std::shared_ptr<WallpaperApplying> applier, QObject *parent = nullptr);
    ~AppDelegate() override;

    WallpaperStore &store() { return *m_store; }
    UpdateController &updater() { return *m_updater; }

    /// Offers the control interface on the session bus. `anotherInstanceRuns` means this launch should
    /// hand its request over and leave; `failed` that this one runs without the interface.
    ControlService::Registration registerControlService(QString *error);
    /// Starts the store, the system observers and the tray; opens the window unless started at login.
    void applicationDidFinishLaunching(bool openWindow);
    /// Stops the store and the observers.
    void applicationWillTerminate();

    /// Brings the "Starvane" window forward (restoring it when minimised) or opens a new one.
    void focusOrOpenMainWindow();
    /// Brings the history window forward or opens it.
    void openHistory();
    /// Brings the preferences forward or opens them.
    void openPreferences();
    /// Brings the About window forward or opens it.
    void openAbout();
    /// Brings "About This Picture" forward or opens it, for the display chosen in the main window.
    void openAboutPicture();

private:
    void createTrayIconWhenHostAppears();
    void createTrayIcon();
    void showUpdateResult(const UpdateController::Result &result);

    QNetworkAccessManager m_nam;
    std::unique_ptr<WallpaperStore> m_store;
    UpdateController *m_updater = nullptr;
    SystemEvents *m_systemEvents = nullptr;
    ControlService *m_control = nullptr;
    Notifier *m_notifier = nullptr;
    std::unique_ptr<MenuBarContentView> m_trayMenu;
    QSystemTrayIcon *m_tray = nullptr;
    QDBusServiceWatcher *m_trayWatcher = nullptr;
    QPointer<MainWindow> m_window;
    QPointer<HistoryView> m_history;
    QPointer<PreferencesView> m_preferences;
    QPointer<AboutView> m_about;
    QPointer<PictureInfoView> m_pictureInfo;
    bool m_started = false;
};

/// Deletes download files that a crashed run left in the temporary folder (ours only, older than a day).
int removeStaleDownloads();

} // namespace Starvane
