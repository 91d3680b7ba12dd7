// SPDX-License-Identifier: GPL-3.0-or-later
#include "boundeddownload.h"

#include "async/cancellation.h"
#include "logging.h"
#include "models/errors.h"

#include <QDir>
#include <QFile>
#include <QNetworkReply>
#include <QTemporaryFile>
#include <QUuid>
#include <optional>

namespace Starvane {

namespace {

/// Watches one transfer: writes each chunk to the part file and stops the transfer at the first
/// limit violation. Lives in the awaiting frame and runs on the main thread, so it needs no lock.
class BoundedDownloadWatcher
{
public:
    BoundedDownloadWatcher(QNetworkReply *reply, QFile *file, qint64 maxBytes)
        : m_reply(reply), m_file(file), m_maxBytes(maxBytes)
    {
        // Progress signals are throttled (one for a whole fast body), so the limit is checked on the
        // announced length as soon as the headers are in, and on every chunk that arrives.
        QObject::connect(reply, &QNetworkReply::metaDataChanged, &m_context, [this] { checkAnnounced(); });
        QObject::connect(reply, &QNetworkReply::readyRead, &m_context, [this] { drain(); });
        // On a fast link the network thread outruns us and one readAll() can hand over tens of
        // megabytes, copied and written in one go on the main thread (a visible stall). A bounded
        // buffer holds the transfer back instead, so each chunk costs well under a frame.
        reply->setReadBufferSize(readBufferBytes);
    }

    static constexpr qint64 readBufferBytes = 1 << 20;

    void drain()
    {
        if (!m_reply->isOpen()) return; // aborted: nothing more to read
        const QByteArray chunk = m_reply->readAll();
        if (chunk.isEmpty() || stopped()) return;
        const qint64 total = m_written + chunk.size();
        if (total > m_maxBytes) {
            stop(total);
            return;
        }
        if (m_file->write(chunk) != chunk.size()) {
            m_writeError = m_file->errorString();
            stop(std::nullopt);
            return;
        }
        m_written = total;
    }

    std::optional<qint64> limitError() const { return m_limitError; }
    std::optional<QString> writeError() const { return m_writeError; }
    qint64 written() const { return m_written; }

private:
    bool stopped() const { return m_limitError || m_writeError; }

    void checkAnnounced()
    {
        const qint64 announced = announcedLengthOf(m_reply);
        if (!stopped() && announced > m_maxBytes) stop(announced);
    }

    void stop(std::optional<qint64> offendingSize)
    {
        // The first violation is the one reported; later ones change nothing.
        if (offendingSize && !m_limitError && !m_writeError) m_limitError = offendingSize;
        // Posted: aborting inside the reply's own signal would re-enter it.
        QMetaObject::invokeMethod(m_reply, &QNetworkReply::abort, Qt::QueuedConnection);
    }

    QNetworkReply *m_reply;
    QFile *m_file;
    qint64 m_maxBytes;
    qint64 m_written = 0;
    std::optional<qint64> m_limitError;
    std::optional<QString> m_writeError;
    QObject m_context; // declared last: its connections go first
};

QString handOverPath()
{
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    return QDir(QDir::tempPath()).filePath(temporaryDownloadPrefix + uuid + QStringLiteral(".tmp"));
}

} // namespace

QCoro::Task<QUrl> downloadBounded(ArchiveTransport transport, QUrl url, qint64 maxBytes, std::stop_token st)
{
    throwIfCancelled(st);
    // A private (0600) part file; it removes itself on every path that does not hand it over.
    QTemporaryFile part(QDir(QDir::tempPath()).filePath(temporaryDownloadPrefix + QStringLiteral("XXXXXX.part")));
    if (!part.open()) throw FileError(part.errorString());

    ReplyPtr reply = transport.get(url, transport.timeouts().download);
    QNetworkReply *r = reply.get();
    BoundedDownloadWatcher watcher(r, &part, maxBytes);

    co_await awaitReply(r, st); // a stop ends here with CancelledError, whatever the reply says
    watcher.drain();

    // Order matters: our own limit and write failures explain an abort; then the status. A transfer
    // that ended short of its announced length is incomplete only when it ended by the server closing
    // the connection, which Qt reports as RemoteHostClosedError (a reset reads the same); any other
    // transport error, a time-out included (it is no cancellation of ours), passes through unchanged.
    if (const std::optional<qint64> tooLarge = watcher.limitError()) throw HubbleAPIError::fileTooLarge(*tooLarge);
    if (const std::optional<QString> writeError = watcher.writeError()) throw FileError(*writeError);
    const int status = httpStatusOf(r);
    if (status != 0 && (status < 200 || status > 299)) throw HubbleAPIError::httpStatus(status);
    const qint64 announced = announcedLengthOf(r);
    const bool endedShort = status != 0 && announced > 0 && watcher.written() < announced;
    const QNetworkReply::NetworkError transportError = r->error();
    if (transportError != QNetworkReply::NoError &&
        !(endedShort && transportError == QNetworkReply::RemoteHostClosedError))
        throw networkErrorOf(r);
    if (status != 0 && announced > 0 && watcher.written() != announced) throw HubbleAPIError::incompleteTransfer();
    if (status == 0) throw HubbleAPIError::invalidResponse();

    if (!part.flush()) throw FileError(part.errorString());
    const qint64 size = part.size();
    if (size > maxBytes) throw HubbleAPIError::fileTooLarge(size);
    if (announced > 0 && size != announced) throw HubbleAPIError::incompleteTransfer();

    const QString target = handOverPath();
    part.close();
    part.setAutoRemove(false);
    if (!part.rename(target)) {
        const QString why = part.errorString();
        QFile::remove(part.fileName());
        throw FileError(why);
    }
    qCDebug(lcArchive) << "Downloaded" << size << "bytes from" << url.toString() << "to" << target;
    co_return QUrl::fromLocalFile(target);
}

} // namespace Starvane
