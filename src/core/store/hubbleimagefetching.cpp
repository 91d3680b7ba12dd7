// SPDX-License-Identifier: GPL-3.0-or-later
#include "hubbleimagefetching.h"
#include "wallpaperapplying.h"

namespace Starvane {

QCoro::Task<HubbleImage> HubbleImageFetching::verifyAndEnrichCandidate(HubbleImage candidate, std::stop_token)
{
    co_return candidate;
}

QCoro::Task<> WallpaperApplying::prepareWallpaper(QUrl, DisplayScope, std::stop_token)
{
    co_return;
}

} // namespace Starvane
