// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/hubbleimage.h"
#include "storelimits.h"

#include <QCoroTask>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace Starvane {

class HubbleImageFetching;
class KeyValueStore;
class WallpaperHistory;

/// The candidates the fetch draws from, read one catalog page at a time in a cycle of pages, and the
/// memory of what was shown (or failed) recently, which keeps the rotation from repeating itself.
/// Banned pictures never enter it; unlike the recent memory, bans survive a reset.
/// Main thread only. Owns the keys of the page counter and the two recent lists.
class CatalogPool : public QObject
{
    Q_OBJECT
public:
    /// The picture on screen: it stays excluded, also when the memory is reset.
    struct Shown
    {
        std::optional<QString> imageID;
        std::optional<QString> contentHash;
    };

    CatalogPool(std::shared_ptr<HubbleImageFetching> archive, std::shared_ptr<KeyValueStore> defaults,
                std::function<double()> displayAspect, bool shuffleBands, StoreLimits limits,
                std::shared_ptr<const WallpaperHistory> bans = nullptr, QObject *parent = nullptr);

    /// Reads the page counter and the recent lists; values that cannot be read leave the defaults.
    void restore();
    /// Writes the page counter and the recent lists.
    void persist() const;

    /// The next candidate, refilling from the archive when the pool is empty; none when the whole
    /// catalog offers nothing new even after forgetting the history. Throws the archive's error when too
    /// many pages fail, CancelledError when stopped.
    QCoro::Task<std::optional<HubbleImage>> drawNextCandidate(Shown shown, std::stop_token st);

    /// The candidate that best fills a display of `aspect` (width over height): a picture of the
    /// display's own shape first (portrait for a portrait display), then one that fills it in high
    /// resolution, then the pool's order. Ids in `excluded` (on other displays) are passed over. A portrait
    /// display reads a few more pages for a portrait picture before it settles for the best of the rest.
    QCoro::Task<std::optional<HubbleImage>> drawCandidateForDisplay(double aspect, QSet<QString> excluded, Shown shown,
                                                                    std::stop_token st);

    /// Remembers an image id (shown, failed or a duplicate): later pages skip it.
    void recordShownImage(const QString &id);
    /// Remembers the content of a shown file.
    void recordShownContent(const QString &hash);
    bool isRecentContent(const QString &hash) const { return m_recentContentHashes.contains(hash); }
    /// Shown recently or banned: a download with this content is not put on screen.
    bool isUnwantedContent(const QString &hash) const;

    int nextPageNumber() const { return m_nextPageNumber; }
    const QStringList &recentImageIDs() const { return m_recentImageIDs; }
    const QStringList &recentContentHashes() const { return m_recentContentHashes; }
    /// Candidates waiting to be drawn, in draw order.
    const QList<HubbleImage> &candidates() const { return m_pool; }

    /// `images` shuffled within consecutive bands of `bandSize`: nothing moves further than a band.
    static QList<HubbleImage> variedTopOrdering(QList<HubbleImage> images, int bandSize);

private:
    QCoro::Task<> refillCatalogPool(Shown shown, double aspect, std::stop_token st);
    /// Refills an empty pool; once the whole catalog was walked without news, forgets the history first.
    QCoro::Task<> ensureCandidates(Shown shown, double aspect, std::stop_token st);
    qsizetype bestIndexFor(double aspect, const QSet<QString> &excluded) const;
    void advancePage();

    std::shared_ptr<HubbleImageFetching> m_archive;
    std::shared_ptr<KeyValueStore> m_defaults;
    std::function<double()> m_displayAspect;
    bool m_shuffleBands;
    StoreLimits m_limits;
    std::shared_ptr<const WallpaperHistory> m_bans;

    QList<HubbleImage> m_pool;
    QStringList m_recentImageIDs;
    QStringList m_recentContentHashes;
    int m_nextPageNumber = 1;
    int m_pagesCheckedWithoutUnseen = 0;
};

} // namespace Starvane
