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
    // Only "no connection at all" holds changes back. A local network, limited connectivity or a captive
    // portal is what a blocked connectivity check reports too: there the rotation goes on and fails
    // and retries as it always did, rather than waiting for a word that may never come.
    return info->reachability() != QNetworkInformation::Reachability::Disconnected;
}

bool SystemNetworkStatus::isMetered() const
{
    const QNetworkInformation *info = QNetworkInformation::instance();
    return info && info->isMetered();
}

} // namespace Starvane
