// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/swayipc.h"

#include "desktop/dbuscall.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <cstring>

namespace Starvane::SwayIpc {

namespace {
constexpr char magic[] = "i3-ipc";
constexpr qsizetype magicSize = 6;
constexpr qsizetype headerSize = magicSize + 8;
constexpr quint32 maximumPayload = 64u << 20;
} // namespace

QByteArray frame(quint32 type, const QByteArray &payload)
{
    QByteArray bytes(magic, magicSize);
    const quint32 length = quint32(payload.size());
    bytes.append(reinterpret_cast<const char *>(&length), 4);
    bytes.append(reinterpret_cast<const char *>(&type), 4);
    bytes.append(payload);
    return bytes;
}

std::optional<Message> takeMessage(QByteArray &buffer)
{
    if (buffer.size() >= magicSize && !buffer.startsWith(QByteArrayView(magic, magicSize))) {
        buffer.clear();
        return std::nullopt;
    }
    if (buffer.size() < headerSize) return std::nullopt;
    quint32 length = 0;
    quint32 type = 0;
    std::memcpy(&length, buffer.constData() + magicSize, 4);
    std::memcpy(&type, buffer.constData() + magicSize + 4, 4);
    if (length > maximumPayload) {
        buffer.clear();
        return std::nullopt;
    }
    if (buffer.size() < headerSize + qsizetype(length)) return std::nullopt;
    Message message{type, buffer.mid(headerSize, length)};
    buffer.remove(0, headerSize + length);
    return message;
}

QCoro::Task<std::optional<Message>> request(QLocalSocket *socket, quint32 type, QByteArray payload)
{
    socket->write(frame(type, payload));
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray buffer;
    for (;;) {
        buffer.append(socket->readAll());
        while (std::optional<Message> message = takeMessage(buffer)) {
            if (!(message->type & eventBit)) co_return message;
        }
        if (deadline.hasExpired() || socket->state() != QLocalSocket::ConnectedState) co_return std::nullopt;
        co_await nextSignal(socket, &QLocalSocket::readyRead, std::chrono::milliseconds(deadline.remainingTime()), {});
    }
}

std::optional<QString> quoted(const QString &text)
{
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\' || c == u'\n' || c == u'\r' || c == u'$' || c == u'`' || c == u'\'')
            return std::nullopt;
    }
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace Starvane::SwayIpc
