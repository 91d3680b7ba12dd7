// SPDX-License-Identifier: GPL-3.0-or-later
#include "awaittask.h"
#include "fakes.h"
#include "store/catalogpool.h"
#include "store/keyvaluestore.h"
#include "store/picturelibrary.h"
#include "store/rotationschedule.h"
#include "store/wallpaperhistory.h"
#include "store/wallpaperstore.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Starvane;
using namespace Starvane::Testing;

class TestStoreState : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ManualClock m_clock;

    std::shared_ptr<RecordingApplier> m_applier = std::make_shared<RecordingApplier>();

    /// A store whose archive offers `offered` on every page.
    std::unique_ptr<WallpaperStore> makeStore(std::shared_ptr<KeyValueStore> kv,
                                              std::optional<HubbleImage> offered = {})
    {
        auto archive = std::make_shared<ScriptedArchive>();
        archive->temporaryDir = m_dir.path();
        if (offered) archive->pageHandler = [offered](int) { return QList<HubbleImage>{*offered}; };
        return std::make_unique<WallpaperStore>(
            StoreServices{archive, std::make_shared<FakeCache>(m_dir.filePath(QStringLiteral("cache"))), m_applier,
                          std::move(kv), nullptr},
            StoreOptions{.limits = {},
                         .shuffleBands = false,
                         .now = m_clock.function(),
                         .sleep = {},
                         .dataDirectory = {},
                         .keptDirectory = {}});
    }

    /// The page counter and recent lists as the catalog pool reads them back from `kv`.
    static std::unique_ptr<CatalogPool> restoredPool(std::shared_ptr<KeyValueStore> kv)
    {
        auto pool = std::make_unique<CatalogPool>(
            std::make_shared<ScriptedArchive>(), std::move(kv), [] { return 16.0 / 9.0; }, false, StoreLimits{});
        pool->restore();
        return pool;
    }

    QString makeFile(const QString &name)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("image");
        return path;
    }

private Q_SLOTS:
    void emptyStoreGivesDefaults()
    {
        auto kv = std::make_shared<InMemoryKeyValueStore>();
        auto store = makeStore(kv);
        QCOMPARE(store->settings(), AppSettings::defaults());
        QCOMPARE(store->currentImage(), std::nullopt);
        QCOMPARE(store->currentLocalFileURL(), std::nullopt);
        QCOMPARE(store->currentContentHash(), std::nullopt);
        QCOMPARE(store->nextChangeDate(), std::nullopt);
        QVERIFY(!store->isLoading());
        QVERIFY(kv->keys().isEmpty()); // nothing written by construction
        store->togglePaused();         // persists
        QCOMPARE(kv->integer(StoreKeys::nextPage), 1);
        QCOMPARE(kv->stringArray(StoreKeys::recentIDs), QStringList{});
    }

    void missingFileDropsTheCurrentWallpaper()
    {
        auto kv = std::make_shared<InMemoryKeyValueStore>();
        kv->setString(StoreKeys::currentFilePath, m_dir.filePath(QStringLiteral("gone.jpg")));
        kv->setData(StoreKeys::currentImage, makeImage(QStringLiteral("heic0910a")).toJson());
        kv->setString(StoreKeys::currentHash, QStringLiteral("abc"));
        kv->setInteger(StoreKeys::nextPage, 7);
        auto store = makeStore(kv);
        QCOMPARE(store->currentImage(), std::nullopt);
        QCOMPARE(store->currentLocalFileURL(), std::nullopt);
        QVERIFY(!kv->contains(StoreKeys::currentFilePath));
        QVERIFY(!kv->contains(StoreKeys::currentImage));
        QVERIFY(!kv->contains(StoreKeys::currentHash));
        store->togglePaused();
        QCOMPARE(kv->integer(StoreKeys::nextPage), 7); // the rest survives
    }

    void undecodableImageKeepsFileAndHash()
    {
        auto kv = std::make_shared<InMemoryKeyValueStore>();
        const QString path = makeFile(QStringLiteral("a.jpg"));
        kv->setString(StoreKeys::currentFilePath, path);
        kv->setData(StoreKeys::currentImage, "{not json");
        kv->setString(StoreKeys::currentHash, QStringLiteral("abc"));
        auto store = makeStore(kv);
        QCOMPARE(store->currentLocalFileURL(), QUrl::fromLocalFile(path));
        QCOMPARE(store->currentImage(), std::nullopt);
        QCOMPARE(store->currentContentHash(), QStringLiteral("abc"));
    }

    void storedPageNumber_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("restored");
        QTest::newRow("25") << QVariant(25) << 25;
        QTest::newRow("1") << QVariant(1) << 1;
        QTest::newRow("26") << QVariant(26) << 1;
        QTest::newRow("0") << QVariant(0) << 1;
        QTest::newRow("-3") << QVariant(-3) << 1;
        QTest::newRow("text number (INI)") << QVariant(QStringLiteral("12")) << 12;
        QTest::newRow("garbage text") << QVariant(QStringLiteral("twelve")) << 1;
        QTest::newRow("a list") << QVariant(QStringList{QStringLiteral("3"), QStringLiteral("4")}) << 1;
    }

    void storedPageNumber()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, restored);
        auto kv = std::make_shared<InMemoryKeyValueStore>();
        kv->setRaw(StoreKeys::nextPage, stored);
        QCOMPARE(restoredPool(kv)->nextPageNumber(), restored);
    }

    void wrongKindsFallBackWithoutLosingOtherKeys()
    {
        auto kv = std::make_shared<InMemoryKeyValueStore>();
        const AppSettings chosen{ChangeFrequency::daily, DisplayScope::mainDisplay, true};
        kv->setData(StoreKeys::settings, chosen.toJson());
        kv->setRaw(StoreKeys::nextChangeDate, QStringLiteral("tomorrow"));
        kv->setRaw(StoreKeys::recentIDs, 42);
        kv->setRaw(StoreKeys::recentHashes, QStringList{QStringLiteral("h1")});
        kv->setData(StoreKeys::savedPictures, "[{\"image\":7},\"nonsense\"");
        auto store = makeStore(kv);
        QCOMPARE(store->settings(), chosen);
        QCOMPARE(store->nextChangeDate(), std::nullopt);
        QVERIFY(restoredPool(kv)->recentImageIDs().isEmpty());
        QCOMPARE(restoredPool(kv)->recentContentHashes(), QStringList{QStringLiteral("h1")});

        kv->setData(StoreKeys::settings, R"({"frequency":"daily","displayScope":"sideways","isPaused":true})");
        QCOMPARE(makeStore(kv)->settings(), AppSettings::defaults());
        QVERIFY(kv->data(StoreKeys::settings)->contains("sideways")); // left for the next persist
    }

    void persistWithNothingCurrent()
    {
        auto kv = std::make_shared<InMemoryKeyValueStore>();
        kv->setDate(StoreKeys::nextChangeDate, m_clock.now());
        auto store = makeStore(kv);
        store->updateFrequency(ChangeFrequency::manual); // no schedule any more; persists
        QStringList keys = kv->keys();
        keys.sort();
        QCOMPARE(keys, (QStringList{StoreKeys::nextPage, StoreKeys::recentHashes, StoreKeys::recentIDs,
                                    StoreKeys::settings}));
    }

    void roundTripThroughTheSettingsFile()
    {
        const QString file = m_dir.filePath(QStringLiteral("Starvane.conf"));
        HubbleImage offered = makeImage(QStringLiteral("potw1234a"));
        offered.title = QStringLiteral("Caf\u00e9 \"nebula\" & co");
        std::optional<HubbleImage> current;
        std::optional<QUrl> currentFile;
        std::optional<QString> hash;
        std::optional<QDateTime> next;
        {
            auto kv = std::make_shared<SettingsKeyValueStore>(file);
            auto store = makeStore(kv, offered);
            store->updateFrequency(ChangeFrequency::every15Minutes);
            store->updateDisplayScope(DisplayScope::mainDisplay);
            awaitTask(store->applyNextWallpaper());
            QVERIFY(store->currentImage());
            current = store->currentImage();
            currentFile = store->currentLocalFileURL();
            hash = store->currentContentHash();
            next = store->nextChangeDate();
            kv->sync();
        }
        auto kv = std::make_shared<SettingsKeyValueStore>(file);
        auto store = makeStore(kv);
        QCOMPARE(store->settings(), (AppSettings{ChangeFrequency::every15Minutes, DisplayScope::mainDisplay, false}));
        QCOMPARE(store->currentImage(), current);
        QCOMPARE(store->currentImage()->title, offered.title);
        QCOMPARE(store->currentLocalFileURL(), currentFile);
        QCOMPARE(store->currentContentHash(), hash);
        QCOMPARE(store->nextChangeDate(), next);
        const auto pool = restoredPool(kv);
        QCOMPARE(pool->nextPageNumber(), 2);
        QCOMPARE(pool->recentImageIDs(), QStringList{offered.id}); // INI reads one element back as a string
        QCOMPARE(pool->recentContentHashes(), QStringList{*hash});

        // An empty list reads back as nothing at all.
        auto fresh = std::make_shared<SettingsKeyValueStore>(m_dir.filePath(QStringLiteral("fresh.conf")));
        makeStore(fresh)->togglePaused();
        fresh->sync();
        QVERIFY(restoredPool(fresh)->recentImageIDs().isEmpty());
    }

    // The state folder an earlier build wrote (recorded from that build with two monitors in "each display",
    // its home folder replaced by @HOME@): every setting, the picture on screen, the history, the bans and
    // each display's picture come back, and a damaged display record costs only itself.
    void stateFoldersOfEarlierBuildsLoad_data()
    {
        // Recorded from the real builds: their own files, with the home folder replaced by @HOME@.
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("damagedDisplays");
        QTest::addColumn<int>("scope");
        QTest::addColumn<QString>("current");
        QTest::addColumn<int>("entries");
        QTest::addColumn<QStringList>("banned");
        QTest::addColumn<int>("nextPage");
        QTest::addColumn<QStringList>("displays");
        QTest::addColumn<QStringList>("kept");
        const QStringList two{"LEFT", "RIGHT", "screen"};
        QTest::newRow("each display on two monitors")
            << "state-from-earlier-build" << false << int(DisplayScope::eachDisplay) << "potw0007a" << 9
            << QStringList{"potw0004a"} << 7 << two << QStringList{};
        QTest::newRow("each display, display records damaged")
            << "state-from-earlier-build" << true << int(DisplayScope::eachDisplay) << "potw0007a" << 9
            << QStringList{"potw0004a"} << 7 << QStringList{} << QStringList{};
        // A build that knew neither "each display" nor the later switches: a kept picture, a ban, a step back.
        QTest::newRow("before each display")
            << "state-before-each-display" << false << int(DisplayScope::allDisplays) << "potw0001a" << 4
            << QStringList{"potw0002a"} << 2 << QStringList{} << QStringList{"potw0002a"};
    }

    void stateFoldersOfEarlierBuildsLoad()
    {
        QFETCH(QString, folder);
        QFETCH(bool, damagedDisplays);
        QFETCH(int, scope);
        QFETCH(QString, current);
        QFETCH(int, entries);
        QFETCH(QStringList, banned);
        QFETCH(int, nextPage);
        QFETCH(QStringList, displays);
        QFETCH(QStringList, kept);
        QTemporaryDir home;
        const QString data = home.filePath(QStringLiteral(".local/share/Starvane"));
        const QString keptDir = home.filePath(QStringLiteral("Pictures/Starvane"));
        QDir().mkpath(data + QStringLiteral("/Wallpapers"));
        QDir().mkpath(keptDir);
        static const QRegularExpression picture(
            QStringLiteral("@HOME@(/\\.local/share/Starvane/Wallpapers/[A-Za-z0-9_.-]+)"));
        const QDir recorded(QStringLiteral(STARVANE_TEST_DATA "/") + folder);
        for (const QFileInfo &file : recorded.entryInfoList(QDir::Files)) {
            QFile in(file.filePath());
            QVERIFY(in.open(QIODevice::ReadOnly));
            QString text = QString::fromUtf8(in.readAll());
            // The pictures it names exist, as they did for that build.
            for (auto it = picture.globalMatch(text); it.hasNext();) {
                QFile f(home.path() + it.next().captured(1));
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write("picture");
            }
            text.replace(QStringLiteral("@HOME@"), home.path());
            if (damagedDisplays && file.fileName() == u"displays.json") text.chop(text.size() / 2);
            QString target = data + QLatin1Char('/') + file.fileName();
            if (file.suffix() == u"conf") target = home.filePath(file.fileName());
            if (file.suffix() == u"txt") {
                // A kept picture: its text beside its file.
                target = keptDir + QLatin1Char('/') + file.fileName();
                QFile jpeg(keptDir + QLatin1Char('/') + file.completeBaseName() + QStringLiteral(".jpg"));
                QVERIFY(jpeg.open(QIODevice::WriteOnly) && jpeg.write("picture") > 0);
            }
            QFile out(target);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(text.toUtf8());
        }
        auto kv = std::make_shared<SettingsKeyValueStore>(home.filePath(QStringLiteral("Starvane.conf")));
        auto archive = std::make_shared<ScriptedArchive>();
        auto applier = std::make_shared<RecordingApplier>();
        applier->targets = {makeDisplay(QStringLiteral("LEFT"), 1920, 1080, 0, true),
                            makeDisplay(QStringLiteral("RIGHT"), 1920, 1080, 1920)};
        WallpaperStore store(StoreServices{archive, std::make_shared<FakeCache>(home.filePath(QStringLiteral("cache"))),
                                           applier, kv, nullptr},
                             StoreOptions{.limits = {},
                                          .shuffleBands = false,
                                          .now = m_clock.function(),
                                          .sleep = {},
                                          .dataDirectory = data,
                                          .keptDirectory = keptDir});
        QCOMPARE(store.settings(), (AppSettings{ChangeFrequency::hourly, DisplayScope(scope), false}));
        QVERIFY(store.currentImage());
        QCOMPARE(store.currentImage()->id, current);
        QVERIFY(store.currentLocalFileURL()->toLocalFile().startsWith(data + QStringLiteral("/Wallpapers/") + current));
        QVERIFY(store.nextChangeDate());
        QCOMPARE(store.library().history().entries().size(), entries);
        QCOMPARE(store.library().history().bannedIDs(), banned);
        QCOMPARE(restoredPool(kv)->nextPageNumber(), nextPage);
        QCOMPARE(store.screen().displays().keys(), displays);
        QCOMPARE(QFile::exists(data + QStringLiteral("/displays.json.damaged")), damagedDisplays);
        if (displays.contains(u"RIGHT"))
            QCOMPARE(store.screen().display(QStringLiteral("RIGHT"))->picture.image.id, QStringLiteral("potw0006a"));
        QStringList keptIDs;
        for (const KeptPictures::Picture &k : store.library().kept().all())
            keptIDs << k.id;
        QCOMPARE(keptIDs, kept);
        // Previous steps back from where the main display stands.
        QVERIFY(store.library().history().entries().size() > store.historyPosition() + 1);
        // Without its record a display has nowhere to step back from.
        QCOMPARE(store.changes().canShowPrevious(), !damagedDisplays);
    }

    void garbageSettingsFileGivesDefaults()
    {
        const QString file = m_dir.filePath(QStringLiteral("garbage.conf"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(
            "\x00\x01[General\nstarvane.next_page.v1=@Variant(\xff\xff\xff\nstarvane.settings.v1=@ByteArray(\n\xde\xad",
            60);
        f.close();
        auto store = makeStore(std::make_shared<SettingsKeyValueStore>(file));
        QCOMPARE(store->settings(), AppSettings::defaults());
        QCOMPARE(restoredPool(std::make_shared<SettingsKeyValueStore>(file))->nextPageNumber(), 1);
    }

    void notifiesOnlyOnRealChange()
    {
        auto kv = std::make_shared<InMemoryKeyValueStore>();
        const QString path = makeFile(QStringLiteral("shown.jpg"));
        kv->setString(StoreKeys::currentFilePath, path);
        auto store = makeStore(kv);
        QSignalSpy settings(store.get(), &WallpaperStore::settingsChanged);
        QSignalSpy active(store.get(), &WallpaperStore::isAutoRotationActiveChanged);
        QSignalSpy error(store.get(), &WallpaperStore::errorMessageChanged);

        store->updateDisplayScope(DisplayScope::allDisplays);
        QCOMPARE(settings.count(), 0);
        m_applier->failWith = QStringLiteral("x");
        store->updateDisplayScope(DisplayScope::mainDisplay);
        QCOMPARE(settings.count(), 1);
        QCOMPARE(active.count(), 0); // rotation stayed active
        store->togglePaused();
        QCOMPARE(settings.count(), 2);
        QCOMPARE(active.count(), 1);

        // Two failed re-applies with the same message: one change.
        QTRY_COMPARE(error.count(), 1);
        store->updateDisplayScope(DisplayScope::allDisplays);
        awaitTask(store->activeFetchEnded());
        QCOMPARE(error.count(), 1);
        m_applier->failWith.reset();

        // The same instant in another time zone is the same date.
        RotationSchedule schedule(m_clock.function(), {}, 300);
        QSignalSpy date(&schedule, &RotationSchedule::nextChangeDateChanged);
        const AppSettings hourly{ChangeFrequency::hourly, DisplayScope::allDisplays, false};
        schedule.restartInterval(hourly);
        const QDateTime utc = m_clock.now();
        m_clock.set(utc.toTimeZone(QTimeZone(3600)));
        schedule.restartInterval(hourly);
        m_clock.set(utc);
        QCOMPARE(date.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestStoreState)
#include "tst_storestate.moc"
