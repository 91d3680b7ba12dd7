// SPDX-License-Identifier: GPL-3.0-or-later
// What each kind of change does: one picture for the scope's displays, one for every display, or
// known pictures put back where they belong.
#include "fetchpipeline.h"

#include "async/cancellation.h"
#include "contracts/wallpaperapplying.h"
#include "contracts/wallpapercaching.h"
#include "logging.h"
#include "models/fileurls.h"

#include <QPointer>

namespace Starvane {

FetchPipeline::FetchPipeline(Services services, CatalogPool *pool, StoreLimits limits, QObject *parent)
    : QObject(parent), m_services(std::move(services)), m_pool(pool), m_limits(limits)
{
}

QCoro::Task<ChangeResult> FetchPipeline::run(ChangeRequest request, std::stop_token st)
{
    ChangeResult result;
    std::exception_ptr failure;
    try {
        if (request.fetchesNewPictures()) {
            if (request.displays.isEmpty())
                result = co_await newPicture(std::move(request), st);
            else
                result = co_await newDisplayPictures(std::move(request), st);
            result.newPictures = true;
        } else {
            result = co_await knownPictures(std::move(request), st);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        if (isCancellation(failure, st))
            result.cancelled = true;
        else
            result.error = ChangeError::from(failure);
    }
    co_return result;
}

QCoro::Task<ChangeResult> FetchPipeline::newPicture(ChangeRequest request, std::stop_token st)
{
    const Outcome outcome = co_await attemptCandidates(std::nullopt, nullptr, request, st);
    if (outcome.error) std::rethrow_exception(outcome.error);
    ChangeResult result;
    result.cancelled = outcome.cancelled;
    if (outcome.picture) result.shown.append({DisplayTarget{}, *outcome.picture, std::nullopt});
    co_return result;
}

QCoro::Task<ChangeResult> FetchPipeline::newDisplayPictures(ChangeRequest request, std::stop_token st)
{
    QPointer<FetchPipeline> self(this);
    const Services services = m_services;
    const QList<DisplayTarget> displays = request.displays;
    std::vector<Outcome> outcomes(size_t(displays.size()));
    const auto round = std::make_shared<Round>();
    // A few displays at a time: each is a download of its own, and the link is shared.
    for (qsizetype first = 0; first < displays.size(); first += parallelDisplayFetches) {
        std::vector<QCoro::Task<Outcome>> running;
        for (qsizetype i = first; i < std::min<qsizetype>(first + parallelDisplayFetches, displays.size()); ++i)
            running.push_back(attemptCandidates(displays[i], round, request, st));
        for (size_t j = 0; j < running.size(); ++j) {
            Outcome outcome = co_await running[j];
            outcomes[size_t(first) + j] = std::move(outcome);
        }
        if (!self) throw CancelledError();
    }

    std::exception_ptr failure;
    bool cancelled = st.stop_requested();
    QList<PlacedPicture> pictures;
    for (size_t i = 0; i < outcomes.size(); ++i) {
        cancelled = cancelled || outcomes[i].cancelled;
        // The most telling failure: one display finding nothing left to draw says less than another's.
        if (outcomes[i].error && (!failure || ChangeError::from(failure).kind == ChangeError::Kind::emptyCatalog))
            failure = outcomes[i].error;
        if (outcomes[i].picture) pictures.append({displays[qsizetype(i)], *outcomes[i].picture, std::nullopt});
    }

    ChangeResult result;
    if (!cancelled && !pictures.isEmpty()) {
        try {
            // Displays that change scope to pictures of their own get back those they had.
            const bool showRemembered = request.kind == ChangeKind::scopeReapply;
            co_await applyToDisplays(pictures, request.showing, showRemembered, request.look, st);
            result.shown = pictures;
        } catch (...) {
            failure = std::current_exception();
        }
        if (!self) throw CancelledError();
    }
    if (result.shown.isEmpty()) {
        // Nothing reached the screen: none of the new files is needed.
        for (const PlacedPicture &placed : std::as_const(pictures))
            co_await removeAbandonedCacheFile(services.applier, placed.picture.file);
    } else {
        for (const PlacedPicture &placed : std::as_const(result.shown))
            qCInfo(lcStore).noquote() << QStringLiteral("Applied wallpaper %1 (%2x%3) on %4")
                                             .arg(placed.picture.id())
                                             .arg(placed.picture.image.width.value_or(0))
                                             .arg(placed.picture.image.height.value_or(0))
                                             .arg(placed.display.name);
    }
    // A display that got a picture counts even when another failed; the failure is still told.
    if (cancelled) throw CancelledError();
    if (failure && result.shown.isEmpty()) std::rethrow_exception(failure);
    if (failure) result.error = ChangeError::from(failure);
    co_return result;
}

QCoro::Task<ChangeResult> FetchPipeline::knownPictures(ChangeRequest request, std::stop_token st)
{
    QPointer<FetchPipeline> self(this);
    const Services services = m_services;
    QList<PlacedPicture> targets = request.targets;
    if (request.kind == ChangeKind::keptPicture && !request.displays.isEmpty())
        targets = co_await placeKeptPictures(targets, request.displays);
    if (!self) throw CancelledError();
    ChangeResult result;
    if (targets.isEmpty()) co_return result;

    if (request.kind == ChangeKind::lockScreen) {
        co_await services.applier->applyLockScreen(targets.first().picture.file, st);
        result.shown = targets;
        co_return result;
    }

    const bool perDisplay = !targets.first().display.key.isEmpty();
    if (request.kind == ChangeKind::workspaceSync) {
        // Put back only where the workspace now shows something else.
        bool allShown = false;
        if (perDisplay) {
            const QSet<QUrl> shown = co_await services.applier->currentDesktopImageURLs();
            allShown = std::all_of(targets.cbegin(), targets.cend(), [&](const PlacedPicture &p) {
                return shown.contains(standardizedFileURL(p.picture.file));
            });
        } else {
            const QList<std::optional<QUrl>> shown = co_await services.applier->desktopImageURLs(request.scope);
            const QUrl target = standardizedFileURL(targets.first().picture.file);
            allShown = shown.isEmpty() || std::all_of(shown.cbegin(), shown.cend(), [&](const std::optional<QUrl> &u) {
                           return u && standardizedFileURL(*u) == target;
                       });
        }
        if (!self) throw CancelledError();
        if (allShown) co_return result;
    }

    QList<PlacedPicture> ready;
    for (const PlacedPicture &target : std::as_const(targets)) {
        PlacedPicture placed = target;
        placed.picture = co_await ensureFile(target, request.kind, st);
        if (!self) throw CancelledError();
        ready.append(placed);
    }
    std::exception_ptr applyError;
    try {
        throwIfCancelled(st);
        QList<ShownPicture> shownPictures;
        for (const PlacedPicture &placed : std::as_const(ready))
            shownPictures.append(placed.picture);
        dress(request, shownPictures);
        if (perDisplay) {
            co_await applyToDisplays(ready, request.showing, false, request.look, st);
        } else {
            const QUrl file = ready.first().picture.file;
            co_await services.applier->prepareWallpaper(file, request.scope, st);
            throwIfCancelled(st);
            co_await services.applier->applyWallpaper(file, request.scope, st);
        }
    } catch (...) {
        applyError = std::current_exception();
    }
    if (applyError) {
        // A file fetched again for this change is not needed now.
        for (qsizetype i = 0; i < ready.size(); ++i)
            if (ready[i].picture.file != targets[i].picture.file)
                co_await removeAbandonedCacheFile(services.applier, ready[i].picture.file);
        std::rethrow_exception(applyError);
    }
    if (!self) throw CancelledError();
    for (const PlacedPicture &placed : std::as_const(ready))
        if (request.changesPicture())
            qCInfo(lcStore).noquote() << QStringLiteral("Showing %1 again from %2")
                                             .arg(placed.picture.id(), placed.picture.file.toLocalFile());
    result.shown = ready;
    co_return result;
}

QCoro::Task<> FetchPipeline::applyToDisplays(QList<PlacedPicture> pictures, QList<PlacedPicture> showing,
                                             bool showOthers, WallpaperLook look, std::stop_token st)
{
    const Services services = m_services;
    QList<DisplayWallpaper> wallpapers;
    QList<ShownPicture> dressed;
    for (const PlacedPicture &placed : std::as_const(pictures)) {
        wallpapers.append({placed.display.key, placed.picture.file});
        dressed.append(placed.picture);
    }
    // A desktop with one picture is given all of them again: the combined picture is made anew.
    if (showOthers || !services.applier->supportsPerDisplayWallpaper()) {
        for (const PlacedPicture &other : std::as_const(showing)) {
            const bool replaced = std::any_of(pictures.cbegin(), pictures.cend(), [&](const PlacedPicture &p) {
                return p.display.key == other.display.key;
            });
            if (!replaced && !other.display.key.isEmpty() && other.picture.fileExists())
                wallpapers.append({other.display.key, other.picture.file});
        }
    }
    ChangeRequest looks;
    looks.look = look;
    looks.showing = showing;
    dress(looks, dressed);
    co_await services.applier->applyDisplayWallpapers(wallpapers, st);
}

void FetchPipeline::dress(const ChangeRequest &request, const QList<ShownPicture> &pictures) const
{
    WallpaperLook look = request.look;
    const auto add = [&look](const ShownPicture &picture) {
        look.captions.insert(standardizedFileURL(picture.file), {picture.image.title, picture.image.credit});
    };
    for (const ShownPicture &picture : pictures)
        add(picture);
    for (const PlacedPicture &other : request.showing)
        add(other.picture);
    m_services.applier->setLook(look);
}

QCoro::Task<QList<PlacedPicture>> FetchPipeline::placeKeptPictures(QList<PlacedPicture> kept,
                                                                   QList<DisplayTarget> displays)
{
    // The files' sizes, read from their headers away from the main thread.
    auto readSizes = [kept, cache = m_services.cache]() mutable {
        for (PlacedPicture &k : kept) {
            const QSize size = cache->pixelSize(k.picture.file);
            if (size.isValid()) {
                k.picture.image.width = size.width();
                k.picture.image.height = size.height();
            }
        }
        return kept;
    };
    QList<PlacedPicture> sized = co_await runInBackground(std::move(readSizes));
    QList<PlacedPicture> placed;
    for (const DisplayTarget &display : std::as_const(displays)) {
        qsizetype best = -1;
        qint64 bestPixels = -1;
        for (qsizetype i = 0; i < sized.size(); ++i) {
            const qint64 pixels = sized[i].picture.image.usablePixels(display.aspectRatio());
            if (pixels > bestPixels) {
                best = i;
                bestPixels = pixels;
            }
        }
        if (best < 0) break; // fewer kept pictures than displays: the others keep theirs
        PlacedPicture picture = sized.takeAt(best);
        picture.display = display;
        placed.append(picture);
    }
    co_return placed;
}

} // namespace Starvane
