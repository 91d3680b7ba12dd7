// SPDX-License-Identifier: GPL-3.0-or-later
// Interleavings: something lands while a change waits at one of its awaits. Whatever lands, nothing
// stale may reach the screen or the state, and the screen state names what the desktop was last given.
#include "storeharness.h"

#include "models/fileurls.h"
#include "store/picturelibrary.h"
#include "store/screenstate.h"
#include "store/storesettings.h"
#include "store/wallpaperhistory.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace Starvane;
using namespace Starvane::Testing;

namespace {

/// How a change of the table is asked for, and how to tell that it reached the screen.
struct Change
{
    std::function<void()> ask;
    std::function<bool()> happened;
};

/// A kind of change: the state it starts from, and the awaits it passes.
struct Scenario
{
    bool eachDisplay = false;
    /// Started by the schedule: a pause cancels it.
    bool automatic = false;
    QList<Step> steps;
    std::function<Change(StoreHarness &)> prepare;
};

/// Each display's file as the screen state has it: its own record in "each display" mode (empty when it
/// has none), else the main display's picture. The mode is the store's unless given.
QHash<QString, QUrl> recorded(StoreHarness &h, std::optional<bool> eachDisplay = std::nullopt)
{
    QHash<QString, QUrl> files;
    const bool each = eachDisplay.value_or(h.store->settings().displayScope == DisplayScope::eachDisplay);
    for (const DisplayTarget &display : std::as_const(h.applier->targets)) {
        std::optional<ShownPicture> picture;
        if (each) {
            if (const auto record = h.store->screen().display(display.key)) picture = record->picture;
        } else {
            picture = h.store->screen().current();
        }
        files.insert(display.key, picture ? standardizedFileURL(picture->file) : QUrl());
    }
    return files;
}

/// Each display's file as the fake desktop shows it.
QHash<QString, QUrl> onTheDesktop(StoreHarness &h)
{
    QHash<QString, QUrl> files;
    const bool each = h.store->settings().displayScope == DisplayScope::eachDisplay;
    for (qsizetype i = 0; i < h.applier->targets.size(); ++i) {
        const QString key = h.applier->targets[i].key;
        files.insert(key, each ? h.applier->shownOnDisplay.value(key)
                               : h.applier->shown[std::min<qsizetype>(i, 1)].value_or(QUrl()));
    }
    return files;
}

/// The files the desktop was given display by display, from the calls after the first `calls` and
/// `displayCalls` ones.
QHash<QString, QList<QUrl>> givenSince(StoreHarness &h, qsizetype calls, qsizetype displayCalls)
{
    QHash<QString, QList<QUrl>> given;
    for (qsizetype c = displayCalls; c < h.applier->displayCalls.size(); ++c)
        for (const DisplayWallpaper &w : std::as_const(h.applier->displayCalls[c]))
            given[w.displayKey] << standardizedFileURL(w.file);
    for (qsizetype c = calls; c < h.applier->calls.size(); ++c)
        for (qsizetype i = 0; i < h.applier->targets.size(); ++i)
            if (i == 0 || h.applier->calls[c].scope != DisplayScope::mainDisplay)
                given[h.applier->targets[i].key] << standardizedFileURL(h.applier->calls[c].file);
    return given;
}

/// These displays show these files by the screen state (displays connected since may show anything).
/// A per-display change is judged by the displays' own records, which outlast a change of scope.
bool shows(StoreHarness &h, const QHash<QString, QUrl> &files, std::optional<bool> eachDisplay = std::nullopt)
{
    const QHash<QString, QUrl> now = recorded(h, eachDisplay);
    return std::all_of(files.keyBegin(), files.keyEnd(),
                       [&](const QString &key) { return now.value(key) == files[key]; });
}

WallpaperStore &buildWith(StoreHarness &h, DisplayScope scope)
{
    h.applier->targets = {makeDisplay("DP-1", 1920, 1080, 0, true), makeDisplay("TALL", 1080, 1920, 1920)};
    AppSettings settings{ChangeFrequency::hourly, scope, false};
    settings.dimInDarkStyle = true;
    h.plantState(settings);
    return h.build();
}

QMap<QString, Scenario> scenarios()
{
    const QList<Step> known{Step::prepare, Step::apply};
    const QList<Step> perDisplay{Step::apply};
    const QList<Step> fetched{Step::verify, Step::download, Step::save, Step::apply};
    const auto backTo = [](StoreHarness &h, QHash<QString, QUrl> files) {
        const bool each = h.store->settings().displayScope == DisplayScope::eachDisplay;
        return [&h, files, each] { return shows(h, files, each); };
    };
    const auto inKeptFolder = [](StoreHarness &h) {
        const bool each = h.store->settings().displayScope == DisplayScope::eachDisplay;
        return [&h, each] {
            const QHash<QString, QUrl> files = recorded(h, each);
            QSet<QUrl> distinct;
            for (const QUrl &file : files) {
                if (!file.toLocalFile().startsWith(h.keptDir())) return false;
                distinct.insert(file);
            }
            // Each display a different kept picture.
            return !each || distinct.size() == files.size();
        };
    };
    const auto keepAfterEachOf = [](StoreHarness &h, int fetches) {
        for (int i = 0; i < fetches; ++i) {
            h.runFetch();
            QCOMPARE(h.store->keepCurrentWallpaper(), std::nullopt);
        }
    };

    QMap<QString, Scenario> s;
    for (const DisplayScope scope : {DisplayScope::allDisplays, DisplayScope::eachDisplay}) {
        const bool each = scope == DisplayScope::eachDisplay;
        const QString suffix = each ? QStringLiteral(", each display") : QString();
        s["previous" + suffix] = {
            each, false, each ? perDisplay : known, [=](StoreHarness &h) {
                auto &store = buildWith(h, scope);
                h.runFetch();
                const QHash<QString, QUrl> first = recorded(h);
                h.runFetch();
                return Change{[&store] { QVERIFY(store.changes().requestPrevious()); }, backTo(h, first)};
            }};
        s["history entry" + suffix] = {
            each, false, each ? perDisplay : known, [=](StoreHarness &h) {
                auto &store = buildWith(h, scope);
                h.runFetch();
                h.runFetch();
                // The oldest entry: back on the display it was first shown on, the other keeps its picture.
                const int oldest = int(store.library().history().entries().size()) - 1;
                const HistoryEntry entry = store.library().history().entries().at(oldest);
                QHash<QString, QUrl> expected = recorded(h);
                for (auto it = expected.begin(); it != expected.end(); ++it)
                    if (!each || it.key() == entry.display)
                        it.value() = standardizedFileURL(QUrl::fromLocalFile(entry.file));
                return Change{[&store, oldest] { QVERIFY(store.changes().requestHistoryEntry(oldest)); },
                              backTo(h, expected)};
            }};
        s["kept pictures" + suffix] = {each, false, each ? perDisplay : known, [=](StoreHarness &h) {
                                           auto &store = buildWith(h, scope);
                                           keepAfterEachOf(h, 3); // one more than displays: one for a new one
                                           h.runFetch();
                                           store.settingsObject().setOnlyKeptPictures(true);
                                           return Change{[&store] { store.requestNextWallpaper(); }, inKeptFolder(h)};
                                       }};
    }
    s["saved picture"] = {false, true, known, [=](StoreHarness &h) {
                              auto &store = buildWith(h, DisplayScope::allDisplays);
                              h.runFetch();
                              const QHash<QString, QUrl> first = recorded(h);
                              h.runFetch();
                              store.start();
                              h.network->set(true, true); // metered: the schedule shows what the cache holds
                              // What the schedule does when the timer runs out.
                              return Change{[&store] { store.changes().requestPictureChange(true); }, backTo(h, first)};
                          }};
    s["new pictures, each display"] = {true, false, fetched, [](StoreHarness &h) {
                                           auto &store = buildWith(h, DisplayScope::eachDisplay);
                                           h.runFetch();
                                           const QHash<QString, QUrl> before = recorded(h);
                                           return Change{[&store] { store.requestNextWallpaper(); },
                                                         [&h, before] {
                                                             const QHash<QString, QUrl> now = recorded(h, true);
                                                             return now["DP-1"] != before["DP-1"] &&
                                                                    now["TALL"] != before["TALL"];
                                                         }};
                                       }};
    s["display appears"] = {true, false, fetched, [](StoreHarness &h) {
                                auto &store = buildWith(h, DisplayScope::eachDisplay);
                                h.runFetch();
                                return Change{[&h, &store] {
                                                  h.applier->targets << makeDisplay("WIDE", 2560, 1080, 3000);
                                                  store.handleDisplaysChanged();
                                              },
                                              [&h] { return !recorded(h, true).value("WIDE").isEmpty(); }};
                            }};
    return s;
}

} // namespace

class TestStoreInterleavings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { QStandardPaths::setTestModeEnabled(true); }

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
        const QUrl old =
            QUrl::fromLocalFile(h.plantState(hourly, makeImage(QStringLiteral("old")), h.clock.now().addSecs(-1)));
        h.kv->setStringArray(StoreKeys::recentIDs, {"p1-1", "p1-2", "p1-3", "p1-4"});
        auto &store = h.build();
        QSignalSpy ended(&store, &WallpaperStore::fetchTaskEnded);
        const auto held = step < 0 ? nullptr : h.gate->holdNext(Step(step));
        store.start();
        if (held) QTRY_VERIFY(h.gate->hasArrived(held));

        const bool cancels =
            event == QLatin1String("stop") || event == QLatin1String("pause") || event == QLatin1String("frequency");
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
            store.settingsObject().setShowCaption(true);
        else if (event == QLatin1String("dark style"))
            store.changes().setDarkStyle(true);
        else
            store.requestNextWallpaper(); // dropped: one fetch at a time

        if (cancels) {
            QVERIFY(!store.isLoading());
            // The user asks for a picture while the cancelled fetch still waits; theirs stops before
            // its apply, and the cancelled one ends meanwhile.
            const auto newer = h.gate->holdNext(Step::prepare);
            QCoro::Task<> join = store.applyNextWallpaper();
            QTRY_VERIFY(h.gate->hasArrived(newer));
            if (held) h.gate->release(held);
            QTRY_COMPARE(ended.count(), 1);
            QCoreApplication::processEvents(); // whatever the cancelled end set off has run now
            QVERIFY(store.isLoading());
            QVERIFY(!join.isReady()); // waits for its own fetch, not for any
            h.gate->release(newer);
            awaitTask(std::move(join));
            QCOMPARE(h.applier->calls.size(), 1); // only the newer fetch's picture
        } else {
            if (held) h.gate->release(held);
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
        if (event == QLatin1String("pause")) QCOMPARE(store.nextChangeDate(), std::nullopt);
        if (event == QLatin1String("scope"))
            QCOMPARE(AppSettings::fromJson(*h.kv->data(StoreKeys::settings))->displayScope, DisplayScope::mainDisplay);
    }
    void eventDuringAChange_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("step"); // -1: pending, not yet running
        QTest::addColumn<QString>("event");
        const QHash<Step, const char *> stepNames{{Step::page, "page"},         {Step::verify, "verify"},
                                                  {Step::download, "download"}, {Step::save, "save"},
                                                  {Step::prepare, "prepare"},   {Step::apply, "apply"}};
        const QMap<QString, Scenario> all = scenarios();
        for (auto it = all.cbegin(); it != all.cend(); ++it) {
            QList<int> steps{-1};
            for (const Step step : it->steps)
                steps << int(step);
            for (const QString event :
                 {"stop", "pause", "scope", "second request", "workspace", "hot-plug", "dark style"})
                for (const int step : steps)
                    QTest::addRow("%s: %s at %s", qPrintable(it.key()), qPrintable(event),
                                  step < 0 ? "pending" : stepNames.value(Step(step)))
                        << it.key() << step << event;
        }
    }

    void eventDuringAChange()
    {
        QFETCH(QString, change);
        QFETCH(int, step);
        QFETCH(QString, event);
        const Scenario scenario = scenarios().value(change);
        StoreHarness h;
        const Change asked = scenario.prepare(h);
        if (QTest::currentTestFailed()) return;
        WallpaperStore &store = *h.store;
        const QHash<QString, QUrl> before = recorded(h);
        QCOMPARE(onTheDesktop(h), before);
        const qsizetype calls = h.applier->calls.size(), displayCalls = h.applier->displayCalls.size();
        const qsizetype verified = h.archive->verifiedIDs.size();

        QSignalSpy ended(&store, &WallpaperStore::fetchTaskEnded);
        const auto held = step < 0 ? nullptr : h.gate->holdNext(Step(step));
        asked.ask();
        if (held) QTRY_VERIFY(h.gate->hasArrived(held));
        if (event == u"stop") {
            store.stop();
        } else if (event == u"pause") {
            store.togglePaused();
        } else if (event == u"scope") {
            store.updateDisplayScope(scenario.eachDisplay ? DisplayScope::allDisplays : DisplayScope::mainDisplay);
        } else if (event == u"second request") {
            store.requestNextWallpaper();
        } else if (event == u"workspace") {
            store.syncCurrentWallpaperToActiveSpace();
        } else if (event == u"dark style") {
            store.changes().setDarkStyle(true);
        } else {
            h.applier->targets << makeDisplay(h.applier->targets.size() > 2 ? "NEW" : "WIDE", 2560, 1080, 6000);
            store.handleDisplaysChanged();
        }
        if (held) h.gate->release(held);
        // The change (a cancelled one too), then whatever waited its turn behind it.
        if (ended.isEmpty()) QVERIFY(ended.wait());
        for (int round = 0; round < 4; ++round)
            h.awaitFetch();
        // A change that gave way to another unwinds on its own; its download goes with it.
        QTRY_VERIFY(h.temporaryFilesLeft().isEmpty());

        const bool cancelled = event == u"stop" || (event == u"pause" && scenario.automatic);
        if (cancelled) {
            QVERIFY(shows(h, before));
            QCOMPARE(h.gate->callsAfterStop().size(), 0); // nothing asked of a service after a cancellation
        } else {
            QVERIFY2(asked.happened(), "the change did not reach the screen");
        }
        QVERIFY(!store.isLoading());
        QCOMPARE(store.errorMessage(), std::nullopt);
        // The screen state names what the desktop shows, display by display.
        QCOMPARE(onTheDesktop(h), recorded(h));
        // Nothing stale: once a display was given its final picture, it was given nothing else.
        const QHash<QString, QList<QUrl>> given = givenSince(h, calls, displayCalls);
        const QHash<QString, QUrl> final = recorded(h);
        for (auto it = given.cbegin(); it != given.cend(); ++it) {
            const qsizetype first = it->indexOf(final.value(it.key()));
            for (qsizetype i = std::max<qsizetype>(first, 0); first >= 0 && i < it->size(); ++i)
                QVERIFY2(it->at(i) == final.value(it.key()), qPrintable(it.key() + u" was given a stale picture"));
        }
        if (event == u"second request" && !scenario.steps.contains(Step::verify))
            QCOMPARE(h.archive->verifiedIDs.size(), verified); // dropped: nothing new was fetched
        if (event == u"hot-plug" && store.settings().displayScope == DisplayScope::eachDisplay)
            QVERIFY(!final.value(h.applier->targets.last().key).isEmpty()); // the new display has its own
        // What is recorded is on disk, and it is what a restart reads back.
        for (const QUrl &file : final)
            QVERIFY(file.isEmpty() || QFile::exists(file.toLocalFile()));
        ScreenState again(h.kv, h.dataDir());
        again.restore();
        QCOMPARE(again.current().has_value(), store.screen().current().has_value());
        if (again.current()) QCOMPARE(again.current()->file, store.screen().current()->file);
        QCOMPARE(again.displays().keys(), store.screen().displays().keys());
        for (auto it = again.displays().cbegin(); it != again.displays().cend(); ++it)
            QCOMPARE(it->picture.file, store.screen().display(it.key())->picture.file);
    }
};

QTEST_GUILESS_MAIN(TestStoreInterleavings)
#include "tst_storeinterleavings.moc"
