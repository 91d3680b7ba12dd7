// SPDX-License-Identifier: GPL-3.0-or-later
// A store wired to fakes, a manual clock and a manual sleeper, in its own temporary folder.
#pragma once

#include "awaittask.h"
#include "fakes.h"
#include "models/errors.h"
#include "store/keyvaluestore.h"
#include "store/wallpaperstore.h"

#include <QCoroTask>
#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace Starvane::Testing {

struct StoreHarness
{
    QTemporaryDir dir;
    ManualClock clock;
    ManualSleeper sleeper;
    std::shared_ptr<StepGate> gate = std::make_shared<StepGate>();
    std::shared_ptr<ScriptedArchive> archive = std::make_shared<ScriptedArchive>();
    std::shared_ptr<FakeCache> cache;
    std::shared_ptr<RecordingApplier> applier = std::make_shared<RecordingApplier>();
    std::shared_ptr<InMemoryKeyValueStore> kv = std::make_shared<InMemoryKeyValueStore>();
    std::shared_ptr<FakeNetwork> network = std::make_shared<FakeNetwork>();
    std::unique_ptr<WallpaperStore> store;

    StoreHarness()
    {
        QDir().mkpath(tempDir());
        archive->temporaryDir = tempDir();
        archive->gate = gate;
        applier->gate = gate;
        cache = std::make_shared<FakeCache>(cacheDir());
        cache->gate = gate;
        // Four 4K images per page unless a test says otherwise.
        archive->pageHandler = [](int page) {
            QList<HubbleImage> items;
            for (int i = 1; i <= 4; ++i)
                items << makeImage(QStringLiteral("p%1-%2").arg(page).arg(i));
            return items;
        };
    }
    ~StoreHarness()
    {
        // Let held steps finish while the fakes are still there.
        gate->releaseAll();
        store.reset();
        QTest::qWait(10);
    }

    QString tempDir() const { return dir.filePath(QStringLiteral("tmp")); }
    QString cacheDir() const { return dir.filePath(QStringLiteral("cache")); }
    QString dataDir() const { return dir.filePath(QStringLiteral("data")); }
    QString keptDir() const { return dir.filePath(QStringLiteral("kept")); }

    /// Waits for the fetch the last call started, if any.
    void awaitFetch() { awaitTask(store->activeFetchEnded()); }

    WallpaperStore &build(bool shuffleBands = false)
    {
        store = std::make_unique<WallpaperStore>(StoreServices{archive, cache, applier, kv, network},
                                                 StoreOptions{.limits = {},
                                                              .shuffleBands = shuffleBands,
                                                              .now = clock.function(),
                                                              .sleep = sleeper.function(),
                                                              .dataDirectory = dataDir(),
                                                              .keptDirectory = keptDir(),
                                                              .networkSettleDelay = std::chrono::milliseconds(0)});
        return *store;
    }

    /// What a previous run left behind, for the next build(): the settings, a picture on screen (a
    /// real file) and the date of the next change.
    QString plantState(const AppSettings &settings, std::optional<HubbleImage> current = std::nullopt,
                       std::optional<QDateTime> next = std::nullopt)
    {
        kv->setData(StoreKeys::settings, settings.toJson());
        QString file;
        if (current) {
            file = dir.filePath(current->id + QStringLiteral(".jpg"));
            QFile f(file);
            if (f.open(QIODevice::WriteOnly))
                f.write(current->id.toUtf8());
            kv->setString(StoreKeys::currentFilePath, file);
            kv->setData(StoreKeys::currentImage, current->toJson());
        }
        if (next)
            kv->setDate(StoreKeys::nextChangeDate, *next);
        return file;
    }

    /// Starts a user fetch (or joins the running one) and waits for it to end.
    void runFetch() { awaitTask(store->applyNextWallpaper()); }

    /// A user fetch in which every candidate fails with `message`, which the store then shows.
    void runFailingFetch(const QString &message)
    {
        archive->verifyHandler = [message](const HubbleImage &) -> HubbleImage { throw FileError(message); };
        runFetch();
        archive->verifyHandler = {};
    }

    /// Starts a user fetch and holds it at its first verification: the store shows it loading.
    std::shared_ptr<StepGate::Hold> holdFetch()
    {
        auto hold = gate->holdNext(Step::verify);
        store->requestNextWallpaper();
        for (int i = 0; i < 2500 && !gate->hasArrived(hold); ++i)
            QTest::qWait(2);
        return hold;
    }
    /// Lets a held fetch go on and waits for it to end.
    void releaseFetch(const std::shared_ptr<StepGate::Hold> &hold)
    {
        gate->release(hold);
        runFetch();
    }

    QStringList temporaryFilesLeft() const { return QDir(tempDir()).entryList(QDir::Files); }
    QStringList cacheFiles() const { return QDir(cacheDir()).entryList(QDir::Files, QDir::Name); }

    /// The content hash the fake archive's default download of `id` produces.
    static QString hashOf(const QString &id)
    {
        return QString::fromLatin1(
            QCryptographicHash::hash(makeImage(id).imageURL.toString().toUtf8(), QCryptographicHash::Sha256).toHex());
    }
};

} // namespace Starvane::Testing
