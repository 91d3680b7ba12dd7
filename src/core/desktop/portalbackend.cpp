// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/portalbackend.h"

#include "desktop/dbuscall.h"
#include "logging.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <QUuid>

#include <unistd.h>

namespace Starvane {

namespace {
const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString objectPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString responseSignal = QStringLiteral("Response");
const QString permissionStore = QStringLiteral("org.freedesktop.impl.portal.PermissionStore");
const QString permissionStorePath = QStringLiteral("/org/freedesktop/impl/portal/PermissionStore");

// The portal reads the picture only once the person has allowed it, which may be minutes later; by then
// the cache may have let the file go. So the portal gets a link of its own, kept until it has answered.
class KeptCopy
{
public:
    explicit KeptCopy(const QString &path)
    {
        const QString folder =
            QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Starvane/portal");
        if (!QDir().mkpath(folder)) return;
        const QString kept = QDir(folder).filePath(QFileInfo(path).fileName());
        QFile::remove(kept);
        if (::link(QFile::encodeName(path).constData(), QFile::encodeName(kept).constData()) == 0 ||
            QFile::copy(path, kept))
            m_path = kept;
    }
    ~KeptCopy()
    {
        if (!m_path.isEmpty()) QFile::remove(m_path);
    }
    KeptCopy(const KeptCopy &) = delete;
    KeptCopy &operator=(const KeptCopy &) = delete;
    QString path() const { return m_path; }

private:
    QString m_path;
};
} // namespace

PortalRequest::PortalRequest(QDBusConnection bus, QString handle)
    : m_bus(std::move(bus)), m_handle(std::move(handle)),
      m_watcher(service, m_bus, QDBusServiceWatcher::WatchForUnregistration)
{
    // Subscribed at one request's object path: another request's answer never reaches this object.
    m_bus.connect(service, m_handle, requestInterface, responseSignal, this, SLOT(onResponse(uint, QVariantMap)));
    // Without a time-out on the question, a portal that quits must still end the wait.
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        if (ended()) return;
        m_gone = true;
        Q_EMIT answered();
    });
}

PortalRequest::~PortalRequest()
{
    m_bus.disconnect(service, m_handle, requestInterface, responseSignal, this, SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::onResponse(uint response, const QVariantMap &)
{
    if (ended()) return;
    m_response = response;
    Q_EMIT answered();
}

PortalBackend::PortalBackend(QString desktopName, QDBusConnection bus, bool lockScreen)
    : m_desktopName(std::move(desktopName)), m_bus(std::move(bus)), m_lockScreen(lockScreen)
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

QCoro::Task<bool> PortalBackend::refusedForGood()
{
    // Host programs are listed under the empty application id in the portal's permission table.
    QVariantList arguments;
    arguments << QStringLiteral("wallpaper") << QStringLiteral("wallpaper");
    const QDBusMessage reply = co_await callDesktopService(m_bus, permissionStore, permissionStorePath, permissionStore,
                                                           QStringLiteral("Lookup"), arguments);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) co_return false;
    QMap<QString, QStringList> table;
    reply.arguments().constFirst().value<QDBusArgument>() >> table;
    co_return table.value(QString()).contains(QStringLiteral("no"));
}

QCoro::Task<> PortalBackend::setWallpaper(QString path, QString setOn)
{
    qDBusRegisterMetaType<QMap<QString, QStringList>>();
    const KeptCopy kept(path);
    const QString handed = kept.path().isEmpty() ? path : kept.path();
    // Subscribe to the request's Response before calling, at the handle path the portal will use.
    const QString token = QStringLiteral("starvane_%1").arg(QUuid::createUuid().toString(QUuid::Id128));
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString predicted = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    auto request = std::make_unique<PortalRequest>(m_bus, predicted);

    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("show-preview"), false},
                              {QStringLiteral("set-on"), setOn}};
    const QString uri = QUrl::fromLocalFile(handed).toString(QUrl::FullyEncoded);
    const QVariantList arguments{QString(), uri, options};
    const QDBusMessage reply = co_await callDesktopServiceOrThrow(
        m_bus, service, objectPath, QStringLiteral("org.freedesktop.portal.Wallpaper"),
        QStringLiteral("SetWallpaperURI"), arguments, QStringLiteral("the desktop portal"));
    // Portals older than the handle_token convention pick their own path: listen there instead.
    const QString handle = reply.arguments().value(0).value<QDBusObjectPath>().path();
    if (!handle.isEmpty() && handle != predicted && !request->ended())
        request = std::make_unique<PortalRequest>(m_bus, handle);

    // With the permission known the portal answers at once. Silence means the desktop is asking the
    // person, who may take as long as they like: no time-out gives up while the question is on screen.
    if (!request->ended()) co_await nextSignal(request.get(), &PortalRequest::answered, questionAfter, {});
    if (!request->ended()) {
        qCInfo(lcDesktop) << "The desktop is asking whether Starvane may change the background";
        m_asking = true;
        tellAskingForPermission(true);
        while (!request->ended())
            co_await nextSignal(request.get(), &PortalRequest::answered, std::chrono::minutes(10), {});
        m_asking = false;
        tellAskingForPermission(false);
    }

    if (request->portalGone()) throw DesktopBackendError(QStringLiteral("the desktop portal quit before it answered"));
    const uint response = *request->response();
    if (response != 0) {
        if (co_await refusedForGood())
            throw DesktopBackendError(QStringLiteral(
                "the desktop does not allow Starvane to change the background (this was refused when the "
                "desktop asked); to be asked again, run: gdbus call --session --dest "
                "org.freedesktop.impl.portal.PermissionStore --object-path "
                "/org/freedesktop/impl/portal/PermissionStore "
                "--method org.freedesktop.impl.portal.PermissionStore.DeletePermission wallpaper wallpaper ''"));
        throw DesktopBackendError(response == 1 ? QStringLiteral("the desktop portal request was cancelled")
                                                : QStringLiteral("the desktop portal could not set the picture"));
    }
    qCDebug(lcDesktop).noquote() << "Portal set" << uri << "on" << setOn;
}

} // namespace Starvane
