// SPDX-License-Identifier: GPL-3.0-or-later
// Wake notifications from a stand-in logind on a private "system" bus, and sway's IPC (backend
// commands and workspace events) against a stand-in sway socket served from another thread.
#include "desktop/linuxwallpaperapplier.h"
#include "desktop/swaybackend.h"
#include "desktop/swayipc.h"
#include "desktop/systemevents.h"
#include "desktopharness.h"
#include "models/errors.h"

#include <QDBusConnectionInterface>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMutex>
#include <QSignalSpy>
#include <QTemporaryDir>
#include "awaittask.h"
#include <QTest>
#include <QThread>

using namespace Starvane;

namespace {
void emitPrepareForSleep(QDBusConnection bus, bool sleeping)
{
    QDBusMessage signal =
        QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                   QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
    signal << sleeping;
    QVERIFY(bus.send(signal));
    // A round trip through the daemon: our signal has been routed before the call returns.
    QVERIFY(bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus")).value());
}
} // namespace

/// Speaks the i3-ipc framing like sway: answers RUN_COMMAND and SUBSCRIBE, and pushes events.
class FakeSway : public QObject
{
    Q_OBJECT
public:
    QMutex mutex;
    QStringList commands;
    QString refuseContaining;

    void listen(const QString &path)
    {
        m_server = new QLocalServer(this);
        m_server->listen(path);
        connect(m_server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket *client = m_server->nextPendingConnection()) {
                auto *buffer = new QByteArray;
                connect(client, &QLocalSocket::disconnected, client, [client, buffer] {
                    delete buffer;
                    client->deleteLater();
                });
                connect(client, &QLocalSocket::readyRead, client, [this, client, buffer] {
                    buffer->append(client->readAll());
                    while (std::optional<SwayIpc::Message> m = SwayIpc::takeMessage(*buffer))
                        answer(client, *m);
                });
            }
        });
    }

private:
    void answer(QLocalSocket *client, const SwayIpc::Message &message)
    {
        if (message.type == SwayIpc::runCommand) {
            bool refuse = false;
            {
                QMutexLocker lock(&mutex);
                commands << QString::fromUtf8(message.payload);
                refuse = !refuseContaining.isEmpty() && commands.last().contains(refuseContaining);
            }
            // An unrelated event first, then the reply in two pieces: the client must sort them out.
            client->write(SwayIpc::frame(SwayIpc::workspaceEvent, R"({"change":"init"})"));
            const QByteArray reply =
                SwayIpc::frame(SwayIpc::runCommand, refuse ? R"([{"success":false,"error":"Output DP-9 is asleep"}])"
                                                           : R"([{"success":true}])");
            client->write(reply.left(9));
            client->flush();
            client->write(reply.mid(9));
        } else if (message.type == SwayIpc::subscribe) {
            client->write(SwayIpc::frame(SwayIpc::subscribe, R"({"success":true})"));
            client->write(SwayIpc::frame(SwayIpc::workspaceEvent, R"({"change":"init","current":{"num":3}})"));
            client->write(SwayIpc::frame(SwayIpc::workspaceEvent, R"({"change":"focus","current":{"num":2}})"));
            client->write(SwayIpc::frame(SwayIpc::workspaceEvent, R"({"change":"focus","current":{"num":1}})"));
        }
        client->flush();
    }

    QLocalServer *m_server = nullptr;
};

/// The freedesktop file manager interface, recording what it was asked to show.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QStringList> shown;
public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &) { shown << uris; }
};

class TestSystemEvents : public QObject
{
    Q_OBJECT

    Test::PrivateBus m_systemBus;
    QTemporaryDir m_dir;
    QThread m_swayThread;
    FakeSway *m_sway = nullptr;
    QString m_swaySocket;

    QList<DisplayTarget> outputs() const
    {
        return {{QStringLiteral("HEADLESS-1"), QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1080), true,
                 QStringLiteral("HEADLESS-1")},
                {QStringLiteral("DP-9"), QRect(1920, 0, 1280, 1024), QRect(1920, 0, 1280, 1024), false,
                 QStringLiteral("DP-9")}};
    }

    QString picture(const QString &name) { return Test::writeStandInFile(m_dir, name); }

private Q_SLOTS:
    void initTestCase()
    {
        m_swaySocket = m_dir.filePath(QStringLiteral("sway-ipc.sock"));
        m_sway = new FakeSway;
        m_sway->moveToThread(&m_swayThread);
        m_swayThread.start();
        QMetaObject::invokeMethod(
            m_sway, [this] { m_sway->listen(m_swaySocket); }, Qt::BlockingQueuedConnection);
    }

    void cleanupTestCase()
    {
        QMetaObject::invokeMethod(
            m_sway, [this] { delete m_sway; }, Qt::BlockingQueuedConnection);
        m_swayThread.quit();
        m_swayThread.wait();
    }

    void wakeComesOnlyFromLogind()
    {
        if (!m_systemBus.start()) QSKIP(qPrintable(m_systemBus.error()));
        QDBusConnection listener = QDBusConnection::connectToBus(m_systemBus.address(), QStringLiteral("listener"));
        QDBusConnection logind = QDBusConnection::connectToBus(m_systemBus.address(), QStringLiteral("logind"));
        QDBusConnection impostor = QDBusConnection::connectToBus(m_systemBus.address(), QStringLiteral("impostor"));

        SystemEvents events;
        QSignalSpy woke(&events, &SystemEvents::systemDidWake);
        // logind appears after we started listening (a session started before logind was ready).
        events.watchWake(listener);
        QVERIFY(logind.registerService(QStringLiteral("org.freedesktop.login1")));
        // The subscription follows once the watcher has seen the name: poke until the first wake arrives.
        for (int i = 0; i < 50 && woke.isEmpty(); ++i) {
            emitPrepareForSleep(logind, false);
            woke.wait(100);
        }
        QVERIFY2(!woke.isEmpty(), "no wake after logind appeared");
        QTest::qWait(200);
        woke.clear();

        emitPrepareForSleep(impostor, false); // not the owner of the name: ignored
        emitPrepareForSleep(logind, true);    // going to sleep: nothing to do
        emitPrepareForSleep(logind, false);
        QTRY_COMPARE(woke.size(), 1);
        emitPrepareForSleep(impostor, false);
        emitPrepareForSleep(logind, false);
        QTRY_COMPARE(woke.size(), 2);
        QTest::qWait(300);
        QCOMPARE(woke.size(), 2);

        QDBusConnection::disconnectFromBus(QStringLiteral("listener"));
        QDBusConnection::disconnectFromBus(QStringLiteral("logind"));
        QDBusConnection::disconnectFromBus(QStringLiteral("impostor"));
    }

    void swayWorkspaceFocusIsNoticed()
    {
        SystemEvents events;
        QSignalSpy changed(&events, &SystemEvents::activeWorkspaceChanged);
        events.watchSwayWorkspaces(m_swaySocket);
        // Two focus events in a burst: one delivery.
        QVERIFY(changed.wait(5000));
        QTest::qWait(SystemEvents::workspaceSettleMs * 2);
        QCOMPARE(changed.size(), 1);
    }

    void swaySetsEachOutputAndRemembers()
    {
        const QString file = picture(QStringLiteral("Pillars of Creation ab12.jpg"));
        LinuxWallpaperApplier applier(std::make_unique<SwayBackend>(m_swaySocket), [this] { return outputs(); });
        Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(file), DisplayScope::allDisplays, {}));
        {
            QMutexLocker lock(&m_sway->mutex);
            QCOMPARE(m_sway->commands, (QStringList{QStringLiteral("output \"HEADLESS-1\" bg \"%1\" fill").arg(file),
                                                    QStringLiteral("output \"DP-9\" bg \"%1\" fill").arg(file)}));
            m_sway->commands.clear();
        }
        QCOMPARE(Testing::awaitTask(applier.desktopImageURLs(DisplayScope::allDisplays)),
                 (QList<std::optional<QUrl>>{QUrl::fromLocalFile(file), QUrl::fromLocalFile(file)}));
    }

    void swayRefusalRollsBack()
    {
        const QString old = picture(QStringLiteral("old.jpg"));
        const QString fresh = picture(QStringLiteral("fresh.jpg"));
        LinuxWallpaperApplier applier(std::make_unique<SwayBackend>(m_swaySocket), [this] { return outputs(); });
        Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(old), DisplayScope::mainDisplay, {}));
        {
            QMutexLocker lock(&m_sway->mutex);
            m_sway->refuseContaining = QStringLiteral("\"DP-9\"");
            m_sway->commands.clear();
        }
        try {
            Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(fresh), DisplayScope::allDisplays, {}));
            QFAIL("the refusal was swallowed");
        } catch (const WallpaperApplyError &e) {
            QCOMPARE(e.underlying(), QStringLiteral("sway refused the picture (Output DP-9 is asleep)"));
        }
        QMutexLocker lock(&m_sway->mutex);
        QCOMPARE(m_sway->commands.size(), 3);
        QCOMPARE(m_sway->commands.last(), QStringLiteral("output \"HEADLESS-1\" bg \"%1\" fill").arg(old));
        m_sway->refuseContaining.clear();
    }

    void swayIsNeverGivenAnUnsafeName()
    {
        const QString file = picture(QStringLiteral("quote\" $(touch x).jpg"));
        LinuxWallpaperApplier applier(std::make_unique<SwayBackend>(m_swaySocket), [this] { return outputs(); });
        {
            QMutexLocker lock(&m_sway->mutex);
            m_sway->commands.clear();
        }
        QVERIFY_THROWS_EXCEPTION(WallpaperApplyError,
                                 Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(file), DisplayScope::allDisplays, {})));
        QMutexLocker lock(&m_sway->mutex);
        QVERIFY(m_sway->commands.isEmpty());
    }

    void noSwayIsAClearError()
    {
        LinuxWallpaperApplier applier(std::make_unique<SwayBackend>(m_dir.filePath(QStringLiteral("gone.sock"))),
                                      [this] { return outputs(); });
        try {
            Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(picture(QStringLiteral("x.jpg"))), DisplayScope::allDisplays, {}));
            QFAIL("no sway, yet success");
        } catch (const WallpaperApplyError &e) {
            QVERIFY2(e.underlying().startsWith(QStringLiteral("sway did not answer")), qPrintable(e.underlying()));
        }
    }

    void revealSelectsTheFileInTheFileManager()
    {
        Test::PrivateBus session;
        if (!session.start()) QSKIP(qPrintable(session.error()));
        FakeFileManager manager;
        QDBusConnection service = QDBusConnection::connectToBus(session.address(), QStringLiteral("fm"));
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        QDBusConnection client = QDBusConnection::connectToBus(session.address(), QStringLiteral("fm-client"));

        const QString file = picture(QStringLiteral("Crab Nebula #1.jpg"));
        revealInFileManager(QUrl::fromLocalFile(file), client);
        QTRY_COMPARE(manager.shown.size(), 1);
        QCOMPARE(manager.shown.first(), QStringList{QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)});
        QCOMPARE(QUrl(manager.shown.first().first()).toLocalFile(), file);
        QDBusConnection::disconnectFromBus(QStringLiteral("fm"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fm-client"));
    }

    void framing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("messages");
        QTest::addColumn<int>("left");
        const QByteArray one = SwayIpc::frame(SwayIpc::runCommand, R"([{"success":true}])");
        QTest::newRow("one whole") << one << 1 << 0;
        QTest::newRow("header only") << one.left(14) << 0 << 14;
        QTest::newRow("one and a half") << one + one.left(20) << 1 << 20;
        QTest::newRow("empty payload") << SwayIpc::frame(SwayIpc::subscribe, {}) << 1 << 0;
        QTest::newRow("garbage is dropped") << QByteArray("HTTP/1.1 200 OK\r\n") << 0 << 0;
        QByteArray huge = SwayIpc::frame(SwayIpc::runCommand, {});
        huge[6] = char(0xff);
        huge[9] = char(0x7f);
        QTest::newRow("absurd length is dropped") << huge << 0 << 0;
    }
    void framing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, messages);
        QFETCH(int, left);
        int taken = 0;
        while (SwayIpc::takeMessage(bytes))
            ++taken;
        QCOMPARE(taken, messages);
        QCOMPARE(bytes.size(), left);
    }
};

QTEST_GUILESS_MAIN(TestSystemEvents)
#include "tst_systemevents.moc"
