// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/desktopdetector.h"

#include <QStringList>
#include <optional>

namespace Starvane {

namespace {
struct Candidate
{
    DesktopKind kind;
    QString name;
};

// Names a session may give, mapped to what draws its background. Desktops that draw their own
// background (so the root window would stay hidden) map to `unsupported` unless we have a backend.
std::optional<Candidate> candidateForToken(const QString &raw)
{
    const QString token = raw.trimmed().toLower();
    if (token.isEmpty()) return std::nullopt;
    if (token == u"kde" || token == u"plasma" || token == u"plasmawayland" || token == u"plasmax11")
        return Candidate{DesktopKind::plasma, QStringLiteral("KDE Plasma")};
    if (token == u"gnome" || token == u"gnome-xorg" || token == u"gnome-classic" || token == u"unity" ||
        token == u"ubuntu" || token == u"ubuntu-xorg" || token == u"budgie" || token == u"budgie-desktop" ||
        token == u"pantheon")
        return Candidate{DesktopKind::gnome, QStringLiteral("GNOME")};
    if (token == u"x-cinnamon" || token == u"cinnamon" || token == u"cinnamon2d")
        return Candidate{DesktopKind::cinnamon, QStringLiteral("Cinnamon")};
    if (token == u"mate") return Candidate{DesktopKind::mate, QStringLiteral("MATE")};
    if (token == u"xfce" || token == u"xfce4" || token == u"xubuntu")
        return Candidate{DesktopKind::xfce, QStringLiteral("XFCE")};
    if (token == u"sway") return Candidate{DesktopKind::sway, QStringLiteral("sway")};
    if (token == u"lxqt" || token == u"lubuntu") return Candidate{DesktopKind::lxqt, QStringLiteral("LXQt")};
    if (token == u"lxde") return Candidate{DesktopKind::lxde, QStringLiteral("LXDE")};
    if (token == u"hyprland") return Candidate{DesktopKind::unsupported, QStringLiteral("Hyprland")};
    if (token == u"deepin" || token == u"dde") return Candidate{DesktopKind::unsupported, QStringLiteral("Deepin")};
    return std::nullopt;
}

// Whatever platform Qt runs on: under Xwayland the X server is reachable, but nobody sees its root
// window, so a picture painted there would be reported as shown while the screen keeps the old one.
bool isWayland(const DesktopFacts &facts)
{
    return !facts.environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
           facts.environment.value(QStringLiteral("XDG_SESSION_TYPE")).compare(u"wayland", Qt::CaseInsensitive) == 0;
}

bool confirmed(DesktopKind kind, const DesktopFacts &facts)
{
    switch (kind) {
    case DesktopKind::plasma:
        return facts.busNames.contains(QStringLiteral("org.kde.plasmashell"));
    case DesktopKind::gnome:
        return facts.schemas.contains(QStringLiteral("org.gnome.desktop.background"));
    case DesktopKind::cinnamon:
        return facts.schemas.contains(QStringLiteral("org.cinnamon.desktop.background"));
    case DesktopKind::mate:
        return facts.schemas.contains(QStringLiteral("org.mate.background"));
    case DesktopKind::xfce:
        return facts.busNames.contains(QStringLiteral("org.xfce.Xfconf"));
    case DesktopKind::lxqt:
        return facts.busNames.contains(QStringLiteral("org.pcmanfm.PCManFM"));
    case DesktopKind::lxde:
        // pcmanfm's desktop owns no bus name, and it may come up after us: each change asks whether it
        // is drawn. It only ever draws on X11.
        return facts.x11 && !isWayland(facts);
    case DesktopKind::sway:
        return !facts.environment.value(QStringLiteral("SWAYSOCK")).isEmpty();
    default:
        return false;
    }
}

} // namespace

DesktopDetection detectDesktop(const DesktopFacts &facts)
{
    const auto &env = facts.environment;
    QStringList tokens = env.value(QStringLiteral("XDG_CURRENT_DESKTOP")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    tokens << env.value(QStringLiteral("XDG_SESSION_DESKTOP")) << env.value(QStringLiteral("DESKTOP_SESSION"));
    if (env.value(QStringLiteral("KDE_FULL_SESSION")).compare(u"true", Qt::CaseInsensitive) == 0)
        tokens << QStringLiteral("KDE");
    if (!env.value(QStringLiteral("SWAYSOCK")).isEmpty()) tokens << QStringLiteral("sway");
    if (!env.value(QStringLiteral("HYPRLAND_INSTANCE_SIGNATURE")).isEmpty()) tokens << QStringLiteral("Hyprland");

    // The first named desktop that we cannot drive, kept for the message in case nothing else fits.
    std::optional<Candidate> unconfirmed;
    for (const QString &token : std::as_const(tokens)) {
        const std::optional<Candidate> candidate = candidateForToken(token);
        if (!candidate) continue;
        if (candidate->kind != DesktopKind::unsupported && confirmed(candidate->kind, facts))
            return {candidate->kind, candidate->name};
        if (!unconfirmed) unconfirmed = candidate;
    }

    // A named desktop draws its own background: the root window would be hidden behind it, and the
    // portal would only reach it if it implements the wallpaper interface. Say which desktop it is.
    if (unconfirmed) {
        if (isWayland(facts) && facts.busNames.contains(QStringLiteral("org.freedesktop.portal.Desktop")))
            return {DesktopKind::portal, unconfirmed->name};
        return {DesktopKind::unsupported, unconfirmed->name};
    }

    if (isWayland(facts)) {
        if (facts.busNames.contains(QStringLiteral("org.freedesktop.portal.Desktop")))
            return {DesktopKind::portal, QStringLiteral("Wayland")};
        const QString named = env.value(QStringLiteral("XDG_CURRENT_DESKTOP"));
        return {DesktopKind::unsupported,
                named.isEmpty() ? QStringLiteral("this Wayland desktop") : QStringLiteral("%1 (Wayland)").arg(named)};
    }
    if (facts.x11 && !facts.desktopWindowMapped) return {DesktopKind::x11Root, QStringLiteral("X11")};

    QString name = env.value(QStringLiteral("XDG_CURRENT_DESKTOP"));
    if (name.isEmpty()) name = env.value(QStringLiteral("XDG_SESSION_DESKTOP"));
    if (name.isEmpty())
        name = facts.desktopWindowMapped ? QStringLiteral("this X11 desktop") : QStringLiteral("an unknown desktop");
    return {DesktopKind::unsupported, name};
}

} // namespace Starvane
