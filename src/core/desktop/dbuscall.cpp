// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/dbuscall.h"

#include "desktop/desktopbackend.h"

#include <QDBusPendingCallWatcher>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace Starvane {

QCoro::Task<QDBusMessage> callDesktopService(QDBusConnection bus, QString service, QString path, QString interface,
                                             QString method, QVariantList arguments, std::stop_token st)
{
    throwIfCancelled(st);
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    // The bus enforces the time-out: it answers NoReply when the service stays silent.
    QDBusPendingCallWatcher watcher(bus.asyncCall(message, desktopDBusTimeoutMs));
    if (!watcher.isFinished()) {
        // A little longer than the bus's own limit, in case its answer is lost too.
        const bool finished = co_await nextSignal(&watcher, &QDBusPendingCallWatcher::finished,
                                                  std::chrono::milliseconds(desktopDBusTimeoutMs + 500), st);
        if (!finished)
            co_return QDBusMessage::createError(QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
                                                QStringLiteral("%1 did not answer in time").arg(service));
    }
    co_return watcher.reply();
}

QCoro::Task<QDBusMessage> callDesktopServiceOrThrow(QDBusConnection bus, QString service, QString path,
                                                    QString interface, QString method, QVariantList arguments,
                                                    QString what, std::stop_token st)
{
    const QDBusMessage reply =
        co_await callDesktopService(std::move(bus), std::move(service), std::move(path), std::move(interface),
                                    std::move(method), std::move(arguments), std::move(st));
    if (reply.type() == QDBusMessage::ErrorMessage) {
        const QString detail = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
        throw DesktopBackendError(QStringLiteral("%1 refused the picture (%2)").arg(what, detail));
    }
    co_return reply;
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
