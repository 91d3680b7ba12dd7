// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/dbuscall.h"

#include "desktop/desktopbackend.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace Starvane {

QDBusMessage callDesktopService(const QDBusConnection &bus, const QString &service, const QString &path,
                                const QString &interface, const QString &method, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return QDBusConnection(bus).call(message, QDBus::Block, desktopDBusTimeoutMs);
}

QDBusMessage callDesktopServiceOrThrow(const QDBusConnection &bus, const QString &service, const QString &path,
                                       const QString &interface, const QString &method, const QVariantList &arguments,
                                       const QString &what)
{
    const QDBusMessage reply = callDesktopService(bus, service, path, interface, method, arguments);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        const QString detail = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
        throw DesktopBackendError(QStringLiteral("%1 refused the picture (%2)").arg(what, detail));
    }
    return reply;
}

std::optional<int> ewmhRootCardinal(const char *property)
{
    Display *dpy = XOpenDisplay(nullptr);
    if (!dpy) return std::nullopt;
    std::optional<int> result;
    Atom actualType = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), XInternAtom(dpy, property, False), 0, 1, False, XA_CARDINAL,
                           &actualType, &format, &items, &after, &data) == Success &&
        data) {
        if (actualType == XA_CARDINAL && format == 32 && items == 1)
            result = int(*reinterpret_cast<unsigned long *>(data));
        XFree(data);
    }
    XCloseDisplay(dpy);
    return result;
}

} // namespace Starvane
