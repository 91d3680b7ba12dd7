// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/portalbackend.h"

#include "desktop/dbuscall.h"
#include "logging.h"

#include <QDBusObjectPath>
#include <QUrl>
#include <QUuid>

namespace Starvane {

namespace {
const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString objectPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString responseSignal = QStringLiteral("Response");
// With show-preview off the portal answers at once; a dialog would need far longer.
constexpr std::chrono::milliseconds responseTimeout(5000);
} // namespace

PortalRequest::PortalRequest(QDBusConnection bus, QString handle) : m_bus(std::move(bus)), m_handle(std::move(handle))
{
    // Subscribed at one request's object path: another request's answer never reaches this object.
    m_bus.connect(service, m_handle, requestInterface, responseSignal, this, SLOT(onResponse(uint, QVariantMap)));
}

PortalRequest::~PortalRequest()
{
    m_bus.disconnect(service, m_handle, requestInterface, responseSignal, this, SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::onResponse(uint response, const QVariantMap &)
{
    if (m_response) return;
    m_response = response;
    Q_EMIT answered();
}

PortalBackend::PortalBackend(QString desktopName, QDBusConnection bus)
    : m_desktopName(std::move(desktopName)), m_bus(std::move(bus))
{
}

QCoro::Task<std::optional<DesktopPicture>> PortalBackend::shownPicture(DisplayTarget)
{
    if (!m_shown) co_return std::nullopt;
    co_return DesktopPicture{*m_shown, {}};
}

QCoro::Task<> PortalBackend::showPicture(DisplayTarget, DesktopPicture picture, QList<DisplayTarget>)
{
    co_await setWallpaper(picture.path, QStringLiteral("background"));
    m_shown = picture.path;
}

QCoro::Task<> PortalBackend::showLockScreenPicture(QString path)
{
    co_await setWallpaper(path, QStringLiteral("lockscreen"));
}

QCoro::Task<> PortalBackend::setWallpaper(QString path, QString setOn)
{
    const DesktopPicture picture{path, {}};
    // Subscribe to the request's Response before calling, at the handle path the portal will use.
    const QString token = QStringLiteral("starvane_%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString predicted = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    auto request = std::make_unique<PortalRequest>(m_bus, predicted);

    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("show-preview"), false},
                              {QStringLiteral("set-on"), setOn}};
    const QString uri = QUrl::fromLocalFile(picture.path).toString(QUrl::FullyEncoded);
    const QVariantList arguments{QString(), uri, options};
    const QDBusMessage reply = co_await callDesktopServiceOrThrow(
        m_bus, service, objectPath, QStringLiteral("org.freedesktop.portal.Wallpaper"),
        QStringLiteral("SetWallpaperURI"), arguments, QStringLiteral("the desktop portal"));
    // Portals older than the handle_token convention pick their own path: listen there instead.
    const QString handle = reply.arguments().value(0).value<QDBusObjectPath>().path();
    if (!handle.isEmpty() && handle != predicted && !request->response())
        request = std::make_unique<PortalRequest>(m_bus, handle);
    if (!request->response()) co_await nextSignal(request.get(), &PortalRequest::answered, responseTimeout, {});

    const std::optional<uint> response = request->response();
    if (!response) throw DesktopBackendError(QStringLiteral("the desktop portal did not answer"));
    if (*response != 0)
        throw DesktopBackendError(*response == 1 ? QStringLiteral("the desktop portal request was cancelled")
                                                 : QStringLiteral("the desktop portal could not set the picture"));
    qCDebug(lcDesktop).noquote() << "Portal set" << uri << "on" << setOn;
}

} // namespace Starvane
