// SPDX-License-Identifier: GPL-3.0-or-later
// The fetch pipeline and the catalog pool, against fakes.
#include "storeharness.h"

#include "models/errors.h"
#include "models/fileurls.h"
#include "store/catalogpool.h"
#include "store/wallpaperhistory.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace Starvane;
using namespace Starvane::Testing;
using namespace std::chrono_literals;

class TestStorePipeline : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { QStandardPaths::setTestModeEnabled(true); }

    void twoRequestsStartOneFetch()
    {
        StoreHarness h;
        auto &store = h.build();
        store.requestNextWallpaper();
        store.requestNextWallpaper();
        QVERIFY(!store.isLoading()); // pending: the fetch runs from the event loop
        QTRY_VERIFY(!h.applier->calls.isEmpty() && !store.isLoading());
        h.awaitFetch(); // whatever is still on the road
        QCOMPARE(h.applier->calls.size(), 1);
        QCOMPARE(h.archive->verifiedIDs.size(), 1);
    }

    void successUpdatesStateScheduleAndStorage()
    {
        StoreHarness h;
        auto &store = h.build();
        QSignalSpy loading(&store, &WallpaperStore::isLoadingChanged);
        h.runFetch();

        QCOMPARE(loading.count(), 2);
        QVERIFY(store.currentImage());
        QCOMPARE(store.currentImage()->id, QStringLiteral("p1-1"));
        QCOMPARE(store.currentImage()->width, 3840);
        QCOMPARE(h.applier->calls.last().file, *store.currentLocalFileURL());
        QCOMPARE(store.errorMessage(), std::nullopt);
        QCOMPARE(store.nextChangeDate(), h.clock.now().addSecs(3600));
        QCOMPARE(h.kv->string(StoreKeys::currentFilePath), store.currentLocalFileURL()->toLocalFile());
        QCOMPARE(h.kv->stringArray(StoreKeys::recentIDs), QStringList{QStringLiteral("p1-1")});
        QCOMPARE(h.kv->stringArray(StoreKeys::recentHashes), QStringList{StoreHarness::hashOf(QStringLiteral("p1-1"))});
        QTRY_COMPARE(h.cache->pruneCalls(), 1);
        QVERIFY(h.cache->lastKeeping().contains(*store.currentLocalFileURL()));
        QVERIFY(h.temporaryFilesLeft().isEmpty());
        QCOMPARE(h.sleeper.requestedMs, QList<qint64>{3'600'000});
    }

    void eachDisplayDrawsForItsShape_data()
    {
        QTest::addColumn<bool>("portraitOffered");
        QTest::addColumn<bool>("onePage"); // the catalog's further pages answer 404
        QTest::newRow("portrait pictures offered") << true << false;
        // A portrait display still gets the best of what there is, never a failure.
        QTest::newRow("landscape only") << false << false;
        QTest::newRow("landscape only, one page") << false << true;
    }
    void eachDisplayDrawsForItsShape()
    {
        QFETCH(bool, portraitOffered);
        QFETCH(bool, onePage);
        StoreHarness h;
        h.applier->targets = {makeDisplay("DP-1", 1920, 1080, 0, true), makeDisplay("TALL", 1080, 1920, 1920),
                              makeDisplay("WIDE", 2560, 1080, 3000)};
        h.archive->pageHandler = [portraitOffered, onePage](int page) {
            if (onePage && page > 1) throw HubbleAPIError::httpStatus(404);
            QList<HubbleImage> items;
            for (int i = 1; i <= 4; ++i)
                items << makeImage(QStringLiteral("p%1-%2").arg(page).arg(i));
            if (portraitOffered) items.insert(2, makeImage(QStringLiteral("p%1-tall").arg(page), 2160, 3840));
            return items;
        };
        AppSettings settings;
        settings.displayScope = DisplayScope::eachDisplay;
        h.plantState(settings);
        auto &store = h.build();
        store.requestNextWallpaper();
        QTRY_VERIFY(!h.applier->displayCalls.isEmpty() && !store.isLoading());
        QCOMPARE(store.errorMessage(), std::nullopt);

        // One change gave every display its own file, the portrait one a portrait picture when there was one.
        const QList<DisplayWallpaper> given = h.applier->displayCalls.last();
        QCOMPARE(given.size(), 3);
        QSet<QUrl> files;
        for (const DisplayWallpaper &w : given) {
            files.insert(w.file);
            const bool tall = w.file.fileName().contains(QLatin1String("tall"));
            QCOMPARE(tall, w.displayKey == QLatin1String("TALL") && portraitOffered);
        }
        QCOMPARE(files.size(), 3);
        const QList<DisplayState> states = store.displayStates();
        QCOMPARE(states.size(), 3);
        QCOMPARE(store.currentImage()->id, states.first().record->picture.image.id);
        QStringList historyDisplays;
        for (const HistoryEntry &e : store.history().entries())
            historyDisplays << e.display;
        historyDisplays.sort();
        QCOMPARE(historyDisplays, (QStringList{"DP-1", "TALL", "WIDE"}));
        QTRY_VERIFY(h.cache->lastKeeping().contains(files));

        // A display that appears gets a picture of its own; the others keep theirs.
        h.applier->targets << makeDisplay("NEW", 1920, 1200, 5560);
        store.handleDisplaysChanged();
        QTRY_VERIFY(h.applier->displayCalls.size() == 2 && !store.isLoading());
        QCOMPARE(h.applier->displayCalls.last().size(), 1);
        QCOMPARE(h.applier->displayCalls.last().first().displayKey, QStringLiteral("NEW"));
        QVERIFY(!files.contains(h.applier->displayCalls.last().first().file));

        // One that goes away keeps its record for its return, also across a restart.
        h.applier->targets.removeLast();
        store.handleDisplaysChanged();
        h.awaitFetch();
        QCOMPARE(h.applier->displayCalls.size(), 2);
        ScreenState again(h.kv, h.dataDir());
        again.restore();
        QCOMPARE(again.displays().keys(), (QStringList{"DP-1", "NEW", "TALL", "WIDE"}));
    }

    void lockScreenIsOptIn()
    {
        StoreHarness h;
        h.applier->lockScreen = true;
        auto &store = h.build();
        h.runFetch();
        // Off by default, and really off: nothing goes to the lock screen.
        QVERIFY(!store.lockScreenEnabled());
        QVERIFY(h.applier->lockScreenCalls.isEmpty());
        store.setLockScreenEnabled(true);
        QTRY_COMPARE(h.applier->lockScreenCalls, QList<QUrl>{*store.currentLocalFileURL()});
        QCOMPARE(h.kv->integer(StoreKeys::lockScreen), 1);
        h.runFetch();
        QTRY_COMPARE(h.applier->lockScreenCalls.size(), 2);
        QCOMPARE(h.applier->lockScreenCalls.last(), *store.currentLocalFileURL());
        store.setLockScreenEnabled(false);
        h.runFetch();
        h.awaitFetch(); // a lock screen change would follow the change on the same road
        QCOMPARE(h.applier->lockScreenCalls.size(), 2);
        // A desktop without a lock screen picture keeps the setting off.
        h.applier->lockScreen = false;
        store.setLockScreenEnabled(true);
        QVERIFY(!store.lockScreenEnabled());
    }

    void fallbackVariant_data()
    {
        QTest::addColumn<bool>("distinctFallback");
        QTest::addColumn<QString>("applied");
        QTest::newRow("fallback equals primary: downloaded once, next candidate") << false << "next";
        QTest::newRow("distinct fallback: tried once and used") << true << "heic1";
    }

    void fallbackVariant()
    {
        QFETCH(bool, distinctFallback);
        QFETCH(QString, applied);
        StoreHarness h;
        const HubbleImage base = makeImage(QStringLiteral("heic1"));
        const QUrl fallback = distinctFallback ? QUrl(QStringLiteral("https://cdn.example.test/archives/images/wallpaper5/heic1.jpg"))
                                               : base.imageURL;
        h.archive->pageHandler = [&](int) {
            return QList<HubbleImage>{makeImage(QStringLiteral("heic1"), 3840, 2160, fallback), makeImage(QStringLiteral("next"))};
        };
        h.archive->downloadHandler = [](const QUrl &url) -> QByteArray {
            if (url.path().contains(QLatin1String("/large/heic1")))
                throw HubbleAPIError::httpStatus(404);
            return url.toString().toUtf8();
        };
        h.build();
        h.runFetch();
        QCOMPARE(h.archive->downloadedURLs.count(base.imageURL), 1);
        QCOMPARE(h.archive->downloadedURLs.size(), 2);
        QCOMPARE(h.store->currentImage()->id, applied);
        QCOMPARE(h.store->errorMessage(), std::nullopt);
        QVERIFY(h.temporaryFilesLeft().isEmpty());
    }

    void sixDuplicatesEndInEmptyCatalogAndKeepOnlyTheShownFile()
    {
        StoreHarness h;
        h.archive->pageHandler = [](int page) {
            QList<HubbleImage> items;
            for (int i = 1; i <= 6 && page == 1; ++i)
                items << makeImage(QStringLiteral("dup%1").arg(i));
            return items;
        };
        QStringList hashes;
        for (int i = 1; i <= 6; ++i)
            hashes << StoreHarness::hashOf(QStringLiteral("dup%1").arg(i));
        h.kv->setStringArray(StoreKeys::recentHashes, hashes);
        auto &store = h.build();
        // The desktop (some other workspace) still shows the file the second duplicate will be saved as.
        const QUrl shown = QUrl::fromLocalFile(h.cacheDir() + QStringLiteral("/dup2-2.jpg"));
        h.applier->shown[1] = shown;
        h.runFetch();
        QCOMPARE(store.errorMessage(), HubbleAPIError::emptyCatalog().description());
        QCOMPARE(h.cacheFiles(), QStringList{QStringLiteral("dup2-2.jpg")});
        QVERIFY(h.applier->calls.isEmpty());
        store.togglePaused(); // persists what the failed fetch remembered
        QCOMPARE(h.kv->stringArray(StoreKeys::recentIDs)->size(), 6);
        QVERIFY(h.temporaryFilesLeft().isEmpty());
    }

    void applyFailureEndsTheFetchAtOnce()
    {
        StoreHarness h;
        h.applier->failWith = QStringLiteral("the compositor refused");
        auto &store = h.build();
        h.runFetch();
        QCOMPARE(h.archive->verifiedIDs.size(), 1);
        QCOMPARE(store.errorMessage(), QStringLiteral("The desktop could not update all displays: the compositor refused"));
        QVERIFY(h.cacheFiles().isEmpty());
        QCOMPARE(store.currentImage(), std::nullopt);
    }

    void successOnTheSixthAttemptShowsNoError()
    {
        StoreHarness h;
        h.archive->pageHandler = [](int page) {
            QList<HubbleImage> items;
            for (int i = 1; i <= 6 && page == 1; ++i)
                items << makeImage(QStringLiteral("c%1").arg(i));
            return items;
        };
        h.archive->verifyHandler = [](const HubbleImage &c) {
            if (c.id != QLatin1String("c6"))
                throw HubbleAPIError::ineligibleImage(QStringLiteral("an artist's impression"));
            HubbleImage v = c;
            v.credit = QStringLiteral("ESA/Hubble, NASA and J. Doe");
            return v;
        };
        auto &store = h.build();
        h.runFetch();
        QCOMPARE(store.errorMessage(), std::nullopt);
        QCOMPARE(store.currentImage()->id, QStringLiteral("c6"));
        QCOMPARE(store.currentImage()->credit, QStringLiteral("ESA/Hubble, NASA and J. Doe"));
        QCOMPARE(h.kv->stringArray(StoreKeys::recentIDs), (QStringList{"c1", "c2", "c3", "c4", "c5", "c6"}));
    }

    void lastCandidateErrorIsShownAndAutomaticFailureRetriesIn300s_data()
    {
        QTest::addColumn<ChangeFrequency>("frequency");
        QTest::newRow("daily") << ChangeFrequency::daily;
        QTest::newRow("5 minutes") << ChangeFrequency::every5Minutes;
    }

    void lastCandidateErrorIsShownAndAutomaticFailureRetriesIn300s()
    {
        QFETCH(ChangeFrequency, frequency);
        StoreHarness h;
        h.archive->downloadHandler = [](const QUrl &) { return QByteArray("corrupt bytes"); };
        h.kv->setData(StoreKeys::settings, AppSettings{frequency, DisplayScope::allDisplays, false}.toJson());
        auto &store = h.build();
        store.start(); // no current image: an automatic fetch starts
        QTRY_VERIFY(!store.isLoading() && store.errorMessage());
        QCOMPARE(*store.errorMessage(), WallpaperCacheError::truncatedImageData().description());
        QCOMPARE(h.archive->verifiedIDs.size(), 6);
        QCOMPARE(store.nextChangeDate(), h.clock.now().addSecs(300));
        QCOMPARE(h.kv->date(StoreKeys::nextChangeDate), h.clock.now().addSecs(300));
        QCOMPARE(h.sleeper.requestedMs.last(), 300'000);
        QVERIFY(h.temporaryFilesLeft().isEmpty());
    }

    void failedUserFetchLeavesAFutureScheduleAlone()
    {
        StoreHarness h;
        h.archive->pageHandler = [](int) -> QList<HubbleImage> { throw HubbleAPIError::httpStatus(503); };
        const QDateTime next = h.clock.now().addSecs(600);
        h.kv->setDate(StoreKeys::nextChangeDate, next);
        auto &store = h.build();
        h.runFetch();
        // The archive's own words, and no retry to promise.
        QCOMPARE(store.errorMessage(), QStringLiteral("ESA/Hubble archive returned HTTP 503."));
        QCOMPARE(store.error()->code(), QStringLiteral("httpStatus"));
        QVERIFY(!store.changes().isRetryScheduled());
        QCOMPARE(store.nextChangeDate(), next);
        QVERIFY(h.sleeper.requestedMs.isEmpty());
        QCOMPARE(h.archive->requestedPages, (QList<int>{1, 2, 3})); // two tolerated failures, the third ends it
    }

    void downloadsFitTheLargestDisplayWhenSavingData_data()
    {
        QTest::addColumn<bool>("saveData");
        QTest::addColumn<bool>("metered");
        QTest::addColumn<QSize>("largest");
        QTest::addColumn<QSize>("fittedTo"); // invalid: the archive's usual choice
        QTest::newRow("neither") << false << false << QSize(1920, 1080) << QSize();
        QTest::newRow("save data") << true << false << QSize(1920, 1080) << QSize(1920, 1080);
        QTest::newRow("metered: the user's change downloads, sparingly")
            << false << true << QSize(2560, 1440) << QSize(2560, 1440);
        QTest::newRow("display size unknown") << true << false << QSize() << QSize();
    }

    void downloadsFitTheLargestDisplayWhenSavingData()
    {
        QFETCH(bool, saveData);
        QFETCH(bool, metered);
        QFETCH(QSize, largest);
        QFETCH(QSize, fittedTo);
        StoreHarness h;
        h.plantState({.frequency = ChangeFrequency::hourly, .saveData = saveData});
        h.network->metered = metered;
        h.applier->largest = largest;
        auto &store = h.build();
        h.runFetch();
        QVERIFY(store.currentImage());
        QCOMPARE(h.archive->verifiedFor, QList<QSize>{fittedTo});
    }

    void stopDuringADownloadIsQuiet()
    {
        StoreHarness h;
        h.archive->downloadDelay = std::chrono::hours(1);
        h.archive->pageHandler = [](int) {
            return QList<HubbleImage>{makeImage(QStringLiteral("a"), 3840, 2160, QUrl(QStringLiteral("https://cdn.example.test/a.jpg")))};
        };
        auto &store = h.build();
        QSignalSpy ended(&store, &WallpaperStore::fetchTaskEnded);
        store.requestNextWallpaper();
        QTRY_VERIFY(!h.archive->downloadedURLs.isEmpty());
        QVERIFY(store.isLoading());
        QTest::ignoreMessage(QtInfoMsg, "Wallpaper download cancelled; leaving current schedule intact");
        store.stop();
        QVERIFY(!store.isLoading());
        QTRY_COMPARE(ended.count(), 1);
        QCOMPARE(store.errorMessage(), std::nullopt);
        QCOMPARE(store.nextChangeDate(), std::nullopt);
        QCOMPARE(h.sleeper.sleeping(), 0);
        QVERIFY(h.temporaryFilesLeft().isEmpty());
        QVERIFY(h.cacheFiles().isEmpty());
        QCOMPARE(h.archive->downloadedURLs.size(), 1); // a cancelled download is no reason to try the fallback
    }

    void destroyingTheStoreMidFetchTouchesNothing()
    {
        StoreHarness h;
        h.archive->downloadDelay = std::chrono::hours(1);
        h.build();
        h.store->requestNextWallpaper();
        QTRY_VERIFY(!h.archive->downloadedURLs.isEmpty());
        h.store.reset(); // the sanitizer and valgrind runs catch any use of the dead store
        QTest::qWait(20);
        QVERIFY(h.temporaryFilesLeft().isEmpty());
        QVERIFY(h.applier->calls.isEmpty());
    }

    void pausingCancelsOnlyAutomaticFetches()
    {
        StoreHarness h;
        h.archive->downloadDelay = std::chrono::hours(1);
        auto &store = h.build();
        store.start(); // automatic fetch (nothing shown yet)
        QTRY_VERIFY(!h.archive->downloadedURLs.isEmpty());
        store.togglePaused();
        QVERIFY(!store.isLoading());
        QTest::qWait(10);
        QCOMPARE(store.errorMessage(), std::nullopt);

        // A fetch the user asked for survives pausing; its success then schedules nothing.
        store.togglePaused();
        h.archive->downloadDelay = 20ms;
        store.requestNextWallpaper();
        QTRY_COMPARE(h.archive->downloadedURLs.size(), 2);
        store.togglePaused();
        QVERIFY(store.isLoading());
        QTRY_VERIFY(!store.isLoading());
        QVERIFY(store.currentImage());
        QCOMPARE(store.nextChangeDate(), std::nullopt);
    }

    void userRequestWorksWhenRotationIsOff()
    {
        StoreHarness h;
        h.kv->setData(StoreKeys::settings, AppSettings{ChangeFrequency::manual, DisplayScope::mainDisplay, false}.toJson());
        auto &store = h.build();
        store.start();
        h.runFetch();
        QVERIFY(store.currentImage());
        QCOMPARE(h.applier->calls.last().scope, DisplayScope::mainDisplay);
        QCOMPARE(store.nextChangeDate(), std::nullopt);
        QVERIFY(h.sleeper.requestedMs.isEmpty());
    }

    void recentListsAreBoundedAndMoveToEnd()
    {
        StoreHarness h;
        CatalogPool pool(h.archive, h.kv, [] { return 16.0 / 9.0; }, false, {});
        for (int i = 0; i <= 200; ++i)
            pool.recordShownImage(QString::number(i));
        QCOMPARE(pool.recentImageIDs().size(), 200);
        QCOMPARE(pool.recentImageIDs().first(), QStringLiteral("1"));
        QCOMPARE(pool.recentImageIDs().last(), QStringLiteral("200"));
        pool.recordShownImage(QStringLiteral("50"));
        QCOMPARE(pool.recentImageIDs().size(), 200);
        QCOMPARE(pool.recentImageIDs().last(), QStringLiteral("50"));
        QCOMPARE(pool.recentImageIDs().count(QStringLiteral("50")), 1);
        pool.persist();
        QCOMPARE(h.kv->stringArray(StoreKeys::recentIDs), pool.recentImageIDs());
    }

    // --- catalog pool ---

    void pageCounterAdvancesBeforeTheRequest()
    {
        StoreHarness h;
        h.kv->setInteger(StoreKeys::nextPage, 25);
        QList<qint64> storedDuringRequest;
        h.archive->pageHandler = [&](int page) {
            storedDuringRequest << h.kv->integer(StoreKeys::nextPage);
            return QList<HubbleImage>{makeImage(QStringLiteral("p%1").arg(page))};
        };
        h.build();
        h.runFetch();
        QCOMPARE(h.archive->requestedPages, QList<int>{25});
        QCOMPARE(storedDuringRequest, QList<qint64>{1});
    }

    void seenPagesAreSkippedWithinOneRefill()
    {
        StoreHarness h;
        h.kv->setStringArray(StoreKeys::recentIDs, {"p1-1", "p1-2", "p1-3", "p1-4"});
        auto &store = h.build();
        h.runFetch();
        QCOMPARE(h.archive->requestedPages, (QList<int>{1, 2}));
        QCOMPARE(store.currentImage()->id, QStringLiteral("p2-1"));
    }

    void priorityItemsComeFirstInClientOrder()
    {
        StoreHarness h;
        h.archive->pageHandler = [](int) {
            return QList<HubbleImage>{makeImage(QStringLiteral("small1"), 2000, 1200), makeImage(QStringLiteral("big1")),
                                      makeImage(QStringLiteral("small2"), 1920, 1080), makeImage(QStringLiteral("big2"), 5000, 3000)};
        };
        CatalogPool pool(h.archive, h.kv, [] { return 16.0 / 9.0; }, false, {});
        QCOMPARE(awaitTask(pool.drawNextCandidate({}, {}))->id, QStringLiteral("big1"));
        QStringList left;
        for (const auto &i : pool.candidates())
            left << i.id;
        QCOMPARE(left, (QStringList{"big2", "small1", "small2"}));
    }

    void pageFailures_data()
    {
        QTest::addColumn<int>("failingPages");
        QTest::addColumn<bool>("filled");
        QTest::newRow("two failures then a good page") << 2 << true;
        QTest::newRow("three failures fail the refill") << 3 << false;
    }

    void pageFailures()
    {
        QFETCH(int, failingPages);
        QFETCH(bool, filled);
        StoreHarness h;
        h.archive->pageHandler = [&](int page) {
            if (page <= failingPages)
                throw HubbleAPIError::httpStatus(500 + page);
            return QList<HubbleImage>{makeImage(QStringLiteral("ok"))};
        };
        auto &store = h.build();
        h.runFetch();
        QCOMPARE(store.currentImage().has_value(), filled);
        if (!filled) QCOMPARE(store.errorMessage(), QStringLiteral("ESA/Hubble archive returned HTTP 503."));
    }

    void exhaustedCatalogResetsTheMemoryOnce()
    {
        StoreHarness h;
        h.archive->pageHandler = [](int page) {
            return page == 3 ? QList<HubbleImage>{makeImage(QStringLiteral("only")), makeImage(QStringLiteral("onscreen"))}
                             : QList<HubbleImage>{};
        };
        const QString file = h.dir.filePath(QStringLiteral("onscreen.jpg"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.close();
        h.kv->setString(StoreKeys::currentFilePath, file);
        h.kv->setData(StoreKeys::currentImage, makeImage(QStringLiteral("onscreen")).toJson());
        h.kv->setString(StoreKeys::currentHash, QStringLiteral("onscreen-hash"));
        h.kv->setStringArray(StoreKeys::recentIDs, {QStringLiteral("only"), QStringLiteral("older")});
        h.kv->setStringArray(StoreKeys::recentHashes, {QStringLiteral("h-old"), QStringLiteral("onscreen-hash")});
        auto &store = h.build();
        h.runFetch();
        // 25 pages without anything unseen, then the reset and a second walk that finds "only" on page 3.
        QCOMPARE(h.archive->requestedPages.size(), 25 + 3);
        QCOMPARE(store.currentImage()->id, QStringLiteral("only"));
        QCOMPARE(h.kv->stringArray(StoreKeys::recentIDs), (QStringList{"onscreen", "only"}));
        QCOMPARE(h.kv->stringArray(StoreKeys::recentHashes)->first(), QStringLiteral("onscreen-hash"));
        QCOMPARE(h.kv->integer(StoreKeys::nextPage), 4);
    }

    void emptyArchiveReportsEmptyCatalog()
    {
        StoreHarness h;
        h.archive->pageHandler = [](int) { return QList<HubbleImage>{}; };
        auto &store = h.build();
        h.runFetch();
        QCOMPARE(store.errorMessage(), HubbleAPIError::emptyCatalog().description());
        QCOMPARE(h.archive->requestedPages.size(), 25); // recent list empty: no reset
    }

    void bandsShuffleOnlyWithinThemselves()
    {
        QList<HubbleImage> items;
        for (int i = 0; i < 10; ++i)
            items << makeImage(QString::number(i));
        QCOMPARE(CatalogPool::variedTopOrdering(items.mid(0, 1), 4), items.mid(0, 1));
        bool anyMoved = false;
        for (int run = 0; run < 200; ++run) {
            const auto out = CatalogPool::variedTopOrdering(items, 4);
            QCOMPARE(out.size(), 10);
            for (int pos = 0; pos < 10; ++pos) {
                const int original = out[pos].id.toInt();
                QCOMPARE(original / 4, pos / 4);
                anyMoved = anyMoved || original != pos;
            }
        }
        QVERIFY(anyMoved);
    }
    // --- interleavings: something lands while a fetch waits at one of its steps ---

    void eventDuringAFetch_data()
    {
        QTest::addColumn<int>("step"); // -1: pending, not yet running
        QTest::addColumn<QString>("event");
        const QList<std::pair<const char *, int>> steps = {
            {"pending", -1},
            {"page", int(Step::page)},
            {"verify", int(Step::verify)},
            {"download", int(Step::download)},
            {"save", int(Step::save)},
            {"prepare", int(Step::prepare)},
            {"apply", int(Step::apply)},
        };
        for (const QString event :
             {"stop", "pause", "frequency", "scope", "second request", "workspace", "caption", "dark style"})
            for (const auto &[name, step] : steps)
                QTest::addRow("%s at %s", qPrintable(event), name) << step << event;
    }

    void eventDuringAFetch()
    {
        QFETCH(int, step);
        QFETCH(QString, event);
        StoreHarness h;
        // Last run's picture is on screen and its change is overdue: start() replaces it at once. Page 1
        // was seen already, so the refill reads on after its first page.
        AppSettings hourly{ChangeFrequency::hourly, DisplayScope::allDisplays, false};
        hourly.dimInDarkStyle = true;
        const QUrl old = QUrl::fromLocalFile(h.plantState(hourly, makeImage(QStringLiteral("old")), h.clock.now().addSecs(-1)));
        h.kv->setStringArray(StoreKeys::recentIDs, {"p1-1", "p1-2", "p1-3", "p1-4"});
        auto &store = h.build();
        QSignalSpy ended(&store, &WallpaperStore::fetchTaskEnded);
        const auto held = step < 0 ? nullptr : h.gate->holdNext(Step(step));
        store.start();
        if (held)
            QTRY_VERIFY(h.gate->hasArrived(held));

        const bool cancels = event == QLatin1String("stop") || event == QLatin1String("pause") ||
                             event == QLatin1String("frequency");
        if (event == QLatin1String("stop"))
            store.stop();
        else if (event == QLatin1String("pause"))
            store.togglePaused();
        else if (event == QLatin1String("frequency"))
            store.updateFrequency(ChangeFrequency::daily);
        else if (event == QLatin1String("scope"))
            store.updateDisplayScope(DisplayScope::mainDisplay);
        else if (event == QLatin1String("workspace"))
            store.syncCurrentWallpaperToActiveSpace(); // the old picture is what it would have put back
        else if (event == QLatin1String("caption"))
            store.updateShowCaption(true);
        else if (event == QLatin1String("dark style"))
            store.setDarkStyle(true);
        else
            store.requestNextWallpaper(); // dropped: one fetch at a time

        if (cancels) {
            QVERIFY(!store.isLoading());
            // The user asks for a picture while the cancelled fetch still waits; theirs stops before
            // its apply, and the cancelled one ends meanwhile.
            const auto newer = h.gate->holdNext(Step::prepare);
            QCoro::Task<> join = store.applyNextWallpaper();
            QTRY_VERIFY(h.gate->hasArrived(newer));
            if (held)
                h.gate->release(held);
            QTRY_COMPARE(ended.count(), 1);
            QTest::qWait(5);
            QVERIFY(store.isLoading());
            QVERIFY(!join.isReady()); // waits for its own fetch, not for any
            h.gate->release(newer);
            awaitTask(std::move(join));
            QCOMPARE(h.applier->calls.size(), 1); // only the newer fetch's picture
        } else {
            if (held)
                h.gate->release(held);
            h.runFetch();
            if (event == QLatin1String("workspace")) {
                // It waits its turn and finds the new picture on screen: nothing older comes back.
                h.awaitFetch();
                QVERIFY(std::none_of(h.applier->calls.cbegin(), h.applier->calls.cend(),
                                     [&](const RecordingApplier::Call &c) { return c.file == old; }));
                QCOMPARE(h.applier->shown[0], standardizedFileURL(*store.currentLocalFileURL()));
            }
            if (event == QLatin1String("caption") || event == QLatin1String("dark style")) {
                // Dressed anew in its turn: the new picture, never the old one, in the new look.
                h.awaitFetch();
                QVERIFY(std::none_of(h.applier->calls.cbegin(), h.applier->calls.cend(),
                                     [&](const RecordingApplier::Call &c) { return c.file == old; }));
                const RecordingApplier::Call &last = h.applier->calls.last();
                QCOMPARE(standardizedFileURL(last.file), standardizedFileURL(*store.currentLocalFileURL()));
                QVERIFY(event == QLatin1String("caption") ? last.look.caption : last.look.darkStyle);
            }
            if (event == QLatin1String("scope")) {
                // The new choice waits its turn and then puts back what is on screen by then: the old
                // picture never comes back, and the new one ends up on the displays of the new choice.
                h.awaitFetch();
                QVERIFY(std::none_of(h.applier->calls.cbegin(), h.applier->calls.cend(),
                                     [&](const RecordingApplier::Call &c) { return c.file == old; }));
                QCOMPARE(h.applier->calls.last().scope, DisplayScope::mainDisplay);
                QCOMPARE(standardizedFileURL(h.applier->calls.last().file),
                         standardizedFileURL(*store.currentLocalFileURL()));
                QCOMPARE(h.applier->shown[0], standardizedFileURL(*store.currentLocalFileURL()));
            }
        }

        QVERIFY(store.currentImage() && store.currentImage()->id != QLatin1String("old"));
        QCOMPARE(store.errorMessage(), std::nullopt);
        QVERIFY(!store.isLoading());
        QCOMPARE(h.gate->callsAfterStop().size(), 0); // nothing asked of a service after a cancellation
        QCOMPARE(h.cacheFiles(), QStringList{store.currentLocalFileURL()->fileName()});
        QVERIFY(h.temporaryFilesLeft().isEmpty());
        if (event == QLatin1String("pause"))
            QCOMPARE(store.nextChangeDate(), std::nullopt);
        if (event == QLatin1String("scope"))
            QCOMPARE(AppSettings::fromJson(*h.kv->data(StoreKeys::settings))->displayScope, DisplayScope::mainDisplay);
    }
};

QTEST_GUILESS_MAIN(TestStorePipeline)
#include "tst_storepipeline.moc"
