// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogpool.h"
#include "changerequest.h"
#include "contracts/wallpaperapplying.h"

#include <QCoroTask>
#include <QObject>
#include <QSize>
#include <QUrl>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace Starvane {

class HubbleImageFetching;
class WallpaperCaching;
struct SavedWallpaper;

/// Carries out one change of what the displays show, of any kind: a new picture (draw a candidate,
/// verify it, download it with one fallback variant, validate and save it, skip recent duplicates, apply
/// it), a known picture shown again (fetched afresh through the same checks when its file is gone), the
/// picture on screen put back. It records nothing about what it put on screen: it says so in its
/// result, and the coordinator commits it. Main thread only.
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

    FetchPipeline(Services services, CatalogPool *pool, StoreLimits limits, QObject *parent = nullptr);

    /// Displays whose pictures are fetched in parallel in "each display" mode.
    static constexpr int parallelDisplayFetches = 2;

    /// Read at each change's start: the display size that downloads should be no bigger than needed
    /// for, or nothing for the archive's usual choice.
    void setDownloadCover(std::function<std::optional<QSize>()> cover) { m_cover = std::move(cover); }

    /// Carries out `request`. Never throws: a failure or a cancellation is in the result. Candidate
    /// failures are logged here; the change's own outcome is the caller's to log.
    QCoro::Task<ChangeResult> run(ChangeRequest request, std::stop_token st);

    /// Trims the cache to `maxRetained` files, sparing what is on screen and `keep`.
    static QCoro::Task<> pruneCache(Services services, QList<QUrl> keep, int maxRetained);

private:
    /// Pictures chosen so far in one change of several displays: none may show the same.
    struct Round
    {
        QSet<QString> ids;
        QSet<QString> hashes;
    };
    /// How one attempt loop ended: with a picture, with an error, or cancelled (already logged).
    struct Outcome
    {
        std::optional<ShownPicture> picture;
        std::exception_ptr error;
        bool cancelled = false;
    };

    QCoro::Task<ChangeResult> newPicture(ChangeRequest request, std::stop_token st);
    QCoro::Task<ChangeResult> newDisplayPictures(ChangeRequest request, std::stop_token st);
    QCoro::Task<ChangeResult> knownPictures(ChangeRequest request, std::stop_token st);
    /// Up to the attempt limit of candidates, each verified and saved. Without a display the picture is
    /// also applied to the scope's displays; with one it is drawn for that display and only saved.
    QCoro::Task<Outcome> attemptCandidates(std::optional<DisplayTarget> display, std::shared_ptr<Round> round,
                                           ChangeRequest request, std::stop_token st);
    /// A picture's file, fetched again when it is gone (history pictures only: the variant shown first).
    QCoro::Task<ShownPicture> ensureFile(PlacedPicture target, ChangeKind kind, std::stop_token st);
    /// Kept pictures to their displays: each a different one, the one that fills its display best.
    QCoro::Task<QList<PlacedPicture>> placeKeptPictures(QList<PlacedPicture> kept, QList<DisplayTarget> displays);
    /// Shows pictures of their own on displays as one change; the other displays get what `showing` names
    /// for them too when `showOthers`, and always on a one-picture desktop (for its combined picture).
    QCoro::Task<> applyToDisplays(QList<PlacedPicture> pictures, QList<PlacedPicture> showing, bool showOthers,
                                  WallpaperLook look, std::stop_token st);
    /// Tells the applier how the apply that follows dresses `pictures` and those `request` shows.
    void dress(const ChangeRequest &request, const QList<ShownPicture> &pictures) const;
    /// Deletes a saved file that will not be used, unless a display (maybe on another workspace) shows it.
    static QCoro::Task<> removeAbandonedCacheFile(std::shared_ptr<WallpaperApplying> applier, QUrl url);

    Services m_services;
    CatalogPool *m_pool;
    std::function<std::optional<QSize>()> m_cover;
    StoreLimits m_limits;
};

} // namespace Starvane
