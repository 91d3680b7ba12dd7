// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/desktopbackend.h"
#include "contracts/wallpaperapplying.h"

#include <functional>
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
    bool supportsPerDisplayWallpaper() const override;

    DesktopBackend &backend() const { return *m_backend; }

private:
    QList<DisplayTarget> displays(DisplayScope scope) const;
    std::optional<QUrl> shownURL(const DisplayTarget &display);
    void showNow(const QUrl &file, DisplayScope scope);
    QList<std::optional<QUrl>> shownURLs(DisplayScope scope);

    std::unique_ptr<DesktopBackend> m_backend;
    DisplaySource m_displays;
};

/// Detects the running desktop and builds the applier for it. Call on the main thread after the
/// QGuiApplication exists.
std::shared_ptr<WallpaperApplying> createDesktopApplier();

} // namespace Starvane
