// SPDX-License-Identifier: GPL-3.0-or-later
// The store does not pick a random archive image each time: it walks the catalog's pages in a cycle,
// skipping what was shown recently, best display fit first.
#include "catalogpool.h"

#include "async/cancellation.h"
#include "contracts/hubbleimagefetching.h"
#include "keyvaluestore.h"
#include "logging.h"
#include "storekeys.h"
#include "wallpaperhistory.h"

#include <QPointer>
#include <QRandomGenerator>
#include <QSet>

namespace Starvane {

CatalogPool::CatalogPool(std::shared_ptr<HubbleImageFetching> archive, std::shared_ptr<KeyValueStore> defaults,
                         std::function<double()> displayAspect, bool shuffleBands, StoreLimits limits,
                         std::shared_ptr<const WallpaperHistory> bans, QObject *parent)
    : QObject(parent), m_archive(std::move(archive)), m_defaults(std::move(defaults)),
      m_displayAspect(std::move(displayAspect)), m_shuffleBands(shuffleBands), m_limits(limits), m_bans(std::move(bans))
{
}

bool CatalogPool::isUnwantedContent(const QString &hash) const
{
    return m_recentContentHashes.contains(hash) || (m_bans && m_bans->isBannedHash(hash));
}

void CatalogPool::restore()
{
    const qint64 page = m_defaults->integer(StoreKeys::nextPage);
    if (page >= 1 && page <= HubbleImageFetching::maxCatalogPages) m_nextPageNumber = int(page);
    // Taken as stored: the bound applies from the next entry on.
    if (const auto ids = m_defaults->stringArray(StoreKeys::recentIDs)) m_recentImageIDs = *ids;
    if (const auto hashes = m_defaults->stringArray(StoreKeys::recentHashes)) m_recentContentHashes = *hashes;
}

void CatalogPool::persist() const
{
    m_defaults->setInteger(StoreKeys::nextPage, m_nextPageNumber);
    m_defaults->setStringArray(StoreKeys::recentIDs, m_recentImageIDs);
    m_defaults->setStringArray(StoreKeys::recentHashes, m_recentContentHashes);
}

namespace {
void remember(QStringList &list, const QString &value, int bound)
{
    list.removeAll(value);
    list.append(value);
    if (list.size() > bound) list.remove(0, list.size() - bound);
}
} // namespace

void CatalogPool::recordShownImage(const QString &id)
{
    remember(m_recentImageIDs, id, m_limits.recentListBound);
}

void CatalogPool::recordShownContent(const QString &hash)
{
    remember(m_recentContentHashes, hash, m_limits.recentListBound);
}

QCoro::Task<> CatalogPool::ensureCandidates(Shown shown, double aspect, std::stop_token st)
{
    QPointer<CatalogPool> self(this);
    // A ban given while candidates waited takes effect at once.
    if (m_bans) m_pool.removeIf([this](const HubbleImage &item) { return m_bans->isBannedID(item.id); });
    if (m_pool.isEmpty()) {
        co_await refillCatalogPool(shown, aspect, st);
        if (!self) throw CancelledError();
    }

    if (m_pool.isEmpty() && !m_recentImageIDs.isEmpty() &&
        m_pagesCheckedWithoutUnseen >= m_limits.exhaustionThreshold) {
        // Every page was walked without an unseen image: forget the history, but keep the picture
        // on screen excluded so the next change really changes something.
        m_recentImageIDs.clear();
        if (shown.imageID) m_recentImageIDs.append(*shown.imageID);
        m_recentContentHashes.clear();
        if (shown.contentHash) m_recentContentHashes.append(*shown.contentHash);
        m_pagesCheckedWithoutUnseen = 0;
        co_await refillCatalogPool(shown, aspect, st);
        if (!self) throw CancelledError();
    }
}

QCoro::Task<std::optional<HubbleImage>> CatalogPool::drawNextCandidate(Shown shown, std::stop_token st)
{
    QPointer<CatalogPool> self(this);
    co_await ensureCandidates(shown, m_displayAspect(), st);
    if (!self) throw CancelledError();
    if (m_pool.isEmpty()) co_return std::nullopt;
    co_return m_pool.takeFirst();
}

namespace {
bool isPortraitImage(const HubbleImage &image)
{
    return image.width && image.height && *image.height > *image.width;
}
// A portrait display looks this many pages further for a portrait picture before it takes another shape.
constexpr int kPortraitSearchPages = 2;
} // namespace

qsizetype CatalogPool::bestIndexFor(double aspect, const QSet<QString> &excluded) const
{
    // The display's own shape first, then the picture that fills it with the most pixels once it is
    // centre-cropped; among equals, the pool's order.
    const bool portrait = aspect < 1.0;
    qsizetype best = -1;
    std::pair<bool, qint64> bestRank{false, -1};
    for (qsizetype i = 0; i < m_pool.size(); ++i) {
        const HubbleImage &item = m_pool[i];
        if (excluded.contains(item.id)) continue;
        const std::pair<bool, qint64> rank{isPortraitImage(item) == portrait, item.usablePixels(aspect)};
        if (rank > bestRank) {
            best = i;
            bestRank = rank;
        }
    }
    return best;
}

QCoro::Task<std::optional<HubbleImage>> CatalogPool::drawCandidateForDisplay(double aspect, QSet<QString> excluded,
                                                                             Shown shown, std::stop_token st)
{
    QPointer<CatalogPool> self(this);
    co_await ensureCandidates(shown, aspect, st);
    if (!self) throw CancelledError();
    qsizetype best = bestIndexFor(aspect, excluded);
    const auto fitsShape = [&] { return best >= 0 && isPortraitImage(m_pool[best]) == (aspect < 1.0); };
    for (int page = 0; page < kPortraitSearchPages && aspect < 1.0 && !fitsShape(); ++page) {
        const qsizetype before = m_pool.size();
        std::exception_ptr failure;
        try {
            co_await refillCatalogPool(shown, aspect, st);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!self) throw CancelledError();
        if (failure) {
            // Looking further for a portrait picture is a wish: when the catalog fails on the way, the
            // display takes the best-filling picture already at hand.
            if (best < 0 || isCancellation(failure, st)) std::rethrow_exception(failure);
            qCWarning(lcStore).noquote() << "Stopped looking for a portrait picture:" << describeError(failure);
            break;
        }
        best = bestIndexFor(aspect, excluded);
        if (m_pool.size() == before) break; // the catalog has nothing new to offer
    }
    if (best < 0) co_return std::nullopt;
    co_return m_pool.takeAt(best);
}

void CatalogPool::advancePage()
{
    // The counter moves before the request, so a page that keeps failing cannot pin the walk.
    m_nextPageNumber = m_nextPageNumber % HubbleImageFetching::maxCatalogPages + 1;
    m_defaults->setInteger(StoreKeys::nextPage, m_nextPageNumber);
}

QCoro::Task<> CatalogPool::refillCatalogPool(Shown shown, double aspect, std::stop_token st)
{
    QPointer<CatalogPool> self(this);
    const std::shared_ptr<HubbleImageFetching> archive = m_archive;
    std::exception_ptr lastError;

    for (int repetition = 0; repetition < HubbleImageFetching::maxCatalogPages; ++repetition) {
        throwIfCancelled(st);
        const int page = m_nextPageNumber;
        advancePage();

        std::exception_ptr failure;
        QList<HubbleImage> items;
        try {
            items = co_await archive->fetchCatalogPage(page, aspect, st);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!self) throw CancelledError();

        if (failure) {
            if (isCancellation(failure, st)) std::rethrow_exception(failure);
            qCCritical(lcStore).noquote()
                << QStringLiteral("Catalog page %1 failed: %2").arg(page).arg(describeError(failure));
            if (m_pagesCheckedWithoutUnseen >= m_limits.toleratedPageFailures) std::rethrow_exception(failure);
            ++m_pagesCheckedWithoutUnseen;
            lastError = failure;
            continue;
        }

        const QSet<QString> recent(m_recentImageIDs.cbegin(), m_recentImageIDs.cend());
        QList<HubbleImage> priority;
        QList<HubbleImage> others;
        for (const HubbleImage &item : std::as_const(items)) {
            if (recent.contains(item.id) || shown.imageID == item.id || (m_bans && m_bans->isBannedID(item.id)))
                continue;
            (item.isHighResolutionPriority(aspect) ? priority : others).append(item);
        }

        if (priority.isEmpty() && others.isEmpty()) {
            if (++m_pagesCheckedWithoutUnseen >= m_limits.exhaustionThreshold) co_return;
            continue;
        }

        m_pagesCheckedWithoutUnseen = 0;
        m_pool += m_shuffleBands ? variedTopOrdering(priority, m_limits.bandSize) : priority;
        m_pool += others;
        co_return;
    }

    if (lastError) std::rethrow_exception(lastError);
}

QList<HubbleImage> CatalogPool::variedTopOrdering(QList<HubbleImage> images, int bandSize)
{
    if (images.size() < 2 || bandSize < 2) return images;
    auto *rng = QRandomGenerator::global();
    for (qsizetype bandStart = 0; bandStart < images.size(); bandStart += bandSize) {
        const qsizetype bandEnd = std::min<qsizetype>(bandStart + bandSize, images.size());
        // Fisher-Yates within the band.
        for (qsizetype i = bandStart; i + 1 < bandEnd; ++i) {
            const qsizetype j = i + qsizetype(rng->bounded(quint64(bandEnd - i)));
            images.swapItemsAt(i, j);
        }
    }
    return images;
}

} // namespace Starvane
