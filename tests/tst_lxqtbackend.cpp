// SPDX-License-Identifier: GPL-3.0-or-later
// The pcmanfm desktops (LXQt's pcmanfm-qt, LXDE's pcmanfm) when their program refuses: missing, failing,
// or with no desktop to take the picture. (The real programs drawing the picture are checked by pixels in
// the real-desktop suite.)
#include "desktop/linuxwallpaperapplier.h"
#include "desktop/lxdebackend.h"
#include "desktop/lxqtbackend.h"
#include "models/errors.h"

#include "awaittask.h"
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
};

QTEST_GUILESS_MAIN(TestLxqtBackend)
#include "tst_lxqtbackend.moc"
