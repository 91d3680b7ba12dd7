// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>
#include <optional>

namespace Starvane {

/// Tells the bus which properties of an exported object changed (org.freedesktop.DBus.Properties'
/// PropertiesChanged), so that a widget follows without polling. The properties are the object's own
/// Q_PROPERTYs, read back when `propertiesMayHaveChanged` is called: whatever one turn of the event loop
/// changed together goes out as one signal, and only what really differs. Main thread only.
class PropertiesAnnouncer : public QObject
{
    Q_OBJECT

public:
    PropertiesAnnouncer(QObject *exported, QString path, QString interface);

    /// From now on changes go out on `bus` (before: they are only remembered).
    void announceOn(QDBusConnection bus);
    void propertiesMayHaveChanged();

private:
    QVariantMap read() const;
    void announce();

    QObject *m_exported;
    QString m_path;
    QString m_interface;
    std::optional<QDBusConnection> m_bus;
    QVariantMap m_announced;
    bool m_scheduled = false;
};

} // namespace Starvane
