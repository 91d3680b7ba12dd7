// SPDX-License-Identifier: GPL-3.0-or-later
// The catalog pool: candidates are read one catalog page at a time, walking the pages in a cycle,
// skipping what was shown recently, best display fit first.
#include "wallpaperstore.h"

#include "async/cancellation.h"
#include "contracts/hubbleimagefetching.h"
#include "keyvaluestore.h"
#include "logging.h"
#include "contracts/wallpaperapplying.h"

#include <QPointer>
#include <QRandomGenerator>
#include <QSet>

namespace Starvane {

QCoro::Task<std::optional<HubbleImage>> WallpaperStore::drawNextCandidate(std::stop_token st)
{
    QPointer<WallpaperStore> self(this);
    if (m_catalogPool.isEmpty()) {
        co_await refillCatalogPool(st);
        if (!self)
            throw CancelledError();
    }

    if (m_catalogPool.isEmpty() && !m_recentImageIDs.isEmpty() &&
        m_pagesCheckedWithoutUnseen >= StoreLimits::exhaustionThreshold) {
        // Every page was walked without an unseen image: forget the history, but keep the picture
        // on screen excluded so the next change really changes something.
        m_recentImageIDs.clear();
        if (m_currentImage)
            m_recentImageIDs.append(m_currentImage->id);
        m_recentContentHashes.clear();
        if (m_currentContentHash)
            m_recentContentHashes.append(*m_currentContentHash);
        m_pagesCheckedWithoutUnseen = 0;
        co_await refillCatalogPool(st);
        if (!self)
            throw CancelledError();
    }

    if (m_catalogPool.isEmpty())
        co_return std::nullopt;
    co_return m_catalogPool.takeFirst();
}

void WallpaperStore::writeNextPage()
{
    m_defaults->setInteger(StoreKeys::nextPage, m_nextPageNumber);
}

QCoro::Task<> WallpaperStore::refillCatalogPool(std::stop_token st)
{
    QPointer<WallpaperStore> self(this);
    const std::shared_ptr<HubbleImageFetching> client = m_apiClient;
    const double aspect = m_applier->primaryDisplayAspectRatio();
    std::exception_ptr lastError;

    for (int repetition = 0; repetition < StoreLimits::catalogPages; ++repetition) {
        throwIfCancelled(st);
        // The counter moves before the request, so a page that keeps failing cannot pin the walk.
        const int page = m_nextPageNumber;
        m_nextPageNumber = page % StoreLimits::catalogPages + 1;
        writeNextPage();

        std::exception_ptr failure;
        QList<HubbleImage> items;
        try {
            items = co_await client->fetchCatalogPage(page, aspect, st);
        } catch (...) {
            failure = std::current_exception();
        }
        if (!self)
            throw CancelledError();

        if (failure) {
            if (isCancellation(failure, st))
                std::rethrow_exception(failure);
            qCCritical(lcStore).noquote() << QStringLiteral("Catalog page %1 failed: %2")
                                                 .arg(page)
                                                 .arg(describeError(failure));
            if (m_pagesCheckedWithoutUnseen >= StoreLimits::toleratedPageFailures)
                std::rethrow_exception(failure);
            ++m_pagesCheckedWithoutUnseen;
            lastError = failure;
            continue;
        }

        const QSet<QString> recent(m_recentImageIDs.cbegin(), m_recentImageIDs.cend());
        QList<HubbleImage> priority;
        QList<HubbleImage> others;
        for (const HubbleImage &item : std::as_const(items)) {
            if (recent.contains(item.id) || (m_currentImage && m_currentImage->id == item.id))
                continue;
            (item.isHighResolutionPriority(aspect) ? priority : others).append(item);
        }

        if (priority.isEmpty() && others.isEmpty()) {
            if (++m_pagesCheckedWithoutUnseen >= StoreLimits::exhaustionThreshold)
                co_return;
            continue;
        }

        m_pagesCheckedWithoutUnseen = 0;
        m_catalogPool += m_shuffleBands ? variedTopOrdering(priority) : priority;
        m_catalogPool += others;
        co_return;
    }

    if (lastError)
        std::rethrow_exception(lastError);
}

QList<HubbleImage> WallpaperStore::variedTopOrdering(QList<HubbleImage> images)
{
    if (images.size() < 2)
        return images;
    auto *rng = QRandomGenerator::global();
    for (qsizetype bandStart = 0; bandStart < images.size(); bandStart += StoreLimits::bandSize) {
        const qsizetype bandEnd = std::min<qsizetype>(bandStart + StoreLimits::bandSize, images.size());
        // Fisher-Yates within the band.
        for (qsizetype i = bandStart; i + 1 < bandEnd; ++i) {
            const qsizetype j = i + qsizetype(rng->bounded(quint64(bandEnd - i)));
            images.swapItemsAt(i, j);
        }
    }
    return images;
}

} // namespace Starvane
