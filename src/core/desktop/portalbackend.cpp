// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/portalbackend.h"

#include "desktop/dbuscall.h"
#include "logging.h"

#include <QDBusObjectPath>
#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <QUuid>

namespace Starvane {

namespace {
const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString objectPath = QStringLiteral("/org/freedesktop/portal/desktop");
// With show-preview off the portal answers at once; a dialog would need far longer.
constexpr int responseTimeoutMs = 5000;
} // namespace

PortalBackend::PortalBackend(QString desktopName, QDBusConnection bus)
    : m_desktopName(std::move(desktopName)), m_bus(std::move(bus))
{
}

std::optional<DesktopPicture> PortalBackend::shownPicture(const DisplayTarget &)
{
    if (!m_shown) return std::nullopt;
    return DesktopPicture{*m_shown, {}};
}

void PortalBackend::onResponse(uint response, const QVariantMap &)
{
    m_response = response;
}

void PortalBackend::showPicture(const DisplayTarget &, const DesktopPicture &picture, const QList<DisplayTarget> &)
{
    // Subscribe to the request's Response before calling, at the handle path the portal will use.
    const QString token = QStringLiteral("starvane_%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    m_response.reset();
    m_bus.connect(service, handle, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"), this,
                  SLOT(onResponse(uint, QVariantMap)));

    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("show-preview"), false},
                              {QStringLiteral("set-on"), QStringLiteral("background")}};
    const QString uri = QUrl::fromLocalFile(picture.path).toString(QUrl::FullyEncoded);
    try {
        callDesktopServiceOrThrow(m_bus, service, objectPath, QStringLiteral("org.freedesktop.portal.Wallpaper"),
                                  QStringLiteral("SetWallpaperURI"), {QString(), uri, options},
                                  QStringLiteral("the desktop portal"));
        if (!m_response) {
            QEventLoop loop;
            QTimer timer;
            timer.setSingleShot(true);
            QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
            timer.start(responseTimeoutMs);
            while (!m_response && timer.isActive())
                loop.processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
        }
    } catch (...) {
        m_bus.disconnect(service, handle, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                         this, SLOT(onResponse(uint, QVariantMap)));
        throw;
    }
    m_bus.disconnect(service, handle, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                     this, SLOT(onResponse(uint, QVariantMap)));
    if (!m_response) throw DesktopBackendError(QStringLiteral("the desktop portal did not answer"));
    if (*m_response != 0)
        throw DesktopBackendError(*m_response == 1 ? QStringLiteral("the desktop portal request was cancelled")
                                                   : QStringLiteral("the desktop portal could not set the picture"));
    m_shown = picture.path;
    qCDebug(lcDesktop).noquote() << "Portal set" << uri;
}

} // namespace Starvane
