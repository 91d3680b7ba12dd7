// SPDX-License-Identifier: GPL-3.0-or-later
// A store wired to fakes, a manual clock and a manual sleeper, in its own temporary folder.
#pragma once

#include "fakes.h"
#include "storeaccess.h"
#include "store/keyvaluestore.h"

#include <QCoroTask>
#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>

namespace Starvane::Testing {

struct StoreHarness
{
    QTemporaryDir dir;
    ManualClock clock;
    ManualSleeper sleeper;
    std::shared_ptr<ScriptedArchive> archive = std::make_shared<ScriptedArchive>();
    std::shared_ptr<FakeCache> cache;
    std::shared_ptr<RecordingApplier> applier = std::make_shared<RecordingApplier>();
    std::shared_ptr<InMemoryKeyValueStore> kv = std::make_shared<InMemoryKeyValueStore>();
    std::unique_ptr<WallpaperStore> store;

    StoreHarness()
    {
        QDir().mkpath(tempDir());
        archive->temporaryDir = tempDir();
        cache = std::make_shared<FakeCache>(cacheDir());
        // Four 4K images per page unless a test says otherwise.
        archive->pageHandler = [](int page) {
            QList<HubbleImage> items;
            for (int i = 1; i <= 4; ++i)
                items << makeImage(QStringLiteral("p%1-%2").arg(page).arg(i));
            return items;
        };
    }

    QString tempDir() const { return dir.filePath(QStringLiteral("tmp")); }
    QString cacheDir() const { return dir.filePath(QStringLiteral("cache")); }

    WallpaperStore &build(bool shuffleBands = false)
    {
        store = std::make_unique<WallpaperStore>(archive, cache, applier, kv, clock.function(), shuffleBands,
                                                 sleeper.function());
        return *store;
    }
    WallpaperStoreTestAccess access() { return WallpaperStoreTestAccess(*store); }

    /// Starts a user fetch (or joins the running one) and waits for it to end.
    void runFetch() { QCoro::waitFor(store->applyNextWallpaper()); }

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
