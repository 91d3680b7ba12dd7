// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/xfconfbackend.h"

#include "desktop/dbuscall.h"
#include "logging.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <QRegularExpression>

namespace Starvane {

namespace {
const QString service = QStringLiteral("org.xfce.Xfconf");
const QString objectPath = QStringLiteral("/org/xfce/Xfconf");
const QString interfaceName = QStringLiteral("org.xfce.Xfconf");
const QString channel = QStringLiteral("xfce4-desktop");
const QString imageKey = QStringLiteral("last-image");
const QString styleKey = QStringLiteral("image-style");
const QString workspacesOption = QStringLiteral("workspaces");

QString monitorPrefix(const DisplayTarget &display)
{
    return QStringLiteral("/backdrop/screen0/monitor%1").arg(display.name);
}

QString workspaceProperty(const QString &prefix, int workspace, const QString &key)
{
    return QStringLiteral("%1/workspace%2/%3").arg(prefix, QString::number(workspace), key);
}

QVariant unwrap(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}
} // namespace

XfconfBackend::Workspaces XfconfBackend::ewmhWorkspaces()
{
    return {[] { return ewmhRootCardinal("_NET_NUMBER_OF_DESKTOPS"); },
            [] { return ewmhRootCardinal("_NET_CURRENT_DESKTOP"); }};
}

XfconfBackend::XfconfBackend(QDBusConnection bus, Workspaces workspaces)
    : m_bus(std::move(bus)), m_workspaces(std::move(workspaces))
{
}

QCoro::Task<std::optional<QVariant>> XfconfBackend::property(QString name) const
{
    // Argument lists are built before any co_await: GCC 12 cannot keep a braced list inside one.
    const QVariantList arguments{channel, name};
    const QDBusMessage reply = co_await callDesktopService(m_bus, service, objectPath, interfaceName,
                                                           QStringLiteral("GetProperty"), arguments);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) co_return std::nullopt;
    co_return unwrap(reply.arguments().first());
}

QCoro::Task<> XfconfBackend::setProperty(QString name, QVariant value)
{
    const QVariantList arguments{channel, name, QVariant::fromValue(QDBusVariant(value))};
    co_await callDesktopServiceOrThrow(m_bus, service, objectPath, interfaceName, QStringLiteral("SetProperty"),
                                       arguments, QStringLiteral("XFCE"));
}

QCoro::Task<QVariantMap> XfconfBackend::monitorProperties(QString prefix) const
{
    const QVariantList arguments{channel, prefix};
    const QDBusMessage reply = co_await callDesktopService(m_bus, service, objectPath, interfaceName,
                                                           QStringLiteral("GetAllProperties"), arguments);
    QVariantMap result;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) co_return result;
    const QDBusArgument argument = reply.arguments().first().value<QDBusArgument>();
    QMap<QString, QDBusVariant> raw;
    argument >> raw;
    for (auto it = raw.cbegin(); it != raw.cend(); ++it)
        result.insert(it.key(), unwrap(it.value().variant()));
    co_return result;
}

QCoro::Task<int> XfconfBackend::workspaceShown() const
{
    // Without the mode property xfdesktop 4.18 shows one workspace's picture everywhere.
    const std::optional<QVariant> single = co_await property(QStringLiteral("/backdrop/single-workspace-mode"));
    if (!single || single->toBool()) {
        const std::optional<QVariant> number = co_await property(QStringLiteral("/backdrop/single-workspace-number"));
        co_return number.value_or(QVariant(0)).toInt();
    }
    co_return m_workspaces.current ? m_workspaces.current().value_or(0) : 0;
}

QCoro::Task<std::optional<DesktopPicture>> XfconfBackend::shownPicture(DisplayTarget display)
{
    const QString prefix = monitorPrefix(display);
    const QVariantMap all = co_await monitorProperties(prefix);
    const int workspace = co_await workspaceShown();
    const QString shown = all.value(workspaceProperty(prefix, workspace, imageKey)).toString();
    if (shown.isEmpty()) co_return std::nullopt;

    // Remember every workspace's picture and style, so that a roll-back puts each one back.
    QVariantMap workspaces;
    static const QRegularExpression key(QStringLiteral("/workspace(\\d+)/(last-image|image-style)$"));
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        if (key.match(it.key()).hasMatch()) workspaces.insert(it.key(), it.value());
    }
    co_return DesktopPicture{shown, {{workspacesOption, workspaces}}};
}

QCoro::Task<> XfconfBackend::showPicture(DisplayTarget display, DesktopPicture picture, QList<DisplayTarget>)
{
    const QString prefix = monitorPrefix(display);
    const QVariantMap previous = picture.options.value(workspacesOption).toMap();
    if (!previous.isEmpty()) {
        for (auto it = previous.cbegin(); it != previous.cend(); ++it)
            co_await setProperty(it.key(), it.value());
        co_return;
    }

    // Every workspace the window manager has, and every one xfdesktop already configured.
    int count = m_workspaces.count ? m_workspaces.count().value_or(1) : 1;
    static const QRegularExpression workspaceKey(QStringLiteral("/workspace(\\d+)/"));
    const QVariantMap existing = co_await monitorProperties(prefix);
    for (auto it = existing.cbegin(); it != existing.cend(); ++it) {
        const QRegularExpressionMatch match = workspaceKey.match(it.key());
        if (match.hasMatch()) count = std::max(count, match.captured(1).toInt() + 1);
    }
    count = std::clamp(count, 1, 64);
    for (int workspace = 0; workspace < count; ++workspace) {
        co_await setProperty(workspaceProperty(prefix, workspace, styleKey), zoomedImageStyle);
        co_await setProperty(workspaceProperty(prefix, workspace, imageKey), picture.path);
    }
    qCDebug(lcDesktop).noquote() << "xfconf" << prefix << "shows" << picture.path << "on" << count << "workspace(s)";
}

} // namespace Starvane
