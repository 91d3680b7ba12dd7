// SPDX-License-Identifier: GPL-3.0-or-later
#include "hubbleimagefetching.h"

namespace Starvane {

QCoro::Task<HubbleImage> HubbleImageFetching::verifyAndEnrichCandidate(HubbleImage candidate, std::stop_token)
{
    co_return candidate;
}

} // namespace Starvane
