// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/dbuscall.h"
#include "desktop/desktopdetector.h"
#include "desktop/gsettingsbackend.h"
#include "desktop/linuxwallpaperapplier.h"
#include "desktop/lxdebackend.h"
#include "desktop/lxqtbackend.h"
#include "desktop/plasmabackend.h"
#include "desktop/portalbackend.h"
#include "desktop/swaybackend.h"
#include "desktop/x11rootbackend.h"
#include "desktop/xfconfbackend.h"
#include "logging.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QProcessEnvironment>

#include <vector>

namespace Starvane {

namespace {
QStringList namesDetectionAsksAbout()
{
    return {QStringLiteral("org.kde.plasmashell"), QStringLiteral("org.xfce.Xfconf"),
            QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("org.pcmanfm.PCManFM")};
}

// Asked of the bus daemon itself, which answers at once, but through the same awaited calls with a
// time-out as every other desktop service: a session bus that stalls must not hold up the start. The
// questions go out together, so a stalled bus costs one time-out, not one per question.
QCoro::Task<QSet<QString>> knownBusNames(QDBusConnection bus)
{
    const QString daemon = QStringLiteral("org.freedesktop.DBus");
    const QString path = QStringLiteral("/org/freedesktop/DBus");
    const QStringList wanted = namesDetectionAsksAbout();
    QCoro::Task<QDBusMessage> listing =
        callDesktopService(bus, daemon, path, daemon, QStringLiteral("ListActivatableNames"));
    std::vector<QCoro::Task<QDBusMessage>> owners;
    for (const QString &name : wanted) {
        QVariantList arguments;
        arguments << name;
        owners.push_back(callDesktopService(bus, daemon, path, daemon, QStringLiteral("NameHasOwner"), arguments));
    }
    const QDBusMessage listed = co_await listing;
    const QStringList activatable =
        listed.type() == QDBusMessage::ReplyMessage ? listed.arguments().value(0).toStringList() : QStringList();
    QSet<QString> known;
    for (std::size_t i = 0; i < owners.size(); ++i) {
        const QDBusMessage owned = co_await owners[i];
        const bool hasOwner = owned.type() == QDBusMessage::ReplyMessage && owned.arguments().value(0).toBool();
        if (hasOwner || activatable.contains(wanted[qsizetype(i)])) known.insert(wanted[qsizetype(i)]);
    }
    co_return known;
}

QCoro::Task<DesktopFacts> liveFacts()
{
    DesktopFacts facts;
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const auto keys = env.keys();
    for (const QString &key : keys)
        facts.environment.insert(key, env.value(key));

    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) facts.busNames = co_await knownBusNames(bus);

    // A schema only confirms a desktop that the session names, and asking for one starts up GIO's type
    // system and settings machinery, which then stays resident: a bare window manager does without.
    const auto named = [&env](const char *key) { return !env.value(QLatin1String(key)).isEmpty(); };
    if (named("XDG_CURRENT_DESKTOP") || named("XDG_SESSION_DESKTOP") || named("DESKTOP_SESSION")) {
        const QStringList schemas = GSettingsBackend::installedSchemas(
            {GSettingsBackend::gnome().schema, GSettingsBackend::cinnamon().schema, GSettingsBackend::mate().schema});
        facts.schemas = QSet<QString>(schemas.cbegin(), schemas.cend());
    }

    if (QGuiApplication::platformName() == u"xcb") {
        const X11DesktopFacts x11 = probeX11Desktop();
        facts.x11 = x11.reachable;
        facts.desktopWindowMapped = x11.desktopWindowMapped;
    }
    co_return facts;
}

std::unique_ptr<DesktopBackend> backendFor(const DesktopDetection &detection, const DesktopFacts &facts)
{
    switch (detection.kind) {
    case DesktopKind::gnome:
        return std::make_unique<GSettingsBackend>(GSettingsBackend::gnome());
    case DesktopKind::cinnamon:
        return std::make_unique<GSettingsBackend>(GSettingsBackend::cinnamon());
    case DesktopKind::mate:
        return std::make_unique<GSettingsBackend>(GSettingsBackend::mate());
    case DesktopKind::plasma:
        return std::make_unique<PlasmaBackend>();
    case DesktopKind::xfce:
        return std::make_unique<XfconfBackend>();
    case DesktopKind::sway:
        return std::make_unique<SwayBackend>(facts.environment.value(QStringLiteral("SWAYSOCK")));
    case DesktopKind::lxqt:
        return std::make_unique<LxqtBackend>();
    case DesktopKind::lxde:
        return std::make_unique<LxdeBackend>();
    case DesktopKind::x11Root:
        return std::make_unique<X11RootBackend>();
    case DesktopKind::portal:
        // Plasma's portal puts the picture on its lock screen when asked; GNOME's sets the desktop instead.
        return std::make_unique<PortalBackend>(detection.desktopName, QDBusConnection::sessionBus(),
                                               detection.desktopName == u"KDE Plasma");
    case DesktopKind::unsupported:
        break;
    }
    return std::make_unique<UnsupportedBackend>(detection.desktopName);
}
} // namespace

QCoro::Task<std::shared_ptr<WallpaperApplying>> createDesktopApplier()
{
    const DesktopFacts facts = co_await liveFacts();
    const DesktopDetection detection = detectDesktop(facts);
    std::unique_ptr<DesktopBackend> backend = backendFor(detection, facts);
    qCInfo(lcDesktop).noquote() << "Desktop:" << detection.desktopName << "backend:" << backend->desktopName()
                                << (backend->perDisplay() ? "per display" : "one picture for all displays");
    co_return std::make_shared<LinuxWallpaperApplier>(std::move(backend));
}

} // namespace Starvane
