// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QKeySequence>
#include <QList>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace Starvane {

class WallpaperStore;
class UpdateController;

/// One line of a menu as the present state dictates it.
struct MenuEntry
{
    enum class Kind { command, information, separator, submenu };
    Kind kind = Kind::command;
    /// Shown literally: an "&" is a character, never a mnemonic.
    QString text;
    /// Lets tests and accessibility tools find an entry without depending on its wording.
    QString name;
    QKeySequence shortcut;
    bool enabled = true;
    /// Present for entries that carry a tick.
    std::optional<bool> checked;
    std::function<void()> action;
    /// For a submenu: its entries, and whether their ticks form one exclusive choice.
    QList<MenuEntry> entries;
    bool exclusive = false;
};

/// Every command of the tray menu and of the window's menu bar: texts, shortcuts and the rules for
/// enabled, ticked and shown, evaluated against the store and the update controller each time a menu
/// is built. The two menus differ only in which entries they list.
class MenuDescription
{
    Q_DECLARE_TR_FUNCTIONS(Starvane::MenuDescription)

public:
    /// `changed` is called when an entry changed state that the store does not announce (launch at login).
    /// `openHistory`, `openPreferences`, `openAbout`, `openAboutPicture` empty: no such entry in the menus.
    MenuDescription(WallpaperStore *store, UpdateController *updater, std::function<void()> openMainWindow,
                    std::function<void()> changed, std::function<void()> openHistory = {},
                    std::function<void()> openPreferences = {}, std::function<void()> openAbout = {},
                    std::function<void()> openAboutPicture = {});

    QList<MenuEntry> trayMenu() const;
    /// The menu bar's top-level menus.
    QList<MenuEntry> menuBar() const;

private:
    MenuEntry nextWallpaper() const;
    MenuEntry previousWallpaper() const;
    MenuEntry keep() const;
    MenuEntry neverAgain() const;
    MenuEntry onlyKeptPictures() const;
    std::optional<MenuEntry> history() const;
    std::optional<MenuEntry> preferences() const;
    std::optional<MenuEntry> about() const;
    std::optional<MenuEntry> aboutPicture() const;
    std::optional<MenuEntry> pauseOrResume() const;
    MenuEntry frequencies() const;
    MenuEntry displays() const;
    MenuEntry networkAndNotifications() const;
    MenuEntry checkForUpdates() const;
    MenuEntry launchAtLogin() const;
    MenuEntry quit() const;

    WallpaperStore *m_store;
    QPointer<UpdateController> m_updater;
    std::function<void()> m_openMainWindow;
    std::function<void()> m_changed;
    std::function<void()> m_openHistory;
    std::function<void()> m_openPreferences;
    std::function<void()> m_openAbout;
    std::function<void()> m_openAboutPicture;
};

/// Replaces what `container` (a QMenu or a QMenuBar) shows with `entries`. Everything an earlier
/// build created in it is released: submenus with their actions, and the choice groups.
void buildMenu(QWidget *container, const QList<MenuEntry> &entries);

} // namespace Starvane
