// SPDX-License-Identifier: GPL-3.0-or-later
#include "contracts/hubbleimagefetching.h"
#include "contracts/wallpaperapplying.h"
#include "models/errors.h"

namespace Starvane {

QCoro::Task<HubbleImage> HubbleImageFetching::verifyAndEnrichCandidate(HubbleImage candidate, std::stop_token)
{
    co_return candidate;
}

std::optional<HubbleImage> HubbleImageFetching::candidateForID(const QString &) const
{
    return std::nullopt;
}

QCoro::Task<HubbleImage> HubbleImageFetching::verifyForDisplay(HubbleImage candidate, QSize, std::stop_token st)
{
    HubbleImage verified = co_await verifyAndEnrichCandidate(std::move(candidate), std::move(st));
    co_return verified;
}

QCoro::Task<> WallpaperApplying::prepareWallpaper(QUrl, DisplayScope, std::stop_token)
{
    co_return;
}

QCoro::Task<> WallpaperApplying::applyDisplayWallpapers(QList<DisplayWallpaper> pictures, std::stop_token st)
{
    // A desktop that knows no displays of its own can only show one of the pictures, everywhere.
    if (pictures.isEmpty()) co_return;
    co_await applyWallpaper(pictures.first().file, DisplayScope::allDisplays, st);
}

QCoro::Task<> WallpaperApplying::applyLockScreen(QUrl, std::stop_token)
{
    throw WallpaperApplyError::displayUpdateFailed(QStringLiteral("this desktop has no lock screen picture to set"));
    co_return;
}

} // namespace Starvane
