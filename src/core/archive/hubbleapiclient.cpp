// SPDX-License-Identifier: GPL-3.0-or-later
#include "hubbleapiclient.h"

#include "archive/boundeddownload.h"
#include "archive/catalogparser.h"
#include "archive/detailparser.h"
#include "logging.h"
#include "models/errors.h"

namespace Starvane {

HubbleAPIClient::HubbleAPIClient(QNetworkAccessManager *nam, qint64 maxDownloadBytesLimit, QUrl archiveWebHost,
                                 QUrl archiveImageHost, ArchiveTimeouts timeouts)
    : m_transport(nam, timeouts),
      m_maxDownloadBytesLimit(maxDownloadBytesLimit), m_hosts{std::move(archiveWebHost), std::move(archiveImageHost)}
{
}

QCoro::Task<QList<HubbleImage>> HubbleAPIClient::fetchCatalogPage(int page, double targetDisplayAspect,
                                                                  std::stop_token st)
{
    const std::optional<QUrl> url = HubbleArchive::catalogPageURL(page, m_hosts);
    if (!url) throw HubbleAPIError::invalidURL();
    const QByteArray body = co_await m_transport.fetchPage(*url, st);
    // Invalid UTF-8 becomes U+FFFD; a damaged byte must not cost the whole page.
    const QString html = QString::fromUtf8(body);
    QList<HubbleImage> images = HubbleArchive::parseWallpaperArchive(html, targetDisplayAspect, m_hosts);
    qCDebug(lcArchive) << "Catalog page" << page << "gave" << images.size() << "candidates";
    co_return images;
}

QCoro::Task<HubbleImage> HubbleAPIClient::verifyAndEnrichCandidate(HubbleImage candidate, std::stop_token st)
{
    return verify(std::move(candidate), std::nullopt, std::move(st));
}

QCoro::Task<HubbleImage> HubbleAPIClient::verifyForDisplay(HubbleImage candidate, QSize display, std::stop_token st)
{
    return verify(std::move(candidate), display, std::move(st));
}

QCoro::Task<HubbleImage> HubbleAPIClient::verify(HubbleImage candidate, std::optional<QSize> display,
                                                 std::stop_token st)
{
    const QByteArray body = co_await m_transport.fetchPage(candidate.detailsURL, st);
    const QString html = QString::fromUtf8(body);
    co_return HubbleArchive::parseImageDetail(html, candidate, m_hosts, display);
}

std::optional<HubbleImage> HubbleAPIClient::candidateForID(const QString &id) const
{
    if (!isSafeArchiveID(id)) return std::nullopt;
    // The detail check that follows finds the variants the archive really has and corrects these.
    const std::optional<QUrl> image = m_hosts.imageFileURL(QStringLiteral("publicationjpg"), id);
    const std::optional<QUrl> fallback = m_hosts.imageFileURL(QStringLiteral("wallpaper5"), id);
    const std::optional<QUrl> details = m_hosts.detailPageURL(id);
    if (!image || !fallback || !details) return std::nullopt;
    HubbleImage record;
    record.id = id;
    record.imageURL = *image;
    record.fallbackImageURL = *fallback;
    record.detailsURL = *details;
    return record;
}

QCoro::Task<QUrl> HubbleAPIClient::downloadImageFile(QUrl url, std::stop_token st)
{
    QUrl file = co_await downloadBounded(m_transport, std::move(url), m_maxDownloadBytesLimit, st);
    co_return file;
}

} // namespace Starvane
