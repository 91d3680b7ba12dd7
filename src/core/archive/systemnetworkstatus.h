// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "contracts/networkstatus.h"

namespace Starvane {

/// The connection as the system reports it through QNetworkInformation: NetworkManager where it runs,
/// GLib's network monitor otherwise. With neither, it keeps the base's answer (online, unmetered).
class SystemNetworkStatus : public NetworkStatus
{
    Q_OBJECT
public:
    explicit SystemNetworkStatus(QObject *parent = nullptr);

    bool isOnline() const override;
    bool isMetered() const override;
    /// The backend in use, or empty when none could be loaded.
    QString backendName() const { return m_backend; }

private:
    QString m_backend;
};

} // namespace Starvane
