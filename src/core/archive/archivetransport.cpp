// SPDX-License-Identifier: GPL-3.0-or-later
#include "archivetransport.h"

#include "async/cancellation.h"
#include "models/errors.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace Starvane {

namespace {
const QByteArray kUserAgent = QByteArrayLiteral("Starvane/1.0 (Linux)");
}

void DeleteLater::operator()(QObject *o) const
{
    if (o) o->deleteLater();
}

ArchiveTransport::ArchiveTransport(QNetworkAccessManager *nam, ArchiveTimeouts timeouts)
    : m_nam(nam), m_timeouts(timeouts)
{
}

QNetworkRequest ArchiveTransport::makeRequest(const QUrl &url, std::chrono::milliseconds timeout)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, kUserAgent);
    // Follow redirects, but never from https down to http.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(int(std::max<qint64>(1, timeout.count())));
    return request;
}

ReplyPtr ArchiveTransport::get(const QUrl &url, std::chrono::milliseconds timeout) const
{
    return ReplyPtr(m_nam->get(makeRequest(url, timeout)));
}

int httpStatusOf(const QNetworkReply *reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() ? status.toInt() : 0;
}

qint64 announcedLengthOf(const QNetworkReply *reply)
{
    const QByteArray encoding = reply->rawHeader(QByteArrayLiteral("Content-Encoding")).trimmed().toLower();
    if (!encoding.isEmpty() && encoding != "identity") return -1;
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    bool ok = false;
    const qint64 value = length.toLongLong(&ok);
    return (length.isValid() && ok) ? value : -1;
}

QCoro::Task<QByteArray> ArchiveTransport::fetchPage(QUrl url, std::stop_token st) const
{
    throwIfCancelled(st);
    ReplyPtr reply = get(url, m_timeouts.page);
    QNetworkReply *r = reply.get();
    QByteArray body;
    bool tooLarge = false;

    // A page that is (or says it is) huge is no archive page; keep memory bounded and give up early.
    // The abort is posted so that it never runs inside the reply's own signal emission.
    auto stopReading = [r, &tooLarge] {
        if (!tooLarge) QMetaObject::invokeMethod(r, &QNetworkReply::abort, Qt::QueuedConnection);
        tooLarge = true;
    };
    auto take = [r, &body, &tooLarge, &stopReading] {
        if (!r->isOpen()) return; // aborted: nothing more to read
        if (tooLarge) {
            r->skip(r->bytesAvailable());
            return;
        }
        if (body.size() + r->bytesAvailable() > kMaxPageBytes) {
            stopReading();
            r->skip(r->bytesAvailable());
            return;
        }
        body += r->readAll();
    };
    // The connections die with `context`, before anything they reference.
    QObject context;
    QObject::connect(r, &QNetworkReply::metaDataChanged, &context, [r, &stopReading] {
        if (announcedLengthOf(r) > kMaxPageBytes) stopReading();
    });
    QObject::connect(r, &QNetworkReply::readyRead, &context, take);

    co_await awaitReply(r, st);
    take();

    if (tooLarge) throw HubbleAPIError::invalidResponse();
    const int status = httpStatusOf(r);
    if (status != 0 && (status < 200 || status > 299)) throw HubbleAPIError::httpStatus(status);
    if (r->error() != QNetworkReply::NoError) throw networkErrorOf(r);
    if (status == 0) throw HubbleAPIError::invalidResponse();
    // A connection closed early does not always reach Qt as an error: half a page is still no page.
    if (const qint64 announced = announcedLengthOf(r); announced >= 0 && body.size() < announced)
        throw NetworkError(NetworkFailure::refused, QCoreApplication::translate("QHttp", "Connection closed"));
    co_return body;
}

NetworkError networkErrorOf(const QNetworkReply *reply)
{
    NetworkFailure failure = NetworkFailure::other;
    switch (reply->error()) {
    case QNetworkReply::HostNotFoundError:
        failure = NetworkFailure::hostNotFound;
        break;
    case QNetworkReply::TimeoutError:
    // A transfer time-out reports itself as cancelled; our own cancellations never get this far.
    case QNetworkReply::OperationCanceledError:
        failure = NetworkFailure::timedOut;
        break;
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        failure = NetworkFailure::offline;
        break;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
        failure = NetworkFailure::refused;
        break;
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::InsecureRedirectError:
        failure = NetworkFailure::insecure;
        break;
    default:
        break;
    }
    return NetworkError(failure, reply->errorString());
}

} // namespace Starvane
