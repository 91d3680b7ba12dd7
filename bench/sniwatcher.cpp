// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for a panel's StatusNotifierWatcher with a host, so Qt programs put their tray icon on
// the bus. Prints "sni-registered <epoch ns> <item>" the moment an item registers.
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>

#include <cstdio>
#include <ctime>

class Watcher : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    explicit Watcher(QObject *parent) : QDBusAbstractAdaptor(parent) {}
    QStringList items() const { return m_items; }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString &service, const QDBusMessage &message)
    {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        const QString item = service.startsWith(QLatin1Char('/')) ? message.service() + service : service;
        m_items << item;
        std::printf("sni-registered %lld %s\n", qlonglong(ts.tv_sec) * 1000000000LL + ts.tv_nsec, qPrintable(item));
        std::fflush(stdout);
        Q_EMIT StatusNotifierItemRegistered(item);
    }
    void RegisterStatusNotifierHost(const QString &) {}

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString &service);
    void StatusNotifierHostRegistered();

private:
    QStringList m_items;
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QObject root;
    new Watcher(&root);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &root) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "cannot register the watcher on the session bus\n");
        return 1;
    }
    std::printf("sni-watcher ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "sniwatcher.moc"
