// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archivehosts.h"
#include "archive/archivetransport.h"
#include "contracts/hubbleimagefetching.h"

class QNetworkAccessManager;

namespace Starvane {

/// The ESA/Hubble archive: catalog pages, detail-page verification and bounded image downloads.
/// Holds no mutable state; the parsing lives in catalogparser.h and detailparser.h. Its tasks use
/// the client, so it must outlive them (the store owns it for the life of the process).
class HubbleAPIClient : public HubbleImageFetching
{
public:
    static constexpr qint64 maxDownloadBytes = 104'857'600; // 100 MiB

    /// `nam` is the application's one network access manager and must outlive the client.
    explicit HubbleAPIClient(QNetworkAccessManager *nam, qint64 maxDownloadBytesLimit = maxDownloadBytes,
                             QUrl archiveWebHost = ArchiveHosts().web, QUrl archiveImageHost = ArchiveHosts().images,
                             ArchiveTimeouts timeouts = {});

    QCoro::Task<QList<HubbleImage>> fetchCatalogPage(int page, double targetDisplayAspect, std::stop_token st) override;
    QCoro::Task<HubbleImage> verifyAndEnrichCandidate(HubbleImage candidate, std::stop_token st) override;
    QCoro::Task<HubbleImage> verifyForDisplay(HubbleImage candidate, QSize display, std::stop_token st) override;
    QCoro::Task<QUrl> downloadImageFile(QUrl url, std::stop_token st) override;
    std::optional<HubbleImage> candidateForID(const QString &id) const override;

    qint64 maxDownloadBytesLimit() const { return m_maxDownloadBytesLimit; }
    const ArchiveHosts &hosts() const { return m_hosts; }

private:
    QCoro::Task<HubbleImage> verify(HubbleImage candidate, std::optional<QSize> display, std::stop_token st);

    ArchiveTransport m_transport;
    qint64 m_maxDownloadBytesLimit;
    ArchiveHosts m_hosts;
};

} // namespace Starvane
