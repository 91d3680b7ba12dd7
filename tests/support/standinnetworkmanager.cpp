// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in for NetworkManager on a private system bus: the manager object with the properties Qt's
// network information backend reads (State, Connectivity, Metered, PrimaryConnection). Unlike the real
// one it accepts Properties.Set, so a test can take the machine off line, behind a portal or onto a
// metered link, and it announces every change with PropertiesChanged as the real one does.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTextStream>

namespace {
const QString kPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kInterface = QStringLiteral("org.freedesktop.NetworkManager");

class Manager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager")
    Q_PROPERTY(uint State READ state WRITE setState)
    Q_PROPERTY(uint Connectivity READ connectivity WRITE setConnectivity)
    Q_PROPERTY(uint Metered READ metered WRITE setMetered)
    Q_PROPERTY(QDBusObjectPath PrimaryConnection READ primaryConnection)

public:
    // Online, full connectivity, not metered: NM_STATE_CONNECTED_GLOBAL, NM_CONNECTIVITY_FULL, NM_METERED_NO.
    uint state() const { return m_state; }
    uint connectivity() const { return m_connectivity; }
    uint metered() const { return m_metered; }
    QDBusObjectPath primaryConnection() const { return QDBusObjectPath(QStringLiteral("/")); }
    void setState(uint v) { change(m_state, v, QStringLiteral("State")); }
    void setConnectivity(uint v) { change(m_connectivity, v, QStringLiteral("Connectivity")); }
    void setMetered(uint v) { change(m_metered, v, QStringLiteral("Metered")); }

private:
    void change(uint &field, uint value, const QString &name)
    {
        field = value;
        QDBusMessage signal = QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                         QStringLiteral("PropertiesChanged"));
        signal << kInterface << QVariantMap{{name, QVariant::fromValue(value)}} << QStringList();
        QDBusConnection::systemBus().send(signal);
    }

    uint m_state = 70;
    uint m_connectivity = 4;
    uint m_metered = 2;
};
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Manager manager;
    const QStringList args = app.arguments();
    // Optional start values: state connectivity metered.
    if (args.size() == 4) {
        manager.setState(args[1].toUInt());
        manager.setConnectivity(args[2].toUInt());
        manager.setMetered(args[3].toUInt());
    }
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.registerObject(kPath, &manager, QDBusConnection::ExportAllProperties) ||
        !bus.registerService(kInterface)) {
        QTextStream(stderr) << "cannot serve " << kInterface << ": " << bus.lastError().message() << "\n";
        return 1;
    }
    return app.exec();
}

#include "standinnetworkmanager.moc"
