// SPDX-License-Identifier: GPL-3.0-or-later
#include "propertiesannouncer.h"

#include <QDBusMessage>
#include <QMetaProperty>

namespace Starvane {

PropertiesAnnouncer::PropertiesAnnouncer(QObject *exported, QString path, QString interface)
    : QObject(exported), m_exported(exported), m_path(std::move(path)), m_interface(std::move(interface))
{
    m_announced = read();
}

void PropertiesAnnouncer::announceOn(QDBusConnection bus)
{
    m_bus = std::move(bus);
    m_announced = read();
}

QVariantMap PropertiesAnnouncer::read() const
{
    QVariantMap values;
    const QMetaObject *meta = m_exported->metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        values.insert(QString::fromLatin1(meta->property(i).name()), meta->property(i).read(m_exported));
    return values;
}

void PropertiesAnnouncer::propertiesMayHaveChanged()
{
    // One signal for what one step changed together (a new picture: id, title, file, …).
    if (std::exchange(m_scheduled, true)) return;
    QMetaObject::invokeMethod(this, &PropertiesAnnouncer::announce, Qt::QueuedConnection);
}

void PropertiesAnnouncer::announce()
{
    m_scheduled = false;
    const QVariantMap now = read();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (m_announced.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    m_announced = now;
    if (changed.isEmpty() || !m_bus) return;
    QDBusMessage signal = QDBusMessage::createSignal(m_path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << m_interface << changed << QStringList();
    m_bus->send(signal);
}

} // namespace Starvane
