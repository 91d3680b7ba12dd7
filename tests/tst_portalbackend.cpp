// SPDX-License-Identifier: GPL-3.0-or-later
// The Wallpaper portal backend against a stand-in portal on a private bus that answers through a
// Request object, the way xdg-desktop-portal does.
#include "desktop/linuxwallpaperapplier.h"
#include "desktop/portalbackend.h"
#include "desktopharness.h"
#include "models/errors.h"

#include "awaittask.h"
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace Starvane;

class FakeWallpaperPortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Wallpaper")
public:
    QMutex mutex;
    uint response = 0;
    int answerDelayMs = 0;
    // Leaves the Response to the test, as a desktop does while its question is on screen.
    bool holdAnswer = false;
    QString heldHandle;
    QString uri;
    QStringList uris;
    QVariantMap options;

public Q_SLOTS:
    QDBusObjectPath SetWallpaperURI(const QString &, const QString &wallpaper, const QVariantMap &wanted)
    {
        QMutexLocker lock(&mutex);
        // A busy desktop: this thread sleeps, the client's must not.
        QThread::msleep(answerDelayMs);
        uri = wallpaper;
        uris << wallpaper;
        options = wanted;
        QString sender = message().service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                   .arg(sender, wanted.value(QStringLiteral("handle_token")).toString());
        if (holdAnswer)
            heldHandle = handle;
        else
            answer(connection(), handle, response);
        return QDBusObjectPath(handle);
    }

public:
    static void answer(QDBusConnection bus, const QString &handle, uint response)
    {
        QDBusMessage signal = QDBusMessage::createSignal(handle, QStringLiteral("org.freedesktop.portal.Request"),
                                                         QStringLiteral("Response"));
        signal << response << QVariantMap();
        bus.send(signal);
    }
};

// The portal's record of what the person answered: host programs under the empty application id.
class FakePermissionStore : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.impl.portal.PermissionStore")
public:
    QStringList answer;

public Q_SLOTS:
    QMap<QString, QStringList> Lookup(const QString &, const QString &, QDBusVariant &data)
    {
        data = QDBusVariant(QVariant(QByteArray()));
        return {{QString(), answer}};
    }
};

class TestPortalBackend : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    Test::PrivateBus m_bus;
    QThread m_thread;
    FakeWallpaperPortal *m_portal = nullptr;
    FakePermissionStore m_store;
    QString m_file;

    static QList<DisplayTarget> displays()
    {
        return {
            {QStringLiteral("eDP-1"), QRect(0, 0, 2880, 1800), QRect(0, 0, 2880, 1800), true, QStringLiteral("eDP-1")},
            {QStringLiteral("DP-3"), QRect(2880, 0, 1920, 1080), QRect(2880, 0, 1920, 1080), false,
             QStringLiteral("DP-3")}};
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!m_bus.start()) QSKIP(qPrintable(m_bus.error()));
        qDBusRegisterMetaType<QMap<QString, QStringList>>();
        // The kept copies for the portal go to a cache of this test's own.
        qputenv("XDG_CACHE_HOME", m_dir.filePath(QStringLiteral("cache")).toUtf8());
        m_file = m_dir.filePath(QStringLiteral("Carina Nebula ab12.jpg"));
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
        m_portal = new FakeWallpaperPortal;
        m_portal->moveToThread(&m_thread);
        m_thread.start();
        QDBusConnection service = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("portal"));
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), m_portal,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"), &m_store,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.impl.portal.PermissionStore")));
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
        m_thread.quit();
        m_thread.wait();
        delete m_portal;
    }

    void answers_data()
    {
        QTest::addColumn<uint>("response");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("lockScreen");
        QTest::addColumn<QStringList>("stored");
        const QStringList unset;
        QTest::newRow("success") << 0u << QString() << false << unset;
        QTest::newRow("cancelled") << 1u << "the desktop portal request was cancelled" << false << unset;
        QTest::newRow("failed") << 2u << "the desktop portal could not set the picture" << false << QStringList{"yes"};
        QTest::newRow("refused when it asked, and since")
            << 2u << "the desktop does not allow Starvane to change the background" << false << QStringList{"no"};
        QTest::newRow("lock screen") << 0u << QString() << true << unset;
        QTest::newRow("lock screen failed")
            << 2u << "the lock screen's picture could not be set (the desktop portal could not set the picture)" << true
            << unset;
    }
    void answers()
    {
        QFETCH(uint, response);
        QFETCH(QString, failure);
        QFETCH(bool, lockScreen);
        QFETCH(QStringList, stored);
        m_store.answer = stored;
        {
            QMutexLocker lock(&m_portal->mutex);
            m_portal->response = response;
            m_portal->uris.clear();
        }
        const QString name = QStringLiteral("client%1").arg(response);
        LinuxWallpaperApplier applier(
            std::make_unique<PortalBackend>(QStringLiteral("KDE Plasma"),
                                            QDBusConnection::connectToBus(m_bus.address(), name), true),
            displays);
        QVERIFY(!applier.supportsPerDisplayWallpaper());
        QVERIFY(applier.supportsLockScreen());
        try {
            if (lockScreen)
                Testing::awaitTask(applier.applyLockScreen(QUrl::fromLocalFile(m_file), {}));
            else
                Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(m_file), DisplayScope::mainDisplay, {}));
            QVERIFY2(failure.isEmpty(), "a refusal was reported as success");
        } catch (const WallpaperApplyError &e) {
            QCOMPARE(e.kind(), WallpaperApplyError::Kind::displayUpdateFailed);
            QVERIFY2(!failure.isEmpty() && e.underlying().startsWith(failure), qPrintable(e.underlying()));
            // A refusal for good says how to be asked again.
            QCOMPARE(e.underlying().contains(u"DeletePermission wallpaper wallpaper ''"), stored == QStringList{"no"});
        }
        const std::optional<QUrl> background =
            lockScreen || !failure.isEmpty() ? std::nullopt : std::optional(QUrl::fromLocalFile(m_file));
        QCOMPARE(Testing::awaitTask(applier.desktopImageURLs(DisplayScope::allDisplays)),
                 (QList<std::optional<QUrl>>{background, background}));
        QMutexLocker lock(&m_portal->mutex);
        // One request only: the lock screen's picture never goes to the background as well. The portal got
        // the picture under its own name, in a copy kept for it only until it answered.
        QCOMPARE(m_portal->uris.size(), 1);
        QVERIFY(m_portal->uri.endsWith(QUrl::fromLocalFile(m_file).fileName(QUrl::FullyEncoded)));
        QVERIFY(!QFile::exists(QUrl(m_portal->uri).toLocalFile()));
        QCOMPARE(m_portal->options.value("set-on").toString(),
                 lockScreen ? QStringLiteral("lockscreen") : QStringLiteral("background"));
        QCOMPARE(m_portal->options.value("show-preview").toBool(), false);
        lock.unlock();
        QDBusConnection::disconnectFromBus(name);
    }

    void slowPortalLeavesTheEventLoopRunningAndKeepsOrder()
    {
        const QString last = Test::writeStandInFile(m_dir, QStringLiteral("Pillars cd34.jpg"));
        {
            QMutexLocker lock(&m_portal->mutex);
            m_portal->response = 0;
            m_portal->answerDelayMs = 2000;
            m_portal->uris.clear();
        }
        QDBusConnection client = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("slow"));
        LinuxWallpaperApplier applier(std::make_unique<PortalBackend>(QStringLiteral("river"), client), displays);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start(20);

        // Back to back: the first is with the portal, the second waits and is then given up, the third
        // (the same picture as the second) must still be shown, and the fourth, asking for that picture
        // again while the third waits (as workspace switches do), shares its apply.
        std::stop_source givenUp;
        QCoro::Task<> first = applier.applyWallpaper(QUrl::fromLocalFile(m_file), DisplayScope::allDisplays, {});
        QCoro::Task<> second =
            applier.applyWallpaper(QUrl::fromLocalFile(last), DisplayScope::allDisplays, givenUp.get_token());
        QCoro::Task<> third = applier.applyWallpaper(QUrl::fromLocalFile(last), DisplayScope::allDisplays, {});
        QCoro::Task<> fourth = applier.applyWallpaper(QUrl::fromLocalFile(last), DisplayScope::allDisplays, {});
        givenUp.request_stop();
        Testing::awaitTask(std::move(first));
        QVERIFY_THROWS_EXCEPTION(CancelledError, Testing::awaitTask(std::move(second)));
        Testing::awaitTask(std::move(third));
        Testing::awaitTask(std::move(fourth));
        QVERIFY2(ticks > 5, qPrintable(QString::number(ticks)));

        QCOMPARE(Testing::awaitTask(applier.currentDesktopImageURLs()), QSet<QUrl>{QUrl::fromLocalFile(last)});
        QMutexLocker lock(&m_portal->mutex);
        QCOMPARE(m_portal->uris.size(), 2);
        QVERIFY(m_portal->uris[0].endsWith(QUrl::fromLocalFile(m_file).fileName(QUrl::FullyEncoded)));
        QVERIFY(m_portal->uris[1].endsWith(QUrl::fromLocalFile(last).fileName(QUrl::FullyEncoded)));
        m_portal->answerDelayMs = 0;
        lock.unlock();
        QDBusConnection::disconnectFromBus(QStringLiteral("slow"));
    }

    void theFirstUseQuestionIsWaitedFor()
    {
        // The person takes longer to answer than any time-out of ours, and meanwhile the cache lets the
        // picture go: the portal must still find it, and nothing else may be asked of it.
        const QString picture =
            Test::writeStandInFile(m_dir, QStringLiteral("Orion 100% \"rosa\" ünd 'quer' ef56.jpg"));
        {
            QMutexLocker lock(&m_portal->mutex);
            m_portal->response = 0;
            m_portal->holdAnswer = true;
            m_portal->uris.clear();
        }
        QDBusConnection client = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("asked"));
        LinuxWallpaperApplier applier(std::make_unique<PortalBackend>(QStringLiteral("GNOME"), client), displays);
        QVERIFY(!applier.supportsLockScreen());
        QList<bool> told;
        applier.onAskingForPermission([&told](bool asking) { told << asking; });

        QCoro::Task<> first = applier.applyWallpaper(QUrl::fromLocalFile(picture), DisplayScope::allDisplays, {});
        QTRY_COMPARE_WITH_TIMEOUT(told, QList<bool>{true}, 5000);
        QVERIFY(QFile::remove(picture));
        try {
            Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(m_file), DisplayScope::allDisplays, {}));
            QFAIL("a second picture was queued behind the question");
        } catch (const WallpaperApplyError &e) {
            QVERIFY2(e.underlying().contains(u"asking whether Starvane may change the background"),
                     qPrintable(e.underlying()));
        }
        QTest::qWait(5000);
        QString handed;
        {
            QMutexLocker lock(&m_portal->mutex);
            QCOMPARE(m_portal->uris.size(), 1);
            handed = QUrl(m_portal->uri).toLocalFile();
            QCOMPARE(QFileInfo(handed).fileName(), QFileInfo(picture).fileName());
            m_portal->holdAnswer = false;
        }
        QVERIFY2(QFile::exists(handed), qPrintable(handed));
        FakeWallpaperPortal::answer(QDBusConnection(QStringLiteral("portal")), m_portal->heldHandle, 0);
        Testing::awaitTask(std::move(first));
        QCOMPARE(told, (QList<bool>{true, false}));
        QVERIFY(!QFile::exists(handed));
        QDBusConnection::disconnectFromBus(QStringLiteral("asked"));
    }

    void portalWithoutTheWallpaperInterface()
    {
        // The gtk portal backend has no Wallpaper interface: the call fails and we say so.
        Test::PrivateBus bare;
        QVERIFY(bare.start());
        QDBusConnection client = QDBusConnection::connectToBus(bare.address(), QStringLiteral("bare"));
        LinuxWallpaperApplier applier(std::make_unique<PortalBackend>(QStringLiteral("Wayland"), client), displays);
        try {
            Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(m_file), DisplayScope::allDisplays, {}));
            QFAIL("no portal, yet success");
        } catch (const WallpaperApplyError &e) {
            QVERIFY2(e.underlying().startsWith(QStringLiteral("the desktop portal refused the picture")),
                     qPrintable(e.underlying()));
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("bare"));
    }
};

QTEST_GUILESS_MAIN(TestPortalBackend)
#include "tst_portalbackend.moc"
