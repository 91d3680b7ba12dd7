// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogpool.h"
#include "contracts/wallpaperapplying.h"
#include "models/appsettings.h"
#include "models/displaytarget.h"
#include "models/hubbleimage.h"

#include <QCoroTask>
#include <QObject>
#include <QSize>
#include <QSet>
#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

namespace Starvane {

class HubbleImageFetching;
class WallpaperApplying;
class WallpaperCaching;
struct SavedWallpaper;

/// One fetch is one complete wallpaper change: draw a candidate, verify it, download it (with one
/// fallback variant), validate and save it, skip recent duplicates, apply it, remember it, prune the
/// cache. At most one fetch is pending or running; a second request is dropped. Main thread only.
class FetchPipeline : public QObject
{
    Q_OBJECT
public:
    struct Services
    {
        std::shared_ptr<HubbleImageFetching> archive;
        std::shared_ptr<const WallpaperCaching> cache;
        std::shared_ptr<WallpaperApplying> applier;
    };
    /// A picture to show again rather than a new one: from its file while that is still there, else
    /// fetched afresh through the same checks as a new one. It does not count as recently shown.
    struct Revisit
    {
        HubbleImage image;
        QString file;
        QString contentHash;
        /// Its place in the history; absent for a kept picture, which is recorded as newly shown.
        std::optional<int> historyIndex;
    };
    /// What a successful fetch put on screen.
    struct Applied
    {
        HubbleImage image; // as verified, with the saved file's pixel size
        QUrl file;
        QString contentHash;
        /// Set when the fetch showed a picture again.
        std::optional<Revisit> revisit;
    };
    /// What a change in "each display" mode put on one display.
    struct DisplayApplied
    {
        DisplayTarget display;
        Applied applied;
    };
    /// Awaits the end of one fetch (however it ends); ready at once for no fetch.
    class Ending;

    /// `displayScope` and `shown` are read when they are needed, so a change during a fetch counts.
    /// `displayPictures` gives the image ids the displays show now ("each display" mode).
    FetchPipeline(Services services, CatalogPool *pool, std::function<DisplayScope()> displayScope,
                  std::function<CatalogPool::Shown()> shown, StoreLimits limits, QObject *parent = nullptr);
    void setDisplayPictures(std::function<QSet<QString>()> displayPictures)
    {
        m_displayPictures = std::move(displayPictures);
    }
    /// The pictures remembered for displays, which pruning keeps and a one-picture desktop's combined
    /// picture is made of where a change does not replace them.
    void setRememberedPictures(std::function<QList<DisplayWallpaper>()> remembered)
    {
        m_remembered = std::move(remembered);
    }

    /// Displays whose pictures are fetched in parallel in "each display" mode.
    static constexpr int parallelDisplayFetches = 2;
    ~FetchPipeline() override;

    /// True while a fetch runs (not while it is only pending).
    bool isLoading() const { return m_isLoading; }
    /// A fetch is pending or running.
    bool isActive() const { return m_active.has_value(); }

    /// Starts a fetch from the event loop, unless one is pending or running; false when dropped. In
    /// "each display" mode it changes every display, or only those of `displayKeys` when given.
    bool start(bool isAutomatic, std::optional<Revisit> revisit = std::nullopt, QStringList displayKeys = {});
    /// The end of the pending or running fetch, as it is now (a later fetch does not count).
    Ending activeFetchEnding() const;
    /// Cancels the pending or running fetch at once: it ends quietly, and a new one may start.
    void cancel();
    /// Cancels the fetch only if the schedule started it: a change the user asked for always finishes.
    void cancelIfAutomatic();
    /// Read at each fetch's start: the display size that downloads should be no bigger than needed
    /// for, or nothing for the archive's usual choice.
    void setDownloadCover(std::function<std::optional<QSize>()> cover) { m_cover = std::move(cover); }

Q_SIGNALS:
    void isLoadingChanged();
    /// A fetch began running: the last error no longer stands.
    void fetchStarted();
    /// The new wallpaper is on screen and remembered; emitted in the turn of the apply.
    void wallpaperApplied(const Starvane::FetchPipeline::Applied &applied);
    /// Pictures of their own are on these displays and remembered ("each display" mode).
    void displaysApplied(const QList<Starvane::FetchPipeline::DisplayApplied> &applied);
    /// The fetch failed for another reason than cancellation.
    void fetchFailed(const std::exception_ptr &error, bool wasAutomatic);
    /// A fetch task ended, however it ended.
    void fetchEnded();

private:
    struct Completion
    {
        bool ended = false;
        std::vector<std::coroutine_handle<>> waiters;
    };
    struct ActiveFetch
    {
        QUuid id;
        bool isAutomatic = false;
        QStringList displayKeys;
        std::stop_source stop;
        std::shared_ptr<Completion> completion;
        std::optional<Revisit> revisit;
    };

    QCoro::Task<> runFetch(QUuid fetchID, bool isAutomatic, std::stop_token st, std::shared_ptr<Completion> done);
    /// Pictures chosen so far in one change of several displays: none may show the same.
    struct Round
    {
        QSet<QString> ids;
        QSet<QString> hashes;
    };
    /// How one attempt loop ended: with a picture, with an error, or cancelled (already logged).
    struct Outcome
    {
        std::optional<Applied> applied;
        std::exception_ptr error;
        bool cancelled = false;
    };

    QCoro::Task<> performFetch(QUuid fetchID, bool isAutomatic, std::stop_token st);
    /// Shows `target` again; false when the pipeline went away meanwhile.
    QCoro::Task<bool> performRevisit(Revisit target, std::stop_token st);
    QCoro::Task<> performEachFetch(QUuid fetchID, bool isAutomatic, QStringList displayKeys, std::stop_token st);
    /// Up to the attempt limit of candidates. Without a display, the picture is applied to the scope's
    /// displays; with one, it is drawn for that display and only saved (the caller applies it).
    QCoro::Task<Outcome> attemptCandidates(std::optional<DisplayTarget> display, std::shared_ptr<Round> round,
                                           std::stop_token st);
    /// Deletes a saved file that will not be used, unless a display (maybe on another workspace) shows it.
    static QCoro::Task<> removeAbandonedCacheFile(std::shared_ptr<WallpaperApplying> applier, QUrl url);
    /// Trims the cache to `maxRetained` files, sparing what is on screen, `applied` and `remembered`.
    static QCoro::Task<> pruneCache(Services services, QList<QUrl> applied, QList<DisplayWallpaper> remembered,
                                    int maxRetained);
    QList<DisplayWallpaper> remembered() const;
    void failFetch(const std::exception_ptr &error, bool isAutomatic, const std::stop_token &st);
    void endFetch(QUuid fetchID);
    void setLoading(bool value);
    static void complete(const std::shared_ptr<Completion> &done);

    Services m_services;
    CatalogPool *m_pool;
    std::function<DisplayScope()> m_displayScope;
    std::function<CatalogPool::Shown()> m_shown;
    std::function<std::optional<QSize>()> m_cover;
    std::function<QSet<QString>()> m_displayPictures;
    std::function<QList<DisplayWallpaper>()> m_remembered;
    StoreLimits m_limits;
    std::optional<ActiveFetch> m_active;
    bool m_isLoading = false;
};

class FetchPipeline::Ending
{
public:
    explicit Ending(std::shared_ptr<Completion> done) : m_done(std::move(done)) {}
    bool await_ready() const noexcept { return !m_done || m_done->ended; }
    void await_suspend(std::coroutine_handle<> awaiting) { m_done->waiters.push_back(awaiting); }
    void await_resume() const noexcept {}

private:
    std::shared_ptr<Completion> m_done;
};

} // namespace Starvane
