// SPDX-License-Identifier: GPL-3.0-or-later
// The real program under Xvfb against a local archive, on a private session bus.
// - Damaged state files: it must start, keep what it can read and fall back for the rest.
// - SIGKILL at random moments of rotations: after every kill the state file must still load, the
//   picture it names must still exist, and downloads cut short must not pile up in the temporary
//   folder. STARVANE_KILL_RUNS sets the number of kills (a few in the suite, 50 in the long run).
#include "archive/boundeddownload.h"
#include "desktopharness.h"
#include "fakes.h"
#include "store/keyvaluestore.h"
#include "store/wallpaperstore.h"
#include "wallpaperarchive.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/time.h>

using namespace Starvane;
using namespace Starvane::Testing;
using Starvane::Test::ChildProcess;
using Starvane::Test::PrivateBus;
using Starvane::Test::XvfbServer;

namespace {
const QString kService = QStringLiteral("com.quorvex.Starvane");
const QString kPath = QStringLiteral("/com/quorvex/Starvane");
const QString kInterface = QStringLiteral("com.quorvex.Starvane.Control");
const QString kPathKey = QStringLiteral("starvane.current_file_path.v1");

int runsWanted()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("STARVANE_KILL_RUNS", &ok);
    return ok && n > 0 ? n : 8;
}

bool backdate(const QString &path, int days)
{
    struct timeval times[2];
    ::gettimeofday(&times[0], nullptr);
    times[0].tv_sec -= days * 86400;
    times[1] = times[0];
    return ::utimes(QFile::encodeName(path).constData(), times) == 0;
}
} // namespace

class TestAppFaults : public QObject
{
    Q_OBJECT
    QString m_skip;
    QString m_binary;
    QTemporaryDir m_home;
    XvfbServer m_xvfb;
    PrivateBus m_bus;
    PrivateBus m_systemBus;
    Starvane::Test::StandInNetworkManager m_network;
    ArchiveTestServer m_server;
    QProcessEnvironment m_env;
    std::optional<QDBusConnection> m_conn;

    QString tmpDir() const { return m_home.filePath(QStringLiteral("tmp")); }
    QString stateFile() const { return m_home.filePath(QStringLiteral(".config/Starvane/Starvane.conf")); }
    QString cacheDir() const { return m_home.filePath(QStringLiteral(".local/share/Starvane/Wallpapers")); }
    QStringList downloads() const
    {
        return QDir(tmpDir()).entryList({temporaryDownloadPrefix + QStringLiteral("*.tmp")}, QDir::Files);
    }

    bool serviceUp() const { return m_conn->interface()->isServiceRegistered(kService).value(); }
    void call(const QString &method, bool wait = false)
    {
        const QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
        if (wait)
            m_conn->call(m, QDBus::Block, 5000);
        else
            m_conn->send(m);
    }

    /// Starts the program and waits until it answers on the bus. The caller owns the process.
    bool launch(ChildProcess &app, const QProcessEnvironment &env)
    {
        if (!app.start(m_binary, {QStringLiteral("--at-login")}, env))
            return false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 15000) {
            if (serviceUp())
                return true;
            if (app.process().state() == QProcess::NotRunning)
                return false;
            QTest::qWait(20);
        }
        return false;
    }

    /// What a kill may leave behind must still make a working store; returns the picture path it names.
    void checkStateLoads(QString *pathOut)
    {
        pathOut->clear();
        if (!QFile::exists(stateFile()))
            return;
        {
            QSettings raw(stateFile(), QSettings::IniFormat);
            QCOMPARE(raw.status(), QSettings::NoError);
            const QVariant path = raw.value(kPathKey);
            if (path.isValid()) {
                *pathOut = path.toString();
                QVERIFY2(QFile::exists(*pathOut), qPrintable(QStringLiteral("the shown picture %1 is gone").arg(*pathOut)));
            }
        }
        // Loading is what the next start does: it must come up with a current picture when one was named.
        auto kv = std::make_shared<SettingsKeyValueStore>(stateFile());
        QTemporaryDir scratch;
        WallpaperStore store({std::make_shared<ScriptedArchive>(), std::make_shared<FakeCache>(scratch.path()),
                              std::make_shared<RecordingApplier>(), kv});
        if (!pathOut->isEmpty())
            QCOMPARE(store.currentLocalFileURL(), std::optional<QUrl>(QUrl::fromLocalFile(*pathOut)));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_binary = qEnvironmentVariable("STARVANE_BINARY");
        if (m_binary.isEmpty() || !QFile::exists(m_binary))
            QSKIP("STARVANE_BINARY does not name the built program");
        if (!m_xvfb.start(QStringLiteral("1920x1080x24")))
            QSKIP(qPrintable(m_xvfb.error()));
        QVERIFY(m_home.isValid());
        QVERIFY(QDir().mkpath(tmpDir()));
        QVERIFY(QDir().mkpath(m_home.filePath(QStringLiteral("runtime"))));
        QFile::setPermissions(m_home.filePath(QStringLiteral("runtime")), QFileDevice::ReadOwner |
                                                                            QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(m_server.start());
        publishWallpaperArchive(m_server, 6, 12);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "SWAYSOCK",
                                 "WAYLAND_DISPLAY", "XDG_CONFIG_DIRS", "XDG_DATA_DIRS"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral(".config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral(".local/share")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), m_home.filePath(QStringLiteral(".cache")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), m_home.filePath(QStringLiteral(".local/state")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("TMPDIR"), tmpDir());
        env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
        env.insert(QStringLiteral("DISPLAY"), m_xvfb.display());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("STARVANE_TEST_ARCHIVE_WEB"), m_server.baseURL().toString());
        env.insert(QStringLiteral("STARVANE_TEST_ARCHIVE_IMAGES"), m_server.baseURL().toString());
        if (!m_bus.start(env))
            QSKIP(qPrintable(m_bus.error()));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address());
        // Online as NetworkManager says it, not as the machine's routes do: GLib's monitor would call a
        // machine without a default route (an offline laptop, a network-less CI) offline, and every
        // change would wait for a network the local archive does not need.
        if (!m_systemBus.start(env)) QSKIP(qPrintable(m_systemBus.error()));
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_systemBus.address());
        QVERIFY2(m_network.start(QStringLiteral(STANDIN_NM), m_systemBus.address()), qPrintable(m_network.error()));
        m_env = env;
        m_conn.emplace(QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("appfaults")));
        QVERIFY(m_conn->isConnected());
    }

    void damagedStateFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("settingsKept"); // manual mode on the main display, as written

        // The settings line exactly as QSettings writes it.
        QByteArray settings;
        {
            QTemporaryDir scratch;
            const QString path = scratch.filePath(QStringLiteral("s.conf"));
            {
                QSettings w(path, QSettings::IniFormat);
                w.setValue(QStringLiteral("starvane.settings.v1"),
                           AppSettings{ChangeFrequency::manual, DisplayScope::mainDisplay, false}.toJson());
            }
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            for (const QByteArray &line : f.readAll().split('\n')) {
                if (line.startsWith("starvane.settings.v1="))
                    settings = line + '\n';
            }
            QVERIFY(!settings.isEmpty());
        }
        QByteArray garbage(4096, Qt::Uninitialized);
        QRandomGenerator rng(7);
        for (char &c : garbage)
            c = char(rng.bounded(256));

        QTest::newRow("empty file") << QByteArray() << false;
        QTest::newRow("garbage bytes") << garbage << false;
        QTest::newRow("NUL bytes") << QByteArray(2048, '\0') << false;
        QTest::newRow("another program's file")
            << QByteArray("[Desktop Entry]\nType=Application\nName=Something Else\nExec=other %U\n\n[Colors]\n"
                          "Background=255,255,255\n")
            << false;
        QTest::newRow("half-written")
            << QByteArray("[General]\n" + settings + "starvane.recent_ids.v1=potw0001a, potw0002a, \"potw00") << true;
        QTest::newRow("wrong value types, settings intact")
            << QByteArray("[General]\n" + settings +
                          "starvane.current_file_path.v1=@ByteArray(\\0\\0\\0)\n"
                          "starvane.current_image.v1=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x1cgarbage)\n"
                          "starvane.current_hash.v1=@Rect(1 2 3 4)\n"
                          "starvane.next_change_date.v1=tomorrow\n"
                          "starvane.next_page.v1=@Variant(\\0\\0\\0\\n\\xff\\xff)\n"
                          "starvane.recent_ids.v1=@Size(3 4)\n"
                          "starvane.recent_hashes.v1=@Variant(\\0\\0\\0\\t\\0\\0\\0\\xff\\xff\\xff\\xff)\n")
            << true;
        QTest::newRow("wrong value types everywhere")
            << QByteArray("[General]\nstarvane.settings.v1=42\nstarvane.next_page.v1=@ByteArray(7)\n"
                          "starvane.next_change_date.v1=@DateTime(\\0)\nstarvane.current_file_path.v1=@Invalid()\n")
            << false;
        QTest::newRow("settings JSON of the wrong shape")
            << QByteArray("[General]\nstarvane.settings.v1=@ByteArray([1,2,3])\n") << false;
    }

    void damagedStateFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, settingsKept);

        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QString config = home.filePath(QStringLiteral(".config/Starvane/Starvane.conf"));
        QVERIFY(QDir().mkpath(QFileInfo(config).path()));
        {
            QFile f(config);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        QProcessEnvironment env = m_env;
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral(".local/share")));

        ChildProcess app;
        QVERIFY2(launch(app, env), qPrintable(QString::fromLocal8Bit(app.process().readAllStandardError())));
        const QDBusMessage reply = m_conn->call(
            QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Status")), QDBus::Block, 5000);
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        const QString status = reply.arguments().value(0).toString();
        if (settingsKept) {
            QVERIFY2(status.contains(QStringLiteral("Status: Manual mode")), qPrintable(status));
            QVERIFY2(status.contains(QStringLiteral("Displays: Main display")), qPrintable(status));
        } else {
            QVERIFY2(status.contains(QStringLiteral("Displays: All displays")), qPrintable(status));
            QVERIFY2(!status.contains(QStringLiteral("Manual mode")), qPrintable(status));
        }
        QVERIFY2(!status.contains(QStringLiteral("File:")), qPrintable(status)); // nothing named a real file
        QTest::qWait(300);
        call(QStringLiteral("Quit"), true);
        QVERIFY(app.process().waitForFinished(10000));
        QCOMPARE(app.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.process().exitCode(), 0);
        QTRY_VERIFY(!serviceUp());

        // What the program leaves behind must load cleanly the next time.
        QSettings after(config, QSettings::IniFormat);
        QCOMPARE(after.status(), QSettings::NoError);
        if (settingsKept) {
            const std::optional<AppSettings> kept =
                AppSettings::fromJson(after.value(QStringLiteral("starvane.settings.v1")).toByteArray());
            QVERIFY(kept);
            QCOMPARE(kept->frequency, ChangeFrequency::manual);
            QCOMPARE(kept->displayScope, DisplayScope::mainDisplay);
        }
    }

    void killedDuringRotations()
    {
        const int runs = runsWanted();
        quint32 seed = quint32(qEnvironmentVariableIntValue("STARVANE_KILL_SEED"));
        if (seed == 0)
            seed = QRandomGenerator::global()->generate();
        qInfo("kill seed %u, %d runs", seed, runs);
        QRandomGenerator random(seed);
        int withPicture = 0;
        int leftovers = 0;
        QSet<QString> pictures;

        for (int run = 1; run <= runs; ++run) {
            // Another download of ours, cut short two days ago, and one from a minute ago that may
            // still belong to a running download: only the first may go.
            const QString stale = QDir(tmpDir()).filePath(temporaryDownloadPrefix + QStringLiteral("stale-%1.tmp").arg(run));
            const QString fresh = QDir(tmpDir()).filePath(temporaryDownloadPrefix + QStringLiteral("fresh-%1.tmp").arg(run));
            for (const QString &path : {stale, fresh}) {
                QFile f(path);
                QVERIFY(f.open(QIODevice::WriteOnly) && f.write("partial") == 7);
            }
            QVERIFY(backdate(stale, 2));

            ChildProcess app;
            QVERIFY2(launch(app, m_env), qPrintable(QStringLiteral("run %1: the program did not come up: %2")
                                                 .arg(run)
                                                 .arg(QString::fromLocal8Bit(app.process().readAllStandardError()))));
            // Answered only once start-up (and its clean-up) is over.
            call(QStringLiteral("Next"), true);
            QTest::qWait(int(random.bounded(1500)));
            QVERIFY2(app.process().state() == QProcess::Running,
                     qPrintable(QStringLiteral("run %1: the program died by itself: %2")
                                    .arg(run)
                                    .arg(QString::fromLocal8Bit(app.process().readAllStandardError()))));
            ::kill(pid_t(app.process().processId()), SIGKILL);
            QVERIFY(app.process().waitForFinished(5000));
            QTRY_VERIFY(!serviceUp());

            QString picture;
            checkStateLoads(&picture);
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QStringLiteral("run %1 left a state that does not load").arg(run)));
            if (!picture.isEmpty()) {
                ++withPicture;
                pictures.insert(picture);
            }
            QVERIFY2(!QFile::exists(stale), "a stale download survived the start");
            QVERIFY2(QFile::exists(fresh), "a recent download was removed");
            QVERIFY(QFile::remove(fresh));
            // Of the program's own downloads, only the one this kill cut short may remain.
            const QStringList left = downloads();
            leftovers += int(left.size());
            QVERIFY2(left.size() <= 1, qPrintable(left.join(QLatin1Char(' '))));
            for (const QString &name : left)
                QVERIFY(backdate(QDir(tmpDir()).filePath(name), 2));
        }

        // A last start that is left to finish its work cleans up after all the kills.
        ChildProcess app;
        QVERIFY(launch(app, m_env));
        call(QStringLiteral("Next"));
        QTest::qWait(3000);
        call(QStringLiteral("Quit"), true);
        QVERIFY(app.process().waitForFinished(10000));
        QCOMPARE(app.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(downloads(), QStringList());
        QString picture;
        checkStateLoads(&picture);
        QVERIFY2(!picture.isEmpty(), "no picture was ever applied");
        const QStringList cached = QDir(cacheDir()).entryList(QDir::Files);
        qInfo("%d kills: %d left a picture in the state (%d distinct), %d partial downloads seen, %d cached files "
              "at the end: %s",
              runs, withPicture, int(pictures.size()), leftovers, int(cached.size()),
              qPrintable(cached.join(QLatin1Char(' '))));
        QVERIFY(cached.size() <= 9);
        const QStringList configLeft = QDir(QFileInfo(stateFile()).path()).entryList(QDir::Files | QDir::Hidden);
        qInfo("config folder: %s", qPrintable(configLeft.join(QLatin1Char(' '))));
    }
};

QTEST_GUILESS_MAIN(TestAppFaults)
#include "tst_appfaults.moc"
