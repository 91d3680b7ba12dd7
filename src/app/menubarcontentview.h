// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/appsettings.h"
#include "models/hubbleimage.h"
#include "store/wallpaperstore.h"

#include "menudescription.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QMenuBar;

namespace Starvane {

class WallpaperStore;
class UpdateController;

/// Turns the XDG autostart entry on or off, logging a refusal of the file system.
void toggleLaunchAtLogin(bool enabled);

/// The tray menu: the current wallpaper, a status line and every everyday action. Rebuilt after the
/// store or the update controller changes, so it always shows their present state; the window's menu
/// bar, when attached, is rebuilt from the same description at the same moments.
class MenuBarContentView : public QObject
{
    Q_OBJECT
public:
    MenuBarContentView(WallpaperStore *store, UpdateController *updater, std::function<void()> openMainWindow,
                       QObject *parent = nullptr, std::function<void()> openHistory = {},
                       std::function<void()> openPreferences = {}, std::function<void()> openAbout = {},
                       std::function<void()> openAboutPicture = {});
    ~MenuBarContentView() override;

    QMenu *menu() const { return m_menu.get(); }
    /// Builds the window's menus into `bar` now and on every later change, for as long as it exists.
    void attachMenuBar(QMenuBar *bar);

    /// First line: the title trimmed and cut to 30 user-perceived characters, or "Starvane".
    static QString wallpaperTitle(const std::optional<HubbleImage> &image);
    /// Second line: what the schedule is doing.
    static QString statusSummary(const AppSettings &settings, bool isLoading, NetworkHold hold = NetworkHold::none);

public Q_SLOTS:
    /// Replaces both menus' contents now.
    void rebuild();
    /// Rebuilds once at the next turn of the event loop, however many changes arrive before it.
    void scheduleRebuild();

private:
    bool m_rebuildScheduled = false;
    WallpaperStore *m_store;
    MenuDescription m_description;
    std::unique_ptr<QMenu> m_menu;
    QPointer<QMenuBar> m_menuBar;
};

} // namespace Starvane
