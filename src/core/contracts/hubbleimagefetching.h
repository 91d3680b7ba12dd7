// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/hubbleimage.h"

#include <QCoroTask>
#include <QList>
#include <QSize>
#include <QUrl>
#include <optional>
#include <stop_token>

namespace Starvane {

/// What the store needs from the archive. Implementations honour the stop token at every
/// suspension point and then throw CancelledError. Called on the main thread.
class HubbleImageFetching
{
public:
    virtual ~HubbleImageFetching() = default;

    /// The catalog's pages are numbered 1 to this; the store walks them in a cycle.
    static constexpr int maxCatalogPages = 25;

    /// Catalog page 1…maxCatalogPages, best fit for the display first; may be empty.
    virtual QCoro::Task<QList<HubbleImage>> fetchCatalogPage(int page, double targetDisplayAspect, std::stop_token st) = 0;

    /// The record to use in place of `candidate` (checked and enriched from its detail page).
    /// The default accepts the candidate unchanged.
    virtual QCoro::Task<HubbleImage> verifyAndEnrichCandidate(HubbleImage candidate, std::stop_token st);
    /// As verifyAndEnrichCandidate, choosing as the first download the smallest file that still fills
    /// `display` (native pixels) after centre-cropping, where the archive says which one that is.
    /// The default ignores `display`.
    virtual QCoro::Task<HubbleImage> verifyForDisplay(HubbleImage candidate, QSize display, std::stop_token st);

    /// The record of an image known only by its id (a picture shown before), ready for
    /// verifyAndEnrichCandidate; absent when the id is not safe to put in a URL. The default knows no
    /// archive and has none.
    virtual std::optional<HubbleImage> candidateForID(const QString &id) const;

    /// Downloads `url` into a new temporary file and returns its file URL; the caller owns the file.
    virtual QCoro::Task<QUrl> downloadImageFile(QUrl url, std::stop_token st) = 0;
};

} // namespace Starvane
