// SPDX-License-Identifier: GPL-3.0-or-later
// Fakes for the store's collaborators and its clock. Everything else in the tests is real.
#pragma once

#include "contracts/hubbleimagefetching.h"
#include "contracts/networkstatus.h"
#include "contracts/wallpaperapplying.h"
#include "contracts/wallpapercaching.h"
#include "models/hubbleimage.h"

#include <QCoroTask>
#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QTimeZone>
#include <QUrl>
#include <QWaitCondition>
#include <chrono>
#include <functional>
#include <memory>

namespace Starvane::Testing {

/// The connection as the test sets it.
class FakeNetwork : public NetworkStatus
{
    Q_OBJECT
public:
    bool online = true;
    bool metered = false;
    bool isOnline() const override { return online; }
    bool isMetered() const override { return metered; }
    void set(bool isOnline, bool isMetered = false)
    {
        online = isOnline;
        metered = isMetered;
        Q_EMIT changed();
    }
};

/// A clock the test moves by hand; safe to read from any thread.
class ManualClock
{
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC)) : m_now(start) {}
    QDateTime now() const
    {
        QMutexLocker lock(&m_mutex);
        return m_now;
    }
    void advance(double seconds)
    {
        QMutexLocker lock(&m_mutex);
        m_now = m_now.addMSecs(qint64(seconds * 1000));
    }
    void set(const QDateTime &t)
    {
        QMutexLocker lock(&m_mutex);
        m_now = t;
    }
    std::function<QDateTime()> function()
    {
        return [this] { return now(); };
    }

private:
    mutable QMutex m_mutex;
    QDateTime m_now;
};

/// The store's sleeper for tests: records each requested delay and sleeps until fireAll() or a stop.
class ManualSleeper : public QObject
{
    Q_OBJECT
public:
    QList<qint64> requestedMs;
    QCoro::Task<> sleep(std::chrono::milliseconds delay, std::stop_token st);
    /// Ends every sleep now in progress.
    void fireAll();
    int sleeping() const { return int(m_sleeping.size()); }
    std::function<QCoro::Task<>(std::chrono::milliseconds, std::stop_token)> function()
    {
        return [this](std::chrono::milliseconds d, std::stop_token st) { return sleep(d, std::move(st)); };
    }
Q_SIGNALS:
    void wake();

private:
    QList<std::shared_ptr<bool>> m_sleeping;
};

/// The awaits of a fetch at which the fakes can hold it.
enum class Step { page, verify, download, save, prepare, apply };

/// Lets a test hold a fetch at one of its awaits, land something there, and let it go on. The fakes pass
/// through it at each step; a held step then completes normally, as if its work finished just as the
/// stop (or whatever the test landed) arrived. Safe to use from any thread: the save runs on a worker.
class StepGate
{
public:
    struct Hold
    {
        Step step;
        bool arrived = false;
        bool released = false;
    };
    ~StepGate() { releaseAll(); }

    /// The next arrival at `step` waits until release().
    std::shared_ptr<Hold> holdNext(Step step);
    bool hasArrived(const std::shared_ptr<Hold> &hold) const;
    void release(const std::shared_ptr<Hold> &hold);
    void releaseAll();
    /// The steps a fake was asked for with a stop token that was already stopped.
    QList<Step> callsAfterStop() const;

    /// For the fakes: records the call, fails with CancelledError when `st` is stopped already, and
    /// waits while the step is held.
    static QCoro::Task<> pass(std::shared_ptr<StepGate> gate, Step step, std::stop_token st);
    /// The same for work on a worker thread, without a token.
    static void passBlocking(const std::shared_ptr<StepGate> &gate, Step step);

private:
    std::shared_ptr<Hold> arrive(Step step, bool stopped);

    mutable QMutex m_mutex;
    QWaitCondition m_releasedCondition;
    QList<std::shared_ptr<Hold>> m_holds;
    QList<Step> m_callsAfterStop;
};

/// A display named `name` (its key too) of w × h at x.
DisplayTarget makeDisplay(const QString &name, int w, int h, int x = 0, bool primary = false);

/// A record with plausible archive URLs for `id`.
HubbleImage makeImage(const QString &id, qint64 width = 3840, qint64 height = 2160,
                      std::optional<QUrl> fallback = std::nullopt);

/// An archive whose pages, verification and downloads the test scripts.
class ScriptedArchive : public HubbleImageFetching
{
public:
    /// Page number → items, or throws. Default: empty pages.
    std::function<QList<HubbleImage>(int page)> pageHandler;
    /// Replaces the default (accept unchanged) when set; may throw.
    std::function<HubbleImage(const HubbleImage &)> verifyHandler;
    /// URL → bytes of the downloaded file, or throws. Default: unique bytes per URL.
    std::function<QByteArray(const QUrl &)> downloadHandler;
    /// Each download waits this long (cancellable) before it answers.
    std::chrono::milliseconds downloadDelay{0};

    QList<int> requestedPages;
    QList<QUrl> downloadedURLs;
    /// Downloads that have returned or thrown: their frames are gone.
    int endedDownloads = 0;
    QStringList verifiedIDs;
    /// The display each verification was asked to fit downloads to (invalid: the usual choice).
    QList<QSize> verifiedFor;
    QList<QUrl> temporaryFiles;
    QString temporaryDir = QDir::tempPath();
    std::shared_ptr<StepGate> gate;

    QCoro::Task<QList<HubbleImage>> fetchCatalogPage(int page, double aspect, std::stop_token st) override;
    QCoro::Task<HubbleImage> verifyAndEnrichCandidate(HubbleImage candidate, std::stop_token st) override;
    QCoro::Task<HubbleImage> verifyForDisplay(HubbleImage candidate, QSize display, std::stop_token st) override;
    QCoro::Task<QUrl> downloadImageFile(QUrl url, std::stop_token st) override;
    std::optional<HubbleImage> candidateForID(const QString &id) const override
    {
        return isSafeArchiveID(id) ? std::optional(makeImage(id)) : std::nullopt;
    }

private:
    QSize m_verifyingFor;
};

/// An applier that records what it was asked to do. Like the real ones it serialises applies: one asked
/// for while another runs waits for it.
class RecordingApplier : public WallpaperApplying
{
public:
    struct Call
    {
        QUrl file;
        DisplayScope scope;
        /// As set when the apply began.
        WallpaperLook look;
    };
    QList<Call> calls;
    /// The last look set, and whether the "desktop" switches to a dark picture by itself.
    WallpaperLook look;
    bool darkStyleItself = false;
    void setLook(WallpaperLook l) override { look = std::move(l); }
    bool showsDarkStyleItself() const override { return darkStyleItself; }
    /// Thrown by the next applyWallpaper calls while set.
    std::optional<QString> failWith;
    /// What the "desktop" shows; applyWallpaper updates it on success.
    QList<std::optional<QUrl>> shown{std::nullopt, std::nullopt};
    double aspect = 16.0 / 9.0;
    std::shared_ptr<StepGate> gate;

    QCoro::Task<> prepareWallpaper(QUrl file, DisplayScope scope, std::stop_token st) override;
    QCoro::Task<> applyWallpaper(QUrl file, DisplayScope scope, std::stop_token st) override;
    QCoro::Task<QSet<QUrl>> currentDesktopImageURLs() override;
    QCoro::Task<QList<std::optional<QUrl>>> desktopImageURLs(DisplayScope scope) override;
    QSet<QUrl> shownURLs() const;
    double primaryDisplayAspectRatio() override { return aspect; }
    QSize largest{1920, 1080};
    QSize largestDisplayPixelSize() override { return largest; }

    /// The displays of "each display" mode, and each call that gave them pictures.
    QList<DisplayTarget> targets;
    QList<QList<DisplayWallpaper>> displayCalls;
    QHash<QString, QUrl> shownOnDisplay;
    QList<DisplayTarget> displayTargets() override { return targets; }
    QCoro::Task<> applyDisplayWallpapers(QList<DisplayWallpaper> pictures, std::stop_token st) override;

    /// A lock screen that takes pictures when `lockScreen` is set; each file it was given.
    bool lockScreen = false;
    QList<QUrl> lockScreenCalls;
    bool supportsLockScreen() const override { return lockScreen; }
    QCoro::Task<> applyLockScreen(QUrl file, std::stop_token st) override;

    /// Whom to tell that the "desktop" asks the person for permission.
    std::function<void(bool)> askingListener;
    void onAskingForPermission(std::function<void(bool)> listener) override { askingListener = std::move(listener); }

private:
    bool m_applying = false;
};

/// A cache that copies files into a folder and "validates" by content: a file starting with
/// "corrupt" is rejected as truncated. Hashes are SHA-256 of the content.
class FakeCache : public WallpaperCaching
{
public:
    explicit FakeCache(QString directory) : m_dir(std::move(directory)) {}
    SavedWallpaper saveValidatedImage(const QUrl &file, const QString &imageID, bool forPortraitDisplay) const override;
    void pruneOldWallpapers(const QSet<QUrl> &keeping, int maxRetained) const override;
    /// Copies the file: enough to tell a thumbnail is there when its picture is gone.
    bool saveThumbnail(const QUrl &file, const QString &target, int maxSide) const override;

    /// "tall" in the file: a portrait picture.
    QSize pixelSize(const QUrl &file) const override;
    int pruneCalls() const;
    /// Prune for real: delete the oldest files beyond the number to retain, as the cache does.
    bool prunes = false;
    QSet<QUrl> lastKeeping() const;
    std::shared_ptr<StepGate> gate;

private:
    QString m_dir;
    mutable QMutex m_mutex;
    mutable int m_counter = 0;
    mutable int m_pruneCalls = 0;
    mutable QSet<QUrl> m_lastKeeping;
};

} // namespace Starvane::Testing
