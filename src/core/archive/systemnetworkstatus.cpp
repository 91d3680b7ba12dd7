// SPDX-License-Identifier: GPL-3.0-or-later
#include "systemnetworkstatus.h"

#include "logging.h"

#include <QNetworkInformation>

namespace Starvane {

namespace {
QNetworkInformation *loadBackend()
{
    // NetworkManager knows about captive portals and metered connections; GLib's monitor is the
    // next best thing on systems without it. The instance is the process's, loaded once.
    if (QNetworkInformation *info = QNetworkInformation::instance()) return info;
    for (const QString &name : {QStringLiteral("networkmanager"), QStringLiteral("glib")}) {
        if (QNetworkInformation::loadBackendByName(name)) return QNetworkInformation::instance();
    }
    return nullptr;
}
} // namespace

SystemNetworkStatus::SystemNetworkStatus(QObject *parent) : NetworkStatus(parent)
{
    QNetworkInformation *info = loadBackend();
    if (!info) {
        qCInfo(lcArchive) << "No network information backend; assuming the network is available";
        return;
    }
    m_backend = info->backendName();
    connect(info, &QNetworkInformation::reachabilityChanged, this, &NetworkStatus::changed);
    connect(info, &QNetworkInformation::isBehindCaptivePortalChanged, this, &NetworkStatus::changed);
    connect(info, &QNetworkInformation::isMeteredChanged, this, &NetworkStatus::changed);
    qCInfo(lcArchive).noquote() << QStringLiteral("Network information from %1 (online=%2, metered=%3)")
                                       .arg(m_backend)
                                       .arg(isOnline() ? QStringLiteral("true") : QStringLiteral("false"))
                                       .arg(isMetered() ? QStringLiteral("true") : QStringLiteral("false"));
}

bool SystemNetworkStatus::isOnline() const
{
    const QNetworkInformation *info = QNetworkInformation::instance();
    if (!info) return true;
    if (info->isBehindCaptivePortal()) return false;
    switch (info->reachability()) {
    case QNetworkInformation::Reachability::Disconnected:
    case QNetworkInformation::Reachability::Local:
    case QNetworkInformation::Reachability::Site:
        return false;
    case QNetworkInformation::Reachability::Online:
    case QNetworkInformation::Reachability::Unknown:
        // Unknown is what a backend says while it cannot tell: trying costs less than waiting forever.
        return true;
    }
    return true;
}

bool SystemNetworkStatus::isMetered() const
{
    const QNetworkInformation *info = QNetworkInformation::instance();
    return info && info->isMetered();
}

} // namespace Starvane
