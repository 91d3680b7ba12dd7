// SPDX-License-Identifier: GPL-3.0-or-later
// The rotation schedule, settings changes, wake and workspace switches.
#include "models/fileurls.h"
#include "store/picturelibrary.h"
#include "store/storesettings.h"
#include "store/wallpaperhistory.h"
#include "storeharness.h"

#include "models/errors.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace Starvane;
using namespace Starvane::Testing;

namespace {
/// A harness whose store starts with a picture on screen.
void plantCurrentWallpaper(StoreHarness &h, const AppSettings &settings, std::optional<QDateTime> next)
{
    h.plantState(settings, makeImage(QStringLiteral("current")), next);
}

const AppSettings hourly{ChangeFrequency::hourly, DisplayScope::allDisplays, false};
} // namespace

class TestStoreSchedule : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startDecidesBetweenFetchingAndWaiting_data()
    {
        QTest::addColumn<bool>("hasCurrent");
        QTest::addColumn<int>("nextInSeconds"); // 0: none stored
        QTest::addColumn<bool>("fetches");
        QTest::addColumn<qint64>("sleepMs");
        QTest::newRow("nothing shown yet") << false << 600 << true << qint64(-1);
        QTest::newRow("overdue") << true << -5 << true << qint64(-1);
        QTest::newRow("due in ten minutes") << true << 600 << false << qint64(600'000);
        QTest::newRow("no date: a full interval") << true << 0 << false << qint64(3'600'000);
    }

    void startDecidesBetweenFetchingAndWaiting()
    {
        QFETCH(bool, hasCurrent);
        QFETCH(int, nextInSeconds);
        QFETCH(bool, fetches);
        QFETCH(qint64, sleepMs);
        StoreHarness h;
        const std::optional<QDateTime> next =
            nextInSeconds ? std::optional(h.clock.now().addSecs(nextInSeconds)) : std::nullopt;
        if (hasCurrent)
            plantCurrentWallpaper(h, hourly, next);
        else if (next)
            h.kv->setDate(StoreKeys::nextChangeDate, *next);
        auto &store = h.build();
        store.start();
        store.start(); // the second start does nothing
        QCOMPARE(store.changes().isActive(), fetches);
        h.awaitFetch();
        QCOMPARE(h.archive->verifiedIDs.size(), fetches ? 1 : 0);
        if (!fetches) {
            QCOMPARE(h.sleeper.requestedMs, QList<qint64>{sleepMs});
            QCOMPARE(store.nextChangeDate(), h.clock.now().addMSecs(sleepMs));
        }
    }

    void startWithRotationOffClearsTheSchedule()
    {
        StoreHarness h;
        plantCurrentWallpaper(h, {ChangeFrequency::manual, DisplayScope::allDisplays, false},
                              h.clock.now().addSecs(-1));
        auto &store = h.build();
        store.start();
        QVERIFY(!store.changes().isActive());
        QCOMPARE(store.nextChangeDate(), std::nullopt);
        QVERIFY(!h.kv->contains(StoreKeys::nextChangeDate));
        QVERIFY(h.archive->verifiedIDs.isEmpty());
    }

    void timerFiresAnAutomaticChange()
    {
        StoreHarness h;
        plantCurrentWallpaper(h, hourly, h.clock.now().addMSecs(200));
        auto &store = h.build();
        store.start();
        QCOMPARE(h.sleeper.requestedMs, QList<qint64>{1000}); // never less than a second
        h.clock.advance(1);
        h.sleeper.fireAll();
        QTRY_VERIFY(store.currentImage() && store.currentImage()->id != QLatin1String("current"));
        QTRY_VERIFY(!store.isLoading());
        QCOMPARE(store.nextChangeDate(), h.clock.now().addSecs(3600));
    }

    void frequencyChanges_data()
    {
        QTest::addColumn<AppSettings>("before");
        QTest::addColumn<ChangeFrequency>("chosen");
        QTest::addColumn<bool>("pausedAfter");
        QTest::addColumn<int>("nextInSeconds"); // -1: none
        QTest::newRow("hourly while paused resumes")
            << AppSettings{ChangeFrequency::daily, DisplayScope::allDisplays, true} << ChangeFrequency::hourly << false
            << 3600;
        QTest::newRow("manual while paused stays paused")
            << AppSettings{ChangeFrequency::daily, DisplayScope::allDisplays, true} << ChangeFrequency::manual << true
            << -1;
        QTest::newRow("5 minutes from manual") << AppSettings{ChangeFrequency::manual, DisplayScope::allDisplays, false}
                                               << ChangeFrequency::every5Minutes << false << 300;
    }

    void frequencyChanges()
    {
        QFETCH(AppSettings, before);
        QFETCH(ChangeFrequency, chosen);
        QFETCH(bool, pausedAfter);
        QFETCH(int, nextInSeconds);
        StoreHarness h;
        plantCurrentWallpaper(h, before, std::nullopt);
        auto &store = h.build();
        store.start();
        store.updateFrequency(chosen);
        QCOMPARE(store.settings().frequency, chosen);
        QCOMPARE(store.settings().isPaused, pausedAfter);
        const std::optional<QDateTime> expected =
            nextInSeconds < 0 ? std::nullopt : std::optional(h.clock.now().addSecs(nextInSeconds));
        QCOMPARE(store.nextChangeDate(), expected);
        QCOMPARE(AppSettings::fromJson(*h.kv->data(StoreKeys::settings)), store.settings());
    }

    void unchangedSettingsDoNothing()
    {
        StoreHarness h;
        auto &store = h.build();
        QSignalSpy settings(&store, &WallpaperStore::settingsChanged);
        store.updateFrequency(ChangeFrequency::hourly);
        store.updateDisplayScope(DisplayScope::allDisplays);
        QCOMPARE(settings.count(), 0);
        QVERIFY(h.kv->keys().isEmpty()); // nothing persisted
        store.updateFrequency(ChangeFrequency::manual);
        QSignalSpy after(&store, &WallpaperStore::settingsChanged);
        store.togglePaused(); // no effect in manual mode
        QCOMPARE(after.count(), 0);
        QVERIFY(!store.settings().isPaused);
    }

    void scopeChangeReappliesAndReportsFailure()
    {
        StoreHarness h;
        plantCurrentWallpaper(h, hourly, h.clock.now().addSecs(100));
        auto &store = h.build();
        h.applier->failWith = QStringLiteral("no such output");
        store.updateDisplayScope(DisplayScope::mainDisplay);
        h.awaitFetch();
        QCOMPARE(store.errorMessage(), QStringLiteral("The desktop could not update all displays: no such output"));
        QCOMPARE(AppSettings::fromJson(*h.kv->data(StoreKeys::settings))->displayScope, DisplayScope::mainDisplay);
        h.applier->failWith.reset();
        store.updateDisplayScope(DisplayScope::allDisplays);
        h.awaitFetch();
        QCOMPARE(store.errorMessage(), std::nullopt);
        QCOMPARE(h.applier->calls.size(), 2);
        QCOMPARE(h.applier->calls.last().scope, DisplayScope::allDisplays);
        QCOMPARE(store.nextChangeDate(), h.clock.now().addSecs(100)); // schedule untouched
    }

    void captionAndDarkStyleDressWhatIsOnScreen()
    {
        StoreHarness h;
        plantCurrentWallpaper(h, hourly, h.clock.now().addSecs(100));
        auto &store = h.build();
        const QUrl file = *store.currentLocalFileURL();
        const int historyBefore = store.library().history().entries().size();
        const auto dressedAgain = [&](bool caption, bool dark) {
            h.awaitFetch();
            const RecordingApplier::Call &call = h.applier->calls.last();
            QCOMPARE(standardizedFileURL(call.file), standardizedFileURL(file));
            QCOMPARE(call.look.caption, caption);
            QCOMPARE(call.look.darkStyle && call.look.dimInDarkStyle, dark);
            QCOMPARE(call.look.captions.value(standardizedFileURL(file)).title, store.currentImage()->title);
        };
        store.settingsObject().setShowCaption(true);
        dressedAgain(true, false);
        store.changes().setDarkStyle(true); // nothing dims yet
        store.settingsObject().setDimInDarkStyle(true);
        dressedAgain(true, true);
        store.changes().setDarkStyle(false);
        dressedAgain(true, false);
        QCOMPARE(h.applier->calls.size(), 3);
        // A desktop given both pictures switches by itself; turning the choice off still changes its dark one.
        h.applier->darkStyleItself = true;
        store.changes().setDarkStyle(true);
        h.awaitFetch();
        QCOMPARE(h.applier->calls.size(), 3);
        h.applier->failWith = QStringLiteral("no such output");
        store.settingsObject().setDimInDarkStyle(false);
        h.awaitFetch();
        QCOMPARE(h.applier->calls.size(), 4);
        QCOMPARE(store.errorMessage(), QStringLiteral("The desktop could not update all displays: no such output"));
        // What is on screen is the same picture throughout: no history, no new schedule.
        QCOMPARE(store.currentLocalFileURL(), file);
        QCOMPARE(store.library().history().entries().size(), historyBefore);
        QCOMPARE(store.nextChangeDate(), h.clock.now().addSecs(100));
        const AppSettings saved = *AppSettings::fromJson(*h.kv->data(StoreKeys::settings));
        QVERIFY(saved.showCaption && !saved.dimInDarkStyle);
    }

    void wakeCatchesUpAnOverdueChangeOnce()
    {
        StoreHarness h;
        plantCurrentWallpaper(h, hourly, h.clock.now().addSecs(60));
        auto &store = h.build();
        store.handleSystemWake(); // not started: ignored
        store.start();
        QCOMPARE(h.sleeper.requestedMs.size(), 1);

        // The machine slept through the due date; its timer counted no time meanwhile.
        QSignalSpy ended(&store, &WallpaperStore::fetchTaskEnded);
        h.clock.advance(7200);
        store.handleSystemWake();
        store.handleSystemWake(); // a fetch is pending or running: nothing more
        QTRY_COMPARE(ended.count(), 1);
        QVERIFY(!store.changes().isActive()); // nothing else on the road
        QCOMPARE(ended.count(), 1);
        QCOMPARE(h.archive->verifiedIDs.size(), 1);

        // Not yet due: the same date is scheduled again, measured afresh.
        h.clock.advance(600);
        store.handleSystemWake();
        QCOMPARE(h.sleeper.requestedMs.last(), 3'000'000);
        QCOMPARE(h.archive->verifiedIDs.size(), 1);
    }

    void workspaceSwitchRestoresTheCurrentPicture()
    {
        StoreHarness h;
        plantCurrentWallpaper(h, hourly, h.clock.now().addSecs(60));
        auto &store = h.build();
        const QString path = store.currentLocalFileURL()->toLocalFile();
        const QUrl sameFileOtherForm =
            QUrl::fromLocalFile(QFileInfo(path).path() + QStringLiteral("/./") + QFileInfo(path).fileName());
        h.applier->shown = {sameFileOtherForm, QUrl::fromLocalFile(path)};
        store.syncCurrentWallpaperToActiveSpace();
        h.awaitFetch();
        QVERIFY(h.applier->calls.isEmpty());

        h.applier->shown[1] = std::nullopt;
        h.applier->failWith = QStringLiteral("busy");
        store.syncCurrentWallpaperToActiveSpace();
        h.awaitFetch();
        QCOMPARE(h.applier->calls.size(), 1);
        QCOMPARE(store.errorMessage(), std::nullopt); // failures here stay silent
    }

    void offlineChangesWaitForTheNetwork_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<bool>("userAsked");
        QTest::newRow("due at launch") << "start" << false;
        QTest::newRow("timer runs out") << "timer" << false;
        QTest::newRow("overdue at wake") << "wake" << false;
        QTest::newRow("the user asks") << "next" << true;
    }

    void offlineChangesWaitForTheNetwork()
    {
        QFETCH(QString, trigger);
        QFETCH(bool, userAsked);
        StoreHarness h;
        h.network->online = false;
        plantCurrentWallpaper(h, hourly, h.clock.now().addSecs(trigger == QLatin1String("start") ? -5 : 60));
        auto &store = h.build();
        QSignalSpy ended(&store, &WallpaperStore::fetchTaskEnded);
        store.start();
        if (trigger == QLatin1String("timer")) {
            h.clock.advance(60);
            h.sleeper.fireAll();
        } else if (trigger == QLatin1String("wake")) {
            h.clock.advance(600);
            store.handleSystemWake();
        } else if (trigger == QLatin1String("next")) {
            store.requestNextWallpaper();
        }
        QCoreApplication::processEvents();    // a timer's wake-up resumes the schedule from the event loop
        QVERIFY(!store.changes().isActive()); // nothing went on the road
        // Nothing tried, no attempt used, no retry scheduled; only the user hears about it.
        QVERIFY(h.archive->requestedPages.isEmpty());
        QCOMPARE(ended.count(), 0);
        QVERIFY((store.changes().networkHold() == NetworkHold::offline));
        QVERIFY(!h.sleeper.requestedMs.contains(300'000));
        QCOMPARE(store.errorMessage(),
                 userAsked ? std::optional(QStringLiteral("There is no network connection.")) : std::nullopt);

        h.network->set(true);
        QTRY_COMPARE(ended.count(), 1);
        QVERIFY(store.currentImage() && store.currentImage()->id != QLatin1String("current"));
        QVERIFY(!(store.changes().networkHold() == NetworkHold::offline));
        QCOMPARE(store.errorMessage(), std::nullopt);
    }

    void networkLostDuringAChangeWaitsInsteadOfRetrying()
    {
        StoreHarness h;
        plantCurrentWallpaper(h, hourly, h.clock.now().addSecs(-5));
        auto &store = h.build();
        h.archive->verifyHandler = [net = h.network](const HubbleImage &) -> HubbleImage {
            net->set(false);
            throw NetworkError(NetworkFailure::hostNotFound, QStringLiteral("Host esahubble.org not found"));
        };
        QSignalSpy ended(&store, &WallpaperStore::fetchTaskEnded);
        QSignalSpy failed(&store, &WallpaperStore::automaticChangeFailed);
        store.start();
        QTRY_COMPARE(ended.count(), 1);
        QCOMPARE(store.errorMessage(), std::nullopt); // no banner for being offline
        QVERIFY(h.sleeper.requestedMs.isEmpty());     // and no retry in five minutes
        QVERIFY((store.changes().networkHold() == NetworkHold::offline));
        QCOMPARE(failed.count(), 0); // not counted as a failure

        h.archive->verifyHandler = {};
        h.network->set(true);
        QTRY_COMPARE(ended.count(), 2);
        QVERIFY(store.currentImage() && store.currentImage()->id != QLatin1String("current"));
    }

    void returningNetworkRetriesAFailedChangeAtOnce()
    {
        StoreHarness h;
        plantCurrentWallpaper(h, hourly, h.clock.now().addSecs(-5));
        auto &store = h.build();
        // The system still believed it was online when every candidate failed.
        h.archive->verifyHandler = [](const HubbleImage &) -> HubbleImage {
            throw NetworkError(NetworkFailure::hostNotFound, QStringLiteral("Host esahubble.org not found"));
        };
        QSignalSpy ended(&store, &WallpaperStore::fetchTaskEnded);
        QSignalSpy failed(&store, &WallpaperStore::automaticChangeFailed);
        store.start();
        QTRY_COMPARE(ended.count(), 1);
        // The platform's own words; the retry is scheduled, and the window says so beneath them.
        QCOMPARE(store.errorMessage(), QStringLiteral("Host esahubble.org not found"));
        QCOMPARE(store.changes().error()->code(), QStringLiteral("network.hostNotFound"));
        QVERIFY(store.changes().isRetryScheduled());
        QCOMPARE(store.nextChangeDate(), h.clock.now().addSecs(300));
        QCOMPARE(failed.count(), 1);

        h.archive->verifyHandler = {};
        h.network->set(false);
        h.network->set(true);
        QTRY_COMPARE(ended.count(), 2); // the timer never fired
        QVERIFY(store.currentImage() && store.currentImage()->id != QLatin1String("current"));
        QCOMPARE(store.changes().error(), std::nullopt);
        QVERIFY(!store.changes().isRetryScheduled());
    }

    void meteredConnectionsRotateSavedPictures()
    {
        StoreHarness h;
        h.plantState(hourly);
        auto &store = h.build();
        h.runFetch();
        const QString first = store.currentImage()->id;
        h.runFetch();
        const QString second = store.currentImage()->id;
        store.start();
        const auto timerRunsOut = [&] {
            h.clock.advance(3600);
            h.sleeper.fireAll();
        };

        // On a metered link the schedule shows what the cache holds, least recently shown first.
        h.network->set(true, true);
        QCOMPARE(store.changes().networkHold(), NetworkHold::meteredSaved);
        for (const QString &expected : {first, second}) {
            timerRunsOut();
            QTRY_COMPARE(store.currentImage()->id, expected);
        }
        QCOMPARE(h.archive->verifiedIDs.size(), 2); // nothing downloaded

        // With nothing left to show, it waits; allowing downloads there lets the change go ahead.
        for (const QString &file : h.cacheFiles())
            QFile::remove(QDir(h.cacheDir()).filePath(file));
        timerRunsOut();
        QTRY_COMPARE(store.changes().networkHold(), NetworkHold::meteredWaiting);
        QCOMPARE(h.archive->verifiedIDs.size(), 2);
        store.settingsObject().setDownloadOnMetered(true);
        QTRY_COMPARE(h.archive->verifiedIDs.size(), 3);
        QTRY_VERIFY(!store.isLoading());
        QCOMPARE(store.changes().networkHold(), NetworkHold::none);
        QVERIFY(store.settings().downloadOnMetered);
    }
};

QTEST_GUILESS_MAIN(TestStoreSchedule)
#include "tst_storeschedule.moc"
