// SPDX-License-Identifier: GPL-3.0-or-later
#include "menubarcontentview.h"

#include "launchatlogin.h"
#include "logging.h"
#include "store/wallpaperstore.h"
#include "updatecontroller.h"
#include "views/contentview.h"

#include <QMenu>
#include <QMenuBar>
#include <QTextBoundaryFinder>
#include <utility>

namespace Starvane {

namespace {
constexpr int kTitleLimit = 30;

/// Cuts after `count` grapheme clusters, so accents and emoji are never split.
QString firstCharacters(const QString &text, int count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int seen = 0;
    while (seen < count && finder.toNextBoundary() != -1)
        ++seen;
    return text.left(finder.position() < 0 ? text.size() : finder.position());
}

int characterCount(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int n = 0;
    while (finder.toNextBoundary() != -1)
        ++n;
    return n;
}
} // namespace

void toggleLaunchAtLogin(bool enabled)
{
    QString error;
    if (!LaunchAtLogin::setEnabled(enabled, &error))
        qCWarning(lcApp).noquote() << "Could not change launch at login:" << error;
}

MenuBarContentView::MenuBarContentView(WallpaperStore *store, UpdateController *updater,
                                       std::function<void()> openMainWindow, QObject *parent,
                                       std::function<void()> openHistory, std::function<void()> openPreferences,
                                       std::function<void()> openAbout, std::function<void()> openAboutPicture)
    : QObject(parent), m_store(store),
      m_description(
          store, updater, std::move(openMainWindow), [this] { scheduleRebuild(); }, std::move(openHistory),
          std::move(openPreferences), std::move(openAbout), std::move(openAboutPicture)),
      m_menu(std::make_unique<QMenu>())
{
    // A finished change alone sends four of these signals; building the menus once for all of them,
    // after the store's own work, keeps that moment's main-thread work short.
    for (auto signal : {&WallpaperStore::settingsChanged, &WallpaperStore::currentImageChanged,
                        &WallpaperStore::isLoadingChanged, &WallpaperStore::historyChanged,
                        &WallpaperStore::networkHoldChanged})
        connect(m_store, signal, this, &MenuBarContentView::scheduleRebuild);
    if (updater)
        connect(updater, &UpdateController::canCheckForUpdatesChanged, this, &MenuBarContentView::scheduleRebuild);
    // The autostart entry can change behind our back; read it again whenever the menu opens.
    connect(m_menu.get(), &QMenu::aboutToShow, this, &MenuBarContentView::rebuild);
    rebuild();
}

MenuBarContentView::~MenuBarContentView() = default;

QString MenuBarContentView::wallpaperTitle(const std::optional<HubbleImage> &image)
{
    if (!image) return QStringLiteral("Starvane");
    const QString title = image->title.trimmed();
    if (characterCount(title) <= kTitleLimit) return title;
    return firstCharacters(title, kTitleLimit - 1) + QChar(0x2026);
}

QString MenuBarContentView::statusSummary(const AppSettings &settings, bool isLoading, NetworkHold hold)
{
    if (isLoading) return tr("Updating wallpaper\u2026");
    if (hold != NetworkHold::none) return ContentView::networkHoldText(hold);
    if (settings.frequency == ChangeFrequency::manual) return tr("Manual mode");
    // Not "Paused (15 min)", which reads as paused for 15 minutes.
    //: %1 is the paused frequency in short, such as "15 min" or "1 hour"
    if (settings.isPaused)
        return tr("Paused \u00b7 every %1 when resumed").arg(ChangeFrequencies::shortLabel(settings.frequency));
    //: %1 is the frequency, such as "Every hour"
    return tr("Auto: %1").arg(ChangeFrequencies::displayName(settings.frequency));
}

void MenuBarContentView::attachMenuBar(QMenuBar *bar)
{
    m_menuBar = bar;
    buildMenu(bar, m_description.menuBar());
}

void MenuBarContentView::scheduleRebuild()
{
    if (std::exchange(m_rebuildScheduled, true)) return;
    QMetaObject::invokeMethod(
        this, [this] { if (m_rebuildScheduled) rebuild(); }, Qt::QueuedConnection);
}

void MenuBarContentView::rebuild()
{
    m_rebuildScheduled = false;
    // The menu may be open while it is rebuilt (a fetch ends): it stays the same QMenu, so the tray keeps
    // its pointer, and only its contents are replaced.
    buildMenu(m_menu.get(), m_description.trayMenu());
    if (m_menuBar) buildMenu(m_menuBar, m_description.menuBar());
}

} // namespace Starvane
