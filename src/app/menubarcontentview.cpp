// SPDX-License-Identifier: GPL-3.0-or-later
#include "menubarcontentview.h"

#include "launchatlogin.h"
#include "logging.h"
#include "store/wallpaperstore.h"
#include "updatecontroller.h"

#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QTextBoundaryFinder>

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
                                       std::function<void()> openMainWindow, QObject *parent)
    : QObject(parent), m_store(store), m_updater(updater), m_openMainWindow(std::move(openMainWindow)),
      m_menu(std::make_unique<QMenu>())
{
    for (auto signal : {&WallpaperStore::settingsChanged, &WallpaperStore::currentImageChanged,
                        &WallpaperStore::isLoadingChanged})
        connect(m_store, signal, this, &MenuBarContentView::rebuild);
    if (m_updater)
        connect(m_updater, &UpdateController::canCheckForUpdatesChanged, this, &MenuBarContentView::rebuild);
    rebuild();
}

MenuBarContentView::~MenuBarContentView() = default;

QString MenuBarContentView::wallpaperTitle(const std::optional<HubbleImage> &image)
{
    if (!image)
        return QStringLiteral("Starvane");
    const QString title = image->title.trimmed();
    if (characterCount(title) <= kTitleLimit)
        return title;
    return firstCharacters(title, kTitleLimit - 1) + QChar(0x2026);
}

QString MenuBarContentView::statusSummary(const AppSettings &settings, bool isLoading)
{
    if (isLoading)
        return QStringLiteral("Updating wallpaper\u2026");
    if (settings.frequency == ChangeFrequency::manual)
        return QStringLiteral("Manual mode");
    if (settings.isPaused)
        return QStringLiteral("Paused (%1)").arg(ChangeFrequencies::shortLabel(settings.frequency));
    return QStringLiteral("Auto: ") + ChangeFrequencies::displayName(settings.frequency);
}

void MenuBarContentView::rebuild()
{
    // The menu may be open while it is rebuilt (a fetch ends); clearing it keeps the same QMenu object
    // so the tray keeps its pointer.
    QMenu *menu = m_menu.get();
    menu->clear();
    const AppSettings settings = m_store->settings();

    menu->addAction(wallpaperTitle(m_store->currentImage()))->setEnabled(false);
    menu->addAction(statusSummary(settings, m_store->isLoading()))->setEnabled(false);
    menu->addSeparator();

    QAction *next = menu->addAction(QStringLiteral("Next Wallpaper"), m_store, &WallpaperStore::requestNextWallpaper);
    next->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    next->setEnabled(!m_store->isLoading());

    if (settings.frequency != ChangeFrequency::manual) {
        menu->addAction(settings.isPaused ? QStringLiteral("Resume Auto-Change") : QStringLiteral("Pause Auto-Change"),
                        m_store, &WallpaperStore::togglePaused);
    }

    QMenu *frequencies = menu->addMenu(QStringLiteral("Change Frequency"));
    for (ChangeFrequency f : ChangeFrequencies::allCases()) {
        QAction *a = frequencies->addAction(ChangeFrequencies::displayName(f), m_store,
                                            [store = m_store, f] { store->updateFrequency(f); });
        a->setCheckable(true);
        a->setChecked(settings.frequency == f);
    }

    QMenu *displays = menu->addMenu(QStringLiteral("Displays"));
    for (DisplayScope s : DisplayScopes::allCases()) {
        QAction *a = displays->addAction(DisplayScopes::displayName(s), m_store,
                                         [store = m_store, s] { store->updateDisplayScope(s); });
        a->setCheckable(true);
        a->setChecked(settings.displayScope == s);
    }
    if (!m_store->supportsPerDisplayWallpaper())
        displays->addAction(QStringLiteral("This desktop shows one picture on all displays"))->setEnabled(false);

    menu->addSeparator();
    if (m_updater && m_updater->isSupported()) {
        QAction *check = menu->addAction(QStringLiteral("Check for Updates\u2026"), m_updater.data(),
                                         &UpdateController::checkForUpdates);
        check->setEnabled(m_updater->canCheckForUpdates());
    }
    QAction *login = menu->addAction(QStringLiteral("Launch at Login"));
    login->setCheckable(true);
    login->setChecked(LaunchAtLogin::isEnabled());
    connect(login, &QAction::toggled, this, [](bool on) { toggleLaunchAtLogin(on); });
    menu->addAction(QStringLiteral("Open Starvane"), this, [this] { m_openMainWindow(); });
    QAction *quit = menu->addAction(QStringLiteral("Quit Starvane"), qApp, &QCoreApplication::quit);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

} // namespace Starvane
