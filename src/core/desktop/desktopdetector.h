// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMap>
#include <QSet>
#include <QString>

namespace Starvane {

/// The ways we know to put a picture on a Linux desktop.
enum class DesktopKind { gnome, cinnamon, mate, plasma, xfce, lxqt, lxde, sway, x11Root, portal, unsupported };

/// Everything detection looks at, gathered from the live session (or written by a test).
struct DesktopFacts
{
    QMap<QString, QString> environment;
    /// D-Bus names on the session bus that are owned now or can be activated.
    QSet<QString> busNames;
    /// GSettings schema ids that are installed.
    QSet<QString> schemas;
    /// An X server is reachable and Qt talks to it (not Wayland).
    bool x11 = false;
    /// A window of type _NET_WM_WINDOW_TYPE_DESKTOP is mapped and would hide the root window.
    bool desktopWindowMapped = false;
};

struct DesktopDetection
{
    DesktopKind kind = DesktopKind::unsupported;
    /// The desktop's name as the session gave it; used in the "unsupported" message.
    QString desktopName;

    bool operator==(const DesktopDetection &) const = default;
};

/// Pure: the backend for a session. Desktop names come first (XDG_CURRENT_DESKTOP tokens, then
/// XDG_SESSION_DESKTOP, DESKTOP_SESSION and the compositors' own variables), each confirmed by a
/// probe; then plain X11 gets the root window, Wayland the portal, anything else is unsupported.
DesktopDetection detectDesktop(const DesktopFacts &facts);

} // namespace Starvane
