// SPDX-License-Identifier: GPL-3.0-or-later
#include "menudescription.h"

#include "launchatlogin.h"
#include "menubarcontentview.h"
#include "store/picturelibrary.h"
#include "store/storesettings.h"
#include "store/wallpaperstore.h"
#include "updatecontroller.h"

#include <QActionGroup>
#include <QApplication>
#include <QMenu>

namespace Starvane {

namespace {
MenuEntry command(QString name, QString text, std::function<void()> action)
{
    MenuEntry e;
    e.name = std::move(name);
    e.text = std::move(text);
    e.action = std::move(action);
    return e;
}

MenuEntry information(QString text)
{
    MenuEntry e;
    e.kind = MenuEntry::Kind::information;
    e.text = std::move(text);
    e.enabled = false;
    return e;
}

MenuEntry separator()
{
    MenuEntry e;
    e.kind = MenuEntry::Kind::separator;
    return e;
}

MenuEntry submenu(QString name, QString text, QList<MenuEntry> entries, bool exclusive = false)
{
    MenuEntry e;
    e.kind = MenuEntry::Kind::submenu;
    e.name = std::move(name);
    e.text = std::move(text);
    e.entries = std::move(entries);
    e.exclusive = exclusive;
    return e;
}

QString literal(QString text)
{
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

QAction *makeAction(QWidget *container, const MenuEntry &e)
{
    auto *a = new QAction(container);
    if (e.kind == MenuEntry::Kind::separator) {
        a->setSeparator(true);
        return a;
    }
    a->setText(literal(e.text));
    a->setObjectName(e.name);
    a->setShortcut(e.shortcut);
    a->setEnabled(e.enabled);
    if (e.checked) {
        a->setCheckable(true);
        a->setChecked(*e.checked);
    }
    if (e.action) QObject::connect(a, &QAction::triggered, a, [action = e.action] { action(); });
    return a;
}
} // namespace

void buildMenu(QWidget *container, const QList<MenuEntry> &entries)
{
    // QMenu::clear() deletes only the actions the menu itself owns; a submenu (and with it its actions)
    // belongs to whoever created it, so every rebuild used to leave the old submenus behind. Release
    // exactly what the last build created. Later, not now: the rebuild may run inside the handler of
    // one of these very actions (choosing a frequency changes the settings).
    const QList<QAction *> old = container->actions();
    for (QAction *a : old) {
        container->removeAction(a);
        if (QMenu *sub = a->menu(); sub && sub->parent() == container) {
            // Emptied first: only an action that leaves through removeAction() takes its entry in the
            // tray's exported copy of the menu along; deleting a submenu with its actions in it left
            // those entries (and their connections) behind on every rebuild.
            buildMenu(sub, {});
            sub->deleteLater();
        } else if (a->parent() == container)
            a->deleteLater();
    }

    for (const MenuEntry &e : entries) {
        if (e.kind != MenuEntry::Kind::submenu) {
            container->addAction(makeAction(container, e));
            continue;
        }
        auto *sub = new QMenu(literal(e.text), container);
        sub->setObjectName(e.name);
        sub->menuAction()->setObjectName(e.name);
        buildMenu(sub, e.entries);
        if (e.exclusive) {
            // One choice: choosing the selected item again keeps it selected.
            auto *group = new QActionGroup(sub);
            group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
            for (QAction *a : sub->actions())
                if (a->isCheckable()) group->addAction(a);
        }
        container->addAction(sub->menuAction());
    }
}

MenuDescription::MenuDescription(WallpaperStore *store, UpdateController *updater, std::function<void()> openMainWindow,
                                 std::function<void()> changed, std::function<void()> openHistory,
                                 std::function<void()> openPreferences, std::function<void()> openAbout,
                                 std::function<void()> openAboutPicture)
    : m_store(store), m_updater(updater), m_openMainWindow(std::move(openMainWindow)), m_changed(std::move(changed)),
      m_openHistory(std::move(openHistory)), m_openPreferences(std::move(openPreferences)),
      m_openAbout(std::move(openAbout)), m_openAboutPicture(std::move(openAboutPicture))
{
}

MenuEntry MenuDescription::nextWallpaper() const
{
    MenuEntry e = command(QStringLiteral("next"), tr("Next Wallpaper"), [s = m_store] { s->requestNextWallpaper(); });
    e.shortcut = QKeySequence(Qt::CTRL | Qt::Key_R);
    e.enabled = !m_store->isLoading();
    return e;
}

MenuEntry MenuDescription::previousWallpaper() const
{
    MenuEntry e = command(QStringLiteral("previous"), tr("Previous Wallpaper"),
                          [s = m_store] { s->changes().requestPrevious(); });
    e.shortcut = QKeySequence(Qt::CTRL | Qt::Key_B);
    e.enabled = !m_store->isLoading() && m_store->changes().canShowPrevious();
    return e;
}

MenuEntry MenuDescription::keep() const
{
    // The picture of the display whose preview the window shows ("each display"), else the main one.
    const QString display = m_store->selectedDisplay();
    const bool kept = m_store->isCurrentKept(display);
    MenuEntry e = command(QStringLiteral("keep"), tr("Keep"), [s = m_store, kept, display] {
        // A refusal (a folder that cannot be written) shows as the store's error.
        const std::optional<ShownPicture> shown =
            s->screen().shownOn(display, s->settings().displayScope == DisplayScope::eachDisplay);
        if (kept && shown)
            s->library().unkeep(shown->id());
        else
            s->keepCurrentWallpaper(display);
    });
    e.shortcut = QKeySequence(Qt::CTRL | Qt::Key_K);
    e.checked = kept;
    e.enabled = m_store->currentImage().has_value() && m_store->currentLocalFileURL().has_value();
    return e;
}

MenuEntry MenuDescription::neverAgain() const
{
    MenuEntry e = command(QStringLiteral("neverAgain"), tr("Never Again"),
                          [s = m_store] { s->neverAgain(s->selectedDisplay()); });
    e.enabled = m_store->currentImage().has_value() && !m_store->isLoading();
    return e;
}

MenuEntry MenuDescription::onlyKeptPictures() const
{
    const bool only = m_store->settings().onlyKeptPictures;
    MenuEntry e = command(QStringLiteral("onlyKept"), tr("Only Kept Pictures"),
                          [s = m_store, only] { s->settingsObject().setOnlyKeptPictures(!only); });
    e.checked = only;
    return e;
}

std::optional<MenuEntry> MenuDescription::history() const
{
    if (!m_openHistory) return std::nullopt;
    MenuEntry e = command(QStringLiteral("history"), tr("History\u2026"), m_openHistory);
    e.shortcut = QKeySequence(Qt::CTRL | Qt::Key_H);
    return e;
}

std::optional<MenuEntry> MenuDescription::preferences() const
{
    if (!m_openPreferences) return std::nullopt;
    MenuEntry e = command(QStringLiteral("preferences"), tr("Preferences\u2026"), m_openPreferences);
    e.shortcut = QKeySequence(Qt::CTRL | Qt::Key_Comma);
    return e;
}

std::optional<MenuEntry> MenuDescription::about() const
{
    if (!m_openAbout) return std::nullopt;
    return command(QStringLiteral("about"), tr("About Starvane"), m_openAbout);
}

std::optional<MenuEntry> MenuDescription::aboutPicture() const
{
    if (!m_openAboutPicture) return std::nullopt;
    MenuEntry e = command(QStringLiteral("aboutPicture"), tr("About This Picture"), m_openAboutPicture);
    e.shortcut = QKeySequence(Qt::CTRL | Qt::Key_I);
    e.enabled = m_store->currentImage().has_value();
    return e;
}

std::optional<MenuEntry> MenuDescription::pauseOrResume() const
{
    // Manual mode has nothing to pause: the item is gone, not greyed.
    if (m_store->settings().frequency == ChangeFrequency::manual) return std::nullopt;
    MenuEntry e = command(QStringLiteral("pause"),
                          m_store->settings().isPaused ? tr("Resume Auto-Change") : tr("Pause Auto-Change"),
                          [s = m_store] { s->togglePaused(); });
    e.shortcut = QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_P);
    return e;
}

MenuEntry MenuDescription::frequencies() const
{
    QList<MenuEntry> choices;
    for (ChangeFrequency f : ChangeFrequencies::allCases()) {
        MenuEntry e = command(ChangeFrequencies::rawValue(f), ChangeFrequencies::displayName(f),
                              [s = m_store, f] { s->updateFrequency(f); });
        e.checked = m_store->settings().frequency == f;
        choices << e;
    }
    return submenu(QStringLiteral("frequency"), tr("Change Frequency"), choices, true);
}

MenuEntry MenuDescription::displays() const
{
    QList<MenuEntry> choices;
    for (DisplayScope scope : DisplayScopes::allCases()) {
        MenuEntry e = command(DisplayScopes::rawValue(scope), DisplayScopes::displayName(scope),
                              [s = m_store, scope] { s->updateDisplayScope(scope); });
        e.checked = m_store->settings().displayScope == scope;
        choices << e;
    }
    if (!m_store->supportsPerDisplayWallpaper() && m_store->settings().displayScope != DisplayScope::eachDisplay)
        choices << information(tr("This desktop shows one picture on all displays"));
    return submenu(QStringLiteral("displays"), tr("Displays"), choices, true);
}

MenuEntry MenuDescription::networkAndNotifications() const
{
    const AppSettings &s = m_store->settings();
    MenuEntry metered =
        command(QStringLiteral("downloadOnMetered"), tr("Download on metered connections"),
                [st = m_store] { st->settingsObject().setDownloadOnMetered(!st->settings().downloadOnMetered); });
    metered.checked = s.downloadOnMetered;
    MenuEntry saveData = command(QStringLiteral("saveData"), tr("Save data"),
                                 [st = m_store] { st->settingsObject().setSaveData(!st->settings().saveData); });
    saveData.checked = s.saveData;
    MenuEntry notify =
        command(QStringLiteral("notifyOnChange"), tr("Notify when the wallpaper changes"),
                [st = m_store] { st->settingsObject().setNotifyOnChange(!st->settings().notifyOnChange); });
    notify.checked = s.notifyOnChange;
    return submenu(QStringLiteral("networkAndNotifications"), tr("Network and Notifications"),
                   {metered, saveData, notify}, false);
}

MenuEntry MenuDescription::checkForUpdates() const
{
    MenuEntry e = command(QStringLiteral("checkForUpdates"), tr("Check for Updates\u2026"), [u = m_updater] {
        if (u) u->checkForUpdates();
    });
    e.enabled = m_updater && m_updater->isSupported() && m_updater->canCheckForUpdates();
    return e;
}

MenuEntry MenuDescription::launchAtLogin() const
{
    MenuEntry e = command(QStringLiteral("launchAtLogin"), tr("Launch at Login"), [changed = m_changed] {
        toggleLaunchAtLogin(!LaunchAtLogin::isEnabled());
        if (changed) changed();
    });
    e.checked = LaunchAtLogin::isEnabled();
    return e;
}

MenuEntry MenuDescription::quit() const
{
    MenuEntry e = command(QStringLiteral("quit"), tr("Quit Starvane"), [] { QCoreApplication::quit(); });
    e.shortcut = QKeySequence(Qt::CTRL | Qt::Key_Q);
    return e;
}

QList<MenuEntry> MenuDescription::trayMenu() const
{
    QList<MenuEntry> menu{information(MenuBarContentView::wallpaperTitle(m_store->currentImage())),
                          information(MenuBarContentView::statusSummary(m_store->settings(), m_store->isLoading(),
                                                                        m_store->changes().networkHold())),
                          separator(),
                          nextWallpaper(),
                          previousWallpaper(),
                          keep(),
                          neverAgain()};
    if (auto pause = pauseOrResume()) menu << *pause;
    menu << frequencies() << onlyKeptPictures() << displays() << networkAndNotifications() << separator();
    if (auto h = history()) menu << *h;
    if (auto p = preferences()) menu << *p;
    // Without a feed there is nothing to check: the tray leaves the item out, the menu bar greys it.
    if (m_updater && m_updater->isSupported()) menu << checkForUpdates();
    menu << launchAtLogin() << command(QStringLiteral("open"), tr("Open Starvane"), m_openMainWindow) << quit();
    return menu;
}

QList<MenuEntry> MenuDescription::menuBar() const
{
    QList<MenuEntry> wallpaper{nextWallpaper(), previousWallpaper(), keep(), neverAgain()};
    if (auto pause = pauseOrResume()) wallpaper << *pause;
    wallpaper << onlyKeptPictures();
    const std::optional<MenuEntry> picture = aboutPicture();
    const std::optional<MenuEntry> shown = history();
    if (picture || shown) wallpaper << separator();
    if (picture) wallpaper << *picture;
    if (shown) wallpaper << *shown;
    QList<MenuEntry> application;
    if (auto a = about()) application << *a << separator();
    if (auto p = preferences()) application << *p;
    application << checkForUpdates() << launchAtLogin() << separator() << quit();
    return {submenu(QStringLiteral("application"), QStringLiteral("Starvane"), application),
            submenu(QStringLiteral("wallpaper"), tr("Wallpaper"), wallpaper)};
}

} // namespace Starvane
