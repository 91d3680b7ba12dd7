// SPDX-License-Identifier: GPL-3.0-or-later
// The sway backend against a real sway running headless (as an unprivileged user when we are root),
// checked by pixels taken with grim; and sway's own workspace events.
#include "desktop/linuxwallpaperapplier.h"
#include "desktop/swaybackend.h"
#include "desktop/swayipc.h"
#include "desktop/systemevents.h"
#include "desktopharness.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include "awaittask.h"
#include <QTest>

#include <unistd.h>

using namespace Starvane;

namespace {
constexpr uid_t unprivileged = 65534; // nobody: sway refuses to run as root
} // namespace

class TestSwayBackend : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_runtime;
    QString m_socket;
    QString m_waylandDisplay;
    Test::ChildProcess m_sway;
    QString m_strip;
    QString m_portrait;

    QList<DisplayTarget> outputs() const
    {
        return {{QStringLiteral("HEADLESS-1"), QRect(0, 0, 640, 480), QRect(0, 0, 640, 480), true,
                 QStringLiteral("HEADLESS-1")},
                {QStringLiteral("HEADLESS-2"), QRect(640, 0, 800, 600), QRect(640, 0, 800, 600), false,
                 QStringLiteral("HEADLESS-2")}};
    }

    QRgb pixel(const QString &output, int x, int y)
    {
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime);
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), m_waylandDisplay);
        const QString shot = m_dir.filePath(QStringLiteral("shot.png"));
        QFile::remove(shot);
        if (Test::runTool(QStringLiteral("grim"), {"-o", output, shot}, env) != 0) return 0;
        const QImage image(shot);
        return image.isNull() ? 0 : image.pixel(x, y) | 0xff000000u;
    }

    static bool near(QRgb actual, QRgb expected)
    {
        return std::abs(qRed(actual) - qRed(expected)) < 8 && std::abs(qGreen(actual) - qGreen(expected)) < 8 &&
               std::abs(qBlue(actual) - qBlue(expected)) < 8;
    }

    QString savePicture(const QImage &image, const QString &name)
    {
        const QString path = m_dir.filePath(name);
        if (!image.save(path)) return {};
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        return path;
    }

private Q_SLOTS:
    void initTestCase()
    {
        for (const char *tool : {"sway", "swaybg", "grim"}) {
            if (Test::findProgram(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(
                    QStringLiteral("%1 is not installed (packages sway swaybg grim)").arg(QLatin1String(tool))));
        }
        const bool root = ::geteuid() == 0;
        if (root && Test::findProgram(QStringLiteral("setpriv")).isEmpty())
            QSKIP("setpriv is missing (package util-linux): sway refuses to run as root");

        // swaybg runs as the unprivileged user: it must be able to read our pictures.
        QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                        QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup |
                                                        QFile::ExeGroup));
        m_runtime = m_dir.filePath(QStringLiteral("run"));
        QVERIFY(QDir().mkpath(m_runtime));
        if (root) QCOMPARE(::chown(m_runtime.toLocal8Bit().constData(), unprivileged, unprivileged), 0);
        QFile::setPermissions(m_runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        const QString config = m_dir.filePath(QStringLiteral("sway.cfg"));
        QFile cfg(config);
        QVERIFY(cfg.open(QIODevice::WriteOnly));
        cfg.write("output HEADLESS-1 mode 640x480 position 0 0\n"
                  "output HEADLESS-2 mode 800x600 position 640 0\n"
                  "xwayland disable\n");
        cfg.close();
        QFile::setPermissions(config, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);

        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime);
        env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
        env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
        env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
        env.insert(QStringLiteral("WLR_HEADLESS_OUTPUTS"), QStringLiteral("2"));
        QStringList arguments{QStringLiteral("-c"), config};
        QString program = QStringLiteral("sway");
        if (root) {
            arguments = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "--pdeathsig", "TERM", "sway"} +
                        arguments;
            program = QStringLiteral("setpriv");
        }
        QVERIFY(m_sway.start(Test::findProgram(program), arguments, env));

        QTRY_VERIFY_WITH_TIMEOUT(!QDir(m_runtime).entryList({"sway-ipc.*.sock"}, QDir::System).isEmpty() &&
                                     !QDir(m_runtime).entryList({"wayland-*"}, QDir::System).isEmpty(),
                                 10000);
        m_socket = QDir(m_runtime).filePath(QDir(m_runtime).entryList({"sway-ipc.*.sock"}, QDir::System).first());
        m_waylandDisplay = QDir(m_runtime).entryList({"wayland-?"}, QDir::System).value(0);
        QVERIFY(!m_waylandDisplay.isEmpty());

        const QImage strip = Test::makeStripPicture();
        const QImage portrait = Test::makePortraitPicture();
        // A space in the name: sway needs it quoted.
        m_strip = savePicture(strip, QStringLiteral("strip ab12.png"));
        m_portrait = savePicture(portrait, QStringLiteral("portrait cd34.png"));
        QVERIFY(!m_strip.isEmpty() && !m_portrait.isEmpty());
    }

    void cleanupTestCase() { m_sway.stop(); }

    void everyOutputFillsAndCrops()
    {
        LinuxWallpaperApplier applier(std::make_unique<SwayBackend>(m_socket), [this] { return outputs(); });
        Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(m_strip), DisplayScope::allDisplays, {}));
        // 640×480: the strip scales to 1440×480 and loses 400 columns each side.
        QTRY_VERIFY_WITH_TIMEOUT(near(pixel("HEADLESS-1", 40, 240), qRgb(255, 0, 0)), 10000);
        QVERIFY(near(pixel("HEADLESS-1", 320, 240), qRgb(0, 255, 0)));
        QVERIFY(near(pixel("HEADLESS-1", 600, 240), qRgb(0, 0, 255)));
        // 800×600: 1800×600, 500 columns lost each side.
        QTRY_VERIFY_WITH_TIMEOUT(near(pixel("HEADLESS-2", 50, 300), qRgb(255, 0, 0)), 10000);
        QVERIFY(near(pixel("HEADLESS-2", 400, 300), qRgb(0, 255, 0)));
        QVERIFY(near(pixel("HEADLESS-2", 750, 300), qRgb(0, 0, 255)));
        QCOMPARE(Testing::awaitTask(applier.currentDesktopImageURLs()), QSet<QUrl>{QUrl::fromLocalFile(m_strip)});
    }

    void mainDisplayOnly()
    {
        LinuxWallpaperApplier applier(std::make_unique<SwayBackend>(m_socket), [this] { return outputs(); });
        Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(m_strip), DisplayScope::allDisplays, {}));
        Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(m_portrait), DisplayScope::mainDisplay, {}));
        // 640×480: the portrait scales to 640×1280, the middle 480 rows: yellow above magenta.
        QTRY_VERIFY_WITH_TIMEOUT(near(pixel("HEADLESS-1", 320, 100), qRgb(255, 255, 0)), 10000);
        QVERIFY(near(pixel("HEADLESS-1", 320, 400), qRgb(255, 0, 255)));
        QVERIFY(near(pixel("HEADLESS-2", 50, 300), qRgb(255, 0, 0)));
        QCOMPARE(Testing::awaitTask(applier.desktopImageURLs(DisplayScope::allDisplays)),
                 (QList<std::optional<QUrl>>{QUrl::fromLocalFile(m_portrait), QUrl::fromLocalFile(m_strip)}));
    }

    void eachOutputItsOwnPicture()
    {
        LinuxWallpaperApplier applier(std::make_unique<SwayBackend>(m_socket), [this] { return outputs(); });
        Testing::awaitTask(applier.applyDisplayWallpapers(
            {{"HEADLESS-2", QUrl::fromLocalFile(m_portrait)}, {"HEADLESS-1", QUrl::fromLocalFile(m_strip)}}, {}));
        QTRY_VERIFY_WITH_TIMEOUT(near(pixel("HEADLESS-2", 400, 100), qRgb(255, 255, 0)), 10000);
        QVERIFY(near(pixel("HEADLESS-2", 400, 500), qRgb(255, 0, 255)));
        QTRY_VERIFY_WITH_TIMEOUT(near(pixel("HEADLESS-1", 320, 240), qRgb(0, 255, 0)), 10000);
        QCOMPARE(Testing::awaitTask(applier.desktopImageURLs(DisplayScope::allDisplays)),
                 (QList<std::optional<QUrl>>{QUrl::fromLocalFile(m_strip), QUrl::fromLocalFile(m_portrait)}));
    }

    void workspaceSwitchIsNoticed()
    {
        SystemEvents events;
        QSignalSpy changed(&events, &SystemEvents::activeWorkspaceChanged);
        events.watchSwayWorkspaces(m_socket);
        QTest::qWait(200); // the subscription is in place before we switch
        QLocalSocket control;
        control.connectToServer(m_socket);
        QVERIFY(control.waitForConnected(3000));
        const auto reply = Testing::awaitTask(SwayIpc::request(&control, SwayIpc::runCommand, "workspace 7"));
        QVERIFY(reply && reply->payload.contains("true"));
        QVERIFY(changed.wait(5000));
    }
};

QTEST_GUILESS_MAIN(TestSwayBackend)
#include "tst_swaybackend.moc"
