// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/errors.h"

// The archive client's only door to the network: GET requests over the process's one
// QNetworkAccessManager, with our User-Agent, per-request inactivity time-outs, safe redirects
// and cancellation through a std::stop_token.

#include <QByteArray>
#include <QCoroTask>
#include <QNetworkRequest>
#include <QUrl>
#include <chrono>
#include <memory>
#include <stop_token>

class QNetworkAccessManager;
class QNetworkReply;

namespace Starvane {

/// Inactivity limits of one request. Tests shorten them; the application keeps the defaults.
struct ArchiveTimeouts
{
    std::chrono::milliseconds page{20'000};
    std::chrono::milliseconds download{60'000};
};

struct DeleteLater
{
    void operator()(QObject *o) const;
};
using ReplyPtr = std::unique_ptr<QNetworkReply, DeleteLater>;

class ArchiveTransport
{
public:
    /// Page bodies beyond this are not an archive page: reading stops there.
    static constexpr qint64 kMaxPageBytes = 16 * 1024 * 1024;

    /// `nam` belongs to the application and outlives every request.
    explicit ArchiveTransport(QNetworkAccessManager *nam, ArchiveTimeouts timeouts = {});

    static QNetworkRequest makeRequest(const QUrl &url, std::chrono::milliseconds timeout);

    /// Starts a GET; the caller awaits it with awaitReply.
    ReplyPtr get(const QUrl &url, std::chrono::milliseconds timeout) const;

    /// The whole body of a page answered with 2xx, at most kMaxPageBytes.
    /// Throws HubbleAPIError (httpStatus, invalidResponse), NetworkError, or CancelledError when `st` stops.
    QCoro::Task<QByteArray> fetchPage(QUrl url, std::stop_token st) const;

    const ArchiveTimeouts &timeouts() const { return m_timeouts; }

private:
    QNetworkAccessManager *m_nam;
    ArchiveTimeouts m_timeouts;
};

/// The status code of a finished reply, or 0 when it carried no HTTP response at all.
int httpStatusOf(const QNetworkReply *reply);
/// The reply's transport failure, sorted by what it means for the user, with Qt's own text.
NetworkError networkErrorOf(const QNetworkReply *reply);

/// The length the server announced for the body we receive, or -1 when unknown. A body that
/// Qt decompresses for us has no announced length in our terms.
qint64 announcedLengthOf(const QNetworkReply *reply);

} // namespace Starvane
