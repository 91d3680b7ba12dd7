// SPDX-License-Identifier: GPL-3.0-or-later
#include "archiveserver.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <sys/socket.h>

namespace Starvane::Testing {

namespace {
constexpr qint64 kChunk = 64 * 1024;
constexpr qint64 kMaxQueued = 256 * 1024; // keep memory flat when streaming hundreds of megabytes

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return QByteArrayLiteral("OK");
    case 301:
        return QByteArrayLiteral("Moved Permanently");
    case 302:
        return QByteArrayLiteral("Found");
    case 404:
        return QByteArrayLiteral("Not Found");
    case 500:
        return QByteArrayLiteral("Internal Server Error");
    default:
        return QByteArrayLiteral("Status");
    }
}
} // namespace

ArchiveTestServer::Response ArchiveTestServer::Response::page(const QByteArray &html)
{
    Response r;
    r.body = html;
    return r;
}

ArchiveTestServer::Response ArchiveTestServer::Response::file(const QByteArray &bytes)
{
    Response r;
    r.contentType = QByteArrayLiteral("image/jpeg");
    r.body = bytes;
    return r;
}

ArchiveTestServer::Response ArchiveTestServer::Response::generated(qint64 size, bool announce)
{
    Response r;
    r.contentType = QByteArrayLiteral("image/jpeg");
    r.generatedSize = size;
    r.announceLength = announce;
    return r;
}

ArchiveTestServer::Response ArchiveTestServer::Response::withStatus(int code)
{
    Response r;
    r.status = code;
    r.body = QByteArrayLiteral("<html><body>status ") + QByteArray::number(code) + QByteArrayLiteral("</body></html>");
    return r;
}

ArchiveTestServer::Response ArchiveTestServer::Response::redirect(const QByteArray &location, int code)
{
    Response r;
    r.status = code;
    r.location = location;
    return r;
}

ArchiveTestServer::Response ArchiveTestServer::Response::stalled()
{
    Response r;
    r.stall = true;
    return r;
}

ArchiveTestServer::Response ArchiveTestServer::Response::truncated(qint64 announced, qint64 sent, bool close)
{
    Response r = generated(announced, true);
    r.sendLimit = sent;
    r.closeWhenDone = close;
    return r;
}

/// One accepted connection, living on the server thread: reads one request, writes one response.
class ArchiveServerConnection : public QObject
{
public:
    ArchiveServerConnection(ArchiveTestServer *server, QTcpSocket *socket)
        : QObject(socket), m_server(server), m_socket(socket)
    {
        connect(socket, &QTcpSocket::readyRead, this, [this] { readRequest(); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this] { pump(); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

private:
    void readRequest()
    {
        if (m_answered) return (void)m_socket->readAll();
        m_buffer += m_socket->readAll();
        const qsizetype end = m_buffer.indexOf("\r\n\r\n");
        if (end < 0) return;
        m_answered = true;
        const QList<QByteArray> lines = m_buffer.left(end).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        ArchiveTestServer::Request request;
        request.method = requestLine.value(0);
        const QUrl target(QString::fromLatin1(requestLine.value(1)));
        request.path = target.path();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
        }
        m_path = request.path;
        m_server->recordRequest(request);

        std::optional<ArchiveTestServer::Response> response = m_server->responseFor(m_path);
        if (!response) response = ArchiveTestServer::Response::withStatus(404);
        m_response = *response;
        if (m_response.stall) return;
        respond();
    }

    void respond()
    {
        const QByteArray base = m_server->baseURL().toString().toUtf8();
        m_response.body.replace("{{BASE}}", base);
        QByteArray head = "HTTP/1.1 " + QByteArray::number(m_response.status) + ' ' + reasonPhrase(m_response.status) +
                          "\r\nContent-Type: " + m_response.contentType + "\r\nConnection: close\r\n";
        if (!m_response.location.isEmpty())
            head += "Location: " + m_response.location.replace("{{BASE}}", base) + "\r\n";
        if (m_response.announceLength)
            head +=
                "Content-Length: " + QByteArray::number(m_response.announcedLength.value_or(m_response.bodySize())) +
                "\r\n";
        head += "\r\n";
        m_socket->write(head);
        m_toSend = m_response.bodySize();
        if (m_response.sendLimit >= 0) m_toSend = std::min(m_toSend, m_response.sendLimit);
        pump();
    }

    void pump()
    {
        if (m_finished && m_response.resetWhenDone) return resetOnceWritten();
        if (!m_answered || m_response.stall || m_finished) return;
        while (m_offset < m_toSend && m_socket->bytesToWrite() < kMaxQueued) {
            const qint64 n = std::min(kChunk, m_toSend - m_offset);
            QByteArray chunk;
            if (m_response.generatedSize >= 0) {
                // Byte i of a generated body is i % 251,: a pattern that shows shifted or lost chunks.
                static const QByteArray pattern = [] {
                    QByteArray p(kChunk + 251, Qt::Uninitialized);
                    for (qint64 i = 0; i < p.size(); ++i)
                        p[i] = char(i % 251);
                    return p;
                }();
                chunk = pattern.mid(m_offset % 251, n);
            } else {
                chunk = m_response.body.mid(m_offset, n);
            }
            const qint64 written = m_socket->write(chunk);
            if (written <= 0) return;
            m_offset += written;
            m_server->addSent(m_path, written);
        }
        if (m_offset >= m_toSend) {
            m_finished = true;
            if (m_response.resetWhenDone)
                resetOnceWritten();
            else if (m_response.closeWhenDone)
                m_socket->disconnectFromHost(); // after the queued bytes: a clean FIN
        }
    }

    // Closing with a zero linger time makes the kernel send an RST instead of a FIN.
    void resetOnceWritten()
    {
        if (m_socket->bytesToWrite() > 0 || m_socket->state() != QAbstractSocket::ConnectedState) return;
        const linger abortive{1, 0};
        ::setsockopt(int(m_socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        m_socket->abort();
    }

    ArchiveTestServer *m_server;
    QTcpSocket *m_socket;
    QByteArray m_buffer;
    bool m_answered = false;
    bool m_finished = false;
    QString m_path;
    ArchiveTestServer::Response m_response;
    qint64 m_toSend = 0;
    qint64 m_offset = 0;
};

ArchiveTestServer::ArchiveTestServer() = default;

ArchiveTestServer::~ArchiveTestServer()
{
    if (!m_thread) return;
    QObject *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

bool ArchiveTestServer::start()
{
    if (m_thread) return m_port != 0;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("ArchiveTestServer"));
    m_worker = new QObject;
    m_worker->moveToThread(m_thread);
    m_thread->start();
    QObject *worker = m_worker;
    quint16 port = 0;
    QMetaObject::invokeMethod(
        worker,
        [this, worker, &port] {
            auto *tcp = new QTcpServer(worker);
            QObject::connect(tcp, &QTcpServer::newConnection, tcp, [this, tcp] {
                while (QTcpSocket *socket = tcp->nextPendingConnection())
                    new ArchiveServerConnection(this, socket);
            });
            if (tcp->listen(QHostAddress::LocalHost, 0)) port = tcp->serverPort();
        },
        Qt::BlockingQueuedConnection);
    m_port = port;
    return m_port != 0;
}

QUrl ArchiveTestServer::baseURL() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port));
}

void ArchiveTestServer::setResponse(const QString &path, Response response)
{
    QMutexLocker lock(&m_mutex);
    m_responses.insert(path, std::move(response));
}

void ArchiveTestServer::clear()
{
    QMutexLocker lock(&m_mutex);
    m_responses.clear();
    m_requests.clear();
    m_sent.clear();
}

QList<ArchiveTestServer::Request> ArchiveTestServer::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

int ArchiveTestServer::requestCount(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    return int(
        std::count_if(m_requests.cbegin(), m_requests.cend(), [&path](const Request &r) { return r.path == path; }));
}

qint64 ArchiveTestServer::bytesSent(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    return m_sent.value(path);
}

std::optional<ArchiveTestServer::Response> ArchiveTestServer::responseFor(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_responses.constFind(path);
    if (it == m_responses.cend()) return std::nullopt;
    return *it;
}

void ArchiveTestServer::recordRequest(Request request)
{
    QMutexLocker lock(&m_mutex);
    m_requests.append(std::move(request));
}

void ArchiveTestServer::addSent(const QString &path, qint64 bytes)
{
    QMutexLocker lock(&m_mutex);
    m_sent[path] += bytes;
}

} // namespace Starvane::Testing
