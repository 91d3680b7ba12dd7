// SPDX-License-Identifier: GPL-3.0-or-later
// LXQt's backend when pcmanfm-qt refuses: missing, failing, or with no desktop to take the picture. (The
// real pcmanfm-qt drawing the picture is checked by pixels in tst_realdesktops.)
#include "desktop/linuxwallpaperapplier.h"
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
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("failure");
        QTest::newRow("not installed") << "/nonexistent/pcmanfm-qt"
                                       << "pcmanfm-qt could not be started";
        QTest::newRow("fails") << "/bin/false"
                               << "false failed with exit code 1";
        QTest::newRow("no desktop takes it") << "/bin/true"
                                             << "pcmanfm-qt did not take the picture";
    }
    void refusals()
    {
        QFETCH(QString, program);
        QFETCH(QString, failure);
        qputenv("XDG_CACHE_HOME", m_dir.filePath(QStringLiteral("cache")).toUtf8());
        const QString config = m_dir.filePath(QStringLiteral("config"));
        QVERIFY(QDir().mkpath(config + QStringLiteral("/pcmanfm-qt/lxqt")));
        const QString settings = config + QStringLiteral("/pcmanfm-qt/lxqt/settings.conf");
        QFile::remove(settings);
        QFile before(settings);
        QVERIFY(before.open(QIODevice::WriteOnly));
        before.write("[Desktop]\nWallpaper=/usr/share/lxqt/wallpapers/before.png\nWallpaperMode=zoom\n");
        before.close();
        const QString picture = m_dir.filePath(QStringLiteral("Orion 100% 'quer' ünd \"rosa\".jpg"));
        QImage image(64, 36, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(picture, "JPEG"));

        LinuxWallpaperApplier applier(std::make_unique<LxqtBackend>(program, config), [] {
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
        QCOMPARE(Testing::awaitTask(applier.currentDesktopImageURLs()),
                 QSet<QUrl>{QUrl::fromLocalFile(QStringLiteral("/usr/share/lxqt/wallpapers/before.png"))});
        QVERIFY(QFile::exists(picture));
        QVERIFY(QDir(m_dir.filePath(QStringLiteral("cache/Starvane/lxqt"))).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLxqtBackend)
#include "tst_lxqtbackend.moc"
