// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

namespace Starvane {

/// What the store knows of the connection to the internet. This base knows nothing and so reports a
/// usable, unmetered connection: without a source of network state the store behaves as it always did.
class NetworkStatus : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    /// False while the system reports no connection at all.
    virtual bool isOnline() const { return true; }
    /// The connection costs by the byte (a phone's hotspot, a mobile plan).
    virtual bool isMetered() const { return false; }

Q_SIGNALS:
    /// isOnline() or isMetered() may have changed.
    void changed();
};

} // namespace Starvane
