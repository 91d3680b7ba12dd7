// SPDX-License-Identifier: GPL-3.0-or-later
// The XFCE backend against the real xfconfd on a private bus, checked by a second process (xfconf-query).
#include "desktop/linuxwallpaperapplier.h"
#include "desktop/xfconfbackend.h"
#include "desktopharness.h"
#include "models/errors.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QTemporaryDir>
#include "awaittask.h"
#include <QTest>

using namespace Starvane;

namespace {
const QString xfconfd = QStringLiteral("/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd");

QList<DisplayTarget> twoMonitors()
{
    return {
        {QStringLiteral("DUMMY0"), QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1080), true, QStringLiteral("DUMMY0")},
        {QStringLiteral("DUMMY1"), QRect(1920, 0, 1280, 1024), QRect(1920, 0, 1280, 1024), false,
         QStringLiteral("DUMMY1")}};
}
} // namespace

class TestXfconfBackend : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    QTemporaryDir m_pictures;
    QProcessEnvironment m_env;
    Test::PrivateBus m_bus;
    Test::ChildProcess m_xfconfd;
    std::optional<QDBusConnection> m_connection;
    int m_workspaceCount = 3;
    int m_currentWorkspace = 0;

    QString picture(const QString &name) { return Test::writeStandInFile(m_pictures, name); }

    QString query(const QString &property)
    {
        QByteArray out;
        const int rc =
            Test::runTool(QStringLiteral("xfconf-query"), {"-c", "xfce4-desktop", "-p", property}, m_env, &out);
        return rc == 0 ? QString::fromUtf8(out.trimmed()) : QStringLiteral("<rc %1>").arg(rc);
    }

    int store(const QString &property, const QString &type, const QString &value)
    {
        return Test::runTool(QStringLiteral("xfconf-query"),
                             {"-c", "xfce4-desktop", "-p", property, "-n", "-t", type, "-s", value}, m_env);
    }

    LinuxWallpaperApplier applier()
    {
        XfconfBackend::Workspaces workspaces{[this] { return std::optional<int>(m_workspaceCount); },
                                             [this] { return std::optional<int>(m_currentWorkspace); }};
        return LinuxWallpaperApplier(std::make_unique<XfconfBackend>(*m_connection, workspaces), twoMonitors);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QFile::exists(xfconfd) || Test::findProgram(QStringLiteral("xfconf-query")).isEmpty())
            QSKIP("xfconfd is not installed (packages xfconf libxfconf-0-3)");
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        QVERIFY2(m_bus.start(m_env), qPrintable(m_bus.error()));
        m_env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address());
        QVERIFY(m_xfconfd.start(xfconfd, {}, m_env));

        m_connection = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("xfconf-test"));
        QVERIFY(m_connection->isConnected());
        QTRY_VERIFY_WITH_TIMEOUT(
            m_connection->interface()->isServiceRegistered(QStringLiteral("org.xfce.Xfconf")).value(), 10000);
    }

    void cleanupTestCase()
    {
        m_xfconfd.stop();
        QDBusConnection::disconnectFromBus(QStringLiteral("xfconf-test"));
    }

    void everyWorkspaceOfEveryMonitor()
    {
        const QString file = picture(QStringLiteral("NGC 1300 ef56.jpg"));
        Testing::awaitTask(applier().applyWallpaper(QUrl::fromLocalFile(file), DisplayScope::allDisplays, {}));
        for (const QString monitor : {"monitorDUMMY0", "monitorDUMMY1"}) {
            for (int ws = 0; ws < m_workspaceCount; ++ws) {
                const QString prefix = QStringLiteral("/backdrop/screen0/%1/workspace%2/").arg(monitor).arg(ws);
                QCOMPARE(query(prefix + "last-image"), file);
                QCOMPARE(query(prefix + "image-style"), QStringLiteral("5"));
            }
        }
        QCOMPARE(query("/backdrop/screen0/monitorDUMMY0/workspace3/last-image").left(3), QStringLiteral("<rc"));
    }

    void mainDisplayLeavesTheOtherMonitor()
    {
        const QString first = picture(QStringLiteral("first.jpg"));
        const QString second = picture(QStringLiteral("second.jpg"));
        auto a = applier();
        Testing::awaitTask(a.applyWallpaper(QUrl::fromLocalFile(first), DisplayScope::allDisplays, {}));
        Testing::awaitTask(a.applyWallpaper(QUrl::fromLocalFile(second), DisplayScope::mainDisplay, {}));
        QCOMPARE(query("/backdrop/screen0/monitorDUMMY0/workspace1/last-image"), second);
        QCOMPARE(query("/backdrop/screen0/monitorDUMMY1/workspace1/last-image"), first);
        QCOMPARE(Testing::awaitTask(a.desktopImageURLs(DisplayScope::allDisplays)),
                 (QList<std::optional<QUrl>>{QUrl::fromLocalFile(second), QUrl::fromLocalFile(first)}));
    }

    void eachMonitorItsOwnPicture()
    {
        const QString left = picture(QStringLiteral("left.jpg"));
        const QString right = picture(QStringLiteral("right.jpg"));
        Testing::awaitTask(applier().applyDisplayWallpapers(
            {{"DUMMY1", QUrl::fromLocalFile(right)}, {"DUMMY0", QUrl::fromLocalFile(left)}}, {}));
        for (int ws = 0; ws < m_workspaceCount; ++ws) {
            QCOMPARE(query(QStringLiteral("/backdrop/screen0/monitorDUMMY0/workspace%1/last-image").arg(ws)), left);
            QCOMPARE(query(QStringLiteral("/backdrop/screen0/monitorDUMMY1/workspace%1/last-image").arg(ws)), right);
        }
    }

    void workspacesXfdesktopAlreadyKnowsAreWrittenToo()
    {
        QCOMPARE(store("/backdrop/screen0/monitorDUMMY1/workspace5/last-image", "string", "/old.jpg"), 0);
        const QString file = picture(QStringLiteral("later.jpg"));
        Testing::awaitTask(applier().applyWallpaper(QUrl::fromLocalFile(file), DisplayScope::allDisplays, {}));
        QCOMPARE(query("/backdrop/screen0/monitorDUMMY1/workspace5/last-image"), file);
        QCOMPARE(query("/backdrop/screen0/monitorDUMMY1/workspace4/last-image"), file);
    }

    void readsTheWorkspaceXfdesktopShows_data()
    {
        QTest::addColumn<QString>("singleMode");
        QTest::addColumn<int>("singleNumber");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("expectedWorkspace");
        QTest::newRow("per workspace: the current one") << "false" << 0 << 2 << 2;
        QTest::newRow("single mode: its number") << "true" << 1 << 2 << 1;
    }
    void readsTheWorkspaceXfdesktopShows()
    {
        QFETCH(QString, singleMode);
        QFETCH(int, singleNumber);
        QFETCH(int, current);
        QFETCH(int, expectedWorkspace);
        QCOMPARE(store("/backdrop/single-workspace-mode", "bool", singleMode), 0);
        QCOMPARE(store("/backdrop/single-workspace-number", "int", QString::number(singleNumber)), 0);
        for (int ws = 0; ws < 3; ++ws) {
            QCOMPARE(store(QStringLiteral("/backdrop/screen0/monitorDUMMY0/workspace%1/last-image").arg(ws), "string",
                           QStringLiteral("/pictures/ws%1.jpg").arg(ws)),
                     0);
        }
        m_currentWorkspace = current;
        QCOMPARE(Testing::awaitTask(applier().desktopImageURLs(DisplayScope::mainDisplay)),
                 (QList<std::optional<QUrl>>{
                     QUrl::fromLocalFile(QStringLiteral("/pictures/ws%1.jpg").arg(expectedWorkspace))}));
        m_currentWorkspace = 0;
    }

    void rollBackRestoresEachWorkspace()
    {
        // Per-workspace pictures come back exactly, not as one picture everywhere.
        XfconfBackend backend(*m_connection,
                              {[] { return std::optional<int>(3); }, [] { return std::optional<int>(0); }});
        const DisplayTarget monitor = twoMonitors().first();
        for (int ws = 0; ws < 3; ++ws) {
            QCOMPARE(store(QStringLiteral("/backdrop/screen0/monitorDUMMY0/workspace%1/last-image").arg(ws), "string",
                           QStringLiteral("/pictures/ws%1.jpg").arg(ws)),
                     0);
        }
        const std::optional<DesktopPicture> before = Testing::awaitTask(backend.shownPicture(monitor));
        QVERIFY(before);
        Testing::awaitTask(backend.showPicture(monitor, {picture(QStringLiteral("new.jpg")), {}}, twoMonitors()));
        QCOMPARE(query("/backdrop/screen0/monitorDUMMY0/workspace2/last-image"), picture(QStringLiteral("new.jpg")));
        Testing::awaitTask(backend.showPicture(monitor, *before, twoMonitors()));
        QCOMPARE(query("/backdrop/screen0/monitorDUMMY0/workspace2/last-image"), QStringLiteral("/pictures/ws2.jpg"));
        QCOMPARE(query("/backdrop/screen0/monitorDUMMY0/workspace1/last-image"), QStringLiteral("/pictures/ws1.jpg"));
    }

    void noXfconfIsAClearError()
    {
        // A bus without xfconfd (and nothing to activate): the refusal is reported, not swallowed.
        Test::PrivateBus empty;
        QVERIFY2(empty.start(m_env), qPrintable(empty.error()));
        QDBusConnection bus = QDBusConnection::connectToBus(empty.address(), QStringLiteral("empty-bus"));
        LinuxWallpaperApplier a(std::make_unique<XfconfBackend>(bus, XfconfBackend::Workspaces{}), twoMonitors);
        try {
            Testing::awaitTask(a.applyWallpaper(QUrl::fromLocalFile(picture(QStringLiteral("x.jpg"))), DisplayScope::allDisplays, {}));
            QFAIL("a bus without xfconfd reported success");
        } catch (const WallpaperApplyError &e) {
            QVERIFY2(e.underlying().startsWith(QStringLiteral("XFCE refused the picture")), qPrintable(e.underlying()));
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("empty-bus"));
    }
};

QTEST_GUILESS_MAIN(TestXfconfBackend)
#include "tst_xfconfbackend.moc"
