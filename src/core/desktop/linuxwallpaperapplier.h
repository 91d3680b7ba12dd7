// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "contracts/wallpaperapplying.h"
#include "desktop/desktopbackend.h"

#include <QTimer>
#include <functional>
#include <list>
#include <memory>

class QScreen;

namespace Starvane {

/// The connected displays, primary first (never the windowing system's list order).
QList<DisplayTarget> connectedDisplays();

/// The key a display's own picture is remembered under: connector name, then manufacturer, model and
/// serial number where non-empty, joined by "|".
QString displayKey(const QScreen *screen);
/// The same from its parts (empty parts are left out).
QString displayKey(const QString &name, const QString &manufacturer, const QString &model, const QString &serial);

/// Sets and reads desktop pictures through one desktop backend chosen at start-up.
class LinuxWallpaperApplier : public WallpaperApplying
{
public:
    using DisplaySource = std::function<QList<DisplayTarget>()>;

    explicit LinuxWallpaperApplier(std::unique_ptr<DesktopBackend> backend, DisplaySource displays = connectedDisplays);

    QCoro::Task<> prepareWallpaper(QUrl file, DisplayScope scope, std::stop_token st) override;
    QCoro::Task<> applyWallpaper(QUrl file, DisplayScope scope, std::stop_token st) override;
    QCoro::Task<QSet<QUrl>> currentDesktopImageURLs() override;
    QCoro::Task<QList<std::optional<QUrl>>> desktopImageURLs(DisplayScope scope) override;
    double primaryDisplayAspectRatio() override;
    QSize largestDisplayPixelSize() override;
    bool supportsPerDisplayWallpaper() const override;
    QList<DisplayTarget> displayTargets() override;
    bool supportsLockScreen() const override;
    QCoro::Task<> applyLockScreen(QUrl file, std::stop_token st) override;
    QCoro::Task<> applyDisplayWallpapers(QList<DisplayWallpaper> pictures, std::stop_token st) override;
    void onAskingForPermission(std::function<void(bool asking)> listener) override;
    void setLook(WallpaperLook look) override;
    bool showsDarkStyleItself() const override;

    DesktopBackend &backend() const { return *m_backend; }

private:
    /// One requested apply, from the moment it is queued until it has ended.
    struct Turn
    {
        QUrl file;
        DisplayScope scope = DisplayScope::allDisplays;
        // Set instead of `file` for an apply that gives each display its own picture.
        QList<DisplayWallpaper> pictures;
        // For the lock screen rather than the desktop.
        bool lockScreen = false;
        bool started = false;
        bool ended = false;
        /// Ended because its requester stopped it, before the desktop changed.
        bool cancelled = false;
        std::exception_ptr error;
    };
    class TurnHolder;

    /// A picture and the displays whose crops of it its caption must stay inside.
    struct Dressing
    {
        QString path;
        QList<DisplayTarget> displays;
    };

    QList<DisplayTarget> displays(DisplayScope scope) const;
    /// What the desktop is given for each picture under the look: its copies with a caption or
    /// darkened, made off the main thread; the picture itself where a copy cannot be written.
    QCoro::Task<QList<DesktopPicture>> dress(QList<Dressing> pictures);
    WallpaperCaption captionFor(const QString &path) const;
    bool wantsDarkCopy() const;
    /// Says once that copies cannot be written, until one can again.
    void noteDressingErrors(const QStringList &errors);
    QCoro::Task<std::optional<QUrl>> shownURL(DisplayTarget display);
    QCoro::Task<> runInTurn(std::shared_ptr<Turn> wanted, std::stop_token st);
    QCoro::Task<> showNow(QUrl file, DisplayScope scope, std::stop_token st);
    QCoro::Task<> showEach(QList<DisplayWallpaper> pictures, std::stop_token st);
    QCoro::Task<> showOnLockScreen(QUrl file, std::stop_token st);
    QCoro::Task<> showSpanned(QList<DisplayWallpaper> pictures, QList<DisplayTarget> all, std::stop_token st);
    QCoro::Task<QList<std::optional<QUrl>>> shownURLs(DisplayScope scope);
    QCoro::Task<> waitForTurnChange(std::stop_token st);
    void endTurn(const std::shared_ptr<Turn> &turn);

    std::unique_ptr<DesktopBackend> m_backend;
    DisplaySource m_displays;
    // Applies run one at a time in the order they were asked for; the front one runs.
    std::list<std::shared_ptr<Turn>> m_turns;
    // Fires (from the event loop) whenever an apply ends: the waiting ones look again.
    std::unique_ptr<QTimer> m_turnEnded = std::make_unique<QTimer>();
    WallpaperLook m_look;
    bool m_dressingFailureLogged = false;
};

/// Detects the running desktop and builds the applier for it. Call on the main thread after the
/// QGuiApplication exists; the bus is asked without stopping the event loop.
QCoro::Task<std::shared_ptr<WallpaperApplying>> createDesktopApplier();

} // namespace Starvane
