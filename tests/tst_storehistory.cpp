// SPDX-License-Identifier: GPL-3.0-or-later
// History, previous, kept and banned pictures, across pruning and restarts, against fakes.
#include "store/picturelibrary.h"
#include "store/storesettings.h"
#include "storeharness.h"

#include "store/filewritequeue.h"
#include "store/keptpictures.h"
#include "store/wallpaperhistory.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>

using namespace Starvane;
using namespace Starvane::Testing;

namespace {
const char *const kWriterVariable = "STARVANE_TEST_HISTORY_WRITER";

QStringList historyIDs(const WallpaperStore &store)
{
    QStringList ids;
    for (const HistoryEntry &e : store.library().history().entries())
        ids << e.id;
    return ids;
}

QThread *criticalFrom = nullptr;
QString criticalText;
void keepCritical(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtCriticalMsg) return;
    criticalFrom = QThread::currentThread();
    criticalText = message;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

class TestStoreHistory : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { QStandardPaths::setTestModeEnabled(true); }

    void previousStepsBackFromTheCacheWithoutCountingAsRecent()
    {
        StoreHarness h;
        auto &store = h.build();
        for (int i = 0; i < 3; ++i)
            h.runFetch();
        const QStringList shown = historyIDs(store);
        QCOMPARE(shown.size(), 3);
        const QStringList recent = *h.kv->stringArray(StoreKeys::recentIDs);
        const int downloads = int(h.archive->downloadedURLs.size());

        for (int back = 1; back <= 2; ++back) {
            QVERIFY(store.changes().requestPrevious());
            h.awaitFetch();
            QCOMPARE(store.currentImage()->id, shown[back]);
            QCOMPARE(store.historyPosition(), back);
            QCOMPARE(h.applier->calls.last().file, QUrl::fromLocalFile(store.library().history().entries()[back].file));
        }
        QVERIFY(!store.changes().canShowPrevious());
        QVERIFY(!store.changes().requestPrevious());
        QCOMPARE(h.archive->downloadedURLs.size(), downloads);
        QCOMPARE(*h.kv->stringArray(StoreKeys::recentIDs), recent);
        QCOMPARE(historyIDs(store), shown);

        // The next change goes forward again, with a new picture.
        h.runFetch();
        QCOMPARE(store.historyPosition(), 0);
        QVERIFY(!shown.contains(store.currentImage()->id));
        QCOMPARE(historyIDs(store).mid(1), shown);
    }

    void previousFetchesAPrunedPictureAgainAndKeptFilesSurvive()
    {
        StoreHarness h;
        h.cache->prunes = true;
        // The story travels with the picture: into the history file, the kept text file, back again.
        h.archive->verifyHandler = [](HubbleImage c) {
            c.description = QStringLiteral("What %1 shows.\n\nMore.").arg(c.id);
            return c;
        };
        auto &store = h.build();
        h.runFetch();
        const QString first = store.currentImage()->id;
        const QString story = QStringLiteral("What %1 shows.\n\nMore.").arg(first);
        QCOMPARE(store.keepCurrentWallpaper(), std::nullopt);
        QVERIFY(store.isCurrentKept());
        for (int i = 0; i < 12; ++i)
            h.runFetch();
        QTRY_COMPARE(h.cache->pruneCalls(), 13); // the prune after the last change
        const HistoryEntry oldest = store.library().history().entries().last();
        QCOMPARE(oldest.id, first);
        QVERIFY(!QFileInfo::exists(oldest.file));
        QVERIFY(QFileInfo::exists(oldest.thumbnail));
        const QString kept = KeptPictures(h.keptDir()).fileFor(first);
        QVERIFY(QFileInfo::exists(kept));
        QFile note(QFileInfo(kept).path() + QLatin1Char('/') + QFileInfo(kept).completeBaseName() +
                   QStringLiteral(".txt"));
        QVERIFY(note.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(note.readAll()).contains(story));

        // Restart: the history is read back, and stepping back reaches the pruned picture.
        h.store.reset();
        auto &again = h.build();
        QCOMPARE(again.library().history().entries().size(), 13);
        QCOMPARE(again.library().history().entries().last().description, story);
        h.archive->verifyHandler = {};
        QVERIFY(again.library().kept().isKept(first));
        for (int i = 0; i < 12; ++i) {
            QVERIFY(again.changes().requestPrevious());
            h.awaitFetch();
        }
        QCOMPARE(again.currentImage()->id, first);
        QCOMPARE(again.currentImage()->description, story); // remembered, though the page now tells nothing
        QCOMPARE(h.archive->verifiedIDs.last(), first);
        QVERIFY(QFileInfo::exists(again.currentLocalFileURL()->toLocalFile()));
        QCOMPARE(again.library().history().entries().last().file, again.currentLocalFileURL()->toLocalFile());
        QVERIFY(!again.errorMessage());
    }

    void bannedPicturesNeverReturn_data()
    {
        QTest::addColumn<bool>("sameContentUnderAnotherID");
        QTest::newRow("by id") << false;
        QTest::newRow("by content") << true;
    }
    void bannedPicturesNeverReturn()
    {
        QFETCH(bool, sameContentUnderAnotherID);
        StoreHarness h;
        // Three pictures in the whole archive: the pool runs dry and is reset again and again.
        h.archive->pageHandler = [](int page) {
            return page == 1 ? QList<HubbleImage>{makeImage(QStringLiteral("a")), makeImage(QStringLiteral("b")),
                                                  makeImage(QStringLiteral("c"))}
                             : QList<HubbleImage>{};
        };
        if (sameContentUnderAnotherID) {
            // "c" is the very file "a" is.
            h.archive->downloadHandler = [](const QUrl &url) {
                return url.toString().replace(QStringLiteral("/c."), QStringLiteral("/a.")).toUtf8();
            };
        }
        auto &store = h.build();
        h.runFetch();
        QCOMPARE(store.currentImage()->id, QStringLiteral("a"));
        store.neverAgain();
        h.awaitFetch();
        QVERIFY(store.currentImage()->id != QStringLiteral("a"));
        QVERIFY(store.library().history().isBannedID(QStringLiteral("a")));

        for (int i = 0; i < 8; ++i) {
            h.runFetch();
            QVERIFY(store.currentImage()->id != QStringLiteral("a"));
            if (sameContentUnderAnotherID) QVERIFY(store.currentImage()->id != QStringLiteral("c"));
        }
        // Bans outlive a restart; lifting one brings the picture back.
        h.store.reset();
        auto &again = h.build();
        QVERIFY(again.library().history().isBannedID(QStringLiteral("a")));
        again.library().liftBan(QStringLiteral("a"));
        QStringList seen;
        for (int i = 0; i < 4; ++i) {
            h.runFetch();
            seen << again.currentImage()->id;
        }
        QVERIFY(seen.contains(QStringLiteral("a")));
    }

    void onlyKeptPicturesRotateWithoutTheNetwork()
    {
        StoreHarness h;
        auto &store = h.build();
        QStringList kept;
        for (int i = 0; i < 2; ++i) {
            h.runFetch();
            kept << store.currentImage()->id;
            QCOMPARE(store.keepCurrentWallpaper(), std::nullopt);
        }
        h.runFetch();
        store.settingsObject().setOnlyKeptPictures(true);
        const qsizetype pages = h.archive->requestedPages.size();
        const qsizetype downloads = h.archive->downloadedURLs.size();
        QStringList shown;
        for (int i = 0; i < 4; ++i) {
            h.runFetch();
            shown << store.currentImage()->id;
            QVERIFY(store.currentLocalFileURL()->toLocalFile().startsWith(h.keptDir()));
        }
        QCOMPARE(h.archive->requestedPages.size(), pages);
        QCOMPARE(h.archive->downloadedURLs.size(), downloads);
        std::sort(kept.begin(), kept.end());
        QCOMPARE(shown, (kept + kept));
        QCOMPARE(store.library().history().entries().size(), 7);
    }

    void keepingIntoAFolderThatCannotBeWrittenChangesNothing()
    {
        StoreHarness h;
        writeFile(h.keptDir(), "a file where the folder should be");
        auto &store = h.build();
        h.runFetch();
        const std::optional<QString> error = store.keepCurrentWallpaper();
        QVERIFY(error);
        QVERIFY2(error->contains(h.keptDir()), qPrintable(*error));
        QCOMPARE(store.errorMessage(), error);
        QVERIFY(!store.isCurrentKept());
        QVERIFY(QFileInfo(h.keptDir()).isFile());
    }

    void keptFilesAreNamedReadably_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("plain") << "The Crab Nebula"
                               << "The Crab Nebula (heic0515a).jpg";
        QTest::newRow("path and shell characters") << "M16: \"Pillars\" / 2014 (detail)?"
                                                   << "M16 Pillars 2014 detail (heic0515a).jpg";
        QTest::newRow("hidden-file dots") << "..hidden"
                                          << "hidden (heic0515a).jpg";
        QTest::newRow("no title") << ""
                                  << "heic0515a.jpg";
        QTest::newRow("long title cut") << QString(200, QLatin1Char('x'))
                                        << QString(80, QLatin1Char('x')) + " (heic0515a).jpg";
    }
    void keptFilesAreNamedReadably()
    {
        QFETCH(QString, title);
        QFETCH(QString, fileName);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("source.jpg"));
        writeFile(source, "picture");
        const KeptPictures kept(dir.filePath(QStringLiteral("kept")));
        const QString id = QStringLiteral("heic0515a");
        QCOMPARE(kept.keep(source, {id, title, QStringLiteral("NASA & ESA"),
                                    QUrl(QStringLiteral("https://esahubble.org/images/heic0515a/")),
                                    QStringLiteral("Gas.\n\nDust.")}),
                 std::nullopt);
        QCOMPARE(QFileInfo(kept.fileFor(id)).fileName(), fileName);
        // Read back from the name alone: the id, and the title as it was written.
        QCOMPARE(kept.all().size(), 1);
        QCOMPARE(kept.all().first().id, id);
        QFile note(QFileInfo(kept.fileFor(id)).path() + QLatin1Char('/') +
                   QFileInfo(kept.fileFor(id)).completeBaseName() + QStringLiteral(".txt"));
        QVERIFY(note.open(QIODevice::ReadOnly));
        const QByteArray text = note.readAll();
        // The title, its story in paragraphs, the credit and the page, each apart.
        QVERIFY2(text.endsWith("\n\nGas.\n\nDust.\n\nCredit: NASA & ESA\nhttps://esahubble.org/images/heic0515a/\n"),
                 text.constData());
        QVERIFY(kept.unkeep(id));
        QVERIFY(kept.all().isEmpty() && !note.exists());
    }

    void aPrunedPictureThatCannotBeFetchedAgainChangesNothing()
    {
        StoreHarness h;
        h.cache->prunes = true;
        auto &store = h.build();
        for (int i = 0; i < 10; ++i)
            h.runFetch();
        QTRY_COMPARE(h.cache->pruneCalls(), 10);
        // Back to the oldest picture still in the cache.
        const auto nextFileBackExists = [&] {
            return QFileInfo::exists(store.library().history().entries().at(store.historyPosition() + 1).file);
        };
        while (nextFileBackExists()) {
            QVERIFY(store.changes().requestPrevious());
            h.awaitFetch();
        }
        const HubbleImage shown = *store.currentImage();
        const int position = store.historyPosition();
        QVERIFY(position > 0);
        const QList<HistoryEntry> entries = store.library().history().entries();

        h.archive->verifyHandler = [](const HubbleImage &) -> HubbleImage { throw FileError(QStringLiteral("gone")); };
        QVERIFY(store.changes().requestPrevious());
        h.awaitFetch();
        QCOMPARE(*store.currentImage(), shown);
        QCOMPARE(store.historyPosition(), position);
        QCOMPARE(store.library().history().entries(), entries);
        QCOMPARE(store.errorMessage(), QStringLiteral("gone"));
    }

    void damagedFilesAreSetAside_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("entries");
        QTest::addColumn<bool>("setAside");
        const QByteArray good = QByteArrayLiteral(R"({"version":1,"entries":[{"id":"heic0601a","title":"T","credit":"C",
            "captureYear":2006,"shownAt":"2026-01-01T10:00:00Z","display":"","file":"","hash":"","thumbnail":""}]})");
        QTest::newRow("history: not JSON") << "history.json" << QByteArray("{\"version\":1,\"entr") << 0 << true;
        QTest::newRow("history: other version")
            << "history.json" << QByteArray(R"({"version":7,"entries":[]})") << 0 << true;
        QTest::newRow("history: readable") << "history.json" << good << 1 << false;
        QTest::newRow("history: unsafe id dropped")
            << "history.json" << QByteArray(good).replace("heic0601a", "../../etc/passwd") << 0 << false;
        QTest::newRow("bans: not JSON") << "bans.json" << QByteArray("[]") << 0 << true;
    }
    void damagedFilesAreSetAside()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(int, entries);
        QFETCH(bool, setAside);
        StoreHarness h;
        h.plantState(AppSettings{ChangeFrequency::daily, DisplayScope::mainDisplay, false});
        writeFile(QDir(h.dataDir()).filePath(file), content);
        auto &store = h.build();
        QCOMPARE(store.library().history().entries().size(), entries);
        QCOMPARE(QFileInfo::exists(QDir(h.dataDir()).filePath(file + QStringLiteral(".damaged"))), setAside);
        QCOMPARE(store.settings().frequency, ChangeFrequency::daily);
        // Replaced by a good file at once.
        WallpaperHistory reread(h.dataDir());
        QVERIFY(reread.load());
        h.runFetch();
        QCOMPARE(store.library().history().entries().size(), entries + 1);
    }

    void filesAreWrittenAwayFromTheMainThreadInOrder()
    {
        QTemporaryDir dir;
        // A folder where the file should be: the write fails, and the queue goes on after it.
        const QString blocked = dir.filePath(QStringLiteral("blocked.json"));
        writeFile(blocked + QStringLiteral("/inside"), "kept");
        const QString good = dir.filePath(QStringLiteral("new/good.json"));
        const QtMessageHandler previous = qInstallMessageHandler(keepCritical);
        FileWriteQueue::write(blocked, "lost");
        const QString other = dir.filePath(QStringLiteral("other.json"));
        for (int i = 0; i < 100; ++i) {
            FileWriteQueue::write(good, QByteArray::number(i));
            if (i % 10 == 0) FileWriteQueue::write(other, "other " + QByteArray::number(i));
        }
        FileWriteQueue::flush();
        qInstallMessageHandler(previous);
        QVERIFY2(criticalText.startsWith(QStringLiteral("Could not write %1: ").arg(blocked)),
                 qPrintable(criticalText));
        QVERIFY(criticalFrom && criticalFrom != QThread::currentThread());
        QFile inside(blocked + QStringLiteral("/inside"));
        QVERIFY(inside.open(QIODevice::ReadOnly));
        QCOMPARE(inside.readAll(), QByteArray("kept"));
        QFile last(good);
        QVERIFY(last.open(QIODevice::ReadOnly));
        QCOMPARE(last.readAll(), QByteArray("99"));
        QFile otherLast(other);
        QVERIFY(otherLast.open(QIODevice::ReadOnly));
        QCOMPARE(otherLast.readAll(), QByteArray("other 90"));

        // A second instance reads what the first one asked to write, without waiting by hand.
        WallpaperHistory writer(dir.path());
        for (int i = 0; i < 10; ++i) {
            HistoryEntry e;
            e.id = QStringLiteral("heic%1").arg(i, 4, 10, QLatin1Char('0'));
            e.shownAt = QDateTime::currentDateTimeUtc();
            writer.record(e);
        }
        writer.ban(QStringLiteral("heic0003"), {});
        WallpaperHistory reader(dir.path());
        QVERIFY(reader.load());
        QCOMPARE(reader.entries().size(), writer.entries().size());
        QCOMPARE(reader.entries().first().id, QStringLiteral("heic0009"));
        QCOMPARE(reader.bannedIDs(), QStringList{QStringLiteral("heic0003")});
    }

    void killedWhileWritingLeavesALoadableFile()
    {
        QTemporaryDir dir;
        for (int round = 0; round < 5; ++round) {
            QProcess writer;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QString::fromLatin1(kWriterVariable), dir.path());
            writer.setProcessEnvironment(env);
            writer.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(writer.waitForStarted());
            QTRY_VERIFY(QFileInfo(dir.filePath(QStringLiteral("history.json"))).size() > 1000);
            QTest::qWait(37 * (round + 1));
            ::kill(pid_t(writer.processId()), SIGKILL);
            QVERIFY(writer.waitForFinished());
            WallpaperHistory history(dir.path());
            QVERIFY(history.load());
            QVERIFY(!history.entries().isEmpty());
        }
    }
};

namespace {
/// The child of killedWhileWritingLeavesALoadableFile: records entries as fast as it can until killed.
[[noreturn]] void writeHistoryForever(const QString &directory)
{
    WallpaperHistory history(directory);
    history.load();
    for (int i = 0;; ++i) {
        HistoryEntry e;
        e.id = QStringLiteral("heic%1").arg(i % 1000, 4, 10, QLatin1Char('0'));
        e.title = QString(200, QLatin1Char('x'));
        e.shownAt = QDateTime::currentDateTimeUtc();
        history.record(e);
    }
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(kWriterVariable)) writeHistoryForever(qEnvironmentVariable(kWriterVariable));
    TestStoreHistory test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storehistory.moc"
