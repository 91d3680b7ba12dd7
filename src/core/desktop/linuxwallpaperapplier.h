// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "contracts/wallpaperapplying.h"
#include "desktop/desktopbackend.h"

#include <QTimer>
#include <functional>
#include <list>
#include <memory>

namespace Starvane {

/// The connected displays, primary first (never the windowing system's list order).
QList<DisplayTarget> connectedDisplays();

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

    DesktopBackend &backend() const { return *m_backend; }

private:
    /// One requested apply, from the moment it is queued until it has ended.
    struct Turn
    {
        QUrl file;
        DisplayScope scope = DisplayScope::allDisplays;
        bool started = false;
        bool ended = false;
        /// Ended because its requester stopped it, before the desktop changed.
        bool cancelled = false;
        std::exception_ptr error;
    };
    class TurnHolder;

    QList<DisplayTarget> displays(DisplayScope scope) const;
    QCoro::Task<std::optional<QUrl>> shownURL(DisplayTarget display);
    QCoro::Task<> showNow(QUrl file, DisplayScope scope, std::stop_token st);
    QCoro::Task<QList<std::optional<QUrl>>> shownURLs(DisplayScope scope);
    QCoro::Task<> waitForTurnChange(std::stop_token st);
    void endTurn(const std::shared_ptr<Turn> &turn);

    std::unique_ptr<DesktopBackend> m_backend;
    DisplaySource m_displays;
    // Applies run one at a time in the order they were asked for; the front one runs.
    std::list<std::shared_ptr<Turn>> m_turns;
    // Fires (from the event loop) whenever an apply ends: the waiting ones look again.
    std::unique_ptr<QTimer> m_turnEnded = std::make_unique<QTimer>();
};

/// Detects the running desktop and builds the applier for it. Call on the main thread after the
/// QGuiApplication exists.
std::shared_ptr<WallpaperApplying> createDesktopApplier();

} // namespace Starvane
