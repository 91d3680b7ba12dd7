// SPDX-License-Identifier: GPL-3.0-or-later
// The pcmanfm desktops (LXQt's pcmanfm-qt, LXDE's pcmanfm) when their program refuses: missing, failing,
// or with no desktop to take the picture. (The real programs drawing the picture are checked by pixels in
// the real-desktop suite.)
#include "desktop/linuxwallpaperapplier.h"
#include "desktop/lxdebackend.h"
#include "desktop/lxqtbackend.h"
#include "models/errors.h"

#include "awaittask.h"
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace Starvane;

class TestLxqtBackend : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private Q_SLOTS:
    void refusals_data()
    {
        QTest::addColumn<bool>("lxde");
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("desktopDrawn");
        QTest::addColumn<QString>("failure");
        QTest::newRow("LXQt: not installed")
            << false << "/nonexistent/pcmanfm-qt" << true << "pcmanfm-qt could not be started";
        QTest::newRow("LXQt: fails") << false << "/bin/false" << true << "false failed with exit code 1";
        QTest::newRow("LXQt: no desktop takes it")
            << false << "/bin/true" << true << "pcmanfm-qt did not take the picture";
        QTest::newRow("LXDE: not installed")
            << true << "/nonexistent/pcmanfm" << true << "pcmanfm could not be started";
        QTest::newRow("LXDE: fails") << true << "/bin/false" << true << "false failed with exit code 1";
        QTest::newRow("LXDE: no desktop takes it") << true << "/bin/true" << true << "pcmanfm did not take the picture";
        // pcmanfm would start as a file manager and wait: it is never run without its desktop.
        QTest::newRow("LXDE: desktop not drawn")
            << true << "/nonexistent/pcmanfm" << false << "pcmanfm is not drawing the desktop";
    }
    void refusals()
    {
        QFETCH(bool, lxde);
        QFETCH(QString, program);
        QFETCH(bool, desktopDrawn);
        QFETCH(QString, failure);
        qputenv("XDG_CACHE_HOME", m_dir.filePath(QStringLiteral("cache")).toUtf8());
        const QString config = m_dir.filePath(QStringLiteral("config"));
        const QString folder = config + (lxde ? QStringLiteral("/pcmanfm/LXDE") : QStringLiteral("/pcmanfm-qt/lxqt"));
        QVERIFY(QDir().mkpath(folder));
        const QString settings =
            folder + (lxde ? QStringLiteral("/desktop-items-0.conf") : QStringLiteral("/settings.conf"));
        const QString beforePicture = QStringLiteral("/usr/share/wallpapers/before, with a comma.png");
        QFile::remove(settings);
        QFile before(settings);
        QVERIFY(before.open(QIODevice::WriteOnly));
        before.write(lxde ? "[*]\nwallpaper_mode=crop\nwallpaper=/usr/share/wallpapers/before, with a comma.png\n"
                          : "[Desktop]\nWallpaper=\"/usr/share/wallpapers/before, with a comma.png\"\n"
                            "WallpaperMode=zoom\n");
        before.close();
        const QString picture = m_dir.filePath(QStringLiteral("Orion 100% 'quer' ünd \"rosa\".jpg"));
        QImage image(64, 36, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(picture, "JPEG"));

        std::unique_ptr<DesktopBackend> backend;
        if (lxde)
            backend = std::make_unique<LxdeBackend>(program, config, [desktopDrawn] { return desktopDrawn; });
        else
            backend = std::make_unique<LxqtBackend>(program, config);
        LinuxWallpaperApplier applier(std::move(backend), [] {
            return QList<DisplayTarget>{{QStringLiteral("screen"), QRect(0, 0, 800, 600), QRect(0, 0, 800, 600), true,
                                         QStringLiteral("screen")}};
        });
        try {
            Testing::awaitTask(applier.applyWallpaper(QUrl::fromLocalFile(picture), DisplayScope::allDisplays, {}));
            QFAIL("a refusal counted as success");
        } catch (const WallpaperApplyError &e) {
            QVERIFY2(e.underlying().startsWith(failure), qPrintable(e.underlying()));
        }
        // The previous picture and its settings stay as they were; nothing of ours is left behind.
        QCOMPARE(Testing::awaitTask(applier.currentDesktopImageURLs()), QSet<QUrl>{QUrl::fromLocalFile(beforePicture)});
        QVERIFY(QFile::exists(picture));
        QVERIFY(QDir(m_dir.filePath(QStringLiteral("cache/Starvane/lxqt"))).isEmpty());
    }

    // pcmanfm crops a picture to each display itself and spans the combined one of "each display"; a
    // stand-in stores what it is given as the real one does, in its GLib key file.
    void lxdeCropsOrSpans_data()
    {
        QTest::addColumn<bool>("eachDisplay");
        QTest::addColumn<QString>("mode");
        QTest::newRow("one picture, cropped") << false << "crop";
        QTest::newRow("each display, combined and spanned") << true << "screen";
    }
    void lxdeCropsOrSpans()
    {
        QFETCH(bool, eachDisplay);
        QFETCH(QString, mode);
        const QString config = m_dir.filePath(QStringLiteral("lxde-config"));
        const QString settings = config + QStringLiteral("/pcmanfm/LXDE/desktop-items-0.conf");
        QVERIFY(QDir().mkpath(QFileInfo(settings).absolutePath()));
        const QString program = m_dir.filePath(QStringLiteral("pcmanfm"));
        QFile script(program);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '[*]\\nwallpaper_mode=%s\\nwallpaper=%s\\n' \"${2#--wallpaper-mode=}\" "
                     "\"${1#--set-wallpaper=}\" >\"$LXDE_SETTINGS\"\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeUser));
        qputenv("LXDE_SETTINGS", settings.toUtf8());
        const QString picture = m_dir.filePath(QStringLiteral("Orion 100% 'quer' ünd \"rosa\".jpg"));
        QImage image(64, 36, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(picture, "JPEG"));

        const QList<DisplayTarget> displays{
            {QStringLiteral("left"), QRect(0, 0, 800, 600), QRect(0, 0, 800, 600), true, QStringLiteral("left")},
            {QStringLiteral("right"), QRect(800, 0, 600, 800), QRect(800, 0, 600, 800), false,
             QStringLiteral("right")}};
        LinuxWallpaperApplier applier(std::make_unique<LxdeBackend>(program, config, [] { return true; }),
                                      [displays] { return displays; });
        const QUrl file = QUrl::fromLocalFile(picture);
        if (eachDisplay)
            Testing::awaitTask(
                applier.applyDisplayWallpapers({{QStringLiteral("left"), file}, {QStringLiteral("right"), file}}, {}));
        else
            Testing::awaitTask(applier.applyWallpaper(file, DisplayScope::allDisplays, {}));

        QFile stored(settings);
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(stored.readAll())
                    .split(QLatin1Char('\n'))
                    .contains(QStringLiteral("wallpaper_mode=") + mode));
        const QSet<QUrl> shown = Testing::awaitTask(applier.currentDesktopImageURLs());
        if (eachDisplay)
            QVERIFY2(QFileInfo(shown.begin()->toLocalFile()).fileName().startsWith(QStringLiteral("spanned-")),
                     qPrintable(shown.begin()->toLocalFile()));
        else
            QCOMPARE(shown, QSet<QUrl>{file});
    }
};

QTEST_GUILESS_MAIN(TestLxqtBackend)
#include "tst_lxqtbackend.moc"
