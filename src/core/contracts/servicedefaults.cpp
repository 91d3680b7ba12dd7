// SPDX-License-Identifier: GPL-3.0-or-later
#include "contracts/hubbleimagefetching.h"
#include "contracts/wallpaperapplying.h"

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

} // namespace Starvane
