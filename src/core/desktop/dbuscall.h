// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariantList>

namespace Starvane {

/// Desktop services answer at once or not at all; a short wait keeps the interface responsive.
constexpr int desktopDBusTimeoutMs = 3000;

/// A blocking method call with our short time-out. The reply may be an error message.
QDBusMessage callDesktopService(const QDBusConnection &bus, const QString &service, const QString &path,
                                const QString &interface, const QString &method, const QVariantList &arguments = {});

/// Like callDesktopService, but an error reply throws DesktopBackendError naming `what`.
QDBusMessage callDesktopServiceOrThrow(const QDBusConnection &bus, const QString &service, const QString &path,
                                       const QString &interface, const QString &method, const QVariantList &arguments,
                                       const QString &what);

/// EWMH numbers on the root window (_NET_NUMBER_OF_DESKTOPS, _NET_CURRENT_DESKTOP), when an X
/// server with a window manager answers.
std::optional<int> ewmhRootCardinal(const char *property);

} // namespace Starvane
