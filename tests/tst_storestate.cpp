// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes.h"
#include "storeaccess.h"
#include "store/keyvaluestore.h"

#include <QFile>
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

    std::unique_ptr<WallpaperStore> makeStore(std::shared_ptr<KeyValueStore> kv)
    {
        return std::make_unique<WallpaperStore>(std::make_shared<ScriptedArchive>(),
                                                std::make_shared<FakeCache>(m_dir.filePath(QStringLiteral("cache"))),
                                                std::make_shared<RecordingApplier>(), std::move(kv), m_clock.function(),
                                                false);
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
        WallpaperStoreTestAccess a(*store);
        QCOMPARE(store->settings(), AppSettings::defaults());
        QCOMPARE(store->currentImage(), std::nullopt);
        QCOMPARE(store->currentLocalFileURL(), std::nullopt);
        QCOMPARE(store->nextChangeDate(), std::nullopt);
        QCOMPARE(a.nextPageNumber(), 1);
        QVERIFY(a.recentImageIDs().isEmpty());
        QVERIFY(!store->isLoading());
        QVERIFY(kv->keys().isEmpty()); // nothing written by construction
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
        QCOMPARE(WallpaperStoreTestAccess(*store).nextPageNumber(), 7); // the rest survives
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
        QCOMPARE(WallpaperStoreTestAccess(*store).currentContentHash(), QStringLiteral("abc"));
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
        auto store = makeStore(kv);
        QCOMPARE(WallpaperStoreTestAccess(*store).nextPageNumber(), restored);
    }

    void wrongKindsFallBackWithoutLosingOtherKeys()
    {
        auto kv = std::make_shared<InMemoryKeyValueStore>();
        const AppSettings chosen{ChangeFrequency::daily, DisplayScope::mainDisplay, true};
        kv->setData(StoreKeys::settings, chosen.toJson());
        kv->setRaw(StoreKeys::nextChangeDate, QStringLiteral("tomorrow"));
        kv->setRaw(StoreKeys::recentIDs, 42);
        kv->setRaw(StoreKeys::recentHashes, QStringList{QStringLiteral("h1")});
        auto store = makeStore(kv);
        QCOMPARE(store->settings(), chosen);
        QCOMPARE(store->nextChangeDate(), std::nullopt);
        WallpaperStoreTestAccess a(*store);
        QVERIFY(a.recentImageIDs().isEmpty());
        QCOMPARE(a.recentContentHashes(), QStringList{QStringLiteral("h1")});

        kv->setData(StoreKeys::settings, R"({"frequency":"daily","displayScope":"sideways","isPaused":true})");
        QCOMPARE(makeStore(kv)->settings(), AppSettings::defaults());
        QVERIFY(kv->data(StoreKeys::settings)->contains("sideways")); // left for the next persist
    }

    void persistWithNothingCurrent()
    {
        auto kv = std::make_shared<InMemoryKeyValueStore>();
        kv->setDate(StoreKeys::nextChangeDate, m_clock.now());
        auto store = makeStore(kv);
        WallpaperStoreTestAccess a(*store);
        a.setNextChangeDate(std::nullopt);
        a.persistState();
        QStringList keys = kv->keys();
        keys.sort();
        QCOMPARE(keys, (QStringList{StoreKeys::nextPage, StoreKeys::recentHashes, StoreKeys::recentIDs, StoreKeys::settings}));
    }

    void roundTripThroughTheSettingsFile()
    {
        const QString file = m_dir.filePath(QStringLiteral("Starvane.conf"));
        const QString image = makeFile(QStringLiteral("current.jpg"));
        const QDateTime next = m_clock.now().addSecs(1234);
        HubbleImage current = makeImage(QStringLiteral("potw1234a"));
        current.title = QStringLiteral("Caf\u00e9 \"nebula\" & co");
        {
            auto kv = std::make_shared<SettingsKeyValueStore>(file);
            auto store = makeStore(kv);
            WallpaperStoreTestAccess a(*store);
            a.setSettings({ChangeFrequency::every15Minutes, DisplayScope::mainDisplay, false});
            a.setCurrentImage(current);
            a.setCurrentLocalFileURL(QUrl::fromLocalFile(image));
            a.currentContentHash() = QStringLiteral("ff00");
            a.setNextChangeDate(next);
            a.nextPageNumber() = 9;
            a.recentImageIDs() = QStringList{QStringLiteral("only-one")}; // INI reads this back as a string
            a.recentContentHashes() = QStringList{};                      // and this as nothing
            a.persistState();
            kv->sync();
        }
        auto kv = std::make_shared<SettingsKeyValueStore>(file);
        auto store = makeStore(kv);
        WallpaperStoreTestAccess a(*store);
        QCOMPARE(store->settings(), (AppSettings{ChangeFrequency::every15Minutes, DisplayScope::mainDisplay, false}));
        QCOMPARE(store->currentImage(), current);
        QCOMPARE(store->currentLocalFileURL(), QUrl::fromLocalFile(image));
        QCOMPARE(a.currentContentHash(), QStringLiteral("ff00"));
        QCOMPARE(store->nextChangeDate(), next);
        QCOMPARE(a.nextPageNumber(), 9);
        QCOMPARE(a.recentImageIDs(), QStringList{QStringLiteral("only-one")});
        QVERIFY(a.recentContentHashes().isEmpty());
    }

    void garbageSettingsFileGivesDefaults()
    {
        const QString file = m_dir.filePath(QStringLiteral("garbage.conf"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\x00\x01[General\nstarvane.next_page.v1=@Variant(\xff\xff\xff\nstarvane.settings.v1=@ByteArray(\n\xde\xad",
                60);
        f.close();
        auto store = makeStore(std::make_shared<SettingsKeyValueStore>(file));
        QCOMPARE(store->settings(), AppSettings::defaults());
        QCOMPARE(WallpaperStoreTestAccess(*store).nextPageNumber(), 1);
    }

    void notifiesOnlyOnRealChange()
    {
        auto store = makeStore(std::make_shared<InMemoryKeyValueStore>());
        WallpaperStoreTestAccess a(*store);
        QSignalSpy settings(store.get(), &WallpaperStore::settingsChanged);
        QSignalSpy active(store.get(), &WallpaperStore::isAutoRotationActiveChanged);
        QSignalSpy loading(store.get(), &WallpaperStore::isLoadingChanged);
        QSignalSpy error(store.get(), &WallpaperStore::errorMessageChanged);
        QSignalSpy date(store.get(), &WallpaperStore::nextChangeDateChanged);

        a.setSettings(AppSettings::defaults());
        a.setLoading(false);
        a.setErrorMessage(std::nullopt);
        QCOMPARE(settings.count() + loading.count() + error.count(), 0);

        a.setSettings({ChangeFrequency::hourly, DisplayScope::mainDisplay, false});
        QCOMPARE(settings.count(), 1);
        QCOMPARE(active.count(), 0); // rotation stayed active
        a.setSettings({ChangeFrequency::hourly, DisplayScope::mainDisplay, true});
        QCOMPARE(settings.count(), 2);
        QCOMPARE(active.count(), 1);

        a.setErrorMessage(QStringLiteral("x"));
        a.setErrorMessage(QStringLiteral("x"));
        QCOMPARE(error.count(), 1);
        // The same instant in another time zone is the same date.
        a.setNextChangeDate(m_clock.now());
        a.setNextChangeDate(m_clock.now().toTimeZone(QTimeZone(3600)));
        QCOMPARE(date.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestStoreState)
#include "tst_storestate.moc"
