// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace Starvane {

/// The numbers that bound the store's work; the defaults are the application's.
struct StoreLimits
{
    /// Candidates a fetch tries before it gives up.
    int maxAttempts = 6;
    /// Entries kept in each list of recently shown ids and contents.
    int recentListBound = 200;
    /// Files the cache keeps when it prunes after a change.
    int retainedCacheFiles = 8;
    /// A failed automatic change is retried at most this long after.
    double retryDelaySeconds = 300;
    /// Consecutive pages without an unseen image after which the whole catalog counts as seen.
    int exhaustionThreshold = 25;
    /// A failing catalog page is skipped only while fewer pages than this came up empty.
    int toleratedPageFailures = 2;
    /// High-resolution candidates are shuffled in bands of this size.
    int bandSize = 4;
};

} // namespace Starvane
