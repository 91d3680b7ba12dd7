// SPDX-License-Identifier: GPL-3.0-or-later
// A day of five-minute rotations squeezed into seconds: the real archive client against a local
// archive, the real cache on disk, a manual clock and sleeper. Memory must stay flat and the cache
// must stay within its bound at every step. STARVANE_SOAK_ROTATIONS sets the length (288 = one day).
#include "archive/boundeddownload.h"
#include "archive/hubbleapiclient.h"
#include "fakes.h"
#include "integrity/wallpapercache.h"
#include "store/keyvaluestore.h"
#include "store/wallpaperstore.h"
#include "wallpaperarchive.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QtTest>

using namespace Starvane;
using namespace Starvane::Testing;

namespace {
qint64 residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

int rotationsWanted()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("STARVANE_SOAK_ROTATIONS", &ok);
    return ok && n > 1 ? n : 30;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif
} // namespace

class TestSoak : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    ArchiveTestServer m_server;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("tmp"))));
        // Downloads land in the temporary folder: give them one we can inspect.
        qputenv("TMPDIR", m_dir.filePath(QStringLiteral("tmp")).toLocal8Bit());
        QVERIFY(m_server.start());
    }

    void frequencyChangedRightAfterFirstChange()
    {
        publishWallpaperArchive(m_server, 1, 12);
        QNetworkAccessManager nam;
        const QUrl base = m_server.baseURL();
        QTemporaryDir cacheDir;
        auto client = std::make_shared<HubbleAPIClient>(&nam, HubbleAPIClient::maxDownloadBytes, base, base);
        auto cache = std::make_shared<WallpaperCache>(QUrl::fromLocalFile(cacheDir.path()), wallpaperMinimumWidth,
                                                      wallpaperMinimumHeight, wallpaperMinimumAspectRatio,
                                                      wallpaperMaximumAspectRatio);
        auto applier = std::make_shared<RecordingApplier>();
        ManualClock clock;
        ManualSleeper sleeper;
        WallpaperStore store({client, cache, applier, std::make_shared<InMemoryKeyValueStore>()},
                             {.limits = {},
                              .shuffleBands = false,
                              .now = clock.function(),
                              .sleep = sleeper.function(),
                              .dataDirectory = {},
                              .keptDirectory = {}});
        store.start();
        QTRY_COMPARE_WITH_TIMEOUT(applier->calls.size(), 1, 20000);
        QTRY_VERIFY(!store.isLoading());
        store.updateFrequency(ChangeFrequency::every5Minutes);
        QTRY_VERIFY(sleeper.sleeping() > 0);
        clock.advance(300);
        sleeper.fireAll();
        QTRY_COMPARE_WITH_TIMEOUT(applier->calls.size(), 2, 20000);
        store.stop();
    }

    void dayOfFiveMinuteRotations()
    {
        const int rotations = rotationsWanted();
        const int perPage = 12;
        const QStringList ids = publishWallpaperArchive(m_server, rotations / perPage + 2, perPage);

        QNetworkAccessManager nam;
        const QUrl base = m_server.baseURL();
        const QString cacheDir = m_dir.filePath(QStringLiteral("Wallpapers"));
        auto client = std::make_shared<HubbleAPIClient>(&nam, HubbleAPIClient::maxDownloadBytes, base, base);
        auto cache = std::make_shared<WallpaperCache>(QUrl::fromLocalFile(cacheDir), wallpaperMinimumWidth,
                                                      wallpaperMinimumHeight, wallpaperMinimumAspectRatio,
                                                      wallpaperMaximumAspectRatio);
        auto applier = std::make_shared<RecordingApplier>();
        auto kv = std::make_shared<InMemoryKeyValueStore>();
        kv->setData(QStringLiteral("starvane.settings.v1"),
                    AppSettings{ChangeFrequency::every5Minutes, DisplayScope::allDisplays, false}.toJson());
        ManualClock clock;
        ManualSleeper sleeper;
        WallpaperStore store({client, cache, applier, kv}, {.limits = {},
                                                            .shuffleBands = false,
                                                            .now = clock.function(),
                                                            .sleep = sleeper.function(),
                                                            .dataDirectory = {},
                                                            .keptDirectory = {}});

        store.start(); // nothing shown yet: the first change happens at once
        QTRY_COMPARE_WITH_TIMEOUT(applier->calls.size(), 1, 20000);
        QTRY_VERIFY(!store.isLoading());

        qint64 rssAfterWarmUp = 0;
        qint64 rssFirst = residentKiB();
        int peakFiles = 0;
        QSet<QString> shownIDs;
        for (int i = 1; i <= rotations; ++i) {
            QTRY_COMPARE_WITH_TIMEOUT(applier->calls.size(), i, 20000);
            QTRY_VERIFY_WITH_TIMEOUT(!store.isLoading() && sleeper.sleeping() > 0, 20000);
            QVERIFY2(!store.errorMessage(), qPrintable(store.errorMessage().value_or(QString())));
            QVERIFY(store.currentImage());
            QVERIFY2(!shownIDs.contains(store.currentImage()->id), "an image came back within a day");
            shownIDs.insert(store.currentImage()->id);

            QSet<QString> onScreen;
            for (const std::optional<QUrl> &u : applier->shown) {
                if (u)
                    onScreen.insert(u->toLocalFile());
            }
            for (const QString &path : std::as_const(onScreen))
                QVERIFY2(QFile::exists(path), qPrintable(path + QStringLiteral(" is on screen but gone")));
            const auto cached = [&] { return QDir(cacheDir).entryList(QDir::Files).size(); };
            peakFiles = std::max(peakFiles, int(cached()));
            // The prune runs in the background after the apply: give it a moment, then hold it to the bound.
            QTRY_VERIFY2_WITH_TIMEOUT(cached() <= std::max<qsizetype>(8, onScreen.size()),
                                      qPrintable(QStringLiteral("%1 files cached").arg(cached())), 10000);

            if (i == 1)
                rssFirst = residentKiB();
            if (i == std::min(5, rotations))
                rssAfterWarmUp = residentKiB();
            if (i == rotations)
                break;
            clock.advance(300);
            sleeper.fireAll();
        }
        const qint64 rssLast = residentKiB();
        QVERIFY(QDir(m_dir.filePath(QStringLiteral("tmp"))).entryList({temporaryDownloadPrefix + QLatin1Char('*')}, QDir::Files).isEmpty());
        qInfo("soak: %d rotations, RSS first %lld KiB, after 5 %lld KiB, last %lld KiB, peak cached files %d",
              rotations, rssFirst, rssAfterWarmUp, rssLast, peakFiles);
        // A decoded 1920×1080 picture is 8 MiB: keeping one per rotation would blow far past this.
        if (!kSanitized)
            QVERIFY2(rssLast - rssAfterWarmUp < 48 * 1024, "memory grows with every rotation");
        QCOMPARE(ids.size() >= rotations, true);
        store.stop();
    }
};

QTEST_GUILESS_MAIN(TestSoak)
#include "tst_soak.moc"
