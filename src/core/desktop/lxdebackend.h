// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "desktop/desktopbackend.h"

#include <functional>

namespace Starvane {

/// LXDE, whose desktop pcmanfm draws over the root window. Set through pcmanfm's own command line,
/// which hands the picture to the running desktop; read back from the desktop's settings, a GLib key
/// file. One picture for every display: pcmanfm crops it to each of them, or spans a combined one.
class LxdeBackend : public DesktopBackend
{
public:
    /// `program`: the pcmanfm to run; `configHome`: where its settings live (empty: the user's);
    /// `desktopIsDrawn`: whether pcmanfm's desktop window is up (empty: asks the X server).
    explicit LxdeBackend(QString program = QStringLiteral("pcmanfm"), QString configHome = {},
                         std::function<bool()> desktopIsDrawn = {});

    QString desktopName() const override { return QStringLiteral("LXDE"); }
    bool perDisplay() const override { return false; }
    QCoro::Task<std::optional<DesktopPicture>> shownPicture(DisplayTarget display) override;
    QCoro::Task<> showPicture(DisplayTarget display, DesktopPicture picture, QList<DisplayTarget> allDisplays) override;

private:
    /// The settings of the profile the running desktop uses, with what they name (empty: none).
    struct Settings
    {
        QString wallpaper;
        QString mode;
    };
    Settings readSettings() const;

    QString m_program;
    QString m_configHome;
    std::function<bool()> m_desktopIsDrawn;
};

} // namespace Starvane
