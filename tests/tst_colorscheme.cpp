// SPDX-License-Identifier: GPL-3.0-or-later
// The appearance follows the desktop portal on a private bus, then GSettings, then the palette.
#include "colorscheme.h"
#include "desktopharness.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QPalette>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>

using namespace Starvane;

namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
} // namespace

/// The Settings interface of a desktop portal, version 1: Read answers v(v(u)).
class FakePortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    std::atomic<uint> scheme{0};

public Q_SLOTS:
    QDBusVariant Read(const QString &ns, const QString &key)
    {
        if (ns != QStringLiteral("org.freedesktop.appearance") || key != QStringLiteral("color-scheme")) {
            sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"), QStringLiteral("no such key"));
            return {};
        }
        return QDBusVariant(QVariant::fromValue(QDBusVariant(QVariant::fromValue(scheme.load()))));
    }
};

class TestColorScheme : public QObject
{
    Q_OBJECT

    Test::PrivateBus m_bus;
    QString m_address;
    QThread m_portalThread;
    FakePortal *m_portal = nullptr;
    int m_connections = 0;
    QTemporaryDir m_config;

    QDBusConnection connect(const QString &role)
    {
        return QDBusConnection::connectToBus(m_address, role + QString::number(++m_connections));
    }

    // The portal serves from its own thread, so that a blocking call from the main thread is answered.
    QDBusConnection startPortal(uint scheme)
    {
        m_portal = new FakePortal;
        m_portal->scheme = scheme;
        m_portal->moveToThread(&m_portalThread);
        QDBusConnection bus = connect(QStringLiteral("portal"));
        bus.registerObject(kPath, m_portal, QDBusConnection::ExportAllSlots);
        bus.registerService(kService);
        return bus;
    }

    void stopPortal(QDBusConnection bus)
    {
        bus.unregisterService(kService);
        bus.unregisterObject(kPath);
        QDBusConnection::disconnectFromBus(bus.name());
        QMetaObject::invokeMethod(m_portal, &QObject::deleteLater);
        m_portal = nullptr;
    }

    static void emitSettingChanged(QDBusConnection bus, uint scheme)
    {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("SettingChanged"));
        signal << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
               << QVariant::fromValue(QDBusVariant(QVariant::fromValue(scheme)));
        QVERIFY(bus.send(signal));
    }

    static QList<qint64> childProcesses()
    {
        QList<qint64> children;
        const QStringList tasks = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &task : tasks) {
            QFile file(QStringLiteral("/proc/self/task/%1/children").arg(task));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QList<QByteArray> pids = file.readAll().simplified().split(' ');
            for (const QByteArray &pid : pids) {
                if (!pid.isEmpty())
                    children << pid.toLongLong();
            }
        }
        return children;
    }

    static bool haveGSettingsSchema()
    {
        QProcess p;
        p.start(QStringLiteral("gsettings"), {QStringLiteral("range"), QStringLiteral("org.gnome.desktop.interface"),
                                              QStringLiteral("color-scheme")});
        return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    static void gsettingsSet(const QString &value)
    {
        QProcess p;
        p.start(QStringLiteral("gsettings"), {QStringLiteral("set"), QStringLiteral("org.gnome.desktop.interface"),
                                              QStringLiteral("color-scheme"), value});
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 0);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // GSettings writes go to a key file in a private folder, never to the user's settings.
        qputenv("GSETTINGS_BACKEND", "keyfile");
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        // A bus of our own without service directories: on a machine with the real portal installed, a
        // session bus would activate it when the provider asks before the fake is up, and the real one
        // would answer in the fake's place.
        if (!m_bus.start())
            QSKIP(qPrintable(m_bus.error()));
        m_address = m_bus.address();
        m_portalThread.start();
    }

    void cleanupTestCase()
    {
        m_portalThread.quit();
        m_portalThread.wait();
    }

    void portalDecides_data()
    {
        QTest::addColumn<uint>("scheme");
        QTest::addColumn<bool>("dark");
        QTest::newRow("prefers dark") << 1u << true;
        QTest::newRow("prefers light") << 2u << false;
    }

    void portalDecides()
    {
        QFETCH(uint, scheme);
        QFETCH(bool, dark);
        QDBusConnection portal = startPortal(scheme);
        // A dark palette must not outvote the portal.
        QPalette palette = QApplication::palette();
        palette.setColor(QPalette::Window, dark ? Qt::white : Qt::black);
        QApplication::setPalette(palette);

        ColorSchemeProvider provider(connect(QStringLiteral("app")), QString());
        // The start does not wait for the portal's answer: the palette speaks until it comes.
        QCOMPARE(provider.source(), ColorSchemeProvider::Source::palette);
        QTRY_COMPARE(provider.source(), ColorSchemeProvider::Source::portal);
        QCOMPARE(provider.isDark(), dark);
        QApplication::setPalette(QPalette());
        stopPortal(portal);
    }

    void portalChangeSwitchesAtOnce()
    {
        QDBusConnection portal = startPortal(2);
        ColorSchemeProvider provider(connect(QStringLiteral("app")), QString());
        QTRY_COMPARE(provider.source(), ColorSchemeProvider::Source::portal);
        QVERIFY(!provider.isDark());
        QSignalSpy spy(&provider, &ColorSchemeProvider::darkChanged);
        emitSettingChanged(portal, 1);
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toBool(), true);
        emitSettingChanged(portal, 2);
        QTRY_COMPARE(spy.count(), 2);
        QVERIFY(!provider.isDark());
        stopPortal(portal);
    }

    void portalStartingLaterIsFollowed()
    {
        ColorSchemeProvider provider(connect(QStringLiteral("app")), QString());
        QCOMPARE(provider.source(), ColorSchemeProvider::Source::palette);
        QDBusConnection portal = startPortal(1);
        QTRY_VERIFY(provider.isDark());
        QCOMPARE(provider.source(), ColorSchemeProvider::Source::portal);
        // Subscribed on its appearance, so later changes arrive too.
        emitSettingChanged(portal, 2);
        QTRY_VERIFY(!provider.isDark());
        stopPortal(portal);
    }

    void gsettingsWhenPortalHasNoPreference()
    {
        if (!haveGSettingsSchema())
            QSKIP("gsettings or the org.gnome.desktop.interface color-scheme key is not installed");
        gsettingsSet(QStringLiteral("prefer-dark"));
        QDBusConnection portal = startPortal(0);
        ColorSchemeProvider provider(connect(QStringLiteral("app")), QStringLiteral("org.gnome.desktop.interface"));
        QVERIFY(provider.isDark());
        QCOMPARE(provider.source(), ColorSchemeProvider::Source::gsettings);
        // Watching costs no helper process: the bus daemon is our only child.
        QCOMPARE(childProcesses(), QList<qint64>{m_bus.processId()});

        // The monitor notices a change made elsewhere.
        QSignalSpy spy(&provider, &ColorSchemeProvider::darkChanged);
        gsettingsSet(QStringLiteral("prefer-light"));
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
        QVERIFY(!provider.isDark());
        gsettingsSet(QStringLiteral("default"));
        stopPortal(portal);
    }

    void paletteIsTheLastResort()
    {
        QPalette dark = QApplication::palette();
        dark.setColor(QPalette::Window, QColor(30, 30, 30));
        QApplication::setPalette(dark);
        // A schema that is not installed must not take the process down with it.
        ColorSchemeProvider provider(QDBusConnection(QString()), QStringLiteral("org.example.NotInstalled"));
        QVERIFY(provider.isDark());
        QCOMPARE(provider.source(), ColorSchemeProvider::Source::palette);

        QSignalSpy spy(&provider, &ColorSchemeProvider::darkChanged);
        QPalette light = dark;
        light.setColor(QPalette::Window, QColor(240, 240, 240));
        QApplication::setPalette(light);
        QTRY_COMPARE(spy.count(), 1);
        QVERIFY(!provider.isDark());
        QApplication::setPalette(QPalette());
    }

    void portalValueUnwrapping_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("expected"); // -1: not a colour scheme
        const auto wrap = [](const QVariant &v) { return QVariant::fromValue(QDBusVariant(v)); };
        QTest::newRow("Read: twice wrapped") << wrap(wrap(QVariant(1u))) << 1;
        QTest::newRow("SettingChanged: once wrapped") << wrap(QVariant(2u)) << 2;
        QTest::newRow("bare") << QVariant(0u) << 0;
        QTest::newRow("out of range") << wrap(QVariant(7u)) << -1;
        QTest::newRow("a string") << wrap(QVariant(QStringLiteral("prefer-dark"))) << -1;
        QTest::newRow("nothing") << QVariant() << -1;
    }

    void portalValueUnwrapping()
    {
        QFETCH(QVariant, value);
        QFETCH(int, expected);
        const std::optional<uint> scheme = ColorSchemeProvider::portalSchemeFromVariant(value);
        QCOMPARE(scheme.has_value() ? int(*scheme) : -1, expected);
    }
};

QTEST_MAIN(TestColorScheme)
#include "tst_colorscheme.moc"
