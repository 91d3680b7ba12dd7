// SPDX-License-Identifier: GPL-3.0-or-later
// The cache folder turns unwritable (read-only, full, not a folder at all) after a picture is shown:
// the next change must fail with a clear message while the shown picture and its file stay.
#include "desktopharness.h"
#include "fakes.h"
#include "integrity/wallpapercache.h"
#include "store/keyvaluestore.h"
#include "store/wallpaperstore.h"
#include "wallpaperarchive.h"

#include "awaittask.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace Starvane;
using namespace Starvane::Testing;

namespace {
bool mountTool(const QStringList &arguments)
{
    return Starvane::Test::runTool(QStringLiteral("mount"), arguments, QProcessEnvironment::systemEnvironment()) == 0;
}

bool canWriteIn(const QString &dir)
{
    QFile probe(dir + QStringLiteral("/.probe"));
    const bool ok = probe.open(QIODevice::WriteOnly) && probe.write("x") == 1 && probe.flush();
    probe.close();
    probe.remove();
    return ok;
}
} // namespace

class TestCacheFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unwritableCacheKeepsCurrentPicture_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("expectedText"); // part of the message the user sees
        QTest::newRow("read-only folder") << "readonly" << "Read-only file system";
        QTest::newRow("full disk") << "full" << "No space left on device";
        QTest::newRow("folder replaced by a file") << "file" << "Not a directory";
    }

    void unwritableCacheKeepsCurrentPicture()
    {
        QFETCH(QString, fault);
        QFETCH(QString, expectedText);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString tmp = dir.filePath(QStringLiteral("tmp"));
        const QString cacheDir = dir.filePath(QStringLiteral("Wallpapers"));
        QVERIFY(QDir().mkpath(tmp));
        QVERIFY(QDir().mkpath(cacheDir));

        bool mounted = false;
        const bool root = ::geteuid() == 0;
        if (fault == QLatin1String("full") || (fault == QLatin1String("readonly") && root)) {
            // chmod does not stop root, and only a file system can fill up: a tiny tmpfs does both.
            if (!root)
                QSKIP("a full disk needs a tmpfs of our own, which needs root");
            mounted = mountTool({QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                 QStringLiteral("size=1m"), QStringLiteral("tmpfs"), cacheDir});
            if (!mounted)
                QSKIP("mount -t tmpfs is not permitted here");
        }
        const auto unmount = qScopeGuard([&] {
            if (mounted)
                Starvane::Test::runTool(QStringLiteral("umount"), {cacheDir}, QProcessEnvironment::systemEnvironment());
            QFile::setPermissions(cacheDir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        });

        auto archive = std::make_shared<ScriptedArchive>();
        archive->temporaryDir = tmp;
        archive->pageHandler = [](int page) {
            QList<HubbleImage> items;
            for (int i = 1; i <= 8; ++i)
                items << makeImage(QStringLiteral("p%1-%2").arg(page).arg(i));
            return items;
        };
        int seed = 0;
        archive->downloadHandler = [&seed](const QUrl &) { return makeWallpaperJPEG({1920, 1080}, ++seed, 60); };
        auto cache = std::make_shared<WallpaperCache>(QUrl::fromLocalFile(cacheDir), wallpaperMinimumWidth,
                                                      wallpaperMinimumHeight, wallpaperMinimumAspectRatio,
                                                      wallpaperMaximumAspectRatio);
        auto applier = std::make_shared<RecordingApplier>();
        ManualClock clock;
        ManualSleeper sleeper;
        WallpaperStore store({archive, cache, applier, std::make_shared<InMemoryKeyValueStore>()},
                             {.limits = {},
                              .shuffleBands = false,
                              .now = clock.function(),
                              .sleep = sleeper.function(),
                              .dataDirectory = {},
                              .keptDirectory = {}});

        Testing::awaitTask(store.applyNextWallpaper());
        QVERIFY2(!store.errorMessage(), qPrintable(store.errorMessage().value_or(QString())));
        QVERIFY(store.currentLocalFileURL());
        const QUrl shown = *store.currentLocalFileURL();
        const std::optional<HubbleImage> shownImage = store.currentImage();
        QVERIFY(QFile::exists(shown.toLocalFile()));
        const qsizetype applied = applier->calls.size();

        if (fault == QLatin1String("readonly")) {
            if (mounted)
                QVERIFY(mountTool({QStringLiteral("-o"), QStringLiteral("remount,ro"), cacheDir}));
            else
                QVERIFY(QFile::setPermissions(cacheDir, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        } else if (fault == QLatin1String("full")) {
            QFile filler(cacheDir + QStringLiteral("/.filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'x');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
            filler.close();
        } else {
            // Every cached file gone with its folder, and a file squatting on the folder's name: the
            // shown picture then lives elsewhere, so keep a copy to point at.
            QVERIFY(QDir().rename(cacheDir, dir.filePath(QStringLiteral("moved"))));
            QFile squatter(cacheDir);
            QVERIFY(squatter.open(QIODevice::WriteOnly));
        }
        if (fault != QLatin1String("file"))
            QVERIFY2(!canWriteIn(cacheDir), "the fault did not take");

        Testing::awaitTask(store.applyNextWallpaper());
        QVERIFY(!store.isLoading());
        QVERIFY(store.errorMessage());
        const QString message = *store.errorMessage();
        qInfo("%s: %s", qPrintable(fault), qPrintable(message));
        QVERIFY2(message.startsWith(QStringLiteral("Cannot save the wallpaper in ") + cacheDir + QStringLiteral(": ")),
                 qPrintable(message));
        QVERIFY2(message.contains(expectedText), qPrintable(message));
        QCOMPARE(applier->calls.size(), applied);
        QCOMPARE(store.currentLocalFileURL(), std::optional<QUrl>(shown));
        QCOMPARE(store.currentImage(), shownImage);
        if (fault != QLatin1String("file")) {
            // The shown file stays, and nothing half-copied is left next to it.
            QCOMPARE(QDir(cacheDir).entryList(QDir::Files), QStringList{QFileInfo(shown.toLocalFile()).fileName()});
        }
        QCOMPARE(QDir(tmp).entryList(QDir::Files), QStringList()); // the downloads were not left behind
    }
};

QTEST_GUILESS_MAIN(TestCacheFaults)
#include "tst_cachefaults.moc"
